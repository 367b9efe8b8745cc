#include "ProgramUnderTest.h"
#include "StandIn.h"
#include "install/Processes.h"
#include "install/SteamCmdRun.h"
#include "install/SteamCmdText.h"
#include "keep/ServerUpdate.h"
#include "launch/FolderSettings.h"
#include "launch/ServerRecord.h"
#include "launch/ServerSession.h"
#include "launch/ServerStart.h"
#include "ui/Form1.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>

#include <csignal>
#include <memory>

using namespace std::chrono_literals;

namespace {

const QString standInSteamCmd = QStringLiteral(TEST_SOURCE "/support/standin_steamcmd.py");

QString settingsFolder()
{
    return QFileInfo(
        QFileInfo(QSettings(QSettings::IniFormat, QSettings::UserScope, "Quillmont", "Quillmont").fileName()).path())
        .path();
}

// A home folder of the test's own, with the stand-in as ~/steamcmd/steamcmd.sh beside its steamclient.so.
struct Home {
    QTemporaryDir dir;
    QString path = dir.path();
    QString state = dir.filePath("steamcmd-state");

    explicit Home(bool withSteamCmd)
    {
        QDir(path).mkpath("steamcmd-state");
        if (!withSteamCmd)
            return;
        QDir(path).mkpath("steamcmd/linux32");
        QFile::copy(standInSteamCmd, path + "/steamcmd/steamcmd.sh");
        writeBytes(path + "/steamcmd/linux32/steamclient.so", "steamclient");
    }
    QStringList argumentsOfRuns() const
    {
        const QString runs = state + "/args.txt";
        return QFileInfo::exists(runs) ? QString::fromUtf8(readBytes(runs)).split('\n', Qt::SkipEmptyParts)
                                       : QStringList();
    }
};

void installServer(const QString& folder)
{
    QFile::copy(STANDIN_SERVER_PATH, folder + "/hlds_run");
    writeBytes(folder + "/hlds_linux", "");
    writeBytes(folder + "/tfc/liblist.gam", "game \"Team Fortress Classic\"\n");
    QDir(folder).mkpath("steamapps");
    writeBytes(folder + "/steamapps/appmanifest_90.acf", "\"AppState\"\n{\n\t\"buildid\"\t\t\"10211\"\n}\n");
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

    QProcess* quillmont(const QStringList& arguments, const Home& home, const Case& given, QObject* parent)
    {
        auto* program = new QProcess(parent);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", settingsFolder());
        environment.insert("HOME", home.path);
        environment.insert("XDG_STATE_HOME", home.path + "/state");
        environment.insert("PATH", "/usr/bin:/bin");
        environment.insert("QT_QPA_PLATFORM", "no-such-platform");
        environment.insert("STEAMCMD_STATE", home.state);
        environment.insert("STANDIN_LIFETIME_MS", "60000");
        for (const QString& variable : listOf(given, "standin"))
            environment.insert(variable.section('=', 0, 0), variable.section('=', 1).replace("<home>", home.path));
        program->setProcessEnvironment(environment);
        program->start(QUILLMONT_PROGRAM, arguments);
        return program;
    }

    QTemporaryDir runtime; // the runtime folder of the windows and programs the test starts

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("STANDIN_LIFETIME_MS", "60000");
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }

    void reads_data() { addCases("steamcmd-lines.txt"); }

