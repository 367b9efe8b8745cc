#include "ProgramUnderTest.h"
#include "StandIn.h"
#include "keep/DailyRestart.h"
#include "launch/FolderSettings.h"
#include "launch/ServerLog.h"
#include "launch/ServerRecord.h"
#include "launch/ServerSession.h"
#include "remote/RconClient.h"
#include "remote/RemoteTimings.h"
#include "ui/Form1.h"
#include "ui/ServerConsole.h"
#include "ui/ServerPort.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>

#include <csignal>

using namespace std::chrono_literals;

namespace {

// The status queries the stand-in has received, as it prints them.
qsizetype queriesReceived(const QString& log)
{
    return QFileInfo::exists(log) ? readBytes(log).count("54 53 6f 75 72 63 65") : 0; // "TSource"
}

void signalServer(const QString& folder, int signal)
{
    const std::optional<ServerRecord> record = readServerRecord(folder);
    QVERIFY(record);
    // Process group 0 is the test's own, and 1 every process there is.
    QVERIFY2(record->sessionId > 1, qPrintable(QString::number(record->sessionId)));
    killpg(pid_t(record->sessionId), signal);
}

// Shorter waits, so that no test waits long; the status line's first minute the whole test.
const RemoteTimings testTimings{.quiet = 100ms,
    .noAnswer = 500ms,
    .budgetPackets = 1000,
    .poll = 300ms,
    .pollEarly = 200ms,
    .notAnswering = 1500ms,
    .processCheck = 100ms,
    .stopCheck = 50ms,
    .stopGrace = 700ms,
    .applyPause = 200ms};

// Keeping's waits shortened too; the limit of the log far lower.
const KeepTimings testKeepTimings{.restartPause = 1000ms,
    .hang = 1500ms,
    .startGrace = 1000ms,
    .dailyCheck = 100ms,
    .logCheck = 200ms,
    .logLimit = 64 * 1024};

// The engine that the start script runs, as the system lists the script's children.
pid_t engineOf(const QString& folder)
{
    const std::optional<ServerRecord> record = readServerRecord(folder);
    const QString script = QString::number(record ? record->processId : 0);
    return pid_t(readBytes("/proc/" + script + "/task/" + script + "/children").split(' ').value(0).toInt());
}

// Kills the start script alone, the process Quillmont started, and waits until it has ended.
void killScript(const QString& folder)
{
    const std::optional<ServerRecord> record = readServerRecord(folder);
    QVERIFY(record);
    kill(pid_t(record->processId), SIGKILL);
    QTRY_VERIFY(!recordOfProcess(record->processId));
}

} // namespace

