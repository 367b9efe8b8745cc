#include "remote/ServerWatch.h"

#include "launch/ServerLaunch.h"
#include "launch/ServerLog.h"
#include "launch/ServerSession.h"
#include "remote/ConsoleAnswers.h"
#include "remote/KeeperChannel.h"
#include "remote/RconClient.h"
#include "remote/RemoteTimings.h"
#include "remote/ServerQuery.h"

#include <QFileInfo>
#include <QHostAddress>

#include <algorithm>
#include <utility>

namespace {

QString timeOfDay(const QDateTime& moment)
{
    return moment.toLocalTime().toString(QStringLiteral("HH:mm"));
}

} // namespace

ServerWatch::ServerWatch(QString serverFolder, Role role, QObject* parent)
    : QObject(parent)
    , serverFolder_(std::move(serverFolder))
    , role_(role)
    , keeperSocket_(keeperSocketPath(serverFolder_))
{
    connect(&processCheck_, &QTimer::timeout, this, &ServerWatch::checkProcess);
    connect(&pollTimer_, &QTimer::timeout, this, &ServerWatch::poll);
    connect(&stopTimer_, &QTimer::timeout, this, &ServerWatch::askToEnd);
    connect(&keeperLook_, &QTimer::timeout, this, &ServerWatch::lookForKeeper);
    connect(&keeper_, &QLocalSocket::readyRead, this, &ServerWatch::readKeeper);
    connect(&keeper_, &QLocalSocket::disconnected, this, &ServerWatch::keeperGone);
}

ServerWatch::~ServerWatch() = default;

void ServerWatch::begin(quint16 port)
{
    port_ = port;
    if (role_ == Role::FollowsKeeper) {
        keeperLook_.start(remoteTimings().processCheck);
        if (followsKeeperNow())
            return;
    }
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
    if (keeperProcess_)
        return keeperWords_;
    if (!info_)
        return QStringLiteral("not answering on port %1").arg(port_);
    return QStringLiteral("%1, %2/%3 players").arg(info_->map).arg(info_->players).arg(info_->maxPlayers);
}

qint64 ServerWatch::updatingProcess() const
{
    const std::optional<ServerRecord> found = readServerRecord(serverFolder_);
    return found && updateRuns(*found) ? found->updatingProcess : 0;
}

QString ServerWatch::status() const
{
    if (!record_) {
        if (const qint64 updating = updatingProcess())
            return QStringLiteral("Updating the server (pid %1)\u2026").arg(updating);
    }
    if (keeperProcess_)
        return keeperStatus_ + QStringLiteral(" (kept by quillmont --keep, pid %1)").arg(keeperProcess_);
    if (!explanation_.isEmpty())
        return explanation_;
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
    explanation_.clear();
    Q_EMIT statusChanged();
}

void ServerWatch::explain(const QString& text)
{
    explanation_ = text;
    Q_EMIT statusChanged();
}

std::chrono::milliseconds ServerWatch::silence() const
{
    return unansweredSince_.isValid() ? std::chrono::milliseconds(unansweredSince_.elapsed())
                                      : std::chrono::milliseconds::zero();
}

std::chrono::milliseconds ServerWatch::age() const
{
    const std::chrono::milliseconds watched = watchedSince_.isValid()
        ? std::chrono::milliseconds(watchedSince_.elapsed())
        : std::chrono::milliseconds::zero();
    return record_ ? serverAge(*record_).value_or(watched) : watched;
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
    answeredOnce_ = false;
    unanswered_ = 0;
    watchedSince_.start();
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
    const bool early = age() < remoteTimings().earlyPhase;
    pollTimer_.start(early ? remoteTimings().pollEarly : remoteTimings().poll);
}

// A query Quillmont held back itself, or could not send, says nothing of the server; one that went
// out and was not answered counts towards "not answering", and one answered in a way Quillmont
// cannot read is said as such.
void ServerWatch::polled(const QueryRequest& request)
{
    if (!record_ || state_ == State::Stopping || keeperProcess_)
        return;
    const std::optional<RemoteFailure>& failure = request.failure();
    if (!failure)
        return answered(request.info());
    if (failure->problem == RemoteProblem::NotSent || failure->problem == RemoteProblem::NetworkError)
        return;
    if (!unansweredSince_.isValid())
        unansweredSince_ = pollAsked_;
    ++unanswered_;
    if (failure->problem == RemoteProblem::BadReply)
        setState(State::Unreadable);
    else if (unansweredSince_.elapsed() >= remoteTimings().notAnswering.count() && state_ != State::NotAnswering)
        setState(State::NotAnswering);
}

