#include "remote/ServerWatch.h"

#include "launch/ServerLaunch.h"
#include "launch/ServerLog.h"
#include "launch/ServerSession.h"
#include "remote/QueryClient.h"
#include "remote/RconClient.h"
#include "remote/RemoteTimings.h"

#include <QHostAddress>

#include <utility>

namespace {

QString timeOfDay(const QDateTime& moment)
{
    return moment.toLocalTime().toString(QStringLiteral("HH:mm"));
}

qint64 millisecondsSince(const QDateTime& moment)
{
    return moment.msecsTo(QDateTime::currentDateTimeUtc());
}

// What the console answers to a variable's name alone: "hostname" is "VALUE".
std::optional<QByteArray> valueOf(const QByteArray& variable, const QByteArray& output)
{
    const QByteArray prefix = '"' + variable + "\" is \"";
    const QByteArray line = output.trimmed();
    if (!line.startsWith(prefix) || !line.endsWith('"') || line.size() < prefix.size() + 1)
        return std::nullopt;
    return line.mid(prefix.size(), line.size() - prefix.size() - 1);
}

} // namespace

ServerWatch::ServerWatch(QString serverFolder, QObject* parent)
    : QObject(parent)
    , serverFolder_(std::move(serverFolder))
{
    pollTimer_.setSingleShot(true);
    stopTimer_.setSingleShot(true);
    connect(&processCheck_, &QTimer::timeout, this, &ServerWatch::checkProcess);
    connect(&pollTimer_, &QTimer::timeout, this, &ServerWatch::poll);
    connect(&stopTimer_, &QTimer::timeout, this, &ServerWatch::askToEnd);
}

ServerWatch::~ServerWatch() = default;

void ServerWatch::begin(quint16 port)
{
    port_ = port;
    const std::optional<ServerRecord> found = readServerRecord(serverFolder_);
    if (found && ::serverRuns(*found)) {
        watch(*found);
        return;
    }
    removeServerRecord(serverFolder_); // a server that has ended since, or a record that is none
    askPort(port, [](const std::optional<ServerInfo>&) {});
}

bool ServerWatch::serverRuns() const
{
    return record_.has_value();
}

QString ServerWatch::stateInWords() const
{
    if (!info_)
        return QStringLiteral("not answering on port %1").arg(port_);
    return QStringLiteral("%1, %2/%3 players").arg(info_->map).arg(info_->players).arg(info_->maxPlayers);
}

QString ServerWatch::status() const
{
    switch (state_) {
    case State::NoServer:
        return QStringLiteral("No server running");
    case State::OtherServer:
        return QStringLiteral("Another server is running on port %1: %2").arg(port_).arg(stateInWords());
    case State::Starting:
        return QStringLiteral("Starting the server\u2026");
    case State::Running:
        return QStringLiteral("Running since %1: %2").arg(timeOfDay(record_->startedAt), stateInWords());
    case State::NotAnswering:
        return QStringLiteral("Running since %1, not answering on port %2")
            .arg(timeOfDay(record_->startedAt))
            .arg(port_);
    case State::Stopping:
        return QStringLiteral("Stopping the server\u2026");
    case State::Stopped:
        return QStringLiteral("The server stopped at %1").arg(timeOfDay(endedAt_));
    case State::Ended:
        return QStringLiteral("The server ended unexpectedly at %1").arg(timeOfDay(endedAt_))
            + (lastLine_.isEmpty() ? QString() : QStringLiteral(": ") + lastLine_);
    }
    Q_UNREACHABLE();
    return {};
}

void ServerWatch::setState(State state)
{
    state_ = state;
    Q_EMIT statusChanged();
}

void ServerWatch::askPort(quint16 port, std::function<void(const std::optional<ServerInfo>&)> answer)
{
    port_ = port;
    QueryClient& query = queryOn(port);
    // One answer only, whichever comes.
    auto connections = std::make_shared<std::pair<QMetaObject::Connection, QMetaObject::Connection>>();
    const auto finish = [this, connections, answer = std::move(answer)](const std::optional<ServerInfo>& info) {
        disconnect(connections->first);
        disconnect(connections->second);
        if (!serverRuns()) {
            info_ = info;
            if (info)
                setState(State::OtherServer);
            else if (state_ == State::OtherServer)
                setState(State::NoServer);
        }
        answer(info);
    };
    connections->first = connect(&query, &QueryClient::infoReceived, this, finish);
    connections->second
        = connect(&query, &QueryClient::infoFailed, this, [finish](const RemoteFailure&) { finish(std::nullopt); });
    query.askInfo();
}

