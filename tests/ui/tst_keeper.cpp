#include "ProgramUnderTest.h"
#include "StandIn.h"
#include "keep/DailyRestart.h"
#include "launch/FolderSettings.h"
#include "launch/ServerRecord.h"
#include "launch/ServerSession.h"
#include "ui/Form1.h"

#include <QDBusConnection>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>

#include <csignal>
#include <memory>

using namespace std::chrono_literals;

namespace {

// The desktop's notification service, as far as Quillmont uses it: it takes every notice.
class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList received;

public Q_SLOTS:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body, const QStringList&,
        const QVariantMap&, int)
    {
        received << summary + ": " + body;
        return uint(received.size());
    }
};

// A session bus of the test's own, which ends with it.
struct OwnBus {
    QTemporaryDir dir;
    QProcess daemon;
    QString address;

    OwnBus()
    {
        daemon.start("dbus-daemon",
            {"--session", "--nofork", "--nopidfile", "--address=unix:path=" + dir.filePath("bus"),
                "--print-address=1"});
        while (!daemon.canReadLine() && daemon.waitForReadyRead(10000)) { }
        address = QString::fromUtf8(daemon.readLine().trimmed());
    }
    ~OwnBus()
    {
        daemon.kill();
        daemon.waitForFinished();
    }
};

// The folder of the in-process program's own settings, which the programs started share.
QString settingsFolder()
{
    return QFileInfo(
        QFileInfo(QSettings(QSettings::IniFormat, QSettings::UserScope, "Quillmont", "Quillmont").fileName()).path())
        .path();
}

} // namespace

// Keeping a server without a window: `quillmont --keep` as a program of its own, with no display, and
// what windows and the other verbs see of it; and when the daily restart comes.
class KeeperTest : public QObject {
    Q_OBJECT

    QTemporaryDir runtime;
    const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR");

    QProcess* quillmont(const QStringList& arguments, const QString& bus, QObject* parent)
    {
        auto* program = new QProcess(parent);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", settingsFolder());
        environment.insert("QT_QPA_PLATFORM", "no-such-platform"); // a window would end it at once
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.isEmpty() ? "unix:path=/nonexistent" : bus);
        environment.insert("STANDIN_LIFETIME_MS", "60000");
        program->setProcessEnvironment(environment);
        program->start(QUILLMONT_PROGRAM, arguments);
        return program;
    }

