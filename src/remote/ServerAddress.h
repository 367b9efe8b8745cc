#pragma once

#include "launch/ServerLaunch.h"
#include "remote/Result.h"

#include <QHostAddress>

#include <functional>

class QObject;

// A game server's IPv4 address and port: the game server opens no IPv6 socket.
struct ServerAddress {
    QHostAddress ip;
    quint16 port = defaultServerPort;

    // "127.0.0.1:27015"
    QString text() const;
    bool operator==(const ServerAddress& other) const = default;
};

// Finds the server that a text names: "A.B.C.D", a host name, either followed by ":PORT" (27015
// when none is given). Numbers in any other form, and addresses that are no one server's (this
// network, broadcast, multicast, reserved), typed or given by a name, are refused. A host name is
// looked up once, without waiting for the answer. `found` gets the address or why there is none,
// always later from the event loop of `context`, and never once `context` is gone.
void findServerAddress(
    const QString& text, QObject* context, const std::function<void(const Result<ServerAddress>&)>& found);