void ServerWatch::watch(const ServerRecord& record)
{
    record_ = record;
    port_ = record.port;
    info_.reset();
    lastAnswer_ = {};
    watchedSince_ = QDateTime::currentDateTimeUtc();
    termSent_ = false;
    lastLine_.clear();
    setState(State::Starting);
    processCheck_.start(remoteTimings().processCheck);
    poll();
}

void ServerWatch::poll()
{
    if (!record_ || state_ == State::Stopping)
        return;
    QueryClient& query = queryOn(port_);
    connect(&query, &QueryClient::infoReceived, this, &ServerWatch::answered, Qt::UniqueConnection);
    query.askInfo();
    // Often in the first minute, when the operator waits to see the server come up.
    const bool early = millisecondsSince(record_->startedAt) < remoteTimings().earlyPhase.count();
    pollTimer_.start(early ? remoteTimings().pollEarly : remoteTimings().poll);
}

void ServerWatch::answered(const ServerInfo& info)
{
    if (!record_ || !serverRuns())
        return;
    info_ = info;
    lastAnswer_ = QDateTime::currentDateTimeUtc();
    if (state_ != State::Stopping)
        setState(State::Running);
}

void ServerWatch::checkProcess()
{
    if (!record_)
        return;
    if (!::serverRuns(*record_)) {
        if (state_ != State::Stopping)
            lastLine_ = lastLineOf(serverLogOf(serverFolder_));
        endStop(state_ == State::Stopping ? State::Stopped : State::Ended);
        return;
    }
    if (state_ == State::Stopping)
        return;
    const QDateTime heardFrom = lastAnswer_.isValid() ? lastAnswer_ : watchedSince_;
    if (millisecondsSince(heardFrom) > remoteTimings().notAnswering.count() && state_ != State::NotAnswering)
        setState(State::NotAnswering);
}

void ServerWatch::stop()
{
    if (!record_ || !serverRuns() || state_ == State::Stopping)
        return;
    setState(State::Stopping);
    pollTimer_.stop();
    processCheck_.start(remoteTimings().stopCheck);
    termSent_ = !record_->password || record_->password->isEmpty();
    if (termSent_ && !signalServer(false))
        return;
    if (!termSent_)
        send(*record_->password, "quit", [](std::optional<RemoteFailure>, const QByteArray&) {});
    stopTimer_.start(remoteTimings().stopGrace);
}

// The server has had its time to end: first its whole session is asked to end, then the operator.
void ServerWatch::askToEnd()
{
    if (state_ != State::Stopping)
        return;
    if (!std::exchange(termSent_, true)) {
        if (signalServer(false))
            stopTimer_.start(remoteTimings().stopGrace);
        return;
    }
    Q_EMIT stopStuck();
}

void ServerWatch::endNow()
{
    if (state_ == State::Stopping)
        signalServer(true);
}

// A server that cannot be signalled, and has not ended meanwhile, is watched as before, and the
// operator told why.
bool ServerWatch::signalServer(bool now)
{
    const std::optional<Failure> failure = endServer(serverFolder_, *record_, now);
    if (!failure)
        return true;
    if (!::serverRuns(*record_)) {
        endStop(State::Stopped);
        return false;
    }
    keepRunning();
    Q_EMIT stopFailed(failure->message);
    return false;
}

void ServerWatch::keepRunning()
{
    if (state_ != State::Stopping)
        return;
    stopTimer_.stop();
    processCheck_.start(remoteTimings().processCheck);
    setState(info_ ? State::Running : State::NotAnswering);
    poll();
}

void ServerWatch::endStop(State state)
{
    removeServerRecord(serverFolder_);
    record_.reset();
    info_.reset();
    processCheck_.stop();
    pollTimer_.stop();
    stopTimer_.stop();
    endedAt_ = QDateTime::currentDateTime();
    setState(state);
    Q_EMIT ended();
}

