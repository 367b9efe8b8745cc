#include "ProgramUnderTest.h"
#include "launch/FolderSettings.h"
#include "ui/Form1.h"
#include "ui/Form4.h"
#include "ui/OneWindowPerFolder.h"
#include "ui/Program.h"
#include "ui/ServerFolder.h"

#include <QCompleter>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QLockFile>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QUdpSocket>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Quillmont itself, started as the operator starts it, with its remembered folder and the runtime
// folder of the sockets by which it finds itself kept apart (a program killed leaves its socket
// behind). Without a display, the program needs the offscreen platform to show its window at all.
QProcess* startQuillmont(
    const QStringList& arguments, const QString& configFolder, QObject* parent, const char* platform = "offscreen")
{
    auto* quillmont = new QProcess(parent);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", configFolder);
    environment.insert("XDG_RUNTIME_DIR", configFolder);
    environment.insert("QT_QPA_PLATFORM", platform);
    environment.remove("DISPLAY");
    quillmont->setProcessEnvironment(environment);
    quillmont->start(QUILLMONT_PROGRAM, arguments);
    return quillmont;
}

// This process's file-creation mask, as the system shows it.
QByteArray fileMask()
{
    for (const QByteArray& line : readBytes("/proc/self/status").split('\n')) {
        if (line.startsWith("Umask:"))
            return line.mid(6).trimmed();
    }
    return {};
}

// Every file and folder under a folder, hidden ones too.
QStringList filesUnder(const QString& folder)
{
    QStringList files;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
         it.hasNext();)
        files << it.next();
    files.sort();
    return files;
}

// Points the runtime folder of this process, where sockets go, elsewhere; null: none set.
void setRuntimeFolder(const QByteArray& folder)
{
    folder.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", folder);
}

} // namespace

// Quillmont as a program: its command line, the server folder it works in, one per folder,
// starting the server, and ending.
class ProgramTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    const QByteArray runtimeFolder = qgetenv("XDG_RUNTIME_DIR");
    mode_t maskBefore = 0;

