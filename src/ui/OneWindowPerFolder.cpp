#include "ui/OneWindowPerFolder.h"

#include "remote/KeeperChannel.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QLocalSocket>

namespace {

const QByteArray bringForward = "bring forward\n";
constexpr int answerWithin = 1000; // milliseconds

} // namespace

OneWindowPerFolder::OneWindowPerFolder(const QString& serverFolder)
    : folder_(serverFolder)
    , socketPath_(runtimeSocketPath(QStringLiteral("quillmont-"), serverFolder))
    , lock_(QDir(serverFolder).filePath(QStringLiteral(".quillmont.lock")))
{
    lock_.setStaleLockTime(0); // stale only when its program is gone, however long it has run
}

OneWindowPerFolder::Claim OneWindowPerFolder::claim()
{
    // The lock first: it is usually free, and then there is no program to ask (asking would cost
    // start-up time and the memory of Qt's sockets).
    const bool locked = lock_.tryLock();
    if (!locked && askRunningProgram())
        return Claim::BroughtForward;
    if (!locked && lock_.error() == QLockFile::LockFailedError) {
        qint64 process{};
        QString host;
        QString program;
        lock_.getLockInfo(&process, &host, &program);
        showFailure(QStringLiteral("The server folder %1 is in use by another Quillmont (process %2 on %3). Close "
                                   "that one first, or start Quillmont for another server folder.")
                        .arg(QDir::toNativeSeparators(folder_))
                        .arg(process)
                        .arg(host));
        return Claim::InUse;
    }
    listen();
    return Claim::Granted;
}

bool OneWindowPerFolder::askRunningProgram()
{
    if (!socketPath_)
        return false;
    QLocalSocket socket;
    socket.connectToServer(*socketPath_);
    if (!socket.waitForConnected(answerWithin))
        return false;
    socket.write(bringForward);
    return socket.waitForBytesWritten(answerWithin);
}

// Whoever held the folder before is gone, so a socket left behind is theirs.
void OneWindowPerFolder::listen()
{
    if (!socketPath_)
        return;
    QLocalServer::removeServer(*socketPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(*socketPath_);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            Q_EMIT windowWanted();
        }
    });
}
