#include "ProgramUnderTest.h"
#include "formats/SettingsFile.h"
#include "ui/Form1.h"
#include "ui/Form10.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

namespace {

// Lines of default.tfc by their number, "4=Name|5=Rcon".
QMap<int, QByteArray> lines(const QByteArray& text)
{
    QMap<int, QByteArray> numbered;
    for (const QByteArray& line : text.split('|'))
        numbered.insert(line.left(line.indexOf('=')).toInt(), line.mid(line.indexOf('=') + 1));
    numbered.remove(0);
    return numbered;
}

QStringList items(const QString& text)
{
    return text.split('|', Qt::SkipEmptyParts);
}

// The record's settings as default.tfc holds them, one line each, so that a mismatch shows which
// setting differs.
QByteArrayList recordLines(const ProgramUnderTest& program)
{
    const QString file = program.dir.filePath("record.tfc");
    return writeFullLayout(file, program.settings, TextEncoding::Utf8) ? QByteArrayList() : readBytes(file).split('\n');
}

// A window as the operator uses it: the settings it starts from (lines of default.tfc), what the
// operator sets in the main window first, the window, what it shows, what the operator does in it
// and the button that ends it ("close": its close box); then the settings (lines of default.tfc,
// as UTF-8), the messages ("%1": the server folder), a file with its bytes (none: no file),
// whether the window stays open, what the main window shows, and what stands in the way: the file
// "read-only", or "no tfc". Lists are joined by "|". The values tell apart every pair of settings
// and controls.
struct Use {
    const char* name;
    QByteArray before;
    QString mainWindow;
    QString form;
    QString shown;
    QString edits;
    QString end;
    QByteArray after;
    QString messages = {};
    QString file = {};
    QByteArray bytes = {};
    bool staysOpen = false;
    QString mainWindowAfter = {};
    QString obstacle = {};
};

const QByteArray limits = "37=-1|38=1|39=2|40=3|41=4|42=5|43=6|44=02|45=7";
const QString limitsShown
    = "Combo1=None|Combo2=1|Combo3=2|Combo4=3|Combo5=4|Combo6=5|Combo7=6|Combo8=Unlimited|Combo9=Unlimited";
const QByteArray choices = "29=97|30= 2 |31= 3 |32= 1 |33= 0 |34= 4 |35=-1 ";
const QString choicesShown = "Option2=on|Option6=on|Option7=on|Option10=off|Option11=off|Option12=off|Option13=off|"
                             "Option14=off|Option15=off|Option16=off|Option17=off|Option18=off";
const QString boxes = "Text1=Name|Text2=Rcon|Text3=45|Text4=Pass|Text5=20|Text6=9000|Text7=1500|Text8=well|Check6=on";
const QByteArray boxesTaken = "4=Name|5=Rcon|6=Pass|7=45|8=20|9=well|10=1500|11=9000|14=1";
const QString readOnly = "Warning: Cannot write %1/%2: the file is read-only.";
const QByteArray factorySaveAs = readBytes(TEST_DATA "/factory-saveas.tfc");
const QString badName = "Warning: Cannot save the settings as \"%1\": a file name cannot hold / or \\ or characters "
                        "the file system refuses. The file goes into the server folder.";

// clang-format off
const QList<Use> uses{
    {"Main window from a Windows file, to server.cfg", "4= Caf\xe9, \x80 |5=secret|8=16|9=well|12=1", "", "Form1",
        "Text1= Café, € |Text2=secret|Text5=16|Text8=well|Check1=on|Check3=off", "Text3=45|Text4=join|Text5=20|Text6=20000|Text7=2000|Check6=on|Check1=off", "Command1",
        "4= Caf\xc3\xa9, \xe2\x82\xac |5=secret|6=join|7=45|8=20|9=well|10=2000|11=20000|14=1", "Information: Configuration saved to server.cfg", "tfc/server.cfg",
        withLines(readBytes(TEST_DATA "/factory-server.cfg"), lines("2=// Version: 0.2|5=hostname \" Caf\xe9, \x80 \"|6=rcon_password \"secret\"|7=sv_password \"join\"|8=mp_timelimit 45|9=sv_minrate 2000|10=sv_maxrate 20000|13=tfc_clanbattle 1"))},
    {"Main window switch left as read", "13=2|15= 1", "", "Form1", "Check3=off|Check7=off", "", "", "13=2|15= 1"},
    {"Main window switch clicked", "13=2|15=1", "", "Form1", "Check3=off|Check7=on", "Check3=on|Check7=off", "", "13=1|15=0"},
    {"Write Config refused", "", "", "Form1", "", "Text1=x\"; quit", "Command1", "4=x\"; quit",
        "Warning: Cannot write %1/tfc/server.cfg: Server Name (hostname) holds a double quote (\"), which the game server would take as the end of the value and run the rest as commands.",
        "tfc/server.cfg"},
    {"Write Config without tfc", "", "", "Form1", "", "Text1=x", "Command1", "", "Warning: Cannot write %1/tfc/server.cfg: the folder tfc does not exist.", "", {}, false, "", "no tfc"},
    {"Write Config to a read-only file", "", "", "Form1", "", "Text1=x", "Command1", "", readOnly.arg("%1", "tfc/server.cfg"), "tfc/server.cfg", "old\r\n", false, "", "read-only"},
    {"Class Restrictions shown and stored", limits, "", "Form2", limitsShown, "", "Command2", "37=-1|38=1|39=2|40=3|41=4|42=5|43=6"},
    {"Class Restrictions as typed", "", "", "Form2", "Combo1=Unlimited|Combo9=Unlimited", "Combo1=6|Combo2=None|Combo3=Non|Combo4=none|Combo5=7|Combo5[]=Unlimited,None,1,2,3,4,5,6|Combo8=Unlimited |Combo9=1", "Command2", "37=6|38=-1|45=1"},
    {"Class Restrictions cancelled", limits, "", "Form2", limitsShown, "Combo2=5", "Command1", limits},
    {"Class Restrictions closed", limits, "", "Form2", limitsShown, "Combo7=None", "close", limits},
    {"Team Damage shown and recorded", choices, "", "Form3", choicesShown, "Option10=on|Option15=on", "Command1", "29=5379|30= 2 |31= 3 |32= 1 |33= 1 |34= 3 |35=-1 "},
    {"Team Damage half everywhere", "", "", "Form3", "Option1=on|Option4=on|Option9=on|Option12=on|Option13=on|Option16=on",
        "Option2=on|Option5=on|Option8=on|Option11=on|Option14=on|Option17=on", "Command1", "29=10891|30= 2 |31= 2 |32= 2 |33= 2 |34= 2 |35= 2 "},
    {"Team Damage largest", "", "", "Form3", "", "Option1=on|Option4=on|Option7=on|Option10=on|Option15=on|Option18=on", "Command1", "29=21781|30= 1 |31= 1 |32= 1 |33= 1 |34= 3 |35= 3 "},
    {"Team Damage cancelled", choices, "", "Form3", choicesShown, "Option3=on", "Command2", choices},
    {"Team Damage closed", choices, "", "Form3", choicesShown, "Option18=on", "close", choices},
    {"Cheats never shown", "17=1|18=1", "", "Form5", "Check1=off|Check2=off", "Check2=on", "Command1", "18=1"},
    {"Cheats allowed", "", "", "Form5", "", "Check1=on", "Command1", "17=1"},
    {"Cheats closed", "17=1|18=1", "", "Form5", "", "Check1=on", "close", "17=1|18=1"},
    {"Game Physics on OK", "20=g|21=t|22=s|23=f|24=l|25=1|26=0|27=2", "", "Form6", "Text1=g|Text2=f|Text3=l|Text4=t|Text5=s|Check1=on|Check3=off|Check4=off",
        "Text1=G|Text2=F|Text3=|Text4=T|Text5=S|Check3=on", "Command1", "20=G|21=T|22=S|23=F|24=|25=1|26=1|27=2"},
    {"Game Physics switches at once", "26=1|27=0", "", "Form6", "Text1=800|Text4=3.5|Check1=off|Check3=on|Check4=off", "Text1=x|Check1=on|Check4=on", "close", "25=1|27=1"},
    {"Scoring, first switches", "47=1|48=2|49=1|50=|51=1|52=r", "", "Form7", "Check1=on|Check2=off|Check3=on|Check4=off|Check5=on|Text1=r", "Text1=R", "Command1", "47=1|49=1|51=1|52=R"},
    {"Scoring, second switches", "48=1|49=1|51=x", "", "Form7", "Check1=off|Check2=on|Check3=on|Check4=off|Check5=off", "Text1=", "Command1", "48=1|49=1|52="},
    {"Scoring, third switches", "50=1|51=1", "", "Form7", "Check1=off|Check2=off|Check3=off|Check4=on|Check5=on", "", "Command1", "50=1|51=1"},
    {"Scoring closed", "", "", "Form7", "", "Check1=on|Text1=5", "close", ""},
    {"About", "", "", "Form8", "", "", "Command1", ""},
    {"Default Settings saved", "", boxes, "Form4", "", "", "Command1", boxesTaken, "Information: DEFAULT.TFC file saved.", "tfc/default.tfc", settingsFileWith(lines(boxesTaken))},
    {"Default Settings cancelled", "", boxes, "Form4", "", "", "Command2", boxesTaken, "", "tfc/default.tfc", settingsFileWith(lines("2=0.2"))},
    {"Default Settings refused", "", boxes, "Form4", "", "", "Command1", boxesTaken, readOnly.arg("%1", "tfc/default.tfc"), "tfc/default.tfc", "old\r\n", true, "", "read-only"},
    {"Save As saved", "5=rcon|21=t|51=1", boxes, "Form9", "Text1=Default", "", "Command1", "4=Name|5=rcon|7=45|10=1500|11=9000|14=1|21=t|51=1", "Information: File Default.tfc saved.",
        "Default.TFC", withLines(factorySaveAs, lines("1=Name|2=rcon|3=45|4=t|6=1500|7=9000|10=1|15=1"))},
    {"Save As, extension added again", "", "", "Form9", "", "Text1=x.tfc", "Command1", "", "Information: File x.tfc.tfc saved.", "x.tfc.TFC", factorySaveAs},
    {"Save As, empty name", "", "", "Form9", "", "Text1=", "Command1", "", "Information: File .tfc saved.", ".TFC", factorySaveAs},
    {"Save As, blanks kept", "", "", "Form9", "", "Text1= my set ", "Command1", "", "Information: File  my set .tfc saved.", " my set .TFC", factorySaveAs},
    {"Save As, colon first", "", "", "Form9", "", "Text1=:colon", "Command1", "", "Information: File :colon.tfc saved.", ":colon.TFC", factorySaveAs},
    {"Save As, slash", "", "", "Form9", "", "Text1=../escape", "Command1", "", badName.arg("../escape"), "../escape.TFC", {}, true},
    {"Save As, backslash", "", "", "Form9", "", "Text1=..\\escape", "Command1", "", badName.arg("..\\escape"), "..\\escape.TFC", {}, true},
    {"Save As, NUL", "", "", "Form9", "", "Text1=a" + QString(QChar(0)), "Command1", "", badName.arg("a" + QString(QChar(0))), "a.TFC", {}, true},
    {"Save As refused", "", "", "Form9", "", "", "Command1", "", readOnly.arg("%1", "Default.TFC"), "Default.TFC", "old\r\n", true, "", "read-only"},
    {"Restore", "17=1|30= 2 ", boxes, "Form10", "", "", "Command1", "", "Information: Original settings restored.", "", {}, false,
        "Text1=Team Fortress Classic|Text2=|Text3=30|Text4=|Text5=12|Text6=0|Text7=0|Text8=2fort|Check6=off"},
    {"Restore cancelled", "", "Text1=Name|Check6=on", "Form10", "", "", "Command2", "14=1", "", "", {}, false, "Text1=Name|Check6=on"},
};
// clang-format on

} // namespace

