// The benchmark of scripts/bench-steamcmd: SteamCMD's output read from its terminal while a window
// shows its progress, from a program that prints 10,000 progress lines a second for 10 s and then
// one line of 10 MB without a line end: the event loop's longest stall and 99th percentile
// lateness, and the memory resident before and after.

#include "TestFiles.h"
#include "install/SteamCmdRun.h"
#include "install/SteamCmdText.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Prints progress lines in batches of 100 every 10 ms, with the terminal's escapes, then one long line.
const QByteArray generator = R"(#!/usr/bin/env python3
import os, sys, time
start = time.monotonic()
n = 0
while time.monotonic() - start < 10:
    batch = "".join(" Update state (0x61) downloading, progress: %d,%02d (%d / 738158916)\x1b[0m\n"
                    % (n // 100000 % 100, n % 100, n) for n in range(n, n + 100))
    os.write(1, batch.encode())
    n += 100
    time.sleep(max(0, start + n / 10000 - time.monotonic()))
chunk = b"x" * 65536
for _ in range(160):
    os.write(1, chunk)
sys.stderr.write("%d lines\n" % n)
)";

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString program = dir.filePath("printer");
    writeBytes(program, generator);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QLabel line;
    QProgressBar bar;
    line.show();
    bar.show();
    SteamCmdRun run(program, {}, dir.filePath("steamcmd.log"));
    qint64 lines = 0;
    QObject::connect(&run, &SteamCmdRun::lineRead, [&](const QString& text) {
        ++lines;
        if (const std::optional<Progress> progress = progressOf(text)) {
            bar.setValue(int(progress->percent));
            line.setText(progressInWords(*progress));
        }
    });
    // The event loop's lateness, from a timer that should fire every 5 ms.
    QList<double> lateness;
    QElapsedTimer clock;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        lateness << std::max(0.0, double(clock.nsecsElapsed()) / 1e6 - 5);
        clock.restart();
    });
    const double before = kilobytesResident();
    double most = before;
    QTimer memory;
    QObject::connect(&memory, &QTimer::timeout, [&] { most = std::max(most, kilobytesResident()); });
    memory.start(100);
    QObject::connect(&run, &SteamCmdRun::ended, &app, &QApplication::quit);
    QElapsedTimer took;
    took.start();
    clock.start();
    tick.start(5);
    run.start(-1);
    QApplication::exec();
    std::sort(lateness.begin(), lateness.end());
    std::printf("lines read: %lld in %.1f s\n", lines, double(took.elapsed()) / 1000);
    std::printf("event loop: longest stall %.1f ms, 99th percentile lateness %.1f ms\n",
        lateness.isEmpty() ? 0 : lateness.last(), lateness.isEmpty() ? 0 : lateness.at(lateness.size() * 99 / 100));
    std::printf("memory resident: %.1f MB before, %.1f MB at most while reading (%.1f MB more)\n", before / 1024,
        most / 1024, (most - before) / 1024);
    std::printf("steamcmd.log: %.1f MB\n", double(QFileInfo(dir.filePath("steamcmd.log")).size()) / 1e6);
    return 0;
}
