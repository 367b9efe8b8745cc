#pragma once

#include "remote/RemoteFailure.h"
#include "remote/ServerAddress.h"
#include "remote/ServerLimits.h"
#include "remote/ServerReplies.h"

#include <QObject>
#include <QUdpSocket>

#include <optional>

// One question's exchange with one server, over a socket of its own: a new source port, connected
// to the server so that the system hands it that server's datagrams alone, and closed with the
// exchange, so that nothing sent late for one question is ever read for another. It sends within
// the program's packet budget for the server, joins split packets, and passes on each reply it can
// read; what it cannot read is noted, for the question to judge when its time is up.
class ServerExchange : public QObject {
    Q_OBJECT

public:
    ServerExchange(const ServerAddress& server, PacketShare share, QObject* parent);

    const ServerAddress& server() const { return address; }

    [[nodiscard]] std::optional<RemoteFailure> send(const QByteArray& packet);

    // Why what came could not be read: the last datagram that could not, or a split packet still in
    // pieces; nothing while every one could.
    std::optional<QString> unreadable() const;
    void noteUnreadable(const QString& reason) { unreadable_ = reason; }

Q_SIGNALS:
    void received(const ServerReply& reply);
    // The system says that nothing listens on the server's port.
    void portClosed();

private:
    [[nodiscard]] std::optional<RemoteFailure> open();
    void readDatagrams();

    const ServerAddress address;
    const PacketShare share;
    QUdpSocket socket;
    SplitPackets fragments;
    std::optional<QString> unreadable_;
};
