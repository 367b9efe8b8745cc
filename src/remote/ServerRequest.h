#pragma once

#include "launch/OneShotTimer.h"
#include "remote/RemoteFailure.h"
#include "remote/ServerAddress.h"
#include "remote/ServerLimits.h"
#include "remote/ServerReplies.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>

class ServerExchange;

// One question to one server, as a QNetworkReply is one request: it is answered once, by the
// replies that belong to it, or fails by its deadline, and then emits `finished` and deletes itself
// at the next turn of the event loop. Its exchange has a socket of its own; a datagram that answers
// nothing it asked is dropped. A request that cannot go out at all finishes with the reason at the
// next turn of the event loop, never during the call that made it.
class ServerRequest : public QObject {
    Q_OBJECT

public:
    const ServerAddress& server() const { return server_; }
    bool isFinished() const { return finished_; }
    // Why there is no answer; nothing once it has been answered.
    const std::optional<RemoteFailure>& failure() const { return failure_; }

Q_SIGNALS:
    void finished();

protected:
    ServerRequest(const ServerAddress& server, PacketShare share, QObject* parent);
    ~ServerRequest() override;

    // Starts the exchange; the deadline counts from now.
    void begin(std::chrono::milliseconds deadline);
    // Sends a packet of the exchange; when it cannot go out, the request fails.
    void sendPacket(const QByteArray& packet);
    // A reply of the exchange: the request takes it, or drops it.
    virtual void take(const ServerReply& reply) = 0;
    // The deadline has come before the request finished.
    virtual void deadlinePassed();
    // Something came that is no answer to this question: dropped, and remembered for the deadline.
    void drop(const QString& reason);

    void answer();
    void fail(const RemoteFailure& failure);
    // Fails at the next turn of the event loop, for a request that cannot even begin.
    void failLater(const RemoteFailure& failure);

    RemoteFailure badReply(const QString& reason) const;
    // No answer in time: said as such, or as unreadable when all that came could not be read.
    RemoteFailure noAnswer() const;

private:
    void end(const std::optional<RemoteFailure>& failure);

    const ServerAddress server_;
    const PacketShare share_;
    ServerExchange* exchange_ = nullptr;
    OneShotTimer deadline_;
    std::optional<RemoteFailure> failure_;
    bool finished_ = false;
};
