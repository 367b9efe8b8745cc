#include "ProgramUnderTest.h"
#include "settings/FactorySettings.h"
#include "ui/Form1.h"
#include "ui/Form10.h"
#include "ui/Form4.h"
#include "ui/Form6.h"
#include "ui/Form7.h"
#include "ui/Form9.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace {

// A start-up file far from the factory settings, with every switch of the main window on.
QByteArray customisedSettings()
{
    return settingsFileWith({{2, "0.2"}, {4, "Old Name"}, {5, "rcon"}, {6, "pass"}, {7, "45"}, {8, "20"}, {9, "well"},
        {10, "100"}, {11, "200"}, {12, "1"}, {13, "1"}, {14, "1"}, {15, "1"}, {29, "97"}, {30, " 2 "}, {37, "-1"}});
}

} // namespace

class SettingsDialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

    void restoreThenSaveWritesTheFactorySettings()
    {
        ProgramUnderTest program(customisedSettings());
        Form1* main = program.start();
        Form4* defaults = program.forms->show<Form4>();
        click(defaults, "Command3");
        Form10* restore = program.forms->loaded<Form10>();
        QVERIFY(restore && restore->isVisible());
        click(defaults, "Command3");
        QCOMPARE(program.forms->show<Form10>(), restore);

        click(restore, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Original settings restored.");
        QCOMPARE(program.forms->loaded<Form10>(), nullptr);
        QCOMPARE(readBytes(program.path("tfc/default.tfc")), customisedSettings());
        QCOMPARE(mainWindowTexts(main), (QStringList{"Team Fortress Classic", "", "30", "", "12", "0", "0", "2fort"}));
        for (const char* name : {"Check1", "Check3", "Check6", "Check7"})
            QVERIFY(!checkBox(main, name)->isChecked());
        QCOMPARE(program.settings.file_version, "0.2");

        click(defaults, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "DEFAULT.TFC file saved.");
        QVERIFY(!defaults->isVisible());
        QCOMPARE(readBytes(program.path("tfc/default.tfc")), factoryFullLayout());
    }

    void cancelledRestoreChangesNothing()
    {
        ProgramUnderTest program(customisedSettings());
        Form1* main = program.start();
        const ServerSettings before = program.settings;
        Form4* defaults = program.forms->show<Form4>();
        click(defaults, "Command3");
        click(program.forms->loaded<Form10>(), "Command2");
        QCOMPARE(program.forms->loaded<Form10>(), nullptr);
        QCOMPARE(program.settings, before);
        QCOMPARE(textBox(main, "Text1")->text(), "Old Name");
        QVERIFY(checkBox(main, "Check7")->isChecked());
        QCOMPARE(program.messages, QStringList());
    }

    // Save and Cancel hide the dialog; only its first opening takes the main window's texts.
    void defaultSettingsLoadsOncePerOpening()
    {
        ProgramUnderTest program;
        Form1* main = program.start();
        textBox(main, "Text1")->setText("First");
        textBox(main, "Text2")->setText("secret");
        Form4* defaults = program.forms->show<Form4>();
        QVERIFY(QTest::qWaitForWindowActive(defaults));
        QCOMPARE(QApplication::focusWidget()->objectName(), "Command1");
        QCOMPARE(program.settings.rcon_password, "secret");
        click(defaults, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "DEFAULT.TFC file saved.");
        QCOMPARE(readBytes(program.path("tfc/default.tfc")).split('\n')[3], "First\r");

        textBox(main, "Text1")->setText("Second");
        QCOMPARE(program.forms->show<Form4>(), defaults);
        click(defaults, "Command2");
        QCOMPARE(program.forms->show<Form4>(), defaults);
        click(defaults, "Command1");
        program.messages.clear();
        QCOMPARE(readBytes(program.path("tfc/default.tfc")).split('\n')[3], "First\r");

        defaults->close();
        QCOMPARE(program.forms->loaded<Form4>(), nullptr);
        click(program.forms->show<Form4>(), "Command1");
        QCOMPARE(readBytes(program.path("tfc/default.tfc")).split('\n')[3], "Second\r");
    }

    void failedSaveKeepsTheOldFile()
    {
        ProgramUnderTest program(customisedSettings());
        Form1* main = program.start();
        makeReadOnly(program.path("tfc/default.tfc"));
        textBox(main, "Text1")->setText("New Name");
        Form4* defaults = program.forms->show<Form4>();
        click(defaults, "Command1");
        const QString message = program.takeOnlyMessage();
        QVERIFY2(
            message.contains(program.path("tfc/default.tfc")) && message.contains("read-only"), qPrintable(message));
        QVERIFY(defaults->isVisible());
        QCOMPARE(readBytes(program.path("tfc/default.tfc")), customisedSettings());
    }

    void savedDefaultsComeBackAtTheNextStart()
    {
        QByteArray saved;
        ServerSettings edited;
        {
            ProgramUnderTest program;
            Form1* main = program.start();
            const std::pair<const char*, const char*> edits[]
                = {{"Text1", " Spaced, \"quoted\" "}, {"Text2", "r;c"}, {"Text3", "25"}, {"Text4", "Zürich"},
                    {"Text5", "8"}, {"Text6", "9000"}, {"Text7", "1500"}, {"Text8", "rock2"}};
            for (const auto& [name, value] : edits)
                textBox(main, name)->setText(value);
            checkBox(main, "Check3")->click();
            checkBox(main, "Check7")->click();
            click(program.forms->show<Form4>(), "Command1");
            edited = program.settings;
            saved = readBytes(program.path("tfc/default.tfc"));
        }
        ProgramUnderTest next(saved);
        Form1* main = next.start();
        QCOMPARE(next.messages, QStringList());
        QCOMPARE(next.settings, edited);
        QCOMPARE(textBox(main, "Text1")->text(), " Spaced, \"quoted\" ");
        QCOMPARE(textBox(main, "Text4")->text(), "Zürich");
        QVERIFY(checkBox(main, "Check3")->isChecked());
        QVERIFY(checkBox(main, "Check7")->isChecked());
        QVERIFY(!checkBox(main, "Check1")->isChecked());
    }

    // Values from another system, of any length and with any character, pass through every window
    // that shows them and come back out byte for byte.
    void unusualValuesSurviveEveryWindow()
    {
        const QByteArray unusual
            = settingsFileWith({{4, "Caf\xe9 \x80 \x92"}, {5, QByteArray(40000, 'r')}, {6, "\xef\xbb\xbfpass"},
                {7,
                    QByteArray("3\0"
                               "0",
                        3)},
                {8, "\t12"}, {9, "<b>map</b>"}, {20, QByteArray(33000, 'g')}, {21, "\x81\x8d"},
                {52, QByteArray(50000, '5')}});
        ProgramUnderTest program(unusual);
        Form1* main = program.start();
        QCOMPARE(textBox(main, "Text1")->text(), "Café € ’");
        click(program.forms->show<Form6>(), "Command1");
        click(program.forms->show<Form7>(), "Command1");
        click(program.forms->show<Form4>(), "Command1");
        QCOMPARE(program.takeOnlyMessage(), "DEFAULT.TFC file saved.");
        QCOMPARE(readBytes(program.path("tfc/default.tfc")), unusual);

        click(program.forms->show<Form9>(), "Command1");
        QCOMPARE(program.takeOnlyMessage(), "File Default.tfc saved.");
        QCOMPARE(readBytes(program.path("Default.TFC")).split('\n').mid(0, 5),
            (QByteArrayList{"Caf\xe9 \x80 \x92\r", QByteArray(40000, 'r') + '\r',
                QByteArray("3\0"
                           "0\r",
                    4),
                "\x81\x8d\r", "500\r"}));
    }

    void saveAsWritesTheShortLayout()
    {
        ProgramUnderTest program(customisedSettings());
        Form1* main = program.start();
        checkBox(main, "Check1")->click();
        textBox(main, "Text1")->setText("Taken");
        textBox(main, "Text2")->setText("not taken");
        Form9* saveAs = program.forms->show<Form9>();
        QCOMPARE(textBox(saveAs, "Text1")->text(), "Default");
        click(saveAs, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "File Default.tfc saved.");
        QVERIFY(!saveAs->isVisible());
        QCOMPARE(readBytes(program.path("Default.TFC")),
            crlfLines({"Taken", "rcon", "45", "3.5", "500", "100", "200", "0", "1", "1", "1", "0", "0", "800", "0",
                "30", "300", "0", "0", "97", "-1", "0", "0", "0", "0", "0", "0", "0", "0"}));
        QCOMPARE(readBytes(program.path("tfc/default.tfc")), customisedSettings());
    }

    void saveAsNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("extension added again") << "x.tfc"
                                               << "x.tfc.TFC"
                                               << "File x.tfc.tfc saved.";
        QTest::newRow("empty") << ""
                               << ".TFC"
                               << "File .tfc saved.";
        QTest::newRow("blanks kept") << " my set "
                                     << " my set .TFC"
                                     << "File  my set .tfc saved.";
        QTest::newRow("colon first") << ":colon"
                                     << ":colon.TFC"
                                     << "File :colon.tfc saved.";
        QTest::newRow("slash") << "../escape"
                               << ""
                               << "cannot hold";
        QTest::newRow("backslash") << "..\\escape"
                                   << ""
                                   << "cannot hold";
        QTest::newRow("NUL") << QString("a") + QChar(0) + "b"
                             << ""
                             << "cannot hold";
    }

    void saveAsNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        QFETCH(QString, message);
        ProgramUnderTest program;
        program.start();
        const QStringList before = filesIn(program.folder) + filesIn(program.dir.path());
        Form9* saveAs = program.forms->show<Form9>();
        textBox(saveAs, "Text1")->setText(name);
        click(saveAs, "Command1");
        QVERIFY2(program.takeOnlyMessage().contains(message), qPrintable(message));
        if (file.isEmpty()) {
            QVERIFY(saveAs->isVisible());
            QCOMPARE(filesIn(program.folder) + filesIn(program.dir.path()), before);
        } else {
            QCOMPARE(readBytes(program.folder + '/' + file).count("\r\n"), 29);
        }
    }

    void saveAsRemembersTheNameUntilClosed()
    {
        ProgramUnderTest program;
        Form1* main = program.start();
        Form9* saveAs = program.forms->show<Form9>();
        textBox(saveAs, "Text1")->setText("weekend");
        click(saveAs, "Command2");
        QVERIFY(!saveAs->isVisible());
        QVERIFY(!QFileInfo::exists(program.path("weekend.TFC")));
        textBox(main, "Text1")->setText("Edited later");
        QCOMPARE(program.forms->show<Form9>(), saveAs);
        QCOMPARE(textBox(saveAs, "Text1")->text(), "weekend");
        QCOMPARE(program.settings.hostname, "Team Fortress Classic");

        saveAs->close();
        QCOMPARE(textBox(program.forms->show<Form9>(), "Text1")->text(), "Default");
        QCOMPARE(program.settings.hostname, "Edited later");
    }
};

QUILLMONT_UI_TEST_MAIN(SettingsDialogsTest)
#include "tst_settingsdialogs.moc"
