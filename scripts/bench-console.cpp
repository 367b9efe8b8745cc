// The benchmark of scripts/bench-console: the Server Console following a stand-in server that
// floods its log, against the same console on a quiet log (the event loop's longest stall and
// 99th percentile lateness, memory, and the view compared with the log afterwards); following a
// log that gets a line of 50 MB over 5 s, and one replaced by a 10 GiB sparse file (the longest
// stall and memory); and opening the console on a 1 GiB log against opening it on a log of only
// its last 1,000 lines.

#include "TestFiles.h"
#include "launch/FolderSettings.h"
#include "settings/ServerSettings.h"
#include "ui/Forms.h"
#include "ui/LookAndFeel.h"
#include "ui/ServerConsole.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

constexpr int floodSeconds = 10;
constexpr int floodLinesPerSecond = 20000;
constexpr int openings = 15;

struct Lateness {
    double longest;
    double percentile99;
};

// How late a timer due every millisecond ran, in milliseconds, over the given time.
Lateness lateness(int milliseconds)
{
    QTimer tick, end;
    tick.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    QList<qint64> late;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        late << std::max<qint64>(clock.nsecsElapsed() - 1'000'000, 0);
        clock.start();
    });
    QObject::connect(&end, &QTimer::timeout, [] { QCoreApplication::exit(); });
    end.start(milliseconds);
    clock.start();
    tick.start(1);
    QCoreApplication::exec();
    std::sort(late.begin(), late.end());
    return {late.last() / 1e6, late.at(late.size() * 99 / 100) / 1e6};
}

QStringList viewLines(Forms& forms)
{
    return forms.loaded<ServerConsole>()->findChild<QPlainTextEdit*>()->toPlainText().split(QLatin1Char('\n'));
}

void flood(const QString& folder)
{
    ServerSettings settings;
    Forms forms(settings, folder);
    const QString log = folder + QStringLiteral("/server-console.log");
    QFile(log).open(QIODevice::WriteOnly);
    forms.show<ServerConsole>();
    const Lateness quiet = lateness(3000);
    const double before = kilobytesResident();

    QProcess server;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("STANDIN_FLOOD"), QString::number(floodLinesPerSecond));
    environment.insert(QStringLiteral("STANDIN_LIFETIME_MS"), QString::number(floodSeconds * 1000));
    server.setProcessEnvironment(environment);
    server.setWorkingDirectory(folder);
    server.setStandardOutputFile(log, QIODevice::Append);
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(QStringLiteral(STANDIN_SERVER_PATH),
        {QStringLiteral("-port"), QString::number(serverPort(folder)), QStringLiteral("+map"),
            QStringLiteral("2fort")});
    const Lateness flooded = lateness(floodSeconds * 1000);
    server.waitForFinished();
    lateness(1000); // the console reads what is left
    const double after = kilobytesResident();

    QFile file(log);
    file.open(QIODevice::ReadOnly);
    const QList<QByteArray> logLines = file.readAll().trimmed().split('\n');
    const QStringList shown = viewLines(forms);
    qsizetype differing = 0;
    for (qsizetype i = 1; i <= shown.size(); ++i)
        differing += shown.at(shown.size() - i).toUtf8() != logLines.value(logLines.size() - i);
    const qsizetype floodLines = std::count_if(
        logLines.begin(), logLines.end(), [](const QByteArray& line) { return line.startsWith("Flood line"); });
    std::printf("The console following a stand-in server that prints %d lines a second for %d s (%lld lines "
                "printed, %.0f a second):\n",
        floodLinesPerSecond, floodSeconds, qlonglong(floodLines), double(floodLines) / floodSeconds);
    std::printf("  event loop lateness, quiet log (baseline): longest %.1f ms, 99th percentile %.2f ms\n",
        quiet.longest, quiet.percentile99);
    std::printf("  event loop lateness, flooded log:          longest %.1f ms, 99th percentile %.2f ms "
                "(%.1fx, %.1fx; targets under 50 ms and 16 ms)\n",
        flooded.longest, flooded.percentile99, flooded.longest / quiet.longest,
        flooded.percentile99 / std::max(quiet.percentile99, 0.001));
    std::printf("  memory growth %.1f MB (target under 30 MB)\n", (after - before) / 1024);
    std::printf("  the view's %lld lines against the log's last ones: %lld missing or doubled\n",
        qlonglong(shown.size()), qlonglong(differing));
}

