#include "keep/Headless.h"

#include "formats/SettingsFile.h"
#include "install/SteamCmdPlace.h"
#include "keep/DesktopNotifier.h"
#include "keep/KeeperService.h"
#include "keep/ServerKeeper.h"
#include "keep/ServerUpdate.h"
#include "launch/FolderSettings.h"
#include "launch/ServerLaunch.h"
#include "launch/ServerLog.h"
#include "remote/RemoteTimings.h"
#include "remote/ServerWatch.h"
#include "settings/FactorySettings.h"
#include "settings/ServerSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int runs = 0, failed = 1, wrongFolder = 2, notRunning = 3;

void print(std::FILE* stream, const QString& line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// A line of the keeper's for each thing that happened, with the date and time, and the server's last
// line where it matters.
void printEvent(const QString& what, bool alarming, const QString& serverFolder)
{
    const QString last = alarming ? lastLineOf(serverLogOf(serverFolder)) : QString();
    print(stdout,
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + what
            + (last.isEmpty() ? QString() : QStringLiteral(" (last line of the server: %1)").arg(last)));
}

// Why the folder is no server folder that a server can be started in; nothing when it is one.
std::optional<QString> notServerFolder(const QString& folder)
{
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("%1 is not a folder.").arg(folder);
    if (!QFileInfo(QDir(folder).filePath(QStringLiteral("tfc"))).isDir())
        return QStringLiteral("%1 holds no tfc folder, so it is no Team Fortress Classic server folder.").arg(folder);
    if (const std::optional<Failure> missing = serverProgramMissing(serverCommand(folder, {}, defaultServerPort)))
        return missing->message;
    return std::nullopt;
}

// SIGTERM and SIGINT reach the event loop through a pipe, the one thing a signal handler may write.
int signalPipe[2] = {-1, -1};

void signalled(int)
{
    const char signal = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &signal, 1);
}

std::optional<QString> catchEndSignals()
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return qt_error_string(errno);
    struct sigaction action { };
    action.sa_handler = signalled;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    return std::nullopt;
}

// The player limit and map of default.tfc, as Start Server takes them; the factory ones, said so,
// when it cannot be read.
ServerSettings startSettings(const QString& folder)
{
    ServerSettings settings;
    TextEncoding encoding = platformEncoding();
    if (const std::optional<Failure> failure
        = readFullLayout(QDir(folder).filePath(defaultSettingsFile), settings, encoding)) {
        printEvent(failure->message + QStringLiteral(" Quillmont starts the server with its factory settings."), false,
            folder);
        applyFactorySettings(settings);
    }
    return settings;
}

// One keeper per folder: a second one names the first one's process. Nothing when this one keeps it.
std::optional<int> keptAlready(QLockFile& lock, const QString& folder)
{
    lock.setStaleLockTime(0); // stale only when its keeper is gone, however long it has run
    if (lock.tryLock(0))
        return std::nullopt;
    qint64 process = 0;
    QString host, program;
    if (lock.error() != QLockFile::LockFailedError || !lock.getLockInfo(&process, &host, &program)) {
        print(stderr, QStringLiteral("Cannot lock %1 for keeping its server.").arg(folder));
        return wrongFolder;
    }
    print(stderr,
        QStringLiteral("The server in %1 is kept already by quillmont --keep (pid %2).").arg(folder).arg(process));
    return failed;
}

