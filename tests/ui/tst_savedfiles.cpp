#include "ProgramUnderTest.h"
#include "ui/Form1.h"
#include "ui/Form10.h"
#include "ui/Form4.h"
#include "ui/Form6.h"
#include "ui/Form7.h"
#include "ui/Form9.h"

#include <QLineEdit>

namespace {

// A start-up file far from the factory settings, with every switch of the main window on.
QByteArray customisedSettings()
{
    return settingsFileWith({{2, "0.2"}, {4, "Old Name"}, {5, "rcon"}, {6, "pass"}, {7, "45"}, {8, "20"}, {9, "well"},
        {10, "100"}, {11, "200"}, {12, "1"}, {13, "1"}, {14, "1"}, {15, "1"}, {29, "97"}, {30, " 2 "}, {37, "-1"}});
}

} // namespace

// The settings files the windows write, and what the next start makes of them.
class SavedFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

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
        program.start();
        click(program.forms->show<Form6>(), "Command1");
        click(program.forms->show<Form7>(), "Command1");
        click(program.forms->show<Form4>(), "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Information: DEFAULT.TFC file saved.");
        QCOMPARE(readBytes(program.path("tfc/default.tfc")), unusual);

        click(program.forms->show<Form9>(), "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Information: File Default.tfc saved.");
        QCOMPARE(readBytes(program.path("Default.TFC")).split('\n').mid(0, 5),
            (QByteArrayList{"Caf\xe9 \x80 \x92\r", QByteArray(40000, 'r') + '\r',
                QByteArray("3\0"
                           "0\r",
                    4),
                "\x81\x8d\r", "500\r"}));
    }

    // Saved defaults are what the next start begins with; restored ones are the factory file.
    void savedDefaultsComeBackAtTheNextStart()
    {
        QByteArray saved;
        {
            ProgramUnderTest program(customisedSettings());
            Form1* main = program.start();
            for (const char* edit : {"Text1= Spaced, \"quoted\" ", "Text4=Zürich", "Check3=off", "Check7=off"})
                operate(main, edit);
            click(program.forms->show<Form4>(), "Command1");
            saved = readBytes(program.path("tfc/default.tfc"));
            QCOMPARE(saved,
                settingsFileWith({{4, " Spaced, \"quoted\" "}, {5, "rcon"}, {6, "Z\xc3\xbcrich"}, {7, "45"}, {8, "20"},
                    {9, "well"}, {10, "100"}, {11, "200"}, {12, "1"}, {13, "0"}, {14, "1"}, {15, "0"}, {29, "97"},
                    {30, " 2 "}, {37, "-1"}}));

            click(program.forms->show<Form4>(), "Command3");
            click(program.forms->loaded<Form10>(), "Command1");
            click(program.forms->show<Form4>(), "Command1");
            QCOMPARE(readBytes(program.path("tfc/default.tfc")), factoryFullLayout());
        }
        ProgramUnderTest next(saved);
        Form1* main = next.start();
        QCOMPARE(next.messages, QStringList());
        for (const char* state : {"Text1= Spaced, \"quoted\" ", "Text4=Zürich", "Check1=on", "Check3=off"})
            QCOMPARE(QString(state).section('=', 0, 0) + '=' + stateOf(main, QString(state).section('=', 0, 0)), state);
    }

    // Save and Cancel only hide Default Settings: only its first opening takes the main window's
    // texts, until its close box unloads it.
    void defaultSettingsLoadsOncePerOpening()
    {
        ProgramUnderTest program;
        Form1* main = program.start();
        operate(main, "Text1=First");
        Form4* defaults = program.forms->show<Form4>();
        QVERIFY(QTest::qWaitForWindowActive(defaults));
        QCOMPARE(QApplication::focusWidget()->objectName(), "Command1");
        click(defaults, "Command1");
        operate(main, "Text1=Second");
        QCOMPARE(program.forms->show<Form4>(), defaults);
        click(defaults, "Command2");
        QCOMPARE(program.settings.hostname, "First");
        defaults->close();
        QCOMPARE(program.forms->loaded<Form4>(), nullptr);
        program.forms->show<Form4>();
        QCOMPARE(program.settings.hostname, "Second");
    }

    // Lines 8 to 11 are the main window's LAN, Pausable, Clan Battle and Clan PreMatch boxes.
    void saveAsWritesTheShortLayout()
    {
        ProgramUnderTest program(customisedSettings());
        Form1* main = program.start();
        for (const char* edit : {"Check1=off", "Check6=off", "Text1=Taken", "Text2=not taken"})
            operate(main, edit);
        Form9* saveAs = program.forms->show<Form9>();
        operate(saveAs, "Text1=weekend");
        click(saveAs, "Command1");
        QCOMPARE(readBytes(program.path("weekend.TFC")),
            crlfLines({"Taken", "rcon", "45", "3.5", "500", "100", "200", "0", "1", "0", "1", "0", "0", "800", "0",
                "30", "300", "0", "0", "97", "-1", "0", "0", "0", "0", "0", "0", "0", "0"}));
        QCOMPARE(program.forms->show<Form9>(), saveAs);
        QCOMPARE(stateOf(saveAs, "Text1"), "weekend");
        saveAs->close();
        QCOMPARE(stateOf(program.forms->show<Form9>(), "Text1"), "Default");
    }

    void saveAsNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("extension added again") << "x.tfc"
                                               << "x.tfc.TFC"
                                               << "Information: File x.tfc.tfc saved.";
        QTest::newRow("empty") << ""
                               << ".TFC"
                               << "Information: File .tfc saved.";
        QTest::newRow("blanks kept") << " my set "
                                     << " my set .TFC"
                                     << "Information: File  my set .tfc saved.";
        QTest::newRow("colon first") << ":colon"
                                     << ":colon.TFC"
                                     << "Information: File :colon.tfc saved.";
        const QString refused
            = "Warning: Cannot save the settings as \"%1\": a file name cannot hold / or \\ or characters "
              "the file system refuses. The file goes into the server folder.";
        QTest::newRow("slash") << "../escape"
                               << "" << refused.arg("../escape");
        QTest::newRow("backslash") << "..\\escape"
                                   << "" << refused.arg("..\\escape");
        QTest::newRow("NUL") << "a" + QString(QChar(0)) + "b"
                             << "" << refused.arg("a" + QString(QChar(0)) + "b");
    }

    void saveAsNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        QFETCH(QString, message);
        ProgramUnderTest program;
        program.start();
        Form9* saveAs = program.forms->show<Form9>();
        child<QLineEdit>(saveAs, "Text1")->setText(name);
        click(saveAs, "Command1");
        QCOMPARE(program.takeOnlyMessage(), message);
        QCOMPARE(saveAs->isVisible(), file.isEmpty());
        QCOMPARE(filesIn(program.folder), file.isEmpty() ? QStringList() : QStringList{file});
        QCOMPARE(filesIn(program.dir.path()), QStringList());
    }

    // A save that fails leaves the old file and the dialog open, and says why.
    void failedSaves_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("Default Settings") << "tfc/default.tfc";
        QTest::newRow("Save As") << "Default.TFC";
    }

    void failedSaves()
    {
        QFETCH(QString, file);
        ProgramUnderTest program(customisedSettings());
        program.start();
        writeBytes(program.path(file), "old\r\n");
        makeReadOnly(program.path(file));
        QWidget* dialog = file == "Default.TFC" ? static_cast<QWidget*>(program.forms->show<Form9>())
                                                : program.forms->show<Form4>();
        click(dialog, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Warning: Cannot write " + program.path(file) + ": the file is read-only.");
        QVERIFY(dialog->isVisible());
        QCOMPARE(readBytes(program.path(file)), "old\r\n");
    }
};

QUILLMONT_UI_TEST_MAIN(SavedFilesTest)
#include "tst_savedfiles.moc"
