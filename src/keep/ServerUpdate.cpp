#include "keep/ServerUpdate.h"

#include "install/Processes.h"
#include "install/SteamCmdRun.h"
#include "launch/ServerSession.h"
#include "launch/ServerStart.h"
#include "remote/ServerWatch.h"

#include <unistd.h>

ServerUpdate::ServerUpdate(InstallRequest request, ServerWatch& watch, QObject* parent)
    : QObject(parent)
    , request_(std::move(request))
    , watch_(watch)
{
    connect(&warning_, &QTimer::timeout, this, [this] { warn(warningsLeft_); });
}

ServerUpdate::~ServerUpdate() = default;

std::optional<QString> ServerUpdate::refusal() const
{
    const qint64 ownSession = watch_.record() ? watch_.record()->sessionId : 0;
    if (const std::optional<qint64> process = foreignServer(request_.folder, ownSession))
        return QStringLiteral("A server runs from %1 (pid %2) that Quillmont did not start: stop it first.")
            .arg(request_.folder)
            .arg(*process);
    return std::nullopt;
}

void ServerUpdate::start(bool warnPlayers)
{
    running_ = true;
    cancelled_ = false;
    if (!watch_.serverRuns()) {
        markUpdating();
        return install();
    }
    stopped_ = watch_.record();
    kept_ = watch_.keptBy() != 0;
    markUpdating();
    if (warnPlayers)
        return warn(2);
    stopServer();
}

// The players are told twice: 5 minutes before, and 1 minute before; without the password, not at all.
void ServerUpdate::warn(int left)
{
    const char* const in[] = {"", "1 minute", "5 minutes"};
    if (left == 0 || !watch_.command(QByteArray("say The server restarts for an update in ") + in[left] + '.'))
        return stopServer();
    Q_EMIT said(QStringLiteral("Told the players that the server restarts for an update in %1.")
                    .arg(QLatin1StringView(in[left])));
    const std::chrono::milliseconds whole = installTimings().playerWarning;
    warningsLeft_ = left - 1;
    warning_.start(left == 2 ? whole - whole / 5 : whole / 5);
}

void ServerUpdate::stopServer()
{
    Q_EMIT said(QStringLiteral("Stopping the server for the update…"));
    connect(
        &watch_, &ServerWatch::ended, this,
        [this] {
            if (cancelled_)
                return installed({SteamCmdInstall::Outcome::How::Cancelled,
                    QStringLiteral("The update was cancelled before SteamCMD ran."), std::nullopt});
            install();
        },
        Qt::SingleShotConnection);
    watch_.stop(ServerWatch::AtLast::End);
}

// Every window and keeper on the folder reads from the record that an update runs, and whose.
void ServerUpdate::markUpdating()
{
    ServerRecord marked = stopped_.value_or(ServerRecord{});
    marked.updatingProcess = ::getpid();
    marked.updatingSince = QDateTime::currentDateTime();
    (void)writeServerRecord(request_.folder, marked);
}

void ServerUpdate::install()
{
    install_ = new SteamCmdInstall(request_, this);
    connect(install_, &SteamCmdInstall::said, this, &ServerUpdate::said);
    connect(install_, &SteamCmdInstall::progressed, this, &ServerUpdate::progressed);
    connect(install_, &SteamCmdInstall::runStarted, this, &ServerUpdate::runStarted);
    connect(install_, &SteamCmdInstall::ended, this, &ServerUpdate::installed);
    install_->start();
}

void ServerUpdate::installed(const SteamCmdInstall::Outcome& outcome)
{
    if (install_)
        install_->deleteLater();
    QString message = outcome.message;
    if (stopped_)
        message += QLatin1Char(' ') + restartServer();
    else
        removeUpdateRecord(request_.folder);
    running_ = false;
    Q_EMIT ended(outcome.how == SteamCmdInstall::Outcome::How::Installed
            || outcome.how == SteamCmdInstall::Outcome::How::UpToDate,
        message);
}

QString ServerUpdate::restartServer()
{
    const ServerRecord stopped = *std::exchange(stopped_, std::nullopt);
    if (kept_) {
        removeUpdateRecord(request_.folder);
        watch_.startByKeeper(stopped.maxplayers, stopped.startMap);
        return QStringLiteral("Its keeper starts the server again.");
    }
    if (const std::optional<QString> failure = startStoppedServer(request_.folder, stopped))
        return *failure;
    if (const std::optional<ServerRecord> record = readServerRecord(request_.folder))
        watch_.watch(*record);
    return QStringLiteral("The server was started again.");
}

void ServerUpdate::cancel()
{
    if (!running_)
        return;
    cancelled_ = true;
    if (warning_.isActive()) {
        // The server was not stopped yet: it runs on, its record without the mark.
        warning_.stop();
        ServerRecord record = *std::exchange(stopped_, std::nullopt);
        record.updatingProcess = 0;
        record.updatingSince = {};
        (void)writeServerRecord(request_.folder, record);
        running_ = false;
        Q_EMIT ended(false, QStringLiteral("The update was cancelled before SteamCMD ran; the server runs on."));
        return;
    }
    if (install_)
        install_->cancel();
}

std::optional<QString> startStoppedServer(const QString& folder, const ServerRecord& stopped)
{
    const StartValues values{
        stopped.maxplayers, stopped.startMap, stopped.port, stopped.commandLine.contains(QStringLiteral("-norestart"))};
    const auto started = startFolderServer(folder, values);
    if (const auto* failure = std::get_if<Failure>(&started)) {
        removeUpdateRecord(folder);
        return QStringLiteral("The server could not be started again: %1").arg(failure->message);
    }
    return std::nullopt;
}

QString InterruptedUpdate::message() const
{
    QString text = QStringLiteral("An update of the server was interrupted at %1; Install or Update completes it.")
                       .arg(at.toString(QStringLiteral("HH:mm")));
    if (stoppedServer)
        text += QStringLiteral(" The server (%1, up to %2 players) was stopped for it.")
                    .arg(stoppedServer->startMap, stoppedServer->maxplayers);
    return text;
}

std::optional<InterruptedUpdate> takeInterruptedUpdate(const QString& folder)
{
    const QString log = steamCmdLogOf(folder);
    const std::optional<QDateTime> at = interruptedRun(log);
    if (!at)
        return std::nullopt;
    InterruptedUpdate interrupted{*at, readServerRecord(folder)};
    if (interrupted.stoppedServer
        && (interrupted.stoppedServer->updatingProcess == 0 || updateRuns(*interrupted.stoppedServer)
            || serverRuns(*interrupted.stoppedServer)))
        interrupted.stoppedServer.reset();
    // A run that goes on in another Quillmont is no interrupted one.
    if (const std::optional<ServerRecord> record = readServerRecord(folder); record && updateRuns(*record))
        return std::nullopt;
    noteInterruptedRun(log);
    return interrupted;
}
