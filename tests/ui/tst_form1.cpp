#include "ProgramUnderTest.h"
#include "settings/FactorySettings.h"
#include "ui/Form1.h"
#include "ui/LookAndFeel.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Runs the event loop until the program ends; false if it is still running after five seconds.
bool programEndsAfter(const std::function<void()>& action)
{
    QTimer::singleShot(0, action);
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    return QCoreApplication::exec() == 0;
}

// A window for the single-instance tests, counting how often it is loaded.
class CountingWindow : public QWidget {
public:
    static constexpr int number = 10;
    static inline int loads = 0;
    explicit CountingWindow(Forms&) { setWindowTitle("counting"); }
    void Form_Load() { ++loads; }
};

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

    void menus()
    {
        ProgramUnderTest program;
        Form1* form = program.start();
        QStringList shown;
        for (QAction* menu : form->menuBar()->actions()) {
            shown << menu->menu()->objectName() + "=" + menu->text();
            for (QAction* entry : menu->menu()->actions()) {
                shown << entry->objectName() + "=" + (entry->isSeparator() ? "-" : entry->text())
                        + (entry->isEnabled() ? "" : " (greyed)");
                QVERIFY(entry->shortcut().isEmpty());
            }
        }
        QCOMPARE(shown,
            (QStringList{"menuFile=File", "menuOpenCfg=Open... (greyed)", "menuSaveCfgAs=Save As... (greyed)",
                "menuSaveDefault=Default Settings", "blank=-", "menuExit=Exit", "menuOptions=Options",
                "menuPhysics=Game Physics", "menuRestrictions=Class Restriction", "menuDamage=Team Damage Settings",
                "menuScoring=Scoring and Team Settings", "menuCheats=Cheats", "menuHelp=Help", "menuAbout=About"}));
    }

    // A file from Windows, in its code page, is shown as written there and written back in it.
    void startUp()
    {
        ProgramUnderTest program(settingsFileWith({{2, "0.2"}, {4, " Caf\xe9, \x80 "}, {5, "secret"}, {8, "16"},
            {9, "well"}, {10, "1000"}, {11, "25000"}, {12, "1"}}));
        Form1* form = program.start();
        QCOMPARE(program.messages, QStringList());
        QCOMPARE(program.settings.file_version, "0.2");
        QCOMPARE(mainWindowTexts(form), (QStringList{" Café, € ", "secret", "30", "", "16", "25000", "1000", "well"}));
        QVERIFY(checkBox(form, "Check1")->isChecked());
        QVERIFY(!checkBox(form, "Check3")->isChecked());
        QCOMPARE(checkBox(form, "Check7")->text(), "Clan PreMatch");
        QCOMPARE(form->findChild<QGroupBox*>("Frame1")->title(), "Data Rate");

        click(form, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Configuration saved to server.cfg");
        QCOMPARE(readBytes(program.path("tfc/server.cfg")).split('\n')[4], "hostname \" Caf\xe9, \x80 \"\r");
    }

    void switchesKeepUnexpectedTextUntilClicked_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QStringList>("afterClicks");
        QTest::newRow("1") << QByteArray("1") << true << QStringList{"0", "1"};
        QTest::newRow("empty") << QByteArray() << false << QStringList{"1", "0"};
        QTest::newRow("2") << QByteArray("2") << false << QStringList{"1", "0"};
        QTest::newRow("blank and 1") << QByteArray(" 1") << false << QStringList{"1", "0"};
    }

    void switchesKeepUnexpectedTextUntilClicked()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, checked);
        QFETCH(QStringList, afterClicks);
        ProgramUnderTest program(settingsFileWith({{13, stored}, {15, stored}}));
        Form1* form = program.start();
        QCOMPARE(checkBox(form, "Check3")->isChecked(), checked);
        QCOMPARE(program.settings.pausable, QString::fromUtf8(stored));
        QCOMPARE(program.settings.tfc_clanbattle_prematch, QString::fromUtf8(stored));

        QTest::mouseClick(checkBox(form, "Check3"), Qt::LeftButton);
        QCOMPARE(program.settings.pausable, afterClicks[0]);
        checkBox(form, "Check3")->click();
        QCOMPARE(program.settings.pausable, afterClicks[1]);
        QCOMPARE(program.settings.tfc_clanbattle_prematch, QString::fromUtf8(stored));
    }

    void unreadableSettingsFileStartsFromFactorySettings_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("contents");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << std::optional<QByteArray>() << "No such file or directory";
        const QByteArray firstFourteenLines = factoryFullLayout().split('\n').mid(0, 14).join('\n') + '\n';
        QTest::newRow("short") << std::optional(firstFourteenLines) << "it has only 14 lines";
    }

    void unreadableSettingsFileStartsFromFactorySettings()
    {
        QFETCH(std::optional<QByteArray>, contents);
        QFETCH(QString, reason);
        ProgramUnderTest program(contents);
        Form1* form = program.start();
        QVERIFY(form->isVisible());
        const QString message = program.takeOnlyMessage();
        QVERIFY2(message.contains(program.path("tfc/default.tfc")), qPrintable(message));
        QVERIFY2(message.contains(reason), qPrintable(message));
        QVERIFY2(message.contains("factory settings"), qPrintable(message));

        ServerSettings factory;
        applyFactorySettings(factory);
        QCOMPARE(program.settings, factory);
        QCOMPARE(mainWindowTexts(form), (QStringList{"Team Fortress Classic", "", "30", "", "12", "0", "0", "2fort"}));
        if (contents)
            QCOMPARE(readBytes(program.path("tfc/default.tfc")), *contents);
        else
            QVERIFY(!QFileInfo::exists(program.path("tfc/default.tfc")));
    }

    void writeConfig()
    {
        ProgramUnderTest program;
        Form1* form = program.start();
        textBox(form, "Text1")->setText("  My Server  ");
        textBox(form, "Text2")->setText("rc;on");
        textBox(form, "Text3")->setText("45");
        textBox(form, "Text4")->setText("join");
        textBox(form, "Text5")->setText("20");
        textBox(form, "Text6")->setText("20000");
        textBox(form, "Text7")->setText("2000");
        textBox(form, "Text8")->setText("well");
        checkBox(form, "Check6")->click();

        click(form, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Configuration saved to server.cfg");
        const QByteArray written = readBytes(program.path("tfc/server.cfg"));
        const QList<QByteArray> lines = written.split('\n');
        QCOMPARE(lines.size(), 51);
        QCOMPARE(lines.mid(0, 14),
            (QList<QByteArray>{"// Server configuration generated by Quillmont\r", "// Version: 0.3\r", "\r",
                "// --- Main Screen\r", "hostname \"  My Server  \"\r", "rcon_password \"rc;on\"\r",
                "sv_password \"join\"\r", "mp_timelimit 45\r", "sv_minrate 2000\r", "sv_maxrate 20000\r", "sv_lan 0\r",
                "pausable 0\r", "tfc_clanbattle 1\r", "tfc_clanbattle_prematch 0\r"}));
        QCOMPARE(program.settings.hostname, "  My Server  ");
        QCOMPARE(program.settings.maxplayers, "20");
        QCOMPARE(program.settings.start_map, "well");

        click(form, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Configuration saved to server.cfg");
        QCOMPARE(readBytes(program.path("tfc/server.cfg")), written);
    }

    void writeConfigThatCannotOpenTheFile_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no tfc folder") << false << "does not exist";
        QTest::newRow("read-only server.cfg") << true << "read-only";
    }

    void writeConfigThatCannotOpenTheFile()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, reason);
        ProgramUnderTest program;
        Form1* form = program.start();
        const ServerSettings before = program.settings;
        if (readOnly) {
            writeBytes(program.path("tfc/server.cfg"), "old\r\n");
            makeReadOnly(program.path("tfc/server.cfg"));
        } else {
            QDir(program.path("tfc")).removeRecursively();
        }
        textBox(form, "Text1")->setText("edited");

        click(form, "Command1");
        const QString message = program.takeOnlyMessage();
        QVERIFY2(message.contains(program.path("tfc/server.cfg")), qPrintable(message));
        QVERIFY2(message.contains(reason), qPrintable(message));
        QCOMPARE(program.settings, before);
        if (readOnly)
            QCOMPARE(readBytes(program.path("tfc/server.cfg")), "old\r\n");
    }

    void writeConfigRefusesWhatTheServerWouldRun()
    {
        ProgramUnderTest program;
        Form1* form = program.start();
        writeBytes(program.path("tfc/server.cfg"), "old\r\n");
        textBox(form, "Text1")->setText("x\"; rcon_password \"known");

        click(form, "Command1");
        const QString message = program.takeOnlyMessage();
        QVERIFY2(message.contains("hostname") && message.contains("double quote"), qPrintable(message));
        QCOMPARE(readBytes(program.path("tfc/server.cfg")), "old\r\n");
        QCOMPARE(program.settings.hostname, "x\"; rcon_password \"known");
    }

    void startServer_data()
    {
        QTest::addColumn<QString>("maxplayers");
        QTest::addColumn<QString>("startMap");
        QTest::addColumn<QByteArray>("arguments");
        QTest::newRow("factory") << "12"
                                 << "2fort" << QByteArray("-game|tfc|-maxplayers|12|+map|2fort");
        QTest::newRow("empty player limit") << ""
                                            << "2fort" << QByteArray("-game|tfc|-maxplayers|+map|2fort");
        QTest::newRow("empty map") << "12"
                                   << "" << QByteArray("-game|tfc|-maxplayers|12|+map");
        QTest::newRow("shell syntax") << "12"
                                      << "2fort;touch x|$(id)"
                                      << QByteArray("-game|tfc|-maxplayers|12|+map|2fort;touch|x|$(id)");
    }

    void startServer()
    {
        QFETCH(QString, maxplayers);
        QFETCH(QString, startMap);
        QFETCH(QByteArray, arguments);
        ProgramUnderTest program;
        QVERIFY(QFile::copy(STANDIN_SERVER_PATH, program.path("HLDS.EXE")));
        Form1* form = program.start();
        textBox(form, "Text5")->setText(maxplayers);
        textBox(form, "Text8")->setText(startMap);
        click(form, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Configuration saved to server.cfg");
        textBox(form, "Text5")->setText("99"); // not taken into the record yet

        click(form, "Command2");
        QCOMPARE(program.messages, QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(program.path("standin-report.txt")), 10000);
        const QList<QByteArray> report = readBytes(program.path("standin-report.txt")).split('\n');
        QCOMPARE(report[1], "program: " + program.path("HLDS.EXE").toUtf8());
        QCOMPARE(report[2], "working folder: " + program.folder.toUtf8());
        QByteArrayList received;
        for (const QByteArray& line : report) {
            if (line.startsWith("argument "))
                received << line.mid(line.indexOf(": ") + 2);
        }
        QCOMPARE(received.join('|'), arguments);
        QVERIFY(report.contains("server.cfg: mp_timelimit 30"));
        QCOMPARE(filesIn(program.folder), (QStringList{"HLDS.EXE", "standin-report.txt"}));
    }

    void startServerRefused_data()
    {
        QTest::addColumn<QString>("startMap");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("no server program") << "2fort"
                                           << "HLDS.EXE";
        QTest::newRow("NUL in the map") << "2fort" + QString(QChar(0)) << "Start Map (start_map) holds a NUL";
    }

    void startServerRefused()
    {
        QFETCH(QString, startMap);
        QFETCH(QString, refusal);
        ProgramUnderTest program;
        Form1* form = program.start();
        if (startMap != "2fort")
            QVERIFY(QFile::copy(STANDIN_SERVER_PATH, program.path("HLDS.EXE")));
        program.settings.start_map = startMap;
        const ServerSettings before = program.settings;
        click(form, "Command2");
        const QString message = program.takeOnlyMessage();
        QVERIFY2(message.contains(refusal), qPrintable(message));
        QCOMPARE(program.settings, before);
        QTest::qWait(200);
        QVERIFY(!QFileInfo::exists(program.path("standin-report.txt")));
    }

    void showingALoadedWindowBringsItBack()
    {
        ProgramUnderTest program;
        CountingWindow::loads = 0;
        CountingWindow* first = program.forms->show<CountingWindow>();
        QVERIFY(first->isVisible());
        QCOMPARE(CountingWindow::loads, 1);

        first->hide();
        QCOMPARE(program.forms->show<CountingWindow>(), first);
        QVERIFY(first->isVisible());
        QCOMPARE(CountingWindow::loads, 1);

        first->close();
        QCOMPARE(program.forms->loaded<CountingWindow>(), nullptr);
        CountingWindow* second = program.forms->show<CountingWindow>();
        QCOMPARE(CountingWindow::loads, 2);
        QVERIFY(second->isVisible());
        QVERIFY(second->parentWidget() == nullptr);
    }

    void exitButtonEndsTheProgram()
    {
        ProgramUnderTest program;
        Form1* form = program.start();
        QVERIFY(programEndsAfter([form] { click(form, "Command3"); }));
    }

    void closingTheMainWindowEndsTheProgram()
    {
        ProgramUnderTest program;
        Form1* form = program.start();
        program.forms->show<CountingWindow>();
        QVERIFY(programEndsAfter([form] { form->close(); }));
    }

    void exitMenuUnloadsEveryWindowAndEnds()
    {
        ProgramUnderTest program;
        Form1* form = program.start();
        program.forms->show<CountingWindow>()->hide();
        QAction* exit = form->findChild<QAction*>("menuExit");
        QVERIFY(programEndsAfter([exit] { exit->trigger(); }));
        QCOMPARE(program.forms->loaded<Form1>(), nullptr);
        QCOMPARE(program.forms->loaded<CountingWindow>(), nullptr);
        QCOMPARE(readBytes(program.path("tfc/default.tfc")), factoryFullLayout());
    }
};

QUILLMONT_UI_TEST_MAIN(Form1Test)
#include "tst_form1.moc"
