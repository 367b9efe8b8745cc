#include "ProgramUnderTest.h"
#include "formats/SettingsFile.h"
#include "launch/FolderSettings.h"
#include "launch/ServerLaunch.h"
#include "ui/Form1.h"
#include "ui/Form10.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace {

// The record's settings as default.tfc holds them, one line each, so that a mismatch shows which
// setting differs.
QByteArrayList recordLines(const ProgramUnderTest& program)
{
    const QString file = program.dir.filePath("record.tfc");
    return failureOf(writeFullLayout(file, program.settings, TextEncoding::Utf8)) ? QByteArrayList()
                                                                                  : readBytes(file).split('\n');
}

// A file's bytes as a use gives them: one of the data files with lines replaced, or as they stand.
QByteArray bytesOf(const QByteArray& given)
{
    if (!given.startsWith("factory-"))
        return given;
    const qsizetype blank = given.contains(' ') ? given.indexOf(' ') : given.size();
    return withLines(readBytes(TEST_DATA "/" + given.left(blank)), lines(given.mid(blank + 1)));
}

// Ends a window the way a use says: a button, its close box, or Escape or Enter where the focus is.
void end(QWidget* window, const QString& how)
{
    if (how == "close")
        window->close();
    else if (how == "Escape" || how == "Enter")
        QTest::keyClick(
            window->focusWidget() ? window->focusWidget() : window, how == "Escape" ? Qt::Key_Escape : Qt::Key_Return);
    else if (!how.isEmpty())
        click(window, how);
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        SafeSave::failSteps({});
        verifyNoWindowLeft();
    }

    // Each window as the operator uses it: dialog-uses.txt says how.
    void use_data() { addCases("dialog-uses.txt"); }

    void use()
    {
        QFETCH(Case, given);
        ProgramUnderTest program(
            settingsFileWith(lines("2=0.2|" + given.value("before")))); // a version no window changes
        if (given.contains("port"))
            setServerPort(program.folder, defaultServerPort);
        Form1* main = program.start();
        const QString file = program.path(textOf(given, "file"));
        if (given.value("obstacle") == "no tfc")
            QDir(program.path("tfc")).removeRecursively();
        if (given.value("obstacle") == "read-only") {
            writeBytes(file, "old\r\n");
            makeReadOnly(file);
        }
        if (given.value("obstacle") == "readable by others") {
            writeBytes(file, "old\r\n");
            QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
        }
        if (given.value("obstacle") == "none")
            QFile::remove(file);
        failSaveSteps(listOf(given, "fail"));
        program.answer = given.value("answer") == "No" ? QMessageBox::No : QMessageBox::Yes;
        operate(main, listOf(given, "main"));
        QPointer<QWidget> window = program.open(textOf(given, "form"));
        QCOMPARE(statesOf(window, listOf(given, "shown")), listOf(given, "shown"));
        operate(window, listOf(given, "edits"));
        QCOMPARE(program.open(textOf(given, "form")), window); // opened again, as it stands
        QCOMPARE(statesOf(window, listOf(given, "edits")), listOf(given, "edits"));

        end(window, textOf(given, "end"));
        if (given.contains("again")) { // the main window edited, the window opened and ended once more
            operate(main, listOf(given, "again"));
            window = program.open(textOf(given, "form"));
            end(window, textOf(given, "end"));
        }
        const QString stays = textOf(given, "stays");
        QCOMPARE(window && window->isVisible(), stays == "open" || textOf(given, "form") == "Form1");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(window.isNull(), stays.isEmpty() && textOf(given, "form") != "Form1"); // unloaded
        QCOMPARE(recordLines(program), settingsFileWith(lines(given.value("after"))).split('\n'));
        QCOMPARE(program.settings.file_version, "0.2");
        QTRY_COMPARE_WITH_TIMEOUT(
            program.messages, listOf(given, "messages").replaceInStrings("<folder>", program.folder), 10000);
        if (given.contains("file"))
            QCOMPARE(QFileInfo::exists(file) ? readBytes(file) : QByteArray(), bytesOf(given.value("bytes")));
        if (given.contains("mode"))
            QCOMPARE(modeOf(file), textOf(given, "mode"));
        QCOMPARE(statesOf(main, listOf(given, "mainAfter")), listOf(given, "mainAfter"));
        if (given.contains("port"))
            QCOMPARE(serverPort(program.folder), given.value("port").toUShort());
        if (given.contains("daily"))
            QCOMPARE(dailyRestart(program.folder).value_or(QTime()).toString("HH:mm"), textOf(given, "daily"));
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
                const QString shortcut = entry->shortcut().toString();
                shown << entry->objectName() + "=" + entry->text() + (shortcut.isEmpty() ? "" : " [" + shortcut + "]")
                        + (entry->isEnabled() ? "" : " (greyed)");
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
            (QStringList{"menuFile=&File", "menuOpenCfg=&Open... (greyed)",
                "menuSaveCfgAs=Save &As... (greyed) opens Form9", "menuSaveDefault=&Default Settings opens Form4",
                "blank=", "menuExit=E&xit", "menuOptions=&Options", "menuPhysics=Game &Physics opens Form6",
                "menuRestrictions=&Class Restriction opens Form2", "menuDamage=&Team Damage Settings opens Form3",
                "menuScoring=&Scoring and Team Settings opens Form7", "menuCheats=C&heats opens Form5",
                "menuServer=&Server", "menuStart=&Start Server [F5]", "menuStop=S&top Server [Shift+F5] (greyed)",
                "menuRestart=&Restart Server [Ctrl+Shift+F5] (greyed)", "menuKeep=&Keep Server Running",
                "menuDaily=Restart &Daily... opens RestartDaily",
                "blankServer=", "menuConsole=Server &Console [F12] opens ServerConsole",
                "menuMapCycle=Map C&ycle... opens MapCycleWindow", "menuMotd=&Message of the Day... opens MotdWindow",
                "menuBans=&Bans... opens BansWindow", "menuPort=Server &Port... opens ServerPort",
                "menuInstall=&Install or Update Server... opens InstallServer", "menuHelp=&Help",
                "menuAbout=&About opens Form8"}));
        // Each entry's letter chooses it alone in its menu.
        for (const QAction* menu : main->menuBar()->actions()) {
            QStringList letters;
            for (const QAction* entry : menu->menu()->actions()) {
                if (!entry->isSeparator())
                    letters << QKeySequence::mnemonic(entry->text()).toString();
            }
            QCOMPARE(QSet<QString>(letters.begin(), letters.end()).size(), letters.size());
            QVERIFY(!letters.contains(QString()));
        }
    }
};

QUILLMONT_UI_TEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
