#include "remote/ServerQuery.h"

#include "remote/RemoteTimings.h"
#include "remote/RequestPackets.h"

QueryRequest::QueryRequest(const ServerAddress& server, PacketShare share, Question question, QObject* parent)
    : ServerRequest(server, share, parent)
    , question_(question)
{
    connect(&moreToCome_, &QTimer::timeout, this, [this] { answerWith(*oldStyle_); });
}

void QueryRequest::start()
{
    begin(remoteTimings().noAnswer);
    sendQuestion();
}

void QueryRequest::sendQuestion()
{
    challengeSent_ = knownChallenges(server()).query;
    sendPacket(question_ == Question::Info ? infoRequest(challengeSent_) : playersRequest(challengeSent_));
}

void QueryRequest::take(const ServerReply& reply)
{
    const auto* info = std::get_if<reply::Info>(&reply);
    const auto* players = std::get_if<reply::Players>(&reply);
    if (const auto* challenge = std::get_if<reply::QueryChallenge>(&reply)) {
        knownChallenges(server()).query = challenge->challenge;
        // Once asked again with a new challenge, a server that only asks for one more answers nothing.
        if (challenged_)
            return drop(QStringLiteral("it asks for a new challenge again"));
        challenged_ = true;
        sendQuestion();
    } else if (info && question_ == Question::Info && info->oldStyle) {
        oldStyle_ = info->info;
        moreToCome_.start(remoteTimings().quiet);
    } else if (info && question_ == Question::Info) {
        answerWith(info->info);
    } else if (players && question_ == Question::Players) {
        players_ = players->players;
        answer();
    } else {
        drop(QStringLiteral("it is no answer to the question asked"));
    }
}

void QueryRequest::deadlinePassed()
{
    if (oldStyle_)
        answerWith(*oldStyle_);
    else
        ServerRequest::deadlinePassed();
}

void QueryRequest::answerWith(const ServerInfo& info)
{
    info_ = info;
    answer();
}

QueryRequest* QueryRequest::ask(const ServerAddress& server, PacketShare share, Question question, QObject* owner)
{
    auto* request = new QueryRequest(server, share, question, owner);
    QMetaObject::invokeMethod(request, &QueryRequest::start, Qt::QueuedConnection);
    return request;
}

QueryRequest* askServerInfo(const ServerAddress& server, PacketShare share, QObject* owner)
{
    return QueryRequest::ask(server, share, QueryRequest::Question::Info, owner);
}

QueryRequest* askServerPlayers(const ServerAddress& server, PacketShare share, QObject* owner)
{
    return QueryRequest::ask(server, share, QueryRequest::Question::Players, owner);
}