    void reads()
    {
        QFETCH(Case, given);
        QByteArray output = given.value("output");
        const QRegularExpression repeated("<(\\d+) (.)>");
        const auto expandRepeats = [&repeated](QByteArray text) {
            for (QRegularExpressionMatch match = repeated.match(QString::fromUtf8(text)); match.hasMatch();
                 match = repeated.match(QString::fromUtf8(text)))
                text.replace(match.captured(0).toUtf8(),
                    QByteArray(match.captured(1).toInt(), match.captured(2).at(0).toLatin1()));
            return text;
        };
        output = expandRepeats(output);
        OutputLines reader;
        QStringList lines;
        const qsizetype piece = given.value("piece", QByteArray::number(output.size() + 1)).toLongLong();
        for (qsizetype at = 0; at < output.size(); at += piece)
            lines << reader.take(QByteArrayView(output).sliced(at, std::min(piece, output.size() - at)));
        lines << reader.finish();
        if (given.contains("lines"))
            QCOMPARE(lines.join('|'), QString::fromUtf8(expandRepeats(given.value("lines"))));
        QStringList read;
        for (const QString& line : std::as_const(lines)) {
            const std::optional<RunEnding> ending = endingOf(line);
            if (const std::optional<Progress> progress = progressOf(line))
                read << "progress " + progressInWords(*progress);
            else if (updatesItself(line))
                read << "self-update";
            else if (!ending)
                read << (isErrorLine(line) ? "error" : "-");
            else if (ending->kind == RunEnding::Kind::StateError)
                read << "state " + stateInWords(ending->state);
            else if (!ending->remedy.isEmpty())
                read << "lasting " + ending->remedy;
            else
                read << QMap<RunEnding::Kind, QString>{{RunEnding::Kind::Installed, "installed"},
                    {RunEnding::Kind::UpToDate, "up-to-date"}, {RunEnding::Kind::Failure, "fails"}}
                            .value(ending->kind);
        }
        if (given.contains("read"))
            QCOMPARE(read.join('|'), textOf(given, "read"));
        const auto build
            = [](const std::optional<qint64>& found) { return found ? QString::number(*found) : QString("none"); };
        if (given.contains("public"))
            QCOMPARE(build(branchBuild(output, Branch::Current)), textOf(given, "public"));
        if (given.contains("legacy"))
            QCOMPARE(build(branchBuild(output, Branch::Legacy)), textOf(given, "legacy"));
        if (given.contains("manifest"))
            QCOMPARE(build(manifestBuild(output)), textOf(given, "manifest"));
    }

    void updates_data() { addCases("steamcmd-runs.txt"); }