void ServerWatch::answered(const ServerInfo& info)
{
    info_ = info;
    unansweredSince_.invalidate();
    answeredOnce_ = true;
    unanswered_ = 0;
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

void ServerWatch::stop(AtLast atLast)
{
    if (!record_ || state_ == State::Stopping)
        return;
    if (keeperProcess_)
        return tellKeeper({"stop"});
    atLast_ = atLast;
    setState(State::Stopping); // no poll goes out from now on
    processCheck_.start(remoteTimings().stopCheck);
    termSent_ = !record_->password || record_->password->isEmpty();
    if (termSent_ && !signalServer(false))
        return;
    if (!termSent_)
        send(*record_->password, "quit", [](const RconRequest&) {});
    stopTimer_.start(remoteTimings().stopGrace);
}

// The server has had its time to end: first its whole session is asked to end, then the operator,
// or it is ended at once.
void ServerWatch::askToEnd()
{
    if (state_ != State::Stopping)
        return;
    if (!std::exchange(termSent_, true)) {
        if (signalServer(false))
            stopTimer_.start(remoteTimings().stopGrace);
        return;
    }
    if (atLast_ == AtLast::End)
        signalServer(true);
    else
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
    processCheck_.stop(); // a poll or a stop step still due finds no server, and does nothing
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
        if (execFailedIn(request.output())) {
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
        const std::optional<QByteArray> value = settingValueIn(check.name, request.output());
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
    if (keeperProcess_)
        tellKeeper({"password", password.value_or(QByteArray()).toHex()});
    if (!record_ || keeperProcess_)
        return {};
    record_->password = password;
    const SaveOutcome outcome = writeServerRecord(serverFolder_, *record_);
    const Failure* failure = failureOf(outcome);
    const std::optional<QString> told = failure ? failure->message : std::get<Saved>(outcome).notDurable;
    return told ? QStringLiteral("\n\n") + *told : QString();
}

bool ServerWatch::command(const QByteArray& command)
{
    if (!record_ || !record_->password || record_->password->isEmpty())
        return false;
    send(*record_->password, command, [](const RconRequest&) {});
    return true;
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

void ServerWatch::startByKeeper(const QString& maxplayers, const QString& startMap)
{
    tellKeeper({"start", maxplayers.toUtf8(), startMap.toUtf8()});
}

// A keeper that has come since is followed from then on; one whose socket is left over from a crash
// answers no connection, and the watch goes on as it was.
void ServerWatch::lookForKeeper()
{
    if (keeper_.state() == QLocalSocket::UnconnectedState && keeperSocket_ && QFileInfo::exists(*keeperSocket_))
        keeper_.connectToServer(*keeperSocket_);
}

// A keeper answers at once with its process and the server's state; one that does not is taken for
// gone, and the watch asks the server itself.
bool ServerWatch::followsKeeperNow()
{
    lookForKeeper();
    if (keeper_.state() == QLocalSocket::ConnectedState
        && keeper_.waitForReadyRead(int(remoteTimings().keeperAnswer.count())) && keeperProcess_)
        return true;
    keeper_.abort();
    return false;
}

void ServerWatch::readKeeper()
{
    while (keeper_.canReadLine())
        followKeeper(keeper_.readLine(longestKeeperLine));
    if (keeper_.bytesAvailable() > longestKeeperLine)
        keeper_.abort();
}

// The keeper's word replaces the watch's own questions: it asks the server, and this watch shows
// what it reports, with the record as the keeper wrote it.
void ServerWatch::followKeeper(const QByteArray& line)
{
    const QByteArrayList fields = keeperFields(line);
    if (fields.value(0) == "keeper") {
        keeperProcess_ = fields.value(1).toLongLong();
        processCheck_.stop();
        pollTimer_.stop();
        stopTimer_.stop();
    } else if (fields.value(0) == "state" && keeperProcess_ && fields.size() == 4) {
        const bool ranBefore = serverRuns();
        state_ = State(std::clamp(fields.at(1).toInt(), int(State::NoServer), int(State::Ended)));
        keeperWords_ = QString::fromUtf8(fields.at(2));
        keeperStatus_ = QString::fromUtf8(fields.at(3));
        const bool runs = state_ >= State::Starting && state_ <= State::Stopping;
        record_ = runs ? readServerRecord(serverFolder_) : std::nullopt;
        explanation_.clear();
        Q_EMIT statusChanged();
        if (ranBefore && !serverRuns())
            Q_EMIT ended();
    } else if (fields.value(0) == "failed") {
        Q_EMIT keeperFailed(QString::fromUtf8(fields.value(1)));
    }
}

// The keeper has ended: this watch takes the server over itself.
void ServerWatch::keeperGone()
{
    if (!std::exchange(keeperProcess_, 0))
        return;
    record_.reset();
    QMetaObject::invokeMethod(
        this, [this] { begin(port_); }, Qt::QueuedConnection); // once the socket is closed
}

void ServerWatch::tellKeeper(const QByteArrayList& fields)
{
    keeper_.write(keeperLine(fields));
}
