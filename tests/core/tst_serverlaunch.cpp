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
        QTest::newRow("factory") << "12" << "2fort" << QStringList{"-game", "tfc", "-maxplayers", "12", "+map", "2fort"};
        QTest::newRow("empty player limit") << "" << "2fort" << QStringList{"-game", "tfc", "-maxplayers", "+map", "2fort"};
        QTest::newRow("empty map") << "12" << "" << QStringList{"-game", "tfc", "-maxplayers", "12", "+map"};
        QTest::newRow("not a number") << "many" << "well" << QStringList{"-game", "tfc", "-maxplayers", "many", "+map", "well"};
        QTest::newRow("blanks split as the server would")
            << " 16  " << "2fort;touch x" << QStringList{"-game", "tfc", "-maxplayers", "16", "+map", "2fort;touch", "x"};
        QTest::newRow("shell syntax is plain text") << "$(id)" << "`id`|x" << QStringList{"-game", "tfc", "-maxplayers", "$(id)", "+map", "`id`|x"};
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

    void linuxStartScriptWhenThereIsNoHldsExe()
    {
        QTemporaryDir folder;
        writeBytes(folder.filePath("hlds_run"), "#!/bin/sh\n");
        QCOMPARE(serverCommand(folder.path(), {}).program, folder.filePath("hlds_run"));
        writeBytes(folder.filePath("HLDS.EXE"), "");
        QCOMPARE(serverCommand(folder.path(), {}).program, folder.filePath("HLDS.EXE"));
    }

    // The stand-in server reports what it really received; a shell would have run the map name.
    void serverReceivesExactlyTheArguments()
    {
        QTemporaryDir parent;
        const QString folder = parent.filePath("server folder");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(STANDIN_SERVER_PATH, folder + "/HLDS.EXE"));

        const ServerCommand command = serverCommand(folder, withPlayersAndMap("12", "2fort;touch pwned $(touch pwned2)"));
        QCOMPARE(startServer(command), std::nullopt);

        const QString report = folder + "/standin-report.txt";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(report), 10000);
        const QByteArray expected = "Stand-in dedicated server\n"
                                    "program: " + folder.toUtf8() + "/HLDS.EXE\n"
                                    "working folder: " + folder.toUtf8() + "\n"
                                    "argument 1: -game\n"
                                    "argument 2: tfc\n"
                                    "argument 3: -maxplayers\n"
                                    "argument 4: 12\n"
                                    "argument 5: +map\n"
                                    "argument 6: 2fort;touch\n"
                                    "argument 7: pwned\n"
                                    "argument 8: $(touch\n"
                                    "argument 9: pwned2)\n"
                                    "tfc/server.cfg: No such file or directory\n";
        QCOMPARE(readBytes(report), expected);
        QCOMPARE(filesIn(folder), (QStringList{"HLDS.EXE", "standin-report.txt"}));
    }

    void missingServerProgram()
    {
        QTemporaryDir folder;
        const std::optional<Failure> failure = startServer(serverCommand(folder.path(), withPlayersAndMap("12", "2fort")));
        QVERIFY(failure);
        QVERIFY2(failure->message.contains(folder.filePath("HLDS.EXE")), qPrintable(failure->message));
        QVERIFY2(failure->message.contains("No such file"), qPrintable(failure->message));
    }

    void serverProgramNotExecutable()
    {
        QTemporaryDir folder;
        writeBytes(folder.filePath("HLDS.EXE"), "not a program");
        QFile::setPermissions(folder.filePath("HLDS.EXE"), QFile::ReadOwner | QFile::WriteOwner);
        const std::optional<Failure> failure = startServer(serverCommand(folder.path(), withPlayersAndMap("12", "2fort")));
        QVERIFY(failure);
        QVERIFY2(failure->message.contains(folder.filePath("HLDS.EXE")), qPrintable(failure->message));
    }
};

QTEST_GUILESS_MAIN(ServerLaunchTest)
#include "tst_serverlaunch.moc"
