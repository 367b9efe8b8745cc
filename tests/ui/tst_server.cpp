#include "ProgramUnderTest.h"
#include "StandIn.h"
#include "launch/ServerRecord.h"
#include "launch/ServerSession.h"
#include "remote/RemoteTimings.h"
#include "ui/FolderSettings.h"
#include "ui/Form1.h"

#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>

#include <csignal>

using namespace std::chrono_literals;

namespace {

void signalServer(const QString& folder, int signal)
{
    const std::optional<ServerRecord> record = readServerRecord(folder);
    QVERIFY(record);
    killpg(pid_t(record->sessionId), signal);
}

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
        setRemoteTimings({.quiet = 100ms,
            .noAnswer = 500ms,
            .budgetPackets = 1000,
            .poll = 300ms,
            .pollEarly = 200ms,
            .notAnswering = 1500ms,
            .processCheck = 100ms,
            .stopCheck = 50ms,
            .stopGrace = 700ms,
            .applyPause = 200ms});
        qputenv("STANDIN_LIFETIME_MS", "30000"); // no stand-in outlives the test by long
    }

    void cleanup()
    {
        SafeSave::failSteps({});
        failSignalsForTests(0);
    }

    void runs_data() { addCases("server-runs.txt"); }

    void runs()
    {
        QFETCH(Case, given);
        const QStringList environment = listOf(given, "standin").join(' ').split(' ', Qt::SkipEmptyParts);
        for (const QString& variable : environment)
            qputenv(variable.section('=', 0, 0).toUtf8(), variable.section('=', 1).toUtf8());
        ProgramUnderTest program(settingsFileWith(lines(given.value("before"))));
        QVERIFY(QFile::copy(STANDIN_SERVER_PATH, program.path("hlds_run")));
        for (const QString& folder : listOf(given, "files"))
            QDir().mkpath(program.path(folder));
        const QString port = QString::number(serverPort(program.folder));
        Form1* main = program.start();
        std::unique_ptr<StandIn> other;
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
        const QString log = program.path("server-console.log");
        const QStringList logged
            = QFileInfo::exists(log) ? QString::fromUtf8(readBytes(log)).split('\n') : QStringList();
        QCOMPARE(logged.filter(QRegularExpression("^--- ")).size(), given.value("starts", "1").toInt());
        const QString line = textOf(given, "logged");
        if (!line.isEmpty())
            QCOMPARE(logged.filter(line.mid(line.startsWith('!'))).isEmpty(), line.startsWith('!'));
        endServersIn(program.folder);
        for (const QString& variable : environment)
            qunsetenv(variable.section('=', 0, 0).toUtf8());
    }
};

QUILLMONT_UI_TEST_MAIN(ServerTest)
#include "tst_server.moc"
