#include "ProgramUnderTest.h"
#include "StandIn.h"
#include "launch/ServerRecord.h"
#include "launch/ServerSession.h"
#include "remote/RconClient.h"
#include "remote/RemoteTimings.h"
#include "launch/FolderSettings.h"
#include "ui/Form1.h"
#include "ui/ServerConsole.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>

#include <csignal>

using namespace std::chrono_literals;

namespace {

// The status queries the stand-in has received, as it prints them.
qsizetype queriesReceived(const QString& log)
{
    return QFileInfo::exists(log) ? readBytes(log).count("54 53 6f 75 72 63 65") : 0; // "TSource"
}

void signalServer(const QString& folder, int signal)
{
    const std::optional<ServerRecord> record = readServerRecord(folder);
    QVERIFY(record);
    killpg(pid_t(record->sessionId), signal);
}

// Shorter waits, so that no test waits long; the status line's first minute the whole test.
const RemoteTimings testTimings{.quiet = 100ms,
    .noAnswer = 500ms,
    .budgetPackets = 1000,
    .poll = 300ms,
    .pollEarly = 200ms,
    .notAnswering = 1500ms,
    .processCheck = 100ms,
    .stopCheck = 50ms,
    .stopGrace = 700ms,
    .applyPause = 200ms};

// Kills the start script alone, the process Quillmont started, and waits until it has ended.
void killScript(const QString& folder)
{
    const std::optional<ServerRecord> record = readServerRecord(folder);
    QVERIFY(record);
    kill(pid_t(record->processId), SIGKILL);
    QTRY_VERIFY(!recordOfProcess(record->processId));
}

} // namespace

// This folder's server run from the main window, the stand-in server playing the game server:
// the status line, the Server menu, stopping, restarting, taking over, applying server.cfg.
class ServerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        setRemoteTimings(testTimings);
        qputenv("STANDIN_LIFETIME_MS", "30000"); // no stand-in outlives the test by long
    }
    void cleanupTestCase() { setRemoteTimings({}); }

    void cleanup()
    {
        SafeSave::failSteps({});
        failSignalsForTests(0);
    }

    void runs_data() { addCases("server-runs.txt"); }

    void runs()
    {
        QFETCH(Case, given);
        ProgramUnderTest program(settingsFileWith(lines(given.value("before"))));
        // However the case ends: its servers end, its environment and timings go.
        const QStringList environment = listOf(given, "standin").join(' ').split(' ', Qt::SkipEmptyParts);
        const auto tidy = qScopeGuard([&] {
            endServersIn(program.folder);
            for (const QString& variable : environment)
                qunsetenv(variable.section('=', 0, 0).toUtf8());
            setRemoteTimings(testTimings);
        });
        for (const QString& variable : environment)
            qputenv(variable.section('=', 0, 0).toUtf8(), variable.section('=', 1).toUtf8());
        RemoteTimings timings = testTimings;
        timings.budgetPackets = given.value("budget", QByteArray::number(timings.budgetPackets)).toInt();
        setRemoteTimings(timings);
        QVERIFY(QFile::copy(STANDIN_SERVER_PATH, program.path("hlds_run")));
        for (const QString& folder : listOf(given, "files"))
            QDir().mkpath(program.path(folder));
        const QString port = QString::number(serverPort(program.folder));
        const QString log = program.path("server-console.log");
        Form1* main = program.start();
        QStringList shown;
        connect(&main->server(), &ServerWatch::statusChanged, [&] { shown << main->server().status(); });
        std::unique_ptr<StandIn> other;
        QObject commands;
        for (const QString& step : listOf(given, "steps")) {
            const QString word = step.section(' ', 0, 0), rest = step.section(' ', 1);
            if (word == "status") {
                const QRegularExpression expected('^'
                    + QRegularExpression::escape(rest)
                          .replace("\\<time\\>", "\\d\\d:\\d\\d")
                          .replace("\\<port\\>", port)
                    + '$');
                const auto* state = child<QLabel>(main, "serverState");
                QTRY_VERIFY2_WITH_TIMEOUT(
                    expected.match(state->text()).hasMatch(), qPrintable(rest + " is not " + state->text()), 3000);
            } else if (word == "told") {
                QTRY_COMPARE_WITH_TIMEOUT(program.messages.size(), rest.toInt(), 3000);
            } else if (word == "answer") {
                program.answer = rest == "No" ? QMessageBox::No : QMessageBox::Yes;
            } else if (word == "enabled" || word == "greyed") {
                QCOMPARE(child<QAction>(main, rest)->isEnabled(), word == "enabled");
            } else if (const QMap<QString, int> bySignal{{"pause", SIGSTOP}, {"resume", SIGCONT}, {"kill", SIGKILL}};
                       bySignal.contains(word)) {
                signalServer(program.folder, bySignal.value(word));
            } else if (word == "kill-script") {
                killScript(program.folder);
            } else if (word == "polled") { // the server answered twice more, so its process was looked at
                QSignalSpy reported(&main->server(), &ServerWatch::statusChanged);
                QTRY_VERIFY_WITH_TIMEOUT(reported.count() >= 2, 3000);
            } else if (word == "recorded") {
                QTRY_COMPARE_WITH_TIMEOUT(QFileInfo::exists(serverRecordPath(program.folder)), rest == "yes", 3000);
            } else if (word == "refuse-signals") {
                failSignalsForTests(EPERM);
            } else if (word == "fail") {
                failSaveSteps(rest.split('|'));
            } else if (word == "other") {
                other = std::make_unique<StandIn>(Case{}, port.toUShort());
            } else if (word == "reopen") {
                main = program.reopen();
            } else if (word == "burst") { // commands from another window of the program, all at once
                auto* client = new RconClient({QHostAddress(QHostAddress::LocalHost), port.toUShort()}, &commands);
                for (int i = 0; i < rest.toInt(); ++i)
                    client->send("secret", "status");
            } else if (word == "polls") { // more status queries answered, while the line is watched
                const qsizetype before = queriesReceived(log);
                QTRY_VERIFY_WITH_TIMEOUT(queriesReceived(log) >= before + rest.toInt(), 10000);
            } else if (word == "console") {
                child<QAction>(main, "menuConsole")->trigger();
                const auto* console = program.forms->loaded<ServerConsole>();
                operate(console, {"commandBox=" + rest});
                const auto* output = child<QPlainTextEdit>(console, "outputView");
                QTRY_VERIFY(output->toPlainText().contains("> " + rest + '\n'));
            } else if (word.contains('=')) {
                operate(main, {step});
            } else if (word.startsWith("menu")) {
                child<QAction>(main, word)->trigger();
            } else {
                click(main, word);
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(program.messages,
            listOf(given, "messages").replaceInStrings("<folder>", program.folder).replaceInStrings("<port>", port),
            2000);
        if (given.contains("never"))
            QCOMPARE(shown.filter(textOf(given, "never")), QStringList());
        const QStringList logged
            = QFileInfo::exists(log) ? QString::fromUtf8(readBytes(log)).split('\n') : QStringList();
        QCOMPARE(logged.filter(QRegularExpression("^--- ")).size(), given.value("starts", "1").toInt());
        const QString line = textOf(given, "logged");
        if (!line.isEmpty())
            QCOMPARE(logged.filter(line.mid(line.startsWith('!'))).isEmpty(), line.startsWith('!'));
    }
};

QUILLMONT_UI_TEST_MAIN(ServerTest)
#include "tst_server.moc"