// The console following a log that `change` changes, from another thread, while the event loop
// runs for the given time: the longest stall, memory, and the longest line the view shows.
void followWhile(
    const char* what, const QString& folder, int milliseconds, const std::function<void(const QString& log)>& change)
{
    ServerSettings settings;
    Forms forms(settings, folder);
    const QString log = folder + QStringLiteral("/server-console.log");
    writeBytes(log, "L 05/04/2024 - 20:15:02: the line before\n");
    forms.show<ServerConsole>();
    lateness(500); // the console settles
    const double before = kilobytesResident();
    std::thread changing(change, log);
    const Lateness late = lateness(milliseconds);
    changing.join();
    lateness(500); // the console reads what is left
    const double after = kilobytesResident();
    const QStringList shown = viewLines(forms);
    const qsizetype longest = std::max_element(shown.begin(), shown.end(), [](const QString& a, const QString& b) {
        return a.size() < b.size();
    })->size();
    std::printf("The console following a log %s:\n", what);
    std::printf("  event loop lateness: longest %.1f ms, 99th percentile %.2f ms (target longest under 50 ms)\n",
        late.longest, late.percentile99);
    std::printf("  memory growth %.1f MB (target under 30 MB)\n", (after - before) / 1024);
    std::printf("  the view's %lld lines, the longest of %lld characters; the last: %s\n", qlonglong(shown.size()),
        qlonglong(longest), qPrintable(shown.last().left(60)));
}

// A line of 50 MB written over 5 s, 100 kB every 10 ms, then another line.
void writeLongLine(const QString& log)
{
    QFile file(log);
    file.open(QIODevice::Append | QIODevice::Unbuffered);
    const QByteArray piece(100 * 1000, 'x');
    for (int i = 0; i < 500; ++i) {
        file.write(piece);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    file.write("\nL 05/04/2024 - 20:15:08: the line after\n");
}

// Another file put in the log's place: 10 GiB of NUL bytes that take no room on disk, then a line.
void replaceBySparseFile(const QString& log)
{
    QFile file(log + QStringLiteral(".new"));
    file.open(QIODevice::WriteOnly);
    file.resize(qint64(10) << 30);
    file.seek(file.size());
    file.write("\nL 05/04/2024 - 20:15:08: the line after\n");
    file.close();
    std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(log).constData());
}

// The time from asking for the console to its first showing, in milliseconds.
double opening(const QString& folder)
{
    ServerSettings settings;
    Forms forms(settings, folder);
    QElapsedTimer clock;
    clock.start();
    forms.show<ServerConsole>();
    QCoreApplication::processEvents();
    const double time = clock.nsecsElapsed() / 1e6;
    if (viewLines(forms).size() != 1000)
        std::printf("  (the view shows %lld lines, not 1000)\n", qlonglong(viewLines(forms).size()));
    return time;
}

double median(QList<double> times)
{
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

void openings1GiB(const QString& small, const QString& large)
{
    QByteArray lines;
    for (int i = 1; i <= 1000; ++i)
        lines += QByteArray("L 05/04/2024 - 20:15:02: \"Scout<2><STEAM_0:1:1><Blue>\" say \"line ")
            + QByteArray::number(i) + "\"\n";
    QFile smallLog(small + QStringLiteral("/server-console.log"));
    smallLog.open(QIODevice::WriteOnly);
    smallLog.write(lines);
    smallLog.close();
    QFile largeLog(large + QStringLiteral("/server-console.log"));
    largeLog.open(QIODevice::WriteOnly);
    const QByteArray block = lines.repeated(64);
    while (largeLog.size() < (qint64(1) << 30))
        largeLog.write(block);
    largeLog.write(lines);
    largeLog.close();
    opening(small); // the first opening loads fonts and the like
    QList<double> smallTimes, largeTimes;
    for (int i = 0; i < openings; ++i) { // alternately, so that both meet the same machine
        smallTimes << opening(small);
        largeTimes << opening(large);
    }
    const double smallTime = median(smallTimes), largeTime = median(largeTimes);
    std::printf("Opening the console (median of %d), up to its first showing:\n", openings);
    std::printf("  on a log of its last 1,000 lines (baseline)  %.2f ms\n", smallTime);
    std::printf("  on a log of %.2f GiB ending in the same lines %.2f ms (%.2fx; targets within 1.10x and under "
                "200 ms)\n",
        double(largeLog.size()) / (1 << 30), largeTime, largeTime / smallTime);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    applyLookAndFeel();
    const QTemporaryDir flooded, longLine, sparse, small, large;
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    setServerPort(flooded.path(), probe.localPort());
    probe.close();
    flood(flooded.path());
    followWhile("that gets a line of 50 MB over 5 s", longLine.path(), 6000, writeLongLine);
    followWhile("replaced by a 10 GiB sparse file", sparse.path(), 3000, replaceBySparseFile);
    openings1GiB(small.path(), large.path());
    return 0;
}
