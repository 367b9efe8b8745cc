#include "TestFiles.h"
#include "launch/ServerLaunch.h"
#include "settings/ServerSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class ServerLaunchTest : public QObject {
    Q_OBJECT

    static ServerSettings withPlayersAndMap(const QString& maxplayers, const QString& startMap)
    {
        ServerSettings settings;
        settings.maxplayers = maxplayers;
        settings.start_map = startMap;
        return settings;
    }

private Q_SLOTS:
    void commandFromTheRecord_data()
    {
        QTest::addColumn<QString>("maxplayers");
        QTest::addColumn<QString>("startMap");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("factory") << "12"
                                 << "2fort" << QStringList{"-game", "tfc", "-maxplayers", "12", "+map", "2fort"};
        QTest::newRow("empty player limit") << ""
                                            << "2fort" << QStringList{"-game", "tfc", "-maxplayers", "+map", "2fort"};
        QTest::newRow("empty map") << "12"
                                   << "" << QStringList{"-game", "tfc", "-maxplayers", "12", "+map"};
        QTest::newRow("not a number") << "many"
                                      << "well" << QStringList{"-game", "tfc", "-maxplayers", "many", "+map", "well"};
        QTest::newRow("blanks split as the server would")
            << " 16  "
            << "2fort;touch x" << QStringList{"-game", "tfc", "-maxplayers", "16", "+map", "2fort;touch", "x"};
        QTest::newRow("shell syntax is plain text")
            << "$(id)"
            << "`id`|x" << QStringList{"-game", "tfc", "-maxplayers", "$(id)", "+map", "`id`|x"};
    }

    void commandFromTheRecord()
    {
        QFETCH(QString, maxplayers);
        QFETCH(QString, startMap);
        QFETCH(QStringList, arguments);
        const QString folder = QStringLiteral("/srv/games/half life");
        const ServerCommand command = serverCommand(folder, withPlayersAndMap(maxplayers, startMap));
        QCOMPARE(command.program, QStringLiteral("/srv/games/half life/HLDS.EXE"));
        QCOMPARE(command.arguments, arguments);
        QCOMPARE(command.workingFolder, folder);
    }

    void valuesACommandLineCannotCarry_data()
    {
        QTest::addColumn<QString>("maxplayers");
        QTest::addColumn<QString>("startMap");
        QTest::addColumn<QString>("refusal");
        const QString nul(QChar(0));
        QTest::newRow("factory") << "12"
                                 << "2fort" << QString();
        QTest::newRow("NUL in the player limit") << "1" + nul + "2"
                                                 << "2fort"
                                                 << "Max Players (maxplayers) holds a NUL character";
        QTest::newRow("NUL in the map") << "12"
                                        << "2fort" + nul << "Start Map (start_map) holds a NUL character";
    }

    void valuesACommandLineCannotCarry()
    {
        QFETCH(QString, maxplayers);
        QFETCH(QString, startMap);
        QFETCH(QString, refusal);
        const std::optional<Failure> failure = checkCommandLineValues(withPlayersAndMap(maxplayers, startMap));
        QCOMPARE(failure.has_value(), !refusal.isEmpty());
        if (failure)
            QVERIFY2(failure->message.startsWith("Cannot start the server: " + refusal), qPrintable(failure->message));
    }

    void linuxStartScriptWhenThereIsNoHldsExe()
    {
        QTemporaryDir folder;
        writeBytes(folder.filePath("hlds_run"), "#!/bin/sh\n");
        QCOMPARE(serverCommand(folder.path(), {}).program, folder.filePath("hlds_run"));
        writeBytes(folder.filePath("HLDS.EXE"), "");
        QCOMPARE(serverCommand(folder.path(), {}).program, folder.filePath("HLDS.EXE"));
    }

    void programThatCannotStart_data()
    {
        QTest::addColumn<QByteArray>("program");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not executable") << QByteArray("not a program");
    }

    void programThatCannotStart()
    {
        QFETCH(QByteArray, program);
        QTemporaryDir folder;
        if (!program.isEmpty())
            writeBytes(folder.filePath("HLDS.EXE"), program);
        const std::optional<Failure> failure
            = startServer(serverCommand(folder.path(), withPlayersAndMap("12", "2fort")));
        QVERIFY(failure);
        QVERIFY2(failure->message.contains(folder.filePath("HLDS.EXE")), qPrintable(failure->message));
    }
};

QTEST_GUILESS_MAIN(ServerLaunchTest)
#include "tst_serverlaunch.moc"
