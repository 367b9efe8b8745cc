#include "remote/RconClient.h"

#include "remote/ServerLimits.h"
#include "remote/ServerRequests.h"

#include <utility>

namespace {

// More output than any command prints: a server that keeps sending is not answering a command.
constexpr qsizetype mostOutput = 1024 * 1024;

} // namespace

RconClient::RconClient(const ServerAddress& server, QObject* parent)
    : QObject(parent)
    , socket(server, this)
{
    connect(&socket, &ServerSocket::received, this, &RconClient::take);
    connect(&socket, &ServerSocket::failed, this, &RconClient::fail);
    connect(&socket, &ServerSocket::quiet, this, [this] {
        if (!answered)
            return;
        const RconReply reply{sending->command, output};
        done();
        Q_EMIT replied(reply);
    });
}

std::optional<RemoteFailure> RconClient::send(const QByteArray& password, const QByteArray& command)
{
    if (const std::optional<Failure> cannot = checkRconCommand(password, command))
        return RemoteFailure{RemoteProblem::NotSent, cannot->message};
    waiting.append({password, command});
    QMetaObject::invokeMethod(this, &RconClient::sendNext, Qt::QueuedConnection);
    return std::nullopt;
}

void RconClient::sendNext()
{
    if (sending || waiting.isEmpty())
        return;
    sending = waiting.takeFirst();
    challengeAskedAgain = false;
    answered = false;
    output.clear();
    if (const std::optional<RemoteFailure> tooMany = checkPasswordAttempts(server()))
        return fail(*tooMany);
    socket.startExchange();
    sendPacket();
}

// The command, or first the challenge it needs.
void RconClient::sendPacket()
{
    const QByteArray& challenge = knownChallenges(server()).rcon;
    askingChallenge = challenge.isEmpty();
    if (std::optional<RemoteFailure> failure = socket.send(
            askingChallenge ? rconChallengeRequest() : rconCommand(challenge, sending->password, sending->command)))
        fail(*failure);
}

void RconClient::take(const ServerReply& reply)
{
    const auto* challenge = std::get_if<reply::RconChallenge>(&reply);
    const auto* text = std::get_if<reply::ConsoleOutput>(&reply);
    if (challenge && askingChallenge) {
        knownChallenges(server()).rcon = challenge->number;
        sendPacket();
    } else if (text && !askingChallenge) {
        answered = true;
        output += text->text;
        if (output.size() > mostOutput)
            fail(socket.badReply(QStringLiteral("its output runs to more than %1 bytes").arg(mostOutput)));
    } else if (const auto* refusal = std::get_if<reply::PasswordRefused>(&reply); refusal && !askingChallenge) {
        refused(*refusal);
    } else if (const auto* wrong = std::get_if<reply::ChallengeRefused>(&reply); wrong && !askingChallenge) {
        knownChallenges(server()).rcon.clear();
        if (std::exchange(challengeAskedAgain, true))
            return fail(socket.badReply(QStringLiteral("it refuses even a new challenge (%1)")
                                            .arg(QString::fromUtf8(wrong->reason.trimmed()))));
        sendPacket();
    } else {
        fail(socket.badReply(QStringLiteral("it is no answer to a remote console command")));
    }
}

void RconClient::refused(const reply::PasswordRefused& refusal)
{
    notePasswordRefused(server());
    const RemoteFailure failure{RemoteProblem::PasswordRefused,
        refusal.noPasswordSet
            ? QStringLiteral("The server %1 has no remote console password, so it takes no remote console commands.")
                  .arg(server().text())
            : QStringLiteral("The server %1 refused the remote console password.").arg(server().text())};
    QByteArrayList dropped;
    waiting.removeIf([&](const Command& waiter) {
        return waiter.password == sending->password && (dropped.append(waiter.command), true);
    });
    fail(failure);
    for (const QByteArray& command : std::as_const(dropped))
        Q_EMIT failed(command, failure);
}

void RconClient::fail(const RemoteFailure& failure)
{
    const QByteArray command = sending ? sending->command : QByteArray();
    done();
    Q_EMIT failed(command, failure);
}

void RconClient::done()
{
    socket.endExchange();
    sending.reset();
    QMetaObject::invokeMethod(this, &RconClient::sendNext, Qt::QueuedConnection);
}