// This folder's server run from the main window, the stand-in server playing the game server:
// the status line, the Server menu, stopping, restarting, taking over, applying server.cfg.
class ServerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        setRemoteTimings(testTimings);
        setKeepTimings(testKeepTimings);
        qputenv("STANDIN_LIFETIME_MS", "30000"); // no stand-in outlives the test by long
    }
    void cleanupTestCase()
    {
        setRemoteTimings({});
        setKeepTimings({});
    }

    void cleanup()
    {
        SafeSave::failSteps({});
        failSignalsForTests(0);
    }

    void runs_data() { addCases("server-runs.txt"); }

    void runs()
    {
        QFETCH(Case, given);
        ProgramUnderTest program(settingsFileWith(lines(given.value("before"))));
        // However the case ends: its servers end, its environment and timings go.
        const QStringList environment = listOf(given, "standin").join(' ').split(' ', Qt::SkipEmptyParts);
        const auto tidy = qScopeGuard([&] {
            endServersIn(program.folder);
            for (const QString& variable : environment)
                qunsetenv(variable.section('=', 0, 0).toUtf8());
            setRemoteTimings(testTimings);
            setWallClockForTests({});
        });
        for (const QString& variable : environment)
            qputenv(variable.section('=', 0, 0).toUtf8(), variable.section('=', 1).toUtf8());
        RemoteTimings timings = testTimings;
        timings.budgetPackets = given.value("budget", QByteArray::number(timings.budgetPackets)).toInt();
        setRemoteTimings(timings);
        QVERIFY(QFile::copy(STANDIN_SERVER_PATH, program.path("hlds_run")));
        for (const QString& folder : listOf(given, "files"))
            QDir().mkpath(program.path(folder));
        const QString port = QString::number(serverPort(program.folder));
        const QString log = program.path("server-console.log");
        Form1* main = program.start();
        QStringList shown;
        connect(&main->server(), &ServerWatch::statusChanged, [&] { shown << main->server().status(); });
        std::unique_ptr<StandIn> other;
        QObject commands;
        const QString nextPort = QString::number(freePort());
        for (const QString& step : listOf(given, "steps")) {
            const QString word = step.section(' ', 0, 0), rest = step.section(' ', 1);
            if (word == "status") {
                const QRegularExpression expected('^'
                    + QRegularExpression::escape(rest)
                          .replace("\\<time\\>", "\\d\\d:\\d\\d")
                          .replace("\\<port\\>", port)
                    + '$');
                const auto* state = child<QLabel>(main, "serverState");
                QTRY_VERIFY2_WITH_TIMEOUT(
                    expected.match(state->text()).hasMatch(), qPrintable(rest + " is not " + state->text()), 10000);
            } else if (word == "told") {
                QTRY_COMPARE_WITH_TIMEOUT(program.messages.size(), rest.toInt(), 10000);
            } else if (word == "answer") {
                program.answer = rest == "No" ? QMessageBox::No : QMessageBox::Yes;
            } else if (word == "enabled" || word == "greyed") {
                QCOMPARE(child<QAction>(main, rest)->isEnabled(), word == "enabled");
            } else if (const QMap<QString, int> bySignal{{"pause", SIGSTOP}, {"resume", SIGCONT}, {"kill", SIGKILL}};
                       bySignal.contains(word)) {
                signalServer(program.folder, bySignal.value(word));
            } else if (word == "kill-engine") {
                QTRY_VERIFY(engineOf(program.folder) > 0);
                kill(engineOf(program.folder), SIGKILL);
            } else if (word == "started") { // the log holds so many starts
                QTRY_COMPARE_WITH_TIMEOUT(
                    readBytes(log).count("\n--- ") + readBytes(log).startsWith("--- "), rest.toInt(), 10000);
            } else if (word == "old-logs") { // a log past its limit, and the five copies kept of earlier ones
                writeBytes(log, QByteArray(keepTimings().logLimit, 'x') + '\n');
                for (int copy = 1; copy <= keptLogCopies; ++copy) {
                    writeBytes(log + '.' + QString::number(copy), "copy " + QByteArray::number(copy) + '\n');
                    QFile::setPermissions(log + '.' + QString::number(copy), QFile::ReadOwner | QFile::WriteOwner);
                }
            } else if (word == "copies") { // so many copies of the log, no more kept
                const QString newest = log + ".1", oldest = log + '.' + rest;
                QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(oldest), 10000);
                QVERIFY(!QFileInfo::exists(log + '.' + QString::number(rest.toInt() + 1)));
                for (const QString& file : {log, newest, oldest})
                    QCOMPARE(modeOf(file), "0600");
                QVERIFY(readBytes(log).startsWith("*** "));
                QVERIFY(readBytes(log).split('\n').first().endsWith(
                    "copied this log to server-console.log.1 and began it anew; lines the server wrote meanwhile "
                    "may be lost."));
            } else if (word == "rotated") { // the log copied aside once more
                const QByteArray copied = readBytes(log + ".1");
                QTRY_VERIFY_WITH_TIMEOUT(readBytes(log + ".1") != copied, 10000);
            } else if (word == "noted") { // the log has come to hold a line with the text
                QTRY_VERIFY_WITH_TIMEOUT(readBytes(log).contains(rest.toUtf8()), 10000);
            } else if (word == "daily") { // a restart a few minutes ahead, on a clock a minute further each look
                const QDateTime now = QDateTime::currentDateTime();
                setDailyRestart(program.folder, now.addSecs(7 * 60).time());
                setWallClockForTests([now, minutes = 0]() mutable { return now.addSecs(60 * ++minutes); });
            } else if (word == "kill-script") {
                killScript(program.folder);
            } else if (word == "polled") { // the server answered twice more, so its process was looked at
                QSignalSpy reported(&main->server(), &ServerWatch::statusChanged);
                QTRY_VERIFY_WITH_TIMEOUT(reported.count() >= 2, 10000);
            } else if (word == "recorded") {
                QTRY_COMPARE_WITH_TIMEOUT(QFileInfo::exists(serverRecordPath(program.folder)), rest == "yes", 10000);
            } else if (word == "refuse-signals") {
                failSignalsForTests(EPERM);
            } else if (word == "fail") {
                failSaveSteps(rest.split('|'));
            } else if (word == "other") {
                other = std::make_unique<StandIn>(Case{}, port.toUShort());
            } else if (word == "reopen") {
                main = program.reopen();
            } else if (word == "burst") { // commands from another window of the program, all at once
                auto* client = new RconClient({QHostAddress(QHostAddress::LocalHost), port.toUShort()}, &commands);
                for (int i = 0; i < rest.toInt(); ++i)
                    client->send("secret", "status");
            } else if (word == "polls") { // more status queries answered, while the line is watched
                const qsizetype before = queriesReceived(log);
                QTRY_VERIFY_WITH_TIMEOUT(queriesReceived(log) >= before + rest.toInt(), 10000);
            } else if (word == "port") { // another server port chosen
                child<QAction>(main, "menuPort")->trigger();
                QWidget* dialog = program.forms->loaded<ServerPort>();
                operate(dialog, {"Text1=" + nextPort});
                click(dialog, "Command1");
            } else if (word == "console") {
                child<QAction>(main, "menuConsole")->trigger();
                const auto* console = program.forms->loaded<ServerConsole>();
                operate(console, {"commandBox=" + rest});
                const auto* output = child<QPlainTextEdit>(console, "outputView");
                QTRY_VERIFY(output->toPlainText().contains("> " + rest + '\n'));
            } else if (word.contains('=')) {
                operate(main, {step});
            } else if (word.startsWith("menu")) {
                child<QAction>(main, word)->trigger();
            } else {
                click(main, word);
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(program.messages,
            listOf(given, "messages").replaceInStrings("<folder>", program.folder).replaceInStrings("<port>", port),
            2000);
        if (given.contains("never"))
            QCOMPARE(shown.filter(textOf(given, "never")), QStringList());
        const auto loggedLines
            = [&log] { return QFileInfo::exists(log) ? QString::fromUtf8(readBytes(log)).split('\n') : QStringList(); };
        QTRY_COMPARE_WITH_TIMEOUT(
            loggedLines().filter(QRegularExpression("^--- ")).size(), given.value("starts", "1").toInt(), 10000);
        const QStringList logged = loggedLines();
        QStringList expectedLines = listOf(given, "logged");
        for (const QString& line : expectedLines.replaceInStrings("<next port>", nextPort))
            QVERIFY2(logged.filter(line.mid(line.startsWith('!'))).isEmpty() == line.startsWith('!'), qPrintable(line));
    }
};

QUILLMONT_UI_TEST_MAIN(ServerTest)
#include "tst_server.moc"
