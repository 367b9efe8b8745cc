#pragma once

#include "remote/RemoteFailure.h"
#include "remote/ServerReplies.h"
#include "remote/ServerSocket.h"

#include <QObject>

#include <optional>

// Asks one server for its state (A2S_INFO) and its players (A2S_PLAYER), without waiting: each
// answer, or why there is none, comes later as a signal. One question goes out at a time, in the
// order asked; a question already waiting is not queued twice. A server that wants a challenge
// gets the one it gave last, and the question is repeated once with a new one.
class QueryClient : public QObject {
    Q_OBJECT

public:
    explicit QueryClient(const ServerAddress& server, QObject* parent = nullptr);

    const ServerAddress& server() const { return socket.server(); }

    void askInfo();
    void askPlayers();

Q_SIGNALS:
    void infoReceived(const ServerInfo& info);
    void playersReceived(const QList<PlayerInfo>& players);
    void infoFailed(const RemoteFailure& failure);
    void playersFailed(const RemoteFailure& failure);

private:
    enum class Question { Info, Players };

    void ask(Question question);
    void askNext();
    void sendQuestion();
    void take(const ServerReply& reply);
    void fail(const RemoteFailure& failure);
    void done();

    ServerSocket socket;
    QList<Question> waiting;
    std::optional<Question> asking;
    bool challenged = false;
    // An old-style answer, kept in case a current one follows.
    std::optional<ServerInfo> oldStyle;
};