private Q_SLOTS:
    // The sockets by which the keeper and the windows find each other go to a runtime folder of the
    // test's own, which the programs it starts share.
    void initTestCase()
    {
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    void cleanupTestCase() { qputenv("XDG_RUNTIME_DIR", runtimeBefore); }

    void runs_data() { addCases("keeper-runs.txt"); }

    void runs()
    {
        QFETCH(Case, given);
        ProgramUnderTest program;
        const std::unique_ptr<OwnBus> bus(given.value("bus") == "own" ? new OwnBus : nullptr);
        Notifications notifications;
        if (bus) {
            QDBusConnection connection = QDBusConnection::connectToBus(bus->address, "notifications");
            QVERIFY(connection.registerService("org.freedesktop.Notifications"));
            QVERIFY(connection.registerObject(
                "/org/freedesktop/Notifications", &notifications, QDBusConnection::ExportAllSlots));
        }
        const auto tidy = qScopeGuard([&] {
            QDBusConnection::disconnectFromBus("notifications");
            endServersIn(program.folder);
        });
        if (given.value("program") != "no")
            QVERIFY(QFile::copy(STANDIN_SERVER_PATH, program.path("hlds_run")));
        const QString port = QString::number(serverPort(program.folder));
        QObject processes;
        QList<QProcess*> keepers;
        QByteArray printed;
        const auto expand = [&](QString text) {
            return text.replace("<folder>", program.folder)
                .replace("<port>", port)
                .replace("<pid>", QString::number(keepers.isEmpty() ? 0 : keepers.first()->processId()));
        };
        Form1* main = nullptr;
        for (const QString& step : listOf(given, "steps")) {
            const QString word = step.section(' ', 0, 0), rest = expand(step.section(' ', 1));
            if (word == "keep") {
                keepers << quillmont(QStringList{"--keep", program.folder} + rest.split(' ', Qt::SkipEmptyParts),
                    bus ? bus->address : QString(), &processes);
                printed.clear();
            } else if (word == "printed") { // each line flushed as it happens
                const QRegularExpression line(
                    "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d " + QRegularExpression::escape(rest),
                    QRegularExpression::MultilineOption);
                QTRY_VERIFY2_WITH_TIMEOUT(
                    line.match(QString::fromUtf8(printed += keepers.last()->readAllStandardOutput())).hasMatch(),
                    qPrintable(rest + " is not in\n" + printed + keepers.last()->readAllStandardError()), 10000);
            } else if (word == "refused" || word == "verb") {
                const QStringList arguments = word == "verb"
                    ? QStringList{"--" + rest.section(' ', 0, 0), program.folder}
                    : QStringList{"--keep", program.folder};
                QProcess* other = quillmont(arguments, QString(), &processes);
                QVERIFY(other->waitForFinished(10000));
                const QString exit = rest.section(' ', word == "verb", word == "verb");
                QCOMPARE(QString::number(other->exitCode()), exit);
                const QByteArray said = word == "verb" ? other->readAllStandardOutput() : other->readAllStandardError();
                const QByteArray text = rest.section(' ', word == "verb" ? 2 : 1).toUtf8();
                QVERIFY2(word == "verb" ? said.contains(text) : said.startsWith(text), said.constData());
            } else if (word == "logged") {
                QTRY_VERIFY_WITH_TIMEOUT(readBytes(program.path("server-console.log")).contains(rest.toUtf8()), 10000);
            } else if (word == "term") {
                keepers.last()->terminate();
                QVERIFY(keepers.last()->waitForFinished(20000));
                QCOMPARE(keepers.last()->exitStatus(), QProcess::NormalExit);
                QCOMPARE(keepers.last()->exitCode(), 0);
                printed += keepers.last()->readAllStandardOutput();
            } else if (word == "crash-keeper") {
                keepers.last()->kill();
                QVERIFY(keepers.last()->waitForFinished());
            } else if (word == "kill") {
                const std::optional<ServerRecord> record = readServerRecord(program.folder);
                QVERIFY(record);
                kill(-pid_t(record->sessionId), SIGKILL);
            } else if (word == "runs") {
                const std::optional<ServerRecord> record = readServerRecord(program.folder);
                QTRY_COMPARE(record && serverRuns(*record), rest == "yes");
            } else if (word == "window") {
                main = program.start();
            } else if (word == "line") {
                const auto* state = child<QLabel>(main, "serverState");
                QTRY_VERIFY2_WITH_TIMEOUT(state->text().contains(rest), qPrintable(state->text()), 10000);
            } else if (word == "greyed") {
                QVERIFY(!child<QAction>(main, rest)->isEnabled());
            } else if (word == "notified") {
                QTRY_COMPARE_WITH_TIMEOUT(
                    notifications.received, QStringList{"Quillmont: Half-Life Server: " + rest}, 10000);
            } else if (word.startsWith("menu")) {
                child<QAction>(main, word)->trigger();
            } else {
                click(main, word);
            }
        }
        if (given.contains("never"))
            QVERIFY2(!printed.contains(given.value("never")), printed.constData());
        QCOMPARE(program.messages, QStringList());
    }

    void dailySteps_data() { addCases("daily-restarts.txt"); }

    void dailySteps()
    {
        QFETCH(Case, given);
        const QDateTime before = QDateTime::fromString(textOf(given, "before"), Qt::ISODate);
        const QDateTime now = QDateTime::fromString(textOf(given, "now"), Qt::ISODate);
        const std::chrono::milliseconds monotonic = given.contains("monotonic")
            ? std::chrono::seconds(given.value("monotonic").toInt())
            : std::chrono::milliseconds(before.msecsTo(now));
        QStringList steps;
        const QMap<DailyStep, QString> names{{DailyStep::WarnFiveMinutes, "warn5"}, {DailyStep::WarnOneMinute, "warn1"},
            {DailyStep::Restart, "restart"}};
        for (const DailyStep step : dailyStepsBetween(before, now, monotonic, QTime::fromString(textOf(given, "at"))))
            steps << names.value(step);
        QCOMPARE(steps, listOf(given, "steps"));
    }
};

QUILLMONT_UI_TEST_MAIN(KeeperTest)
#include "tst_keeper.moc"
