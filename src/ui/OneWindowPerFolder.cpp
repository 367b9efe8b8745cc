#include "ui/OneWindowPerFolder.h"

#include "ui/MessageBox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

// The longest path a local socket may have: the system's 107 bytes (sun_path, less its closing NUL),
// less the byte that Qt keeps on Linux for the leading NUL of an abstract name, even for a path.
constexpr qsizetype longestSocketPath = 106;

// The socket in the user's runtime folder, which Qt makes sure is theirs alone (mode 0700), so that
// no other account can take its name first: named by a hash of the folder, which may be long and
// hold "/". None where that would make too long a path.
std::optional<QString> socketPathFor(const QString& folder)
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Md5).toHex();
    const QString path = runtime + QStringLiteral("/quillmont-") + QString::fromLatin1(hash);
    if (runtime.isEmpty() || QFile::encodeName(path).size() > longestSocketPath)
        return std::nullopt;
    return path;
}

const QByteArray bringForward = "bring forward\n";
constexpr int answerWithin = 1000; // milliseconds

} // namespace

OneWindowPerFolder::OneWindowPerFolder(const QString& serverFolder)
    : folder_(serverFolder)
    , socketPath_(socketPathFor(serverFolder))
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
