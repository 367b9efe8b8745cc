#include "ui/OneWindowPerFolder.h"

#include "ui/MessageBox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

namespace {

// A socket's name may hold no "/" and must be short: a hash of the folder stands for it.
QString socketNameFor(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Md5).toHex();
    return QStringLiteral("quillmont-") + QString::fromLatin1(hash);
}

const QByteArray bringForward = "bring forward\n";
constexpr int answerWithin = 1000; // milliseconds

} // namespace

OneWindowPerFolder::OneWindowPerFolder(const QString& serverFolder)
    : folder_(serverFolder)
    , socketName_(socketNameFor(serverFolder))
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
    QLocalSocket socket;
    socket.connectToServer(socketName_);
    if (!socket.waitForConnected(answerWithin))
        return false;
    socket.write(bringForward);
    return socket.waitForBytesWritten(answerWithin);
}

// Whoever held the folder before is gone, so a socket left behind is theirs.
void OneWindowPerFolder::listen()
{
    QLocalServer::removeServer(socketName_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(socketName_);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            Q_EMIT windowWanted();
        }
    });
}
