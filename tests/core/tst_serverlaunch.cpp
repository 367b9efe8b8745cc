#include "TestFiles.h"
#include "launch/Maps.h"
#include "launch/ServerLaunch.h"
#include "settings/ServerSettings.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

ServerSettings withPlayersAndMap(const QString& maxplayers, const QString& startMap)
{
    ServerSettings settings;
    settings.maxplayers = maxplayers;
    settings.start_map = startMap;
    return settings;
}

} // namespace

// The command line the server receives; the UI tests start it for real.
class ServerLaunchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandFromTheRecord_data()
    {
        QTest::addColumn<QString>("maxplayers");
        QTest::addColumn<QString>("startMap");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("refusal");
        const QString nul(QChar(0));
        // clang-format off
        QTest::newRow("factory") << "12" << "2fort" << QStringList{"-game", "tfc", "-maxplayers", "12", "+map", "2fort"} << "";
        QTest::newRow("empty player limit") << "" << "2fort" << QStringList{"-game", "tfc", "-maxplayers", "+map", "2fort"} << "";
        QTest::newRow("empty map") << "12" << "" << QStringList{"-game", "tfc", "-maxplayers", "12", "+map"} << "";
        QTest::newRow("blanks split as the server would") << " 16  " << "2fort x" << QStringList{"-game", "tfc", "-maxplayers", "16", "+map", "2fort", "x"} << "";
        QTest::newRow("NUL in the player limit") << "1" + nul << "2fort" << QStringList{"-game", "tfc", "-maxplayers", "1" + nul, "+map", "2fort"}
            << "Cannot start the server: Max Players (maxplayers) holds a NUL character, which a command line cannot carry.";
        QTest::newRow("NUL in the map") << "12" << nul << QStringList{"-game", "tfc", "-maxplayers", "12", "+map", nul}
            << "Cannot start the server: Start Map (start_map) holds a NUL character, which a command line cannot carry.";
        // clang-format on
    }

    void commandFromTheRecord()
    {
        QFETCH(QString, maxplayers);
        QFETCH(QString, startMap);
        QFETCH(QStringList, arguments);
        QFETCH(QString, refusal);
        const QString folder = "/srv/games/half life";
        const ServerCommand command = serverCommand(folder, withPlayersAndMap(maxplayers, startMap));
        QCOMPARE(command.program, "/srv/games/half life/HLDS.EXE");
        QCOMPARE(command.arguments, arguments);
        QCOMPARE(command.workingFolder, folder);
        QCOMPARE(messageOf(checkCommandLineValues(withPlayersAndMap(maxplayers, startMap))), refusal);
    }

    void linuxStartScriptWhenThereIsNoHldsExe()
    {
        QTemporaryDir folder;
        writeBytes(folder.filePath("hlds_run"), "#!/bin/sh\n");
        QCOMPARE(serverCommand(folder.path(), {}).program, folder.filePath("hlds_run"));
        writeBytes(folder.filePath("HLDS.EXE"), "");
        QCOMPARE(serverCommand(folder.path(), {}).program, folder.filePath("HLDS.EXE"));
        QCOMPARE(serverCommand(folder.path(), {}).logFile, folder.filePath("server-console.log"));
    }

    void programThatCannotStart()
    {
        QTemporaryDir folder;
        writeBytes(folder.filePath("HLDS.EXE"), "not a program");
        QCOMPARE(messageOf(startServer(serverCommand(folder.path(), withPlayersAndMap("12", "2fort")), true)),
            "Cannot start " + folder.filePath("HLDS.EXE") + ": execv: Permission denied");
    }

    // Names from .bsp files in any case; nothing without tfc/maps.
    void maps()
    {
        QTemporaryDir folder;
        QCOMPARE(mapsOfServer(folder.path()), std::nullopt);
        QVERIFY(QDir(folder.path()).mkpath("tfc/maps/sub.bsp"));
        for (const char* file : {"2fort.bsp", "Well.BSP", "readme.txt", "rock2.bsp.txt"})
            writeBytes(folder.filePath("tfc/maps/") + file, "");
        const std::optional<QStringList> maps = mapsOfServer(folder.path());
        QCOMPARE(maps, (QStringList{"2fort", "Well"}));
        QVERIFY(holdsMap(*maps, "WELL") && holdsMap(*maps, "2fort") && !holdsMap(*maps, "rock2"));
    }
};

QTEST_GUILESS_MAIN(ServerLaunchTest)
#include "tst_serverlaunch.moc"
