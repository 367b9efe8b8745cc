#pragma once

#include "launch/OneShotTimer.h"
#include "remote/ServerRequest.h"

#include <QObject>

// One remote console command to one server. Its output has no end marker: it is complete once the
// server has sent nothing more for a while. It is cut short, with what came, when the server keeps
// sending past the deadline or past the most output any command prints. Passwords and commands are
// bytes: the caller encodes them, the password as server.cfg holds it.
class RconRequest : public ServerRequest {
    Q_OBJECT

public:
    const QByteArray& command() const { return command_; }
    const QByteArray& password() const { return password_; }
    // The output as the server sent it, as far as it came (empty for the many commands that print
    // nothing); as text, decoded as UTF-8 with invalid bytes shown as U+FFFD.
    const QByteArray& output() const { return output_; }
    QString text() const { return QString::fromUtf8(output_); }
    // Answered, but with only the first part of the output.
    bool cutShort() const { return cutShort_; }

Q_SIGNALS:
    // The command goes out now: the ones sent before it to the same client have finished.
    void started();

private:
    friend class RconClient;
    RconRequest(const ServerAddress& server, const QByteArray& password, const QByteArray& command, QObject* parent);

    void start();
    void sendPacket();
    void take(const ServerReply& reply) override;
    void takeOutput(const QByteArray& text);
    void deadlinePassed() override;
    void refused(const reply::PasswordRefused& refusal);
    void cutShortNow();

    const QByteArray password_;
    const QByteArray command_;
    QByteArray output_;
    bool askingChallenge_ = false;
    bool challengeAskedAgain_ = false;
    bool answered_ = false;
    bool cutShort_ = false;
    OneShotTimer quiet_;
};

// Sends remote console commands to one server, one at a time in the order sent, each a request of
// its own. The server's challenge is asked once and then reused (asked again once if the server
// refuses it).
//
// A refused password is never tried again: the commands still waiting with it fail too. After too
// many refusals within a short time, no password is sent to that server for the rest of it, by any
// client; and every client together stays within the packet budget for each server.
class RconClient : public QObject {
    Q_OBJECT

public:
    explicit RconClient(const ServerAddress& server, QObject* parent = nullptr);

    const ServerAddress& server() const { return server_; }
    // No command is on its way or waiting: the next goes out at once.
    bool isIdle() const { return !running_ && waiting_.isEmpty(); }

    // A command that cannot be sent at all (a password with a double quote, a command too long for a
    // packet: see checkRconCommand) finishes at once with the reason, queued behind nothing.
    RconRequest* send(const QByteArray& password, const QByteArray& command);

private:
    void startNext();
    void finished(RconRequest* request);

    const ServerAddress server_;
    QList<RconRequest*> waiting_;
    RconRequest* running_ = nullptr;
};