    void updates()
    {
        QFETCH(Case, given);
        ProgramUnderTest program;
        const Home home(given.value("folder") != "nosteamcmd");
        const QString folder = given.value("folder") == "missing" ? program.path("none") : program.folder;
        if (given.value("folder") == "installed")
            installServer(folder);
        if (given.value("folder") == "cstrike")
            writeBytes(folder + "/cstrike/liblist.gam", (QDir(folder).mkpath("cstrike"), "game \"Counter-Strike\"\n"));
        if (given.value("folder") == "sdk") {
            QDir(home.path).mkpath(".steam/sdk32");
            writeBytes(home.path + "/.steam/sdk32/steamclient.so", "the operator's own");
        }
        QProcess byHand;
        const auto tidy = qScopeGuard([&] {
            if (QFileInfo::exists(folder))
                endServersIn(folder);
            byHand.kill();
            byHand.waitForFinished();
        });
        // The windows run in this process, with the same home, SteamCMD and stand-in as the program.
        const QMap<QByteArray, QByteArray> environmentBefore{{"HOME", qgetenv("HOME")}, {"PATH", qgetenv("PATH")}};
        const auto restoreEnvironment = qScopeGuard([&] {
            for (auto variable = environmentBefore.begin(); variable != environmentBefore.end(); ++variable)
                qputenv(variable.key(), variable.value());
            for (const char* variable : {"XDG_STATE_HOME", "STEAMCMD_STATE"})
                qunsetenv(variable);
            for (const QString& variable : listOf(given, "standin"))
                qunsetenv(variable.section('=', 0, 0).toLatin1());
        });
        qputenv("HOME", QFile::encodeName(home.path));
        qputenv("PATH", "/usr/bin:/bin");
        qputenv("XDG_STATE_HOME", QFile::encodeName(home.path + "/state"));
        qputenv("STEAMCMD_STATE", QFile::encodeName(home.state));
        for (const QString& variable : listOf(given, "standin"))
            qputenv(
                variable.section('=', 0, 0).toLatin1(), variable.section('=', 1).replace("<home>", home.path).toUtf8());
        // A run's silence, shortened.
        const InstallTimings timingsBefore = installTimings();
        const auto restoreTimings = qScopeGuard([&] { setInstallTimings(timingsBefore); });
        InstallTimings shortened = timingsBefore;
        shortened.silence = std::chrono::milliseconds(given.value("silence", "600000").toInt());
        shortened.playerWarning = std::chrono::milliseconds(given.value("warning", "300000").toInt());
        shortened.logLimit = given.value("loglimit", QByteArray::number(timingsBefore.logLimit)).toLongLong();
        setInstallTimings(shortened);
        if (given.contains("rcon"))
            writeBytes(folder + "/tfc/server.cfg", "rcon_password \"" + given.value("rcon") + "\"\r\n");
        bool updateEnded = false;
        Form1* main = nullptr;
        QWidget* dialog = nullptr;
        QObject processes;
        QList<QProcess*> updates;
        QByteArray printed, errors;
        QString commandLine;
        QElapsedTimer termSent;
        qsizetype checked = 0; // the updates whose ends the steps have checked
        const auto expand = [&](QString text) {
            return text.replace("<folder>", folder)
                .replace("<home>", home.path)
                .replace("<pid>", QString::number(byHand.processId()))
                .replace("<update>", QString::number(updates.isEmpty() ? 0 : updates.last()->processId()));
        };
        const auto read = [&](QProcess* update) {
            printed += update->readAllStandardOutput();
            errors += update->readAllStandardError();
        };
        const auto standInGroup = [&] { return readBytes(home.state + "/running").toLongLong(); };
        for (const QString& step : listOf(given, "steps")) {
            const QString word = step.section(' ', 0, 0), rest = expand(step.section(' ', 1));
            if (word == "update" || word == "other") {
                QString target = folder;
                if (word == "other") {
                    target = program.dir.filePath("Other Server");
                    QDir().mkpath(target);
                }
                updates << quillmont(
                    QStringList{"--update", target} + rest.split(' ', Qt::SkipEmptyParts), home, given, &processes);
            } else if (word == "printed" || word == "error") {
                QByteArray& where = word == "printed" ? printed : errors;
                QTRY_VERIFY2_WITH_TIMEOUT((read(updates.last()), where.contains(rest.toUtf8())),
                    qPrintable(rest + " is not in\n" + printed + errors), 20000);
            } else if (word == "exit") {
                QProcess* update = updates.value(checked++);
                QVERIFY(update->state() == QProcess::NotRunning || update->waitForFinished(30000));
                read(update);
                QVERIFY2(update->exitStatus() == QProcess::NormalExit, printed + errors);
                QVERIFY2(QString::number(update->exitCode()) == rest.section(' ', -1), printed + errors);
            } else if (word == "runs") {
                QCOMPARE(home.argumentsOfRuns().size(), rest.toInt());
            } else if (word == "arguments") {
                // Each word expanded on its own: the folder's blank is in one word.
                QStringList words;
                for (const QString& expected : step.section(' ', 2).split(' '))
                    words << expand(expected);
                QCOMPARE(home.argumentsOfRuns().value(rest.section(' ', 0, 0).toInt() - 1).split('\t'), words);
            } else if (word == "file" || word == "nofile") {
                QCOMPARE(QFileInfo::exists(folder + '/' + rest), word == "file");
            } else if (word == "mode") {
                QCOMPARE(modeOf(folder + '/' + rest.section(' ', 0, 0)), rest.section(' ', 1));
            } else if (word == "log") {
                QVERIFY2(
                    readBytes(folder + "/steamcmd.log").contains(rest.toUtf8()), readBytes(folder + "/steamcmd.log"));
            } else if (word == "linked") {
                QCOMPARE(QFileInfo(home.path + "/.steam/sdk32/steamclient.so").symLinkTarget(),
                    home.path + "/steamcmd/linux32/steamclient.so");
            } else if (word == "kept") {
                QVERIFY(!QFileInfo(home.path + "/.steam/sdk32/steamclient.so").isSymLink());
                QCOMPARE(readBytes(home.path + "/.steam/sdk32/steamclient.so"), "the operator's own");
            } else if (word == "gate") {
                writeBytes(home.path + "/gate", "");
            } else if (word == "term" || word == "crash") {
                termSent.start();
                ::kill(pid_t(updates.last()->processId()), word == "term" ? SIGTERM : SIGKILL);
                if (word == "crash") {
                    QVERIFY(updates.last()->waitForFinished());
                    checked = updates.size();
                }
            } else if (word == "gone") {
                const qint64 group = standInGroup();
                QVERIFY(group > 0);
                QTRY_VERIFY_WITH_TIMEOUT(groupMembers(group).isEmpty(), 12000);
                QVERIFY(termSent.elapsed() <= 11500);
            } else if (word == "server") {
                const auto started = startFolderServer(folder, StartValues{"12", "2fort", serverPort(folder), false});
                const auto* failure = std::get_if<Failure>(&started);
                QVERIFY2(!failure, qPrintable(failure ? failure->message : QString()));
                commandLine = std::get<StartedFolderServer>(started).record.commandLine;
            } else if (word == "hand") {
                byHand.setWorkingDirectory(folder);
                byHand.setChildProcessModifier([] { ::setsid(); });
                byHand.start(folder + "/hlds_run", {"-game", "tfc"});
                QVERIFY(byHand.waitForStarted());
            } else if (word == "restarted") {
                std::optional<ServerRecord> record;
                QTRY_VERIFY_WITH_TIMEOUT((record = readServerRecord(folder)) && serverRuns(*record), 20000);
                QCOMPARE(record->commandLine, commandLine);
                QCOMPARE(record->updatingProcess, 0);
            } else if (word == "window") {
                main = program.start();
            } else if (word == "line") {
                const auto* state = child<QLabel>(main, "serverState");
                QTRY_VERIFY2_WITH_TIMEOUT(state->text().contains(rest), qPrintable(state->text()), 20000);
            } else if (word == "keep") {
                child<QAction>(main, "menuKeep")->trigger();
            } else if (word == "greyed") {
                QVERIFY(!child<QAction>(main, rest)->isEnabled());
            } else if (word == "warned") {
                auto* update = new ServerUpdate(InstallRequest{folder, home.path + "/steamcmd/steamcmd.sh",
                                                    Branch::Current, false, home.path, home.path + "/state"},
                    main->server(), &processes);
                connect(update, &ServerUpdate::ended, [&updateEnded] { updateEnded = true; });
                update->start(true);
            } else if (word == "logged") {
                QTRY_VERIFY2_WITH_TIMEOUT(readBytes(folder + "/server-console.log").contains(rest.toUtf8()),
                    readBytes(folder + "/server-console.log").right(2000).constData(), 20000);
            } else if (word == "ended") {
                QTRY_VERIFY_WITH_TIMEOUT(updateEnded, 20000);
            } else if (word == "quit") {
                termSent.start();
                main->close();
            } else if (word == "dialog") {
                dialog = program.open("InstallServer");
            } else if (word == "click") {
                click(dialog, rest);
            } else if (word == "label") {
                const auto* label = child<QLabel>(dialog, rest.section(' ', 0, 0));
                QTRY_VERIFY2_WITH_TIMEOUT(
                    label->text().contains(rest.section(' ', 1)), qPrintable(label->text()), 20000);
            } else if (word == "disabled") {
                QVERIFY(!child<QWidget>(dialog, rest)->isEnabled());
            } else if (word == "message") {
                QTRY_VERIFY2_WITH_TIMEOUT(
                    program.messages.join('|').contains(rest), qPrintable(program.messages.join('|')), 20000);
            } else if (word == "never") {
                QVERIFY2(!printed.contains(rest.toUtf8()), printed.constData());
            } else {
                QFAIL(qPrintable("no such step: " + step));
            }
        }
        QVERIFY2(!QFileInfo::exists(home.state + "/overlap"), "two stand-ins ran at once");
    }
};

QUILLMONT_UI_TEST_MAIN(InstallTest)
#include "tst_install.moc"
