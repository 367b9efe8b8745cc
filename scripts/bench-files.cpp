// Opens the Map Cycle window on a map cycle of 10,000 lines and the Bans window on a ban file of
// 100,000 lines, saves the one and adds a ban to and removes one from the other, and prints how
// long each took, the best and the worst of five. Run by scripts/bench-files.
#include "ProgramUnderTest.h"
#include "ui/Form1.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int rounds = 5;

// The best and the worst of the rounds, in milliseconds.
void measure(const char* what, const std::function<void()>& step)
{
    QList<double> times;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        step();
        QCoreApplication::processEvents();
        times << clock.nsecsElapsed() / 1e6;
    }
    std::printf("%-56s best %7.1f ms, worst %7.1f ms\n", what, *std::min_element(times.begin(), times.end()),
        *std::max_element(times.begin(), times.end()));
}

QWidget* openFromMenu(Form1* main, const char* entry, const char* window)
{
    child<QAction>(main, entry)->trigger();
    for (QWidget* shown : QApplication::topLevelWidgets()) {
        if (shown->objectName() == QLatin1StringView(window))
            return shown;
    }
    qFatal("%s did not open", window);
}

void closeAll(Form1* main)
{
    for (QWidget* shown : QApplication::topLevelWidgets()) {
        if (shown != main)
            shown->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    applyLookAndFeel();
    ProgramUnderTest program;
    QByteArray cycle, bans;
    for (int line = 0; line < 10000; ++line)
        cycle += line % 10 == 0 ? "// map " + QByteArray::number(line) + "\r\n"
                                : "map" + QByteArray::number(line) + " \"\\minplayers\\4\\\"\r\n";
    for (int line = 0; line < 100000; ++line)
        bans += "banid 0.0 STEAM_0:" + QByteArray::number(line % 2) + ':' + QByteArray::number(100000 + line) + "\r\n";
    QDir().mkpath(program.path("tfc/maps"));
    for (int map = 0; map < 100; ++map)
        writeBytes(program.path("tfc/maps/map" + QString::number(map) + ".bsp"), "");
    writeBytes(program.path("tfc/mapcycle.txt"), cycle);
    writeBytes(program.path("tfc/banned.cfg"), bans);
    Form1* main = program.start();

    QWidget* window = nullptr;
    measure("Map Cycle opened on 10,000 lines", [&] {
        closeAll(main);
        window = openFromMenu(main, "menuMapCycle", "MapCycleWindow");
    });
    measure("Map Cycle saved, 10,000 lines (maps not installed asked)", [&] {
        window = openFromMenu(main, "menuMapCycle", "MapCycleWindow");
        click(window, "saveButton");
    });
    closeAll(main);
    measure("Bans opened on 100,000 lines of tfc/banned.cfg", [&] {
        closeAll(main);
        window = openFromMenu(main, "menuBans", "BansWindow");
    });
    measure("Bans: a permanent ban added to 100,000 lines, read again", [&] {
        child<QLineEdit>(window, "entryBox")->setText("STEAM_0:1:99");
        click(window, "addButton");
    });
    measure("Bans: the last ban removed from 100,000 lines, read again", [&] {
        auto* table = child<QTableView>(window, "idTable");
        table->selectRow(table->model()->rowCount() - 1);
        click(window, "removeButton");
    });
    closeAll(main);
    if (program.messages.size() != rounds * 2)
        qFatal("unexpected messages: %s", qPrintable(program.messages.join(" / ")));
    return 0;
}
