#pragma once

#include "launch/OneShotTimer.h"
#include "remote/ServerReplies.h"
#include "remote/ServerRequest.h"

#include <QObject>

#include <optional>

// A question for a server's state (A2S_INFO) or its players (A2S_PLAYER). A server that wants a
// challenge gets the one it gave last, and the question is repeated once with a new one.
class QueryRequest : public ServerRequest {
    Q_OBJECT

public:
    enum class Question { Info, Players };

    Question question() const { return question_; }
    // The answer, once the request has finished without a failure.
    const ServerInfo& info() const { return info_; }
    const QList<PlayerInfo>& players() const { return players_; }

private:
    friend QueryRequest* askServerInfo(const ServerAddress&, PacketShare, QObject*);
    friend QueryRequest* askServerPlayers(const ServerAddress&, PacketShare, QObject*);
    QueryRequest(const ServerAddress& server, PacketShare share, Question question, QObject* parent);
    static QueryRequest* ask(const ServerAddress& server, PacketShare share, Question question, QObject* owner);

    void start();
    void sendQuestion();
    void take(const ServerReply& reply) override;
    void deadlinePassed() override;
    void answerWith(const ServerInfo& info);

    const Question question_;
    QByteArray challengeSent_;
    bool challenged_ = false;
    // An old-style answer, kept a moment in case a current one follows.
    std::optional<ServerInfo> oldStyle_;
    OneShotTimer moreToCome_;
    ServerInfo info_;
    QList<PlayerInfo> players_;
};

// Asks a server one question of the server query, within the given share of the packet budget. The
// request goes out at the next turn of the event loop, so that whoever asked can follow it first;
// it belongs to `owner`, and ends with it.
QueryRequest* askServerInfo(const ServerAddress& server, PacketShare share, QObject* owner);
QueryRequest* askServerPlayers(const ServerAddress& server, PacketShare share, QObject* owner);
