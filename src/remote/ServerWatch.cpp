#include "remote/ServerWatch.h"

#include "launch/ServerLaunch.h"
#include "launch/ServerLog.h"
#include "launch/ServerSession.h"
#include "remote/RconClient.h"
#include "remote/RemoteTimings.h"
#include "remote/ServerQuery.h"

#include <QHostAddress>

#include <utility>

namespace {

QString timeOfDay(const QDateTime& moment)
{
    return moment.toLocalTime().toString(QStringLiteral("HH:mm"));
}

// What the console answers to a variable's name alone: "hostname" is "VALUE", the name as the server
// registered it, in any case.
std::optional<QByteArray> valueOf(const QByteArray& variable, const QByteArray& output)
{
    const QByteArray line = output.trimmed();
    const qsizetype prefix = variable.size() + 7; // "NAME" is "
    if (line.size() <= prefix || line.mid(1, variable.size()).compare(variable, Qt::CaseInsensitive) != 0
        || line.mid(variable.size() + 1, 6) != "\" is \"" || !line.startsWith('"') || !line.endsWith('"'))
        return std::nullopt;
    return line.mid(prefix, line.size() - prefix - 1);
}

// What exec answers when it cannot run the file: it is missing, or its name is refused.
bool execFailed(const QByteArray& output)
{
    for (const char* failure : {"couldn't exec", ": invalid path.", "not enough space"}) {
        if (output.contains(failure))
            return true;
    }
    return false;
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
    case State::Unreadable:
        return QStringLiteral("Running since %1, answering on port %2 in a way Quillmont cannot read")
            .arg(timeOfDay(record_->startedAt))
            .arg(port_);
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
    QueryRequest* request = askInfo(port);
    connect(request, &ServerRequest::finished, this, [this, request, answer = std::move(answer)] {
        const std::optional<ServerInfo> info = request->failure() ? std::nullopt : std::optional(request->info());
        if (!serverRuns()) {
            info_ = info;
            if (info)
                setState(State::OtherServer);
            else if (state_ == State::OtherServer)
                setState(State::NoServer);
        }
        answer(info);
    });
}

void ServerWatch::watch(const ServerRecord& record)
{
    record_ = record;
    port_ = record.port;
    info_.reset();
    unansweredSince_.invalidate();
    watchedSince_.start();
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
    // A question still open is not asked again.
    if (!polling_) {
        QueryRequest* request = askInfo(port_);
        connect(request, &ServerRequest::finished, this, [this, request] {
            polling_.clear();
            polled(*request);
        });
        polling_ = request;
        pollAsked_.start();
    }
    // Often in the server's first minute, when the operator waits to see it come up. Its age is the
    // system's, from its start, also when a Quillmont started later took it over.
    const std::chrono::milliseconds age
        = serverAge(*record_).value_or(std::chrono::milliseconds(watchedSince_.elapsed()));
    const bool early = age < remoteTimings().earlyPhase;
    pollTimer_.start(early ? remoteTimings().pollEarly : remoteTimings().poll);
}

// A query Quillmont held back itself, or could not send, says nothing of the server; one that went
// out and was not answered counts towards "not answering", and one answered in a way Quillmont
// cannot read is said as such.
void ServerWatch::polled(const QueryRequest& request)
{
    if (!record_ || state_ == State::Stopping)
        return;
    const std::optional<RemoteFailure>& failure = request.failure();
    if (!failure)
        return answered(request.info());
    if (failure->problem == RemoteProblem::NotSent || failure->problem == RemoteProblem::NetworkError)
        return;
    if (!unansweredSince_.isValid())
        unansweredSince_ = pollAsked_;
    if (failure->problem == RemoteProblem::BadReply)
        setState(State::Unreadable);
    else if (unansweredSince_.elapsed() >= remoteTimings().notAnswering.count() && state_ != State::NotAnswering)
        setState(State::NotAnswering);
}

void ServerWatch::answered(const ServerInfo& info)
{
    info_ = info;
    unansweredSince_.invalidate();
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
    }
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
        send(*record_->password, "quit", [](const RconRequest&) {});
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

void ServerWatch::applyConfiguration(
    const QByteArray& passwordNow, const QList<SettingCheck>& checks, TextEncoding encoding)
{
    if (!record_)
        return;
    if (!record_->password || record_->password->isEmpty()) {
        Q_EMIT applied(false,
            QStringLiteral("Not applied: the server was started without a remote console password. Restart the "
                           "server to use the new configuration."));
        return;
    }
    send(*record_->password, "exec server.cfg", [=, this](const RconRequest& request) {
        if (request.failure()) {
            Q_EMIT applied(false, notApplied(*request.failure()));
            return;
        }
        if (execFailed(request.output())) {
            Q_EMIT applied(false, QStringLiteral("Not applied: the server could not read server.cfg."));
            return;
        }
        // The server runs the file's lines only after it has answered: give it a moment.
        QTimer::singleShot(
            remoteTimings().applyPause, this, [=, this] { checkApplied(passwordNow, checks, encoding); });
    });
}

// The settings checked, asked with the password the file gives the server now, tell that it ran
// the file: each must be what the file sets, as the server reads it.
void ServerWatch::checkApplied(const QByteArray& passwordNow, QList<SettingCheck> checks, TextEncoding encoding)
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
    if (checks.isEmpty()) {
        Q_EMIT applied(true, QStringLiteral("Applied to the running server.") + keptPassword(passwordNow));
        return;
    }
    const SettingCheck check = checks.takeFirst();
    send(passwordNow, check.name, [=, this](const RconRequest& request) {
        const QString name = QString::fromLatin1(check.name);
        const std::optional<QByteArray> value = valueOf(check.name, request.output());
        if (request.failure())
            Q_EMIT applied(false, notApplied(*request.failure()));
        else if (request.output().trimmed().isEmpty())
            Q_EMIT applied(false, QStringLiteral("Not applied: the server does not know %1.").arg(name));
        else if (value != check.value)
            Q_EMIT applied(false,
                QStringLiteral("Not applied: the server reports %1 as \"%2\".")
                    .arg(name, decodeText(value.value_or(request.output().trimmed()), encoding)));
        else
            checkApplied(passwordNow, checks, encoding);
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

QString ServerWatch::notePassword(const QByteArray& password)
{
    return keptPassword(password).trimmed();
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

void ServerWatch::send(
    const QByteArray& password, const QByteArray& command, std::function<void(const RconRequest&)> then)
{
    const ServerAddress server{QHostAddress(QHostAddress::LocalHost), port_};
    if (!rcon_ || rcon_->server() != server)
        rcon_ = std::make_unique<RconClient>(server);
    RconRequest* request = rcon_->send(password, command);
    connect(request, &ServerRequest::finished, this, [request, then = std::move(then)] { then(*request); });
}

// The status line's questions are asked within a share of the packet budget of their own.
QueryRequest* ServerWatch::askInfo(quint16 port)
{
    return askServerInfo({QHostAddress(QHostAddress::LocalHost), port}, PacketShare::StatusPoll, this);
}
