#include "remote/QueryClient.h"

#include "remote/ServerLimits.h"
#include "remote/ServerRequests.h"

#include <utility>

QueryClient::QueryClient(const ServerAddress& server, QObject* parent)
    : QObject(parent)
    , socket(server, this)
{
    connect(&socket, &ServerSocket::received, this, &QueryClient::take);
    connect(&socket, &ServerSocket::failed, this, &QueryClient::fail);
    connect(&socket, &ServerSocket::quiet, this, [this] {
        if (oldStyle) {
            const ServerInfo info = *oldStyle;
            done();
            Q_EMIT infoReceived(info);
        }
    });
}

void QueryClient::askInfo()
{
    ask(Question::Info);
}

void QueryClient::askPlayers()
{
    ask(Question::Players);
}

void QueryClient::ask(Question question)
{
    if (!waiting.contains(question))
        waiting.append(question);
    QMetaObject::invokeMethod(this, &QueryClient::askNext, Qt::QueuedConnection);
}

void QueryClient::askNext()
{
    if (asking || waiting.isEmpty())
        return;
    asking = waiting.takeFirst();
    challenged = false;
    oldStyle.reset();
    socket.startExchange();
    sendQuestion();
}

void QueryClient::sendQuestion()
{
    const QByteArray& challenge = knownChallenges(server()).query;
    if (std::optional<RemoteFailure> failure
        = socket.send(asking == Question::Info ? infoRequest(challenge) : playersRequest(challenge)))
        fail(*failure);
}

void QueryClient::take(const ServerReply& reply)
{
    if (const auto* challenge = std::get_if<reply::QueryChallenge>(&reply)) {
        knownChallenges(server()).query = challenge->challenge;
        if (std::exchange(challenged, true))
            return fail(socket.badReply(QStringLiteral("it asks for a new challenge again")));
        return sendQuestion();
    }
    const auto* info = std::get_if<reply::Info>(&reply);
    const auto* players = std::get_if<reply::Players>(&reply);
    if (info && asking == Question::Info && info->oldStyle) {
        oldStyle = info->info;
    } else if (info && asking == Question::Info) {
        done();
        Q_EMIT infoReceived(info->info);
    } else if (players && asking == Question::Players) {
        done();
        Q_EMIT playersReceived(players->players);
    } else {
        fail(socket.badReply(QStringLiteral("it is no answer to the question asked")));
    }
}

void QueryClient::fail(const RemoteFailure& failure)
{
    const std::optional<Question> failed = asking;
    done();
    if (failed == Question::Info)
        Q_EMIT infoFailed(failure);
    else if (failed == Question::Players)
        Q_EMIT playersFailed(failure);
}

void QueryClient::done()
{
    socket.endExchange();
    asking.reset();
    QMetaObject::invokeMethod(this, &QueryClient::askNext, Qt::QueuedConnection);
}
