#include "ProgramUnderTest.h"
#include "formats/SettingsFile.h"
#include "ui/Form1.h"
#include "ui/Form10.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/Form5.h"
#include "ui/Form6.h"
#include "ui/Form7.h"
#include "ui/Form8.h"
#include "ui/Form9.h"

#include <QMenu>
#include <QMenuBar>

namespace {

using Opener = QWidget* (*)(Forms&);
using Lines = QMap<int, QByteArray>;

template <typename F> QWidget* open(Forms& forms)
{
    return forms.show<F>();
}

// The record's settings as default.tfc holds them, one line each, so that a mismatch shows which
// setting differs.
QByteArrayList recordLines(const ServerSettings& settings)
{
    QTemporaryDir dir;
    if (writeFullLayout(dir.filePath("record.tfc"), settings, TextEncoding::Utf8))
        return {"unwritable"};
    return readBytes(dir.filePath("record.tfc")).split('\n');
}

// A dialog as the operator uses it: the settings it starts from (lines of default.tfc), what the
// operator sets in the main window first, what the dialog shows, what the operator does in it, how
// it ends, the settings afterwards (lines of default.tfc), what the main window shows then, and the
// messages. The values tell apart every pair of settings and controls.
struct DialogCase {
    const char* name;
    Opener open;
    Lines before;
    QStringList mainWindow;
    QStringList shown;
    QStringList edits;
    QString end;
    Lines after;
    QStringList mainWindowAfter = {};
    QStringList messages = {};
};

const Lines classLimits{
    {37, "-1"}, {38, "1"}, {39, "2"}, {40, "3"}, {41, "4"}, {42, "5"}, {43, "6"}, {44, "02"}, {45, "7"}};
const QStringList classLimitsShown{"Combo1=None", "Combo2=1", "Combo3=2", "Combo4=3", "Combo5=4", "Combo6=5",
    "Combo7=6", "Combo8=Unlimited", "Combo9=Unlimited"};
const Lines unusualChoices{{29, "97"}, {30, " 2 "}, {31, " 3 "}, {32, " 1 "}, {33, " 0 "}, {34, " 7 "}, {35, "-1 "}};
const QStringList unusualShown{"Option2=on", "Option6=on", "Option7=on", "Option10=off", "Option11=off", "Option12=off",
    "Option13=off", "Option14=off", "Option15=off", "Option16=off", "Option17=off", "Option18=off"};
const Lines cheats{{17, "1"}, {18, "1"}};
const QStringList mainEdits{"Text1=Name", "Text2=Rcon", "Text3=45", "Text4=Pass", "Text5=20", "Text6=9000",
    "Text7=1500", "Text8=well", "Check6=on"};
const QStringList factoryMainWindow{"Text1=Team Fortress Classic", "Text2=", "Text3=30", "Text4=", "Text5=12",
    "Text6=0", "Text7=0", "Text8=2fort", "Check6=off"};

// clang-format off
const QList<DialogCase> dialogCases{
    {"Class Restrictions shown and stored back", &open<Form2>, classLimits, {}, classLimitsShown, {}, "Command2",
        {{37, "-1"}, {38, "1"}, {39, "2"}, {40, "3"}, {41, "4"}, {42, "5"}, {43, "6"}}},
    {"Class Restrictions as typed", &open<Form2>, {}, {}, {"Combo1=Unlimited", "Combo9=Unlimited"},
        {"Combo1=6", "Combo2=None", "Combo3=Non", "Combo4=none", "Combo5=7", "Combo8=Unlimited ", "Combo9=1"}, "Command2",
        {{37, "6"}, {38, "-1"}, {45, "1"}}},
    {"Class Restrictions cancelled", &open<Form2>, classLimits, {}, classLimitsShown, {"Combo2=5"}, "Command1", classLimits},
    {"Class Restrictions closed", &open<Form2>, classLimits, {}, classLimitsShown, {"Combo7=None"}, "close", classLimits},
    {"Team Damage shown and recorded", &open<Form3>, unusualChoices, {}, unusualShown, {"Option10=on", "Option15=on"}, "Command1",
        {{29, "5379"}, {30, " 2 "}, {31, " 3 "}, {32, " 1 "}, {33, " 1 "}, {34, " 3 "}, {35, "-1 "}}},
    {"Team Damage half everywhere", &open<Form3>, {}, {}, {"Option1=on", "Option4=on", "Option9=on", "Option12=on", "Option13=on", "Option16=on"},
        {"Option2=on", "Option5=on", "Option8=on", "Option11=on", "Option14=on", "Option17=on"}, "Command1",
        {{29, "10891"}, {30, " 2 "}, {31, " 2 "}, {32, " 2 "}, {33, " 2 "}, {34, " 2 "}, {35, " 2 "}}},
    {"Team Damage largest", &open<Form3>, {}, {}, {}, {"Option1=on", "Option4=on", "Option7=on", "Option10=on", "Option15=on", "Option18=on"}, "Command1",
        {{29, "21781"}, {30, " 1 "}, {31, " 1 "}, {32, " 1 "}, {33, " 1 "}, {34, " 3 "}, {35, " 3 "}}},
    {"Team Damage cancelled", &open<Form3>, unusualChoices, {}, unusualShown, {"Option3=on"}, "Command2", unusualChoices},
    {"Team Damage closed", &open<Form3>, unusualChoices, {}, unusualShown, {"Option18=on"}, "close", unusualChoices},
    {"Cheats never shown", &open<Form5>, cheats, {}, {"Check1=off", "Check2=off"}, {"Check2=on"}, "Command1", {{18, "1"}}},
    {"Cheats allowed", &open<Form5>, {}, {}, {}, {"Check1=on"}, "Command1", {{17, "1"}}},
    {"Cheats closed", &open<Form5>, cheats, {}, {}, {"Check1=on"}, "close", cheats},
    {"Game Physics on OK", &open<Form6>, {{20, "g"}, {21, "t"}, {22, "s"}, {23, "f"}, {24, "l"}, {25, "1"}, {26, "0"}, {27, "2"}}, {},
        {"Text1=g", "Text2=f", "Text3=l", "Text4=t", "Text5=s", "Check1=on", "Check3=off", "Check4=off"},
        {"Text1=G", "Text2=F", "Text3=", "Text4=T", "Text5=S", "Check3=on"}, "Command1",
        {{20, "G"}, {21, "T"}, {22, "S"}, {23, "F"}, {24, ""}, {25, "1"}, {26, "1"}, {27, "2"}}},
    {"Game Physics switches at once", &open<Form6>, {{26, "1"}, {27, "0"}}, {}, {"Text1=800", "Text4=3.5", "Check1=off", "Check3=on", "Check4=off"},
        {"Text1=x", "Check1=on", "Check4=on"}, "close", {{25, "1"}, {27, "1"}}},
    {"Scoring, first switches", &open<Form7>, {{47, "1"}, {48, "2"}, {49, "1"}, {50, ""}, {51, "1"}, {52, "r"}}, {},
        {"Check1=on", "Check2=off", "Check3=on", "Check4=off", "Check5=on", "Text1=r"}, {"Text1=R"}, "Command1",
        {{47, "1"}, {49, "1"}, {51, "1"}, {52, "R"}}},
    {"Scoring, second switches", &open<Form7>, {{48, "1"}, {49, "1"}, {51, "x"}}, {},
        {"Check1=off", "Check2=on", "Check3=on", "Check4=off", "Check5=off"}, {"Text1="}, "Command1", {{48, "1"}, {49, "1"}, {52, ""}}},
    {"Scoring, third switches", &open<Form7>, {{50, "1"}, {51, "1"}}, {},
        {"Check1=off", "Check2=off", "Check3=off", "Check4=on", "Check5=on"}, {}, "Command1", {{50, "1"}, {51, "1"}}},
    {"Scoring closed", &open<Form7>, {}, {}, {}, {"Check1=on", "Text1=5"}, "close", {}},
    {"About", &open<Form8>, {}, {}, {}, {}, "Command1", {}},
    {"Default Settings saved", &open<Form4>, {}, mainEdits, {}, {}, "Command1",
        {{4, "Name"}, {5, "Rcon"}, {6, "Pass"}, {7, "45"}, {8, "20"}, {9, "well"}, {10, "1500"}, {11, "9000"}, {14, "1"}}, {}, {"Information: DEFAULT.TFC file saved."}},
    {"Save As saved", &open<Form9>, {}, mainEdits, {"Text1=Default"}, {}, "Command1",
        {{4, "Name"}, {7, "45"}, {10, "1500"}, {11, "9000"}, {14, "1"}}, {}, {"Information: File Default.tfc saved."}},
    {"Restore", &open<Form10>, {{17, "1"}, {30, " 2 "}}, mainEdits, {}, {}, "Command1", {}, factoryMainWindow, {"Information: Original settings restored."}},
    {"Restore cancelled", &open<Form10>, {}, {"Text1=Name", "Check6=on"}, {}, {}, "Command2", {{14, "1"}}, {"Text1=Name", "Check6=on"}},
};
// clang-format on

} // namespace

