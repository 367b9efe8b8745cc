#pragma once

#include <QLocalServer>
#include <QObject>

class QLocalSocket;
class ServerKeeper;
class ServerWatch;

// The keeper's socket in the runtime folder: each window or verb of the folder that connects is told
// the keeper's process and then every change of the server's state, and its stops and starts are
// the keeper's to carry out, so that the keeper takes an operator's stop for a stop, not a crash,
// and is the one writer of the server's record.
class KeeperService : public QObject {
public:
    KeeperService(const QString& serverFolder, ServerWatch& watch, ServerKeeper& keeper);

    // Takes the socket over from a keeper that crashed: this one holds the folder's keeper lock.
    void listen();

private:
    void greet(QLocalSocket* peer);
    void tellEveryone();
    QByteArray stateLine() const;
    void read(QLocalSocket* peer);
    void carryOut(QLocalSocket* peer, const QByteArrayList& fields);

    const QString serverFolder_;
    ServerWatch& watch_;
    ServerKeeper& keeper_;
    QLocalServer server_;
};
