#include "ProgramUnderTest.h"
#include "settings/FactorySettings.h"
#include "ui/Form1.h"
#include "ui/Form4.h"

#include <QCompleter>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>

namespace {

// server.cfg from the factory settings with the given lines (1 to 50) replaced.
QByteArray serverCfgWith(const QMap<int, QByteArray>& lines)
{
    QList<QByteArray> all = readBytes(TEST_DATA "/factory-server.cfg").split('\n');
    for (auto it = lines.begin(); it != lines.end(); ++it)
        all[it.key() - 1] = it.value() + '\r';
    return all.join('\n');
}

ServerSettings factoryRecord()
{
    ServerSettings settings;
    applyFactorySettings(settings);
    return settings;
}

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

    // A file from Windows, in its code page, is read as written there and written back in it.
    void startUpAndWriteConfig()
    {
        ProgramUnderTest program(
            settingsFileWith({{2, "0.2"}, {4, " Caf\xe9, \x80 "}, {5, "secret"}, {8, "16"}, {9, "well"}, {12, "1"}}));
        Form1* main = program.start();
        QCOMPARE(program.messages, QStringList());
        ServerSettings expected = factoryRecord();
        expected.file_version = "0.2";
        expected.hostname = " Café, € ";
        expected.rcon_password = "secret";
        expected.maxplayers = "16";
        expected.start_map = "well";
        expected.sv_lan = "1";
        QCOMPARE(program.settings, expected);

        for (const char* edit : {"Text3=45", "Text4=join", "Text5=20", "Text6=20000", "Text7=2000", "Text8=rock2",
                 "Check6=on", "Check1=off"})
            operate(main, edit);
        click(main, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Information: Configuration saved to server.cfg");
        QCOMPARE(readBytes(program.path("tfc/server.cfg")),
            serverCfgWith({{2, "// Version: 0.2"}, {5, "hostname \" Caf\xe9, \x80 \""}, {6, "rcon_password \"secret\""},
                {7, "sv_password \"join\""}, {8, "mp_timelimit 45"}, {9, "sv_minrate 2000"}, {10, "sv_maxrate 20000"},
                {13, "tfc_clanbattle 1"}}));
        QCOMPARE(program.settings.maxplayers, "20");
        QCOMPARE(program.settings.start_map, "rock2");
    }

    // A switch shows checked only for exactly "1", and keeps any other text until clicked.
    void switchesKeepTheirTextUntilClicked_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("afterClicks");
        QTest::newRow("1") << QByteArray("1") << "on" << QStringList{"0", "1"};
        QTest::newRow("2") << QByteArray("2") << "off" << QStringList{"1", "0"};
        QTest::newRow("blank and 1") << QByteArray(" 1") << "off" << QStringList{"1", "0"};
    }