Q_DECLARE_METATYPE(DialogCase)

class DialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

    void dialog_data()
    {
        QTest::addColumn<DialogCase>("use");
        for (const DialogCase& use : dialogCases)
            QTest::newRow(use.name) << use;
    }

    void dialog()
    {
        QFETCH(DialogCase, use);
        Lines before = use.before;
        before.insert(2, "0.2"); // which the dialogs leave as it is
        ProgramUnderTest program(settingsFileWith(before));
        Form1* main = program.start();
        for (const QString& edit : use.mainWindow)
            operate(main, edit);
        QWidget* dialog = use.open(*program.forms);
        for (const QString& state : use.shown)
            QCOMPARE(state.section('=', 0, 0) + '=' + stateOf(dialog, state.section('=', 0, 0)), state);
        for (const QString& edit : use.edits)
            operate(dialog, edit);
        QCOMPARE(use.open(*program.forms), dialog); // opened again, as it stands
        for (const QString& edit : use.edits)
            QCOMPARE(stateOf(dialog, edit.section('=', 0, 0)), edit.section('=', 1));

        if (use.end == "close")
            dialog->close();
        else
            click(dialog, use.end);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(recordLines(program.settings), settingsFileWith(use.after).split('\n'));
        QCOMPARE(program.settings.file_version, "0.2");
        for (const QString& state : use.mainWindowAfter)
            QCOMPARE(state.section('=', 0, 0) + '=' + stateOf(main, state.section('=', 0, 0)), state);
        QCOMPARE(program.messages, use.messages);
    }

    // Each entry opens its window, once however often it is chosen; the greyed ones open nothing.
    void menuEntries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("window");
        QTest::newRow("Open...") << "menuOpenCfg"
                                 << "Open..." << QString();
        QTest::newRow("Save As...") << "menuSaveCfgAs"
                                    << "Save As..." << QString();
        QTest::newRow("Default Settings") << "menuSaveDefault"
                                          << "Default Settings"
                                          << "Form4";
        QTest::newRow("Game Physics") << "menuPhysics"
                                      << "Game Physics"
                                      << "Form6";
        QTest::newRow("Class Restriction") << "menuRestrictions"
                                           << "Class Restriction"
                                           << "Form2";
        QTest::newRow("Team Damage Settings") << "menuDamage"
                                              << "Team Damage Settings"
                                              << "Form3";
        QTest::newRow("Scoring and Team Settings") << "menuScoring"
                                                   << "Scoring and Team Settings"
                                                   << "Form7";
        QTest::newRow("Cheats") << "menuCheats"
                                << "Cheats"
                                << "Form5";
        QTest::newRow("About") << "menuAbout"
                               << "About"
                               << "Form8";
    }

    void menuEntries()
    {
        QFETCH(QString, entry);
        QFETCH(QString, caption);
        QFETCH(QString, window);
        ProgramUnderTest program;
        Form1* main = program.start();
        auto* action = child<QAction>(main, entry);
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->isEnabled(), !window.isEmpty());
        QVERIFY(action->shortcut().isEmpty());
        action->trigger();
        action->trigger();
        QStringList opened;
        for (const QWidget* shown : QApplication::topLevelWidgets()) {
            if (shown->isVisible() && shown != main)
                opened << shown->objectName();
        }
        QCOMPARE(opened, window.isEmpty() ? QStringList() : QStringList{window});
    }

    // The main window's menus, and the file menu's separator. Alt and a menu's underlined letter
    // opens the menu from the keyboard, and types nothing into the box that has the focus.
    void menuBar()
    {
        ProgramUnderTest program;
        Form1* main = program.start();
        QStringList shown;
        for (const QAction* menu : main->menuBar()->actions()) {
            shown << menu->menu()->objectName() + "=" + menu->text();
            for (const QAction* entry : menu->menu()->actions())
                shown << entry->objectName();
        }
        QCOMPARE(shown,
            (QStringList{"menuFile=&File", "menuOpenCfg", "menuSaveCfgAs", "menuSaveDefault", "blank", "menuExit",
                "menuOptions=&Options", "menuPhysics", "menuRestrictions", "menuDamage", "menuScoring", "menuCheats",
                "menuHelp=&Help", "menuAbout"}));
        QVERIFY(QTest::qWaitForWindowActive(main));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(child<QMenu>(main, "menuFile")->isVisible());
        QCOMPARE(stateOf(main, "Text1"), "Team Fortress Classic");
        child<QMenu>(main, "menuFile")->close();
    }
};

QUILLMONT_UI_TEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