void ServerWatch::applyConfiguration(const QByteArray& passwordNow, const QByteArray& serverNameNow)
{
    if (!record_)
        return;
    if (!record_->password || record_->password->isEmpty()) {
        Q_EMIT applied(false,
            QStringLiteral("Not applied: the server was started without a remote console password. Restart the "
                           "server to use the new configuration."));
        return;
    }
    send(*record_->password, "exec server.cfg", [=, this](std::optional<RemoteFailure> failure, const QByteArray&) {
        if (failure) {
            Q_EMIT applied(false, notApplied(*failure));
            return;
        }
        // The server runs the file's lines only after it has answered: give it a moment.
        QTimer::singleShot(remoteTimings().applyPause, this, [=, this] { checkApplied(passwordNow, serverNameNow); });
    });
}

// The server's name, asked with the password the file gives it now, tells that it ran the file.
void ServerWatch::checkApplied(const QByteArray& passwordNow, const QByteArray& serverNameNow)
{
    if (!record_)
        return; // it has ended meanwhile, and said so
    if (passwordNow.isEmpty()) {
        Q_EMIT applied(false,
            QStringLiteral("Sent to the running server, but not checked: the new configuration has no remote console "
                           "password, so Quillmont cannot talk to the server any more. Stop Server ends it all the "
                           "same.")
                + keptPassword(std::nullopt));
        return;
    }
    send(passwordNow, "hostname", [=, this](std::optional<RemoteFailure> failure, const QByteArray& output) {
        if (failure)
            Q_EMIT applied(false, notApplied(*failure));
        else if (valueOf("hostname", output) != serverNameNow)
            Q_EMIT applied(false,
                QStringLiteral("Not applied: the server still goes by another name after it was asked to run "
                               "server.cfg."));
        else
            Q_EMIT applied(true, QStringLiteral("Applied to the running server.") + keptPassword(passwordNow));
    });
}

QString ServerWatch::notApplied(const RemoteFailure& failure) const
{
    switch (failure.problem) {
    case RemoteProblem::PasswordRefused:
        return QStringLiteral("Not applied: the server refused the remote console password.");
    case RemoteProblem::NoAnswer:
        return QStringLiteral("Not applied: no answer from the server on port %1.").arg(port_);
    default:
        return QStringLiteral("Not applied: ") + failure.message;
    }
}

// The record keeps the password the server has now, for Stop and for a Quillmont started later;
// gives what the operator should know when it cannot.
QString ServerWatch::keptPassword(const std::optional<QByteArray>& password)
{
    if (!record_)
        return {};
    record_->password = password;
    const SaveOutcome outcome = writeServerRecord(serverFolder_, *record_);
    const Failure* failure = failureOf(outcome);
    const std::optional<QString> told = failure ? failure->message : std::get<Saved>(outcome).notDurable;
    return told ? QStringLiteral("\n\n") + *told : QString();
}

void ServerWatch::send(const QByteArray& password, const QByteArray& command,
    std::function<void(std::optional<RemoteFailure>, QByteArray)> reply)
{
    const ServerAddress server{QHostAddress(QHostAddress::LocalHost), port_};
    if (!rcon_ || rcon_->server() != server) {
        rcon_ = std::make_unique<RconClient>(server);
        connect(rcon_.get(), &RconClient::replied, this, [this](const RconReply& answer) {
            if (!replies_.isEmpty())
                replies_.takeFirst()(std::nullopt, answer.output);
        });
        connect(rcon_.get(), &RconClient::failed, this, [this](const QByteArray&, const RemoteFailure& failure) {
            if (!replies_.isEmpty())
                replies_.takeFirst()(failure, {});
        });
        replies_.clear();
    }
    if (const std::optional<RemoteFailure> refused = rcon_->send(password, command)) {
        reply(refused, {});
        return;
    }
    replies_.append(std::move(reply));
}

QueryClient& ServerWatch::queryOn(quint16 port)
{
    const ServerAddress server{QHostAddress(QHostAddress::LocalHost), port};
    if (!query_ || query_->server() != server)
        query_ = std::make_unique<QueryClient>(server);
    return *query_;
}