// Takes over the folder's server when it runs; else starts it as Start Server would, once the port
// is found free. Runs until the keeper ends.
int startOrTakeOver(const QString& folder, ServerWatch& watch, ServerKeeper& keeper)
{
    watch.begin(serverPort(folder));
    if (watch.serverRuns()) {
        printEvent(QStringLiteral("Took over the server running since %1.")
                       .arg(watch.record()->startedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
            false, folder);
        return QCoreApplication::exec();
    }
    const ServerSettings settings = startSettings(folder);
    if (const std::optional<Failure> refused = checkCommandLineValues(settings)) {
        print(stderr, refused->message);
        return wrongFolder;
    }
    watch.askPort(serverPort(folder), [&](const std::optional<ServerInfo>& other) {
        const auto started = other
            ? std::variant<StartedFolderServer, Failure>(Failure{
                QStringLiteral("Port %1 is in use by another server (%2).").arg(serverPort(folder)).arg(other->map)})
            : keeper.start(settings.maxplayers, settings.start_map);
        if (const auto* failure = std::get_if<Failure>(&started)) {
            print(stderr, failure->message);
            QCoreApplication::exit(notRunning);
            return;
        }
        for (const QString& notice : std::get<StartedFolderServer>(started).notices)
            printEvent(notice, false, folder);
    });
    return QCoreApplication::exec();
}

int keep(const QString& folder, bool stopOnExit)
{
    QLockFile lock(QDir(folder).filePath(QStringLiteral(".quillmont-keeper.lock")));
    if (const std::optional<int> exitCode = keptAlready(lock, folder))
        return *exitCode;
    if (const std::optional<QString> reason = catchEndSignals()) {
        print(stderr, QStringLiteral("Cannot catch the signals that end the keeper: %1").arg(*reason));
        return failed;
    }
    ServerWatch watch(folder, ServerWatch::Role::Keeper);
    ServerKeeper keeper(folder, watch);
    keeper.setKeeping(true);
    DesktopNotifier notifier(folder);
    QObject::connect(&keeper, &ServerKeeper::happened, [&](const QString& what, bool alarming) {
        printEvent(what, alarming, folder);
        if (alarming)
            notifier.notify(what);
    });
    KeeperService service(folder, watch, keeper);
    service.listen();

    QSocketNotifier ending(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&ending, &QSocketNotifier::activated, [&] {
        char signal = 0;
        while (::read(signalPipe[0], &signal, 1) > 0) { }
        if (!stopOnExit || !watch.serverRuns()) {
            QCoreApplication::exit(runs);
            return;
        }
        printEvent(QStringLiteral("Stopping the server before the keeper ends."), false, folder);
        QObject::connect(&watch, &ServerWatch::ended, [] { QCoreApplication::exit(runs); });
        keeper.stop();
    });
    QObject::connect(
        &watch, &ServerWatch::stopFailed, [&](const QString& message) { printEvent(message, true, folder); });
    return startOrTakeOver(folder, watch, keeper);
}

// The status line's text, once the server has answered, the keeper has told it, or a question
// would have timed out.
int status(const QString& folder)
{
    ServerWatch watch(folder);
    watch.begin(serverPort(folder));
    const auto settled = [&watch] {
        return watch.keptBy()
            || (watch.state() != ServerWatch::State::Starting && watch.state() != ServerWatch::State::NoServer);
    };
    if (!settled()) {
        QEventLoop waiting;
        QObject::connect(&watch, &ServerWatch::statusChanged, &waiting, [&] {
            if (settled())
                waiting.quit();
        });
        QTimer::singleShot(remoteTimings().noAnswer + remoteTimings().processCheck, &waiting, &QEventLoop::quit);
        waiting.exec();
    }
    print(stdout, watch.status());
    return watch.serverRuns() ? runs : notRunning;
}

// Stops the server as Stop Server does, without the question, through the keeper when one keeps it.
int stop(const QString& folder)
{
    ServerWatch watch(folder);
    watch.begin(serverPort(folder));
    if (watch.serverRuns()) {
        QEventLoop stopping;
        int exitCode = runs;
        QObject::connect(&watch, &ServerWatch::ended, &stopping, &QEventLoop::quit);
        for (const auto failure : {&ServerWatch::stopFailed, &ServerWatch::keeperFailed}) {
            QObject::connect(&watch, failure, &stopping, [&](const QString& message) {
                print(stderr, message);
                exitCode = failed;
                stopping.quit();
            });
        }
        watch.stop(ServerWatch::AtLast::End);
        stopping.exec();
        if (exitCode != runs)
            return exitCode;
    }
    print(stdout, watch.status());
    return runs;
}

// Asks Steam for the branch's build, and says whether the installed one is it. Nothing when the update
// should go on; else the exit code.
std::optional<int> upToDateAlready(const InstallRequest& install)
{
    QFile manifest(QDir(install.folder).filePath(QStringLiteral("steamapps/appmanifest_90.acf")));
    // No build is below every build.
    const qint64 installed
        = (manifest.open(QIODevice::ReadOnly) ? manifestBuild(manifest.read(1024 * 1024)) : std::nullopt).value_or(-1);
    SteamBuildQuestion question(install.steamCmd, install.branch, steamCmdLockPath(install.stateHome, install.home));
    QEventLoop asking;
    std::optional<qint64> onSteam;
    QString why;
    QObject::connect(&question, &SteamBuildQuestion::waiting, [](const QString& line) { print(stdout, line); });
    QObject::connect(&question, &SteamBuildQuestion::answered, [&](std::optional<qint64> build, const QString& reason) {
        onSteam = build;
        why = reason;
        asking.quit();
    });
    print(stdout, QStringLiteral("Asking Steam for the build of the branch %1…").arg(steamBranchName(install.branch)));
    question.ask();
    asking.exec();
    if (!onSteam) {
        print(stderr, QStringLiteral("Steam's build could not be asked: %1").arg(why));
        return failed;
    }
    const QString installedWords = installed >= 0 ? QStringLiteral("build %1").arg(installed) : QStringLiteral("none");
    if (installed == *onSteam && missingServerFiles(install.folder).isEmpty()) {
        print(stdout, QStringLiteral("Installed: build %1. On Steam: up to date.").arg(*onSteam));
        return runs;
    }
    print(stdout, QStringLiteral("Installed: %1. On Steam: build %2.").arg(installedWords).arg(*onSteam));
    return std::nullopt;
}

int update(const HeadlessRequest& request, const QString& folder)
{
    if (const std::optional<QString> reason = cannotInstallInto(folder)) {
        print(stderr, *reason);
        return wrongFolder;
    }
    // Nobody can be asked here: what the window asks about stops the update.
    if (const std::optional<QString> concern = installConcern(folder)) {
        print(stderr, *concern + QStringLiteral(" Nothing was installed."));
        return failed;
    }
    const QString home = QDir::homePath();
    InstallRequest install{folder, findSteamCmd(chosenSteamCmd(), qEnvironmentVariable("PATH"), home),
        branchFromOption(request.branch.isEmpty() ? installBranch(folder) : request.branch).value_or(Branch::Current),
        request.validate, home, qEnvironmentVariable("XDG_STATE_HOME")};
    if (install.steamCmd.isEmpty()) {
        print(stderr, howToGetSteamCmd());
        return wrongFolder;
    }
    if (!request.branch.isEmpty())
        setInstallBranch(folder, request.branch);
    if (const std::optional<QString> reason = catchEndSignals()) {
        print(stderr, QStringLiteral("Cannot catch the signals that end the update: %1").arg(*reason));
        return failed;
    }
    QSocketNotifier ending(signalPipe[0], QSocketNotifier::Read);
    const std::optional<InterruptedUpdate> interrupted = takeInterruptedUpdate(folder);
    if (interrupted)
        print(stdout,
            interrupted->message()
                + (interrupted->stoppedServer ? QStringLiteral(" It is started again after this update.") : QString()));
    if (request.ifNewer) {
        if (const std::optional<int> exitCode = upToDateAlready(install))
            return *exitCode;
    }
    ServerWatch watch(folder);
    watch.begin(serverPort(folder));
    ServerUpdate updating(install, watch);
    if (interrupted && interrupted->stoppedServer && !watch.serverRuns())
        updating.restartAfterwards(*interrupted->stoppedServer);
    if (const std::optional<QString> refused = updating.refusal()) {
        print(stderr, *refused);
        return failed;
    }
    int exitCode = failed;
    // One line per run, per phase and per tenth of the progress.
    int tenth = -1;
    bool newTenth = false;
    QString phase;
    QObject::connect(&updating, &ServerUpdate::progressed, [&](int percent) {
        newTenth = percent / 10 != tenth;
        tenth = percent / 10;
    });
    QObject::connect(&updating, &ServerUpdate::said, [&](const QString& line) {
        const QString linePhase = line.section(QLatin1Char(','), 0, 0);
        if (linePhase != phase || newTenth)
            print(stdout, line);
        phase = linePhase;
        newTenth = false;
    });
    QObject::connect(&updating, &ServerUpdate::ended, [&](bool succeeded, const QString& message) {
        print(succeeded ? stdout : stderr, message);
        exitCode = succeeded ? runs : failed;
        QCoreApplication::exit(exitCode);
    });
    QObject::connect(&ending, &QSocketNotifier::activated, [&] {
        char signal = 0;
        while (::read(signalPipe[0], &signal, 1) > 0) { }
        print(stdout, QStringLiteral("Ending the update."));
        updating.cancel();
        exitCode = failed;
    });
    updating.start(!request.now);
    QCoreApplication::exec();
    return updating.running() ? failed : exitCode;
}

} // namespace

int runHeadless(const HeadlessRequest& request)
{
    QCoreApplication::setApplicationName(QStringLiteral("Quillmont"));
    const QString folder = QDir(request.serverFolder).absolutePath();
    // Any folder may be installed into, an empty one too.
    if (request.verb == HeadlessRequest::Verb::Update)
        return update(request, folder);
    if (const std::optional<QString> reason = notServerFolder(folder)) {
        print(stderr, *reason);
        return wrongFolder;
    }
    switch (request.verb) {
    case HeadlessRequest::Verb::Keep:
        return keep(folder, request.stopOnExit);
    case HeadlessRequest::Verb::Status:
        return status(folder);
    case HeadlessRequest::Verb::Stop:
        return stop(folder);
    case HeadlessRequest::Verb::Update:
        break;
    }
    return wrongFolder;
}
