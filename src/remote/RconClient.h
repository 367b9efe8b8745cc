#pragma once

#include "remote/RemoteFailure.h"
#include "remote/ServerSocket.h"

#include <QObject>

#include <optional>

// A remote console command's reply: the output as the server sent it (empty for the many commands
// that print nothing), and as text, decoded as UTF-8 with invalid bytes shown as U+FFFD.
struct RconReply {
    QByteArray command;
    QByteArray output;

    QString text() const { return QString::fromUtf8(output); }
};

// Sends remote console commands to one server, without waiting: each reply, or why there is none,
// comes later as a signal, one command at a time in the order sent. The server's challenge is
// asked once and then reused (asked again once if the server refuses it). A command's output is
// collected until the server has been quiet for a while. Passwords and commands are bytes: the
// caller encodes them, the password as server.cfg holds it.
//
// A refused password is never tried again: the commands still waiting with it fail too. After too
// many refusals within a short time, no password is sent to that server for the rest of it, by any
// client; and every client together stays within the packet budget for each server.
class RconClient : public QObject {
    Q_OBJECT

public:
    explicit RconClient(const ServerAddress& server, QObject* parent = nullptr);

    const ServerAddress& server() const { return socket.server(); }

    // Queues the command. When it cannot be sent at all (a password with a double quote, a command
    // too long for a packet: see checkRconCommand), says why at once and queues nothing.
    [[nodiscard]] std::optional<RemoteFailure> send(const QByteArray& password, const QByteArray& command);

Q_SIGNALS:
    void replied(const RconReply& reply);
    void failed(const QByteArray& command, const RemoteFailure& failure);

private:
    struct Command {
        QByteArray password;
        QByteArray command;
    };

    void sendNext();
    void sendPacket();
    void take(const ServerReply& reply);
    void refused(const reply::PasswordRefused& refusal);
    void fail(const RemoteFailure& failure);
    void done();

    ServerSocket socket;
    QList<Command> waiting;
    std::optional<Command> sending;
    bool askingChallenge = false;
    bool challengeAskedAgain = false;
    bool answered = false;
    QByteArray output;
};