Q_DECLARE_METATYPE(Use)

class DialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

    void use_data()
    {
        QTest::addColumn<Use>("use");
        for (const Use& use : uses)
            QTest::newRow(use.name) << use;
    }

    void use()
    {
        QFETCH(Use, use);
        ProgramUnderTest program(settingsFileWith(lines("2=0.2|" + use.before))); // a version no window changes
        Form1* main = program.start();
        if (use.obstacle == "no tfc")
            QDir(program.path("tfc")).removeRecursively();
        if (use.obstacle == "read-only") {
            writeBytes(program.path(use.file), "old\r\n");
            makeReadOnly(program.path(use.file));
        }
        operate(main, items(use.mainWindow));
        QWidget* window = program.open(use.form);
        QCOMPARE(statesOf(window, items(use.shown)), items(use.shown));
        operate(window, items(use.edits));
        QCOMPARE(program.open(use.form), window); // opened again, as it stands
        QCOMPARE(statesOf(window, items(use.edits)), items(use.edits));

        if (use.end == "close")
            window->close();
        else if (!use.end.isEmpty())
            click(window, use.end);
        QCOMPARE(window->isVisible(), use.staysOpen || use.form == "Form1");
        QCOMPARE(recordLines(program), settingsFileWith(lines(use.after)).split('\n'));
        QCOMPARE(program.settings.file_version, "0.2");
        QCOMPARE(program.messages, items(use.messages).replaceInStrings("%1", program.folder));
        if (!use.file.isEmpty())
            QCOMPARE(QFileInfo::exists(program.path(use.file)) ? readBytes(program.path(use.file)) : QByteArray(),
                use.bytes);
        QCOMPARE(statesOf(main, items(use.mainWindowAfter)), items(use.mainWindowAfter));
    }

    // Values from another system, of any length and with any character, pass through every window
    // that shows them and come back out byte for byte.
    void unusualValuesSurviveEveryWindow()
    {
        const QByteArray unusual = settingsFileWith({{4, "Caf\xe9 \x80 \x92"}, {5, QByteArray(40000, 'r')},
            {6, "\xef\xbb\xbfpass"}, {7, "3" + QByteArray(1, '\0') + "0"}, {8, "\t12"}, {20, QByteArray(33000, 'g')},
            {21, "\x81\x8d"}, {52, QByteArray(50000, '5')}});
        ProgramUnderTest program(unusual);
        program.start();
        for (const char* form : {"Form6", "Form7", "Form4"})
            click(program.open(form), "Command1");
        QCOMPARE(readBytes(program.path("tfc/default.tfc")), unusual);
    }

    // Save and Cancel only hide Default Settings and Save As: only their first opening takes the
    // main window's texts, and Save As keeps the name last typed, until the close box unloads them.
    void hiddenDialogsKeepTheirLoad()
    {
        ProgramUnderTest program;
        Form1* main = program.start();
        operate(main, {"Text1=First"});
        QWidget* defaults = program.open("Form4");
        QCOMPARE(QApplication::focusWidget(), child(defaults, "Command1"));
        click(defaults, "Command3");
        click(defaults, "Command3");
        QCOMPARE(program.open("Form10"), program.forms->loaded<Form10>()); // Restore opens Restore Settings, once
        QWidget* saveAs = program.open("Form9");
        operate(saveAs, {"Text1=weekend"});
        click(defaults, "Command2");
        click(saveAs, "Command2");
        QVERIFY(!defaults->isVisible() && !saveAs->isVisible());
        operate(main, {"Text1=Second"});
        QCOMPARE(program.open("Form4"), defaults);
        QCOMPARE(program.open("Form9"), saveAs);
        QCOMPARE(program.settings.hostname, "First");
        QCOMPARE(statesOf(saveAs, {"Text1="}), QStringList{"Text1=weekend"});
        defaults->close();
        program.open("Form4");
        QCOMPARE(program.settings.hostname, "Second");
        operate(main, {"Text1=Third"});
        saveAs->close();
        QCOMPARE(statesOf(program.open("Form9"), {"Text1="}), QStringList{"Text1=Default"});
        QCOMPARE(program.settings.hostname, "Third");
    }

    // Each menu entry opens its window, once however often it is chosen (the greyed ones once
    // enabled), and has no shortcut key; Alt and a menu's underlined letter opens the menu from the
    // keyboard, and types nothing into the box that has the focus.
    void menus()
    {
        ProgramUnderTest program;
        Form1* main = program.start();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(child<QMenu>(main, "menuFile")->isVisible());
        child<QMenu>(main, "menuFile")->close();
        QCOMPARE(statesOf(main, {"Text1="}), QStringList{"Text1=Team Fortress Classic"});
        QStringList shown;
        for (const QAction* menu : main->menuBar()->actions()) {
            shown << menu->menu()->objectName() + "=" + menu->text();
            for (QAction* entry : menu->menu()->actions()) {
                shown << entry->objectName() + "=" + entry->text() + (entry->isEnabled() ? "" : " (greyed)");
                QVERIFY(entry->shortcut().isEmpty());
                if (entry->objectName() == "menuExit")
                    continue;
                entry->setEnabled(true);
                entry->trigger();
                entry->trigger();
                for (QWidget* opened : QApplication::topLevelWidgets()) {
                    if (opened != main && opened->isVisible())
                        shown.last() += " opens " + opened->objectName();
                    if (opened != main)
                        opened->close();
                }
            }
        }
        QCOMPARE(shown,
            (QStringList{"menuFile=&File", "menuOpenCfg=Open... (greyed)",
                "menuSaveCfgAs=Save As... (greyed) opens Form9", "menuSaveDefault=Default Settings opens Form4",
                "blank=", "menuExit=Exit", "menuOptions=&Options", "menuPhysics=Game Physics opens Form6",
                "menuRestrictions=Class Restriction opens Form2", "menuDamage=Team Damage Settings opens Form3",
                "menuScoring=Scoring and Team Settings opens Form7", "menuCheats=Cheats opens Form5", "menuHelp=&Help",
                "menuAbout=About opens Form8"}));
    }
};

QUILLMONT_UI_TEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