private Q_SLOTS:
    // The sockets of the programs run here go to a runtime folder of the test's own, as the
    // programs it starts are told too; and the usual mask, under which a file the stand-in makes
    // would be readable by every account.
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        setRuntimeFolder(QFile::encodeName(dir.path()));
        maskBefore = umask(022);
    }

    void cleanupTestCase()
    {
        setRuntimeFolder(runtimeFolder);
        umask(maskBefore);
    }

    // No display is needed to be told how to start Quillmont or that the command line is wrong.
    void commandLine_data() { addCases("command-lines.txt"); }

    void commandLine()
    {
        QFETCH(Case, given);
        QProcess* quillmont = startQuillmont(listOf(given, "arguments"), dir.path(), this, "xcb");
        QVERIFY(quillmont->waitForFinished(10000));
        QCOMPARE(quillmont->exitCode(), given.value("exit").toInt());
        const QByteArray expected = given.value("prints") + '\n';
        const QByteArray output = quillmont->readAllStandardOutput();
        QCOMPARE(quillmont->exitCode() ? quillmont->readAllStandardError() : output.left(expected.size()), expected);
        // Every option the help lists works without a display too: alone, a verb for a server folder
        // only says that it needs one.
        const QRegularExpression listed("^  (-.*?)  ", QRegularExpression::MultilineOption);
        for (const QRegularExpressionMatch& option : listed.globalMatch(QString::fromLocal8Bit(output))) {
            for (const QString& name : option.captured(1).split(", ")) {
                QProcess* alone = startQuillmont({name}, dir.path(), this, "xcb");
                QVERIFY(alone->waitForFinished(10000));
                QVERIFY2(
                    alone->exitStatus() == QProcess::NormalExit && (alone->exitCode() == 0 || alone->exitCode() == 2),
                    qPrintable(name));
            }
        }
    }

    void serverFolder_data() { addCases("server-folders.txt"); }

    void serverFolder()
    {
        QFETCH(Case, given);
        QTemporaryDir folders;
        const auto path = [&folders](const QString& name) { return name.isEmpty() ? name : folders.filePath(name); };
        for (const char* folder : {"server/tfc", "other", "installed/tfc", "bare"})
            QDir().mkpath(path(folder));
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Quillmont", "Quillmont");
        settings.setValue("lastServerFolder", path(textOf(given, "remembered")));
        settings.sync();
        QString asked;
        const QString answer = textOf(given, "answer");
        answerFolderQuestionsForTests([&] { return (asked = answer) == "cancel" ? QString() : path(answer); });
        const std::optional<QString> chosen
            = chooseServerFolder(path(textOf(given, "argument")), path(textOf(given, "program")));
        QCOMPARE(chosen.value_or("none"), given.contains("chosen") ? path(textOf(given, "chosen")) : "none");
        QCOMPARE(asked, answer);
        if (!chosen) { // the whole program, from the folder the question opens in
            const QStringList before = filesUnder(folders.path());
            const QString workingFolder = QDir::currentPath();
            QDir::setCurrent(path("other"));
            QObject runningOn; // a program that goes on is stopped, and so told apart
            QTimer::singleShot(2000, &runningOn, [] { QCoreApplication::exit(99); });
            QCOMPARE(runQuillmont(path(textOf(given, "argument")), path(textOf(given, "program"))), 0);
            QCOMPARE(QCoreApplication::applicationName(), "Quillmont"); // as desktops and screen readers name it
            QDir::setCurrent(workingFolder);
            QCOMPARE(QApplication::topLevelWidgets(), QWidgetList());
            QCOMPARE(filesUnder(folders.path()), before);
        }
        answerFolderQuestionsForTests({});
        settings.sync();
        QCOMPARE(settings.value("lastServerFolder").toString(),
            path(textOf(given, given.contains("remembers") ? "remembers" : "remembered")));
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

    // The socket by which a second start finds the first is a full path in the runtime folder, of
    // at most 106 bytes (Qt takes no longer one); where it would be longer there is none, and a
    // second start is told which process has the folder.
    void socketInRuntimeFolder_data()
    {
        QTest::addColumn<int>("length"); // of the socket's path
        QTest::newRow("106 bytes") << 106;
        QTest::newRow("107 bytes") << 107;
    }

    void socketInRuntimeFolder()
    {
        QFETCH(int, length);
        ProgramUnderTest program;
        // "/quillmont-" and 32 hex digits follow the runtime folder's path.
        const QString runtime = program.dir.filePath(QString(length - program.dir.path().size() - 1 - 43, 'r'));
        QVERIFY(QDir().mkdir(runtime));
        QVERIFY(
            QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        const auto restore = qScopeGuard([this] { setRuntimeFolder(QFile::encodeName(dir.path())); });
        setRuntimeFolder(QFile::encodeName(runtime));
        OneWindowPerFolder first(program.folder);
        QSignalSpy wanted(&first, &OneWindowPerFolder::windowWanted);
        QCOMPARE(first.claim(), OneWindowPerFolder::Claim::Granted);
        const QStringList sockets = QDir(runtime).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        QCOMPARE(sockets.size(), length <= 106 ? 1 : 0);
        if (sockets.isEmpty()) {
            QCOMPARE(OneWindowPerFolder(program.folder).claim(), OneWindowPerFolder::Claim::InUse);
            QVERIFY(program.messages.value(0).contains(
                QString("in use by another Quillmont (process %1 on ").arg(QCoreApplication::applicationPid())));
            return;
        }
        struct stat socket { };
        QCOMPARE(stat(QFile::encodeName(runtime + '/' + sockets.first()).constData(), &socket), 0);
        QVERIFY(S_ISSOCK(socket.st_mode));
        QCOMPARE(QFile::encodeName(runtime + '/' + sockets.first()).size(), length);
        QCOMPARE(OneWindowPerFolder(program.folder).claim(), OneWindowPerFolder::Claim::BroughtForward);
        QTRY_COMPARE(wanted.count(), 1);
    }

    // The program starts all the same, from the factory settings, and says why; the file stays.
    void unreadableSettingsFile_data() { addCases("unreadable-settings.txt"); }

    void unreadableSettingsFile()
    {
        QFETCH(Case, given);
        const QByteArrayList firstLines = factoryFullLayout().split('\n').mid(0, given.value("lines").toInt());
        const std::optional contents
            = given.contains("lines") ? std::optional(firstLines.join('\n') + '\n') : std::nullopt;
        ProgramUnderTest program(contents);
        QVERIFY(program.start()->isVisible());
        QCOMPARE(program.messages,
            QStringList{"Warning: Cannot read " + program.path("tfc/default.tfc") + ": " + textOf(given, "reason")
                + "\n\nQuillmont is using its factory settings until you save new defaults with File, Default "
                  "Settings."});
        const QString file = program.path("tfc/default.tfc");
        QCOMPARE(QFileInfo::exists(file) ? readBytes(file) : QByteArray("none"), contents.value_or("none"));
        QCOMPARE(program.settings.hostname + program.settings.tfc_respawndelay, "Team Fortress Classic0.0");
    }

    // The server starts in the server folder with the player limit and map the boxes show, its
    // command line taken apart at blanks as the server takes it, and its output goes to
    // server-console.log there; what the server would take otherwise than it stands is refused or
    // asked about first, and a start that does not happen leaves the log as it was.
    void startServer_data() { addCases("server-starts.txt"); }

    void startServer()
    {
        QFETCH(Case, given);
        if (given.contains("port")
            && !QUdpSocket().bind(
                QHostAddress::LocalHost, given.value("port").toUShort(), QUdpSocket::DontShareAddress))
            QSKIP("Another program uses this UDP port, and the test has no network of its own: run it as root.");
        const QString files = textOf(given, "files");
        ProgramUnderTest program;
        for (const QString& file : files.split(' ', Qt::SkipEmptyParts)) {
            const QString name = file.section('>', 0, 0);
            QDir().mkpath(program.path(name.section('/', 0, -2)));
            if (file.endsWith('*'))
                QVERIFY(QFile::copy(STANDIN_SERVER_PATH, program.path(file.chopped(1))));
            else if (file.endsWith('|'))
                QCOMPARE(mkfifo(QFile::encodeName(program.path(file.chopped(1))).constData(), 0600), 0);
            else if (file.contains('>'))
                QVERIFY(QFile::link(program.path(file.section('>', 1)), program.path(name)));
            else if (file.endsWith('^')) {
                if (geteuid() != 0)
                    QSKIP("Only root can make a file of another account.");
                writeBytes(program.path(file.chopped(1)), "");
                QCOMPARE(chown(QFile::encodeName(program.path(file.chopped(1))).constData(), 65534, 65534), 0);
            } else if (!file.endsWith('/'))
                writeBytes(program.path(file), "");
        }
        program.answer = given.value("answer") == "Yes" ? QMessageBox::Yes : QMessageBox::No;
        if (given.contains("port"))
            setServerPort(program.folder, given.value("port").toUShort());
        const QString started = textOf(given, "started").replace("<port>", QString::number(serverPort(program.folder)));
        QWidget* main = program.start();
        if (QCompleter* maps = child<QLineEdit>(main, "Text8")->completer()) { // from tfc/maps, in any case
            maps->setCompletionPrefix("2F");
            QCOMPARE(maps->currentCompletion().toLower() + " of " + QString::number(maps->model()->rowCount()),
                "2fort of " + QString::number(files.count(".bsp", Qt::CaseInsensitive)));
        }
        operate(main, {"Text5=" + textOf(given, "players"), "Text8=" + textOf(given, "map")});
        click(main, "Command2");
        QCOMPARE(fileMask(), "0022");
        QTRY_COMPARE_WITH_TIMEOUT(
            program.messages, listOf(given, "messages").replaceInStrings("<folder>", program.folder), 10000);
        QTest::qWait(started.isEmpty() ? 300 : 0);
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo::exists(program.path("standin-report.txt")), !started.isEmpty(), 10000);
        const QString log = program.path("server-console.log");
        if (started.isEmpty()) {
            QCOMPARE(QFileInfo(log).isFile() ? readBytes(log) : QByteArray(), QByteArray());
            return;
        }
        const QString server = program.path(started.section(' ', 0, 0));
        QByteArrayList report{"program: " + server.toUtf8(), "working folder: " + program.folder.toUtf8()};
        for (const QString& argument : started.section(' ', 1).split(' '))
            report << "argument " + QByteArray::number(report.size() - 1) + ": " + argument.toUtf8();
        QCOMPARE(readBytes(program.path("standin-report.txt")).split('\n').mid(1, report.size()), report);
        for (const QString& file : listOf(given, "modes"))
            QCOMPARE(file.section(' ', 0, 0) + ' ' + modeOf(program.path(file.section(' ', 0, 0))), file);
        if (given.value("messages").contains("output"))
            return;
        const QRegularExpression logged("^--- \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d "
            + QRegularExpression::escape(server + ' ' + started.section(' ', 1))
            + "\nStand-in dedicated server\n[\\s\\S]*Stand-in dedicated server ends.\n$");
        QTRY_VERIFY(logged.match(QString::fromUtf8(readBytes(log))).hasMatch());
    }

    // Every way out ends the program; File, Exit unloads every window first. Settings other than
    // default.tfc holds are not lost without a question: saved, left, or the program kept open.
    void exits_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<QByteArray>("saved"); // the lines of default.tfc that change
        const auto row
            = [](const char* name, const char* way, const char* change, QMessageBox::StandardButton answer,
                  const char* saved) { QTest::newRow(name) << way << change << answer << QByteArray(saved); };
        row("Exit button, nothing changed", "Command3", "", QMessageBox::Cancel, "");
        row("close box, nothing changed", "close", "", QMessageBox::Cancel, "");
        row("File, Exit, nothing changed", "menuExit", "", QMessageBox::Cancel, "");
        row("Exit button, a box changed, not saved", "Command3", "Text1=Renamed", QMessageBox::Discard, "");
        row("File, Exit, a box changed, saved", "menuExit", "Text1=Renamed", QMessageBox::Save, "4=Renamed");
        row("close box, a dialog's switch changed, saved", "close", "Check1=on", QMessageBox::Save, "25=1");
        row("close box, a box changed, cancelled", "close", "Text3=45", QMessageBox::Cancel, "");
    }

    void exits()
    {
        QFETCH(QString, way);
        QFETCH(QString, change);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(QByteArray, saved);
        QCoreApplication::removePostedEvents(nullptr, QEvent::Quit); // left by the way out before
        ProgramUnderTest program;
        program.answer = answer;
        QWidget* main = program.start();
        click(program.open("Form4"), "Command2"); // hidden, still loaded
        QWidget* physics = program.open("Form6"); // a dialog left open
        if (!change.isEmpty())
            operate(change.startsWith("Check") ? physics : main, {change});
        program.messages.clear();
        const QStringList asked = change.isEmpty()
            ? QStringList()
            : QStringList{"Question: Save these settings as the start-up settings in default.tfc?"};
        if (answer == QMessageBox::Cancel && !change.isEmpty()) {
            QVERIFY(!main->close());
            QVERIFY(main->isVisible());
        } else {
            QTimer::singleShot(0, main, [&] {
                way == "close"          ? void(main->close())
                    : way == "menuExit" ? child<QAction>(main, way)->trigger()
                                        : click(main, way);
            });
            QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
            QCOMPARE(QCoreApplication::exec(), 0);
        }
        QCOMPARE(program.messages.mid(0, 1), asked);
        if (way == "menuExit")
            QCOMPARE(program.forms->loaded<Form4>(), nullptr);
        QCOMPARE(readBytes(program.path("tfc/default.tfc")), settingsFileWith(lines(saved)));
    }
};

QUILLMONT_UI_TEST_MAIN(ProgramTest)
#include "tst_program.moc"
