#pragma once

#include "remote/RemoteFailure.h"
#include "remote/ServerAddress.h"
#include "remote/ServerReplies.h"

#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <optional>

// One client's socket to one server, for the clients of this folder. It sends within the
// program's packet budget, takes only the datagrams of that server's address and port, joins split
// packets, and keeps the time of an exchange: after a request, `failed` with "no answer" when
// nothing comes in time; after a packet, `quiet` when nothing more comes for a while. A reply that
// cannot be read, or the ban, gives `failed` too. After `failed` the client ends the exchange.
class ServerSocket : public QObject {
    Q_OBJECT

public:
    ServerSocket(const ServerAddress& server, QObject* parent);

    const ServerAddress& server() const { return address; }

    // Begins a new exchange: the timers and any fragments of the one before are dropped.
    void startExchange();
    // Sends a packet and waits for the answer.
    [[nodiscard]] std::optional<RemoteFailure> send(const QByteArray& packet);
    // Ends the exchange: nothing more is reported until the next one begins.
    void endExchange();

    // The message of a reply that is not what was asked, or not readable at all.
    RemoteFailure badReply(const QString& reason) const;

Q_SIGNALS:
    void received(const ServerReply& reply);
    void quiet();
    void failed(const RemoteFailure& failure);

private:
    RemoteFailure banned() const;
    RemoteFailure noAnswerFailure() const;
    void readDatagrams();
    void take(const QByteArray& datagram);
    void becomeQuiet();

    ServerAddress address;
    QUdpSocket socket;
    QTimer noAnswer;
    QTimer silence;
    SplitPackets fragments;
    bool inExchange = false;
};