    void switchesKeepTheirTextUntilClicked()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, shown);
        QFETCH(QStringList, afterClicks);
        ProgramUnderTest program(settingsFileWith({{13, stored}, {15, stored}}));
        Form1* main = program.start();
        QCOMPARE(stateOf(main, "Check3"), shown);
        QCOMPARE(program.settings.pausable, QString::fromUtf8(stored));
        for (const QString& after : afterClicks) {
            QTest::mouseClick(child(main, "Check3"), Qt::LeftButton);
            QCOMPARE(program.settings.pausable, after);
        }
        QCOMPARE(program.settings.tfc_clanbattle_prematch, QString::fromUtf8(stored));
    }

    // The program starts all the same, from the factory settings, and says why; the file stays.
    void unreadableSettingsFile_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("contents");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << std::optional<QByteArray>() << "No such file or directory";
        const QByteArray fourteenLines = factoryFullLayout().split('\n').mid(0, 14).join('\n') + '\n';
        QTest::newRow("short") << std::optional(fourteenLines) << "it has only 14 lines";
    }

    void unreadableSettingsFile()
    {
        QFETCH(std::optional<QByteArray>, contents);
        QFETCH(QString, reason);
        ProgramUnderTest program(contents);
        Form1* main = program.start();
        QVERIFY(main->isVisible());
        QCOMPARE(program.takeOnlyMessage(),
            "Warning: Cannot read " + program.path("tfc/default.tfc") + ": " + reason
                + (contents ? ", and a settings file has 52." : "")
                + "\n\nQuillmont is using its factory settings until you save new defaults with File, Default "
                  "Settings.");
        QCOMPARE(program.settings, factoryRecord());
        QCOMPARE(stateOf(main, "Text1"), "Team Fortress Classic");
        QCOMPARE(QFileInfo::exists(program.path("tfc/default.tfc")), bool(contents));
    }

    // A server.cfg that cannot be opened stops Write Config before the boxes reach the record; a
    // refused value stops it after, and the old file stays either way.
    void writeConfigRefused_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("serverName");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no tfc folder") << "no folder"
                                       << "edited"
                                       << "the folder tfc does not exist.";
        QTest::newRow("read-only") << "read-only"
                                   << "edited"
                                   << "the file is read-only.";
        QTest::newRow("quote") << "none"
                               << "x\"; quit"
                               << "Server Name (hostname) holds a double quote (\"), which the game server would "
                                  "take as the end of the value and run the rest as commands.";
    }

    void writeConfigRefused()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, serverName);
        QFETCH(QString, reason);
        ProgramUnderTest program;
        Form1* main = program.start();
        writeBytes(program.path("tfc/server.cfg"), "old\r\n");
        if (obstacle == "read-only")
            makeReadOnly(program.path("tfc/server.cfg"));
        else if (obstacle == "no folder")
            QDir(program.path("tfc")).removeRecursively();
        operate(main, "Text1=" + serverName);
        click(main, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Warning: Cannot write " + program.path("tfc/server.cfg") + ": " + reason);
        QCOMPARE(program.settings.hostname, obstacle == "none" ? serverName : "Team Fortress Classic");
        if (obstacle != "no folder")
            QCOMPARE(readBytes(program.path("tfc/server.cfg")), "old\r\n");
    }

    // The server starts in the server folder with the player limit and map of the record, not
    // those typed since the last Write Config, and its output goes to server-console.log there.
    void startServer_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("startMap");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("started");
        const QString question = "Question: The map %1 is not in tfc/maps. Start the server anyway?";
        // clang-format off
        QTest::newRow("without tfc/maps") << "HLDS.EXE" << "2fort;touch x|$(id)" << QMessageBox::No << "" << true;
        QTest::newRow("a map in tfc/maps") << "HLDS.EXE tfc/maps/2FORT.bsp" << "2fort" << QMessageBox::No << "" << true;
        QTest::newRow("another map, started") << "HLDS.EXE tfc/maps/2fort.bsp" << "well" << QMessageBox::Yes << question.arg("well") << true;
        QTest::newRow("another map, not started") << "HLDS.EXE tfc/maps/2fort.bsp" << "well" << QMessageBox::No << question.arg("well") << false;
        QTest::newRow("no log") << "HLDS.EXE server-console.log/" << "2fort" << QMessageBox::No
            << "Warning: The server's output is not kept: cannot write %1/server-console.log: Is a directory" << true;
        QTest::newRow("no server program") << "" << "2fort" << QMessageBox::No << "Warning: Cannot start the server: %1 holds no HLDS.EXE or hlds_run." << false;
        QTest::newRow("NUL in the map") << "HLDS.EXE" << "2fort" + QString(QChar(0)) << QMessageBox::No
            << "Warning: Cannot start the server: Start Map (start_map) holds a NUL character, which a command line cannot carry." << false;
        // clang-format on
    }

    void startServer()
    {
        QFETCH(QString, folder);
        QFETCH(QString, startMap);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(QString, message);
        QFETCH(bool, started);
        ProgramUnderTest program;
        for (const QString& file : folder.split(' ', Qt::SkipEmptyParts)) {
            QDir().mkpath(program.path(file.section('/', 0, -2)));
            if (file == "HLDS.EXE")
                QVERIFY(QFile::copy(STANDIN_SERVER_PATH, program.path(file)));
            else if (!file.endsWith('/'))
                writeBytes(program.path(file), "");
        }
        program.answer = answer;
        Form1* main = program.start();
        operate(main, "Text5=20");
        click(main, "Command1");
        operate(main, "Text5=99");
        program.settings.start_map = startMap;
        program.messages.clear();
        click(main, "Command2");
        QCOMPARE(program.messages, message.isEmpty() ? QStringList() : QStringList{message.arg(program.folder)});
        QTest::qWait(started ? 0 : 300);
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo::exists(program.path("standin-report.txt")), started, 10000);
        if (!started)
            return;
        const QList<QByteArray> report = readBytes(program.path("standin-report.txt")).split('\n');
        const QByteArray serverProgram = program.path("HLDS.EXE").toUtf8();
        QCOMPARE(report.mid(1, 8),
            (QByteArrayList{"program: " + serverProgram, "working folder: " + program.folder.toUtf8(),
                "argument 1: -game", "argument 2: tfc", "argument 3: -maxplayers", "argument 4: 20", "argument 5: +map",
                "argument 6: " + startMap.section(' ', 0, 0).toUtf8()}));
        if (message.contains("output"))
            return;
        const QRegularExpression logged("^--- \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d "
            + QRegularExpression::escape(serverProgram) + " -game tfc -maxplayers 20 \\+map "
            + QRegularExpression::escape(startMap) + "\nStand-in dedicated server\n");
        QTRY_VERIFY(logged.match(QString::fromUtf8(readBytes(program.path("server-console.log")))).hasMatch());
    }

    // Start Map completes from the maps in tfc/maps, in any case.
    void startMapCompletesFromTheMaps()
    {
        ProgramUnderTest program;
        QDir().mkpath(program.path("tfc/maps"));
        for (const char* map : {"2FORT.bsp", "well.bsp", "notes.txt"})
            writeBytes(program.path("tfc/maps/") + map, "");
        QCompleter* completer = child<QLineEdit>(program.start(), "Text8")->completer();
        QCOMPARE(completer->completionModel()->rowCount(), 2);
        completer->setCompletionPrefix("2f");
        QCOMPARE(completer->currentCompletion(), "2FORT");
        completer->setCompletionPrefix("WE");
        QCOMPARE(completer->currentCompletion(), "well");
    }

    // Every way out ends the program at once, saving nothing; File, Exit unloads every window first.
    void exits_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("Exit button") << "Command3";
        QTest::newRow("close box") << "close";
        QTest::newRow("File, Exit") << "menuExit";
    }

    void exits()
    {
        QFETCH(QString, way);
        ProgramUnderTest program;
        Form1* main = program.start();
        operate(main, "Check1=on");
        click(program.forms->show<Form4>(), "Command2"); // hidden, still loaded
        QTimer::singleShot(0, main, [&] {
            if (way == "close")
                main->close();
            else if (way == "menuExit")
                child<QAction>(main, way)->trigger();
            else
                click(main, way);
        });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        if (way == "menuExit")
            QCOMPARE(program.forms->loaded<Form4>(), nullptr);
        QCOMPARE(readBytes(program.path("tfc/default.tfc")), factoryFullLayout());
    }
};

QUILLMONT_UI_TEST_MAIN(Form1Test)
#include "tst_form1.moc"
