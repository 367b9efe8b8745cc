#include "ProgramUnderTest.h"
#include "ui/Form1.h"
#include "ui/Form4.h"
#include "ui/OneWindowPerFolder.h"
#include "ui/ServerFolder.h"

#include <QCompleter>
#include <QFileInfo>
#include <QLineEdit>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>

using ServerStart = std::tuple<QString, QString, QString, QMessageBox::StandardButton, QString, QString>;
Q_DECLARE_METATYPE(ServerStart)

namespace {

// Quillmont itself, started as the operator starts it, with its remembered folder kept apart.
// Without a display, the program needs the offscreen platform to show its window at all.
QProcess* startQuillmont(
    const QStringList& arguments, const QString& configFolder, QObject* parent, const char* platform = "offscreen")
{
    auto* quillmont = new QProcess(parent);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", configFolder);
    environment.insert("QT_QPA_PLATFORM", platform);
    environment.remove("DISPLAY");
    quillmont->setProcessEnvironment(environment);
    quillmont->start(QUILLMONT_PROGRAM, arguments);
    return quillmont;
}

} // namespace

// Quillmont as a program: its command line, the server folder it works in, one per folder,
// starting the server, and ending.
class ProgramTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // No display is needed to be told how to start Quillmont or that the command line is wrong.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        // clang-format off
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: quillmont [options] [SERVER_FOLDER]\n";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "Quillmont 0.3\n";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'.\n";
        QTest::newRow("two folders") << QStringList{"/", "/tmp"} << 2 << "Quillmont works on one server folder at a time.\n";
        QTest::newRow("not a folder") << QStringList{"/no such folder"} << 2 << "/no such folder is not a folder.\n";
        // clang-format on
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QProcess* quillmont = startQuillmont(arguments, dir.path(), this, "xcb");
        QVERIFY(quillmont->waitForFinished(10000));
        QCOMPARE(quillmont->exitCode(), exitCode);
        const QString printed = exitCode ? quillmont->readAllStandardError() : quillmont->readAllStandardOutput();
        QVERIFY2(exitCode ? printed == output : printed.startsWith(output), qPrintable(printed));
    }

    // The argument, else the program's folder with tfc, else the one used last if it still has
    // tfc, else the operator's choice (none: not asked; "cancel"); a folder with tfc is remembered.
    void serverFolder_data()
    {
        QTest::addColumn<QStringList>("row"); // argument, program folder, remembered, answer, chosen, remembered after
        // Folders: "server" and "installed" hold tfc, "other" and "bare" do not, "gone" is gone.
        // clang-format off
        QTest::newRow("argument") << QStringList{"server", "installed", "", "", "server", "server"};
        QTest::newRow("argument without tfc") << QStringList{"other", "installed", "", "", "other", ""};
        QTest::newRow("program folder") << QStringList{"", "installed", "server", "", "installed", "server"};
        QTest::newRow("used last") << QStringList{"", "bare", "server", "", "server", "server"};
        QTest::newRow("used last, gone") << QStringList{"", "bare", "gone", "server", "server", "server"};
        QTest::newRow("chosen") << QStringList{"", "bare", "", "server", "server", "server"};
        QTest::newRow("none chosen") << QStringList{"", "bare", "", "cancel", "bare", ""};
        // clang-format on
    }

    void serverFolder()
    {
        QFETCH(QStringList, row);
        const QString &argument = row[0], &programFolder = row[1], &remembered = row[2], &answer = row[3],
                      &chosen = row[4], &rememberedAfter = row[5];
        QTemporaryDir folders;
        const auto path = [&folders](const QString& name) { return name.isEmpty() ? name : folders.filePath(name); };
        for (const char* folder : {"server/tfc", "other", "installed/tfc", "bare"})
            QDir().mkpath(path(folder));
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Quillmont", "Quillmont");
        settings.setValue("lastServerFolder", path(remembered));
        settings.sync();
        QString asked;
        answerFolderQuestionsForTests([&] { return (asked = answer) == "cancel" ? QString() : path(answer); });
        QCOMPARE(chooseServerFolder(path(argument), path(programFolder)), path(chosen));
        answerFolderQuestionsForTests({});
        QCOMPARE(asked, answer);
        settings.sync();
        QCOMPARE(settings.value("lastServerFolder").toString(),
            path(rememberedAfter.isEmpty() ? remembered : rememberedAfter));
    }

    // A second start brings the first one's window forward and ends; another user's Quillmont,
    // which cannot be reached, only its lock seen, stops a start that says why; a program that
    // crashed leaves nothing that stops the next.
    void oneProgramPerFolder()
    {
        ProgramUnderTest program;
        {
            OneWindowPerFolder first(program.folder);
            QSignalSpy wanted(&first, &OneWindowPerFolder::windowWanted);
            QCOMPARE(first.claim(), OneWindowPerFolder::Claim::Granted);
            QCOMPARE(OneWindowPerFolder(program.folder).claim(), OneWindowPerFolder::Claim::BroughtForward);
            QTRY_COMPARE(wanted.count(), 1);
            QCOMPARE(OneWindowPerFolder(program.dir.path()).claim(), OneWindowPerFolder::Claim::Granted);
        }
        QLockFile otherUsers(program.path(".quillmont.lock"));
        QVERIFY(otherUsers.tryLock());
        QCOMPARE(OneWindowPerFolder(program.folder).claim(), OneWindowPerFolder::Claim::InUse);
        QVERIFY(program.messages.value(0).startsWith(
            QString("Warning: The server folder %1 is in use by another Quillmont (process %2 on ")
                .arg(program.folder)
                .arg(QCoreApplication::applicationPid())));
        otherUsers.unlock();

        QProcess* first = startQuillmont({program.folder}, dir.path(), this);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(program.path(".quillmont.lock")), 10000);
        first->kill();
        QVERIFY(first->waitForFinished());
        QProcess* afterCrash = startQuillmont({program.folder}, dir.path(), this);
        QVERIFY(!afterCrash->waitForFinished(1500));
        QProcess* second = startQuillmont({program.folder}, dir.path(), this);
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(afterCrash->state(), QProcess::Running);
        afterCrash->kill();
        afterCrash->waitForFinished();
    }

    // The program starts all the same, from the factory settings, and says why; the file stays.
    void unreadableSettingsFile_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("contents");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << std::optional<QByteArray>() << "No such file or directory";
        const QByteArray fourteenLines = factoryFullLayout().split('\n').mid(0, 14).join('\n') + '\n';
        QTest::newRow("short") << std::optional(fourteenLines) << "it has only 14 lines, and a settings file has 52.";
    }

    void unreadableSettingsFile()
    {
        QFETCH(std::optional<QByteArray>, contents);
        QFETCH(QString, reason);
        ProgramUnderTest program(contents);
        QVERIFY(program.start()->isVisible());
        QCOMPARE(program.messages,
            QStringList{"Warning: Cannot read " + program.path("tfc/default.tfc") + ": " + reason
                + "\n\nQuillmont is using its factory settings until you save new defaults with File, Default "
                  "Settings."});
        const QString file = program.path("tfc/default.tfc");
        QCOMPARE(QFileInfo::exists(file) ? readBytes(file) : QByteArray("none"), contents.value_or("none"));
        QCOMPARE(program.settings.hostname + program.settings.tfc_respawndelay, "Team Fortress Classic0.0");
    }

    // The server starts in the server folder with the player limit and map of the record, not
    // those typed since the last Write Config, its command line taken apart at blanks as the server
    // takes it, and its output goes to server-console.log there.
    void startServer_data()
    {
        // Files in the server folder ("*": the stand-in server, "/": a folder), the player limit and
        // map, the answer to a question, the message, and the command line started (none: none).
        QTest::addColumn<ServerStart>("row");
        const QString question = "Question: The map %1 is not in tfc/maps. Start the server anyway?";
        const QString cannotStart = "Warning: Cannot start the server: ";
        // clang-format off
        QTest::newRow("without tfc/maps") << ServerStart{"HLDS.EXE*", "20", "2fort;touch x|$(id)", QMessageBox::No, "", "HLDS.EXE -game tfc -maxplayers 20 +map 2fort;touch x|$(id)"};
        QTest::newRow("a map in tfc/maps") << ServerStart{"HLDS.EXE* tfc/maps/2FORT.bsp tfc/maps/well.BSP tfc/maps/notes.txt", "20", "2fort", QMessageBox::No, "", "HLDS.EXE -game tfc -maxplayers 20 +map 2fort"};
        QTest::newRow("another map, started") << ServerStart{"HLDS.EXE* tfc/maps/2fort.bsp", "20", "well", QMessageBox::Yes, question.arg("well"), "HLDS.EXE -game tfc -maxplayers 20 +map well"};
        QTest::newRow("another map, not started") << ServerStart{"HLDS.EXE* tfc/maps/2fort.bsp", "20", "well", QMessageBox::No, question.arg("well"), ""};
        QTest::newRow("blanks") << ServerStart{"HLDS.EXE*", " 16  ", "2fort x", QMessageBox::No, "", "HLDS.EXE -game tfc -maxplayers 16 +map 2fort x"};
        QTest::newRow("empty player limit and map") << ServerStart{"HLDS.EXE*", "", "", QMessageBox::No, "", "HLDS.EXE -game tfc -maxplayers +map"};
        QTest::newRow("no log") << ServerStart{"HLDS.EXE* server-console.log/", "20", "2fort", QMessageBox::No, "Warning: The server's output is not kept: cannot write %1/server-console.log: Is a directory", "HLDS.EXE -game tfc -maxplayers 20 +map 2fort"};
        QTest::newRow("Linux start script") << ServerStart{"hlds_run*", "20", "2fort", QMessageBox::No, "", "hlds_run -game tfc -maxplayers 20 +map 2fort"};
        QTest::newRow("HLDS.EXE first") << ServerStart{"HLDS.EXE* hlds_run", "20", "2fort", QMessageBox::No, "", "HLDS.EXE -game tfc -maxplayers 20 +map 2fort"};
        QTest::newRow("not a program") << ServerStart{"hlds_run", "20", "2fort", QMessageBox::No, "Warning: Cannot start %1/hlds_run: execv: Permission denied", ""};
        QTest::newRow("no server program") << ServerStart{"", "20", "2fort", QMessageBox::No, cannotStart + "%1 holds no HLDS.EXE or hlds_run.", ""};
        QTest::newRow("NUL in the map") << ServerStart{"HLDS.EXE*", "20", "2fort" + QString(QChar(0)), QMessageBox::No, cannotStart + "Start Map (start_map) holds a NUL character, which a command line cannot carry.", ""};
        QTest::newRow("NUL in the player limit") << ServerStart{"HLDS.EXE*", "2" + QString(QChar(0)), "2fort", QMessageBox::No, cannotStart + "Max Players (maxplayers) holds a NUL character, which a command line cannot carry.", ""};
        // clang-format on
    }

    void startServer()
    {
        QFETCH(ServerStart, row);
        const auto& [files, players, startMap, answer, message, started] = row;
        ProgramUnderTest program;
        for (const QString& file : files.split(' ', Qt::SkipEmptyParts)) {
            QDir().mkpath(program.path(file.section('/', 0, -2)));
            if (file.endsWith('*'))
                QVERIFY(QFile::copy(STANDIN_SERVER_PATH, program.path(file.chopped(1))));
            else if (!file.endsWith('/'))
                writeBytes(program.path(file), "");
        }
        program.answer = answer;
        QWidget* main = program.start();
        if (QCompleter* maps = child<QLineEdit>(main, "Text8")->completer()) { // from tfc/maps, in any case
            maps->setCompletionPrefix("2F");
            QCOMPARE(maps->currentCompletion().toLower() + " of " + QString::number(maps->model()->rowCount()),
                "2fort of " + QString::number(files.count(".bsp", Qt::CaseInsensitive)));
        }
        operate(main, {"Text5=" + players});
        click(main, "Command1");
        operate(main, {"Text5=99"});
        program.settings.start_map = startMap;
        program.messages.clear();
        click(main, "Command2");
        QCOMPARE(program.messages, message.isEmpty() ? QStringList() : QStringList{QString(message).replace("%1", program.folder)});
        QTest::qWait(started.isEmpty() ? 300 : 0);
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo::exists(program.path("standin-report.txt")), !started.isEmpty(), 10000);
        if (started.isEmpty())
            return;
        const QString server = program.path(started.section(' ', 0, 0));
        QByteArrayList report{"program: " + server.toUtf8(), "working folder: " + program.folder.toUtf8()};
        for (const QString& argument : started.section(' ', 1).split(' '))
            report << "argument " + QByteArray::number(report.size() - 1) + ": " + argument.toUtf8();
        QCOMPARE(readBytes(program.path("standin-report.txt")).split('\n').mid(1, report.size()), report);
        if (message.contains("output"))
            return;
        const QRegularExpression logged("^--- \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d "
            + QRegularExpression::escape(server + ' ' + started.section(' ', 1))
            + "\nStand-in dedicated server\n[\\s\\S]*Stand-in dedicated server ends.\n$");
        QTRY_VERIFY(logged.match(QString::fromUtf8(readBytes(program.path("server-console.log")))).hasMatch());
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
        QCoreApplication::removePostedEvents(nullptr, QEvent::Quit); // left by the way out before
        ProgramUnderTest program;
        QWidget* main = program.start();
        click(program.open("Form4"), "Command2"); // hidden, still loaded
        operate(program.open("Form6"), {"Check1=on"}); // open, with a setting changed
        QTimer::singleShot(0, main, [&] {
            way == "close"          ? void(main->close())
                : way == "menuExit" ? child<QAction>(main, way)->trigger()
                                    : click(main, way);
        });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        if (way == "menuExit")
            QCOMPARE(program.forms->loaded<Form4>(), nullptr);
        QCOMPARE(readBytes(program.path("tfc/default.tfc")), factoryFullLayout());
    }
};

QUILLMONT_UI_TEST_MAIN(ProgramTest)
#include "tst_program.moc"
