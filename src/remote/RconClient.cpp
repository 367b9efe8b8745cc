#include "remote/RconClient.h"

#include "remote/RemoteTimings.h"
#include "remote/RequestPackets.h"

#include <utility>

namespace {

// More output than any command prints: a server that keeps sending is not answering a command.
constexpr qsizetype mostOutput = 256 * 1024;

// Commands that load a level, and answer only once it is loaded.
bool loadsLevel(const QByteArray& command)
{
    const QByteArray verb = command.trimmed().split(' ').first().toLower();
    return verb == "changelevel" || verb == "map" || verb == "restart" || verb == "reload";
}

} // namespace

RconRequest::RconRequest(
    const ServerAddress& server, const QByteArray& password, const QByteArray& command, QObject* parent)
    : ServerRequest(server, PacketShare::Other, parent)
    , password_(password)
    , command_(command)
{
    connect(&quiet_, &QTimer::timeout, this, &RconRequest::answer);
}

void RconRequest::start()
{
    Q_EMIT started();
    if (const std::optional<RemoteFailure> tooMany = checkPasswordAttempts(server()))
        return fail(*tooMany);
    begin(loadsLevel(command_) ? remoteTimings().levelLoad : remoteTimings().noAnswer);
    sendPacket();
}

// The command, or first the challenge it needs.
void RconRequest::sendPacket()
{
    const QByteArray& challenge = knownChallenges(server()).rcon;
    askingChallenge_ = challenge.isEmpty();
    ServerRequest::sendPacket(askingChallenge_ ? rconChallengeRequest() : rconCommand(challenge, password_, command_));
}

// Only what answers the packet sent last is taken; a challenge the server repeats, or anything
// else, is dropped.
void RconRequest::take(const ServerReply& reply)
{
    const auto* challenge = std::get_if<reply::RconChallenge>(&reply);
    const auto* text = std::get_if<reply::ConsoleOutput>(&reply);
    const auto* refusal = std::get_if<reply::PasswordRefused>(&reply);
    const auto* wrongChallenge = std::get_if<reply::ChallengeRefused>(&reply);
    if (challenge && askingChallenge_) {
        knownChallenges(server()).rcon = challenge->number;
        sendPacket();
    } else if (text && !askingChallenge_) {
        takeOutput(text->text);
    } else if (refusal && !askingChallenge_ && !answered_) {
        refused(*refusal);
    } else if (wrongChallenge && !askingChallenge_ && !answered_) {
        knownChallenges(server()).rcon.clear();
        if (std::exchange(challengeAskedAgain_, true))
            return fail(badReply(QStringLiteral("it refuses even a new challenge (%1)")
                                     .arg(QString::fromUtf8(wrongChallenge->reason.trimmed()))));
        sendPacket();
    } else if (!challenge) {
        drop(QStringLiteral("it is no answer to a remote console command"));
    }
}

void RconRequest::takeOutput(const QByteArray& text)
{
    answered_ = true;
    output_ += text;
    if (output_.size() > mostOutput) {
        output_.truncate(mostOutput);
        return cutShortNow();
    }
    quiet_.start(remoteTimings().quiet);
}

// Output that has not ended by the deadline is shown as far as it came.
void RconRequest::deadlinePassed()
{
    if (answered_)
        cutShortNow();
    else
        ServerRequest::deadlinePassed();
}

void RconRequest::cutShortNow()
{
    cutShort_ = true;
    answer();
}

void RconRequest::refused(const reply::PasswordRefused& refusal)
{
    notePasswordRefused(server());
    fail({RemoteProblem::PasswordRefused,
        refusal.noPasswordSet
            ? QStringLiteral("The server %1 has no remote console password, so it takes no remote console commands.")
                  .arg(server().text())
            : QStringLiteral("The server %1 refused the remote console password.").arg(server().text())});
}

RconClient::RconClient(const ServerAddress& server, QObject* parent)
    : QObject(parent)
    , server_(server)
{
}

RconRequest* RconClient::send(const QByteArray& password, const QByteArray& command)
{
    auto* request = new RconRequest(server_, password, command, this);
    if (const std::optional<Failure> cannot = checkRconCommand(password, command)) {
        request->failLater({RemoteProblem::NotSent, cannot->message});
        return request;
    }
    connect(request, &ServerRequest::finished, this, [this, request] { finished(request); });
    waiting_.append(request);
    QMetaObject::invokeMethod(this, &RconClient::startNext, Qt::QueuedConnection);
    return request;
}

void RconClient::startNext()
{
    if (running_ || waiting_.isEmpty())
        return;
    running_ = waiting_.takeFirst();
    running_->start();
}

// The next command goes out once this one has finished, however it did; a refused password is not
// sent again.
void RconClient::finished(RconRequest* request)
{
    if (request == running_)
        running_ = nullptr;
    if (request->failure() && request->failure()->problem == RemoteProblem::PasswordRefused) {
        const QList<RconRequest*> samePassword = waiting_;
        for (RconRequest* waiter : samePassword) {
            if (waiter->password() == request->password()) {
                waiting_.removeOne(waiter);
                waiter->failLater(*request->failure());
            }
        }
    }
    QMetaObject::invokeMethod(this, &RconClient::startNext, Qt::QueuedConnection);
}
