#include "formats/OwnFile.h"

#ifndef Q_OS_WIN
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

QString kindOfFile(mode_t mode)
{
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe (FIFO)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return S_ISREG(mode) ? QStringLiteral("a plain file") : QStringLiteral("a special file");
}

std::optional<QString> notOwnPlainFile(const struct stat& status)
{
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("it is %1, not a plain file.").arg(kindOfFile(status.st_mode));
    if (status.st_uid != ::geteuid())
        return QStringLiteral("it is a file of another account (user id %1).").arg(status.st_uid);
    return std::nullopt;
}

std::optional<QString> notPrivateFile(const struct stat& status)
{
    if (auto reason = notOwnPlainFile(status))
        return reason;
    if (status.st_mode & 077)
        return QStringLiteral("other accounts may read or change it (mode %1).")
            .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return std::nullopt;
}

std::variant<int, QString> openOwnFile(const QString& path, int flags, FileCheck check)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat seen { };
    const bool exists = ::lstat(name.constData(), &seen) == 0;
    if (!exists && (errno != ENOENT || !(flags & O_CREAT)))
        return qt_error_string(errno);
    if (exists) {
        if (auto reason = check(seen))
            return *reason;
        flags &= ~O_CREAT;
    }
    const int handle = ::open(name.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (handle < 0)
        return qt_error_string(errno);
    struct stat opened { };
    std::optional<QString> reason;
    if (::fstat(handle, &opened) != 0)
        reason = qt_error_string(errno);
    else if (exists && (opened.st_dev != seen.st_dev || opened.st_ino != seen.st_ino))
        reason = QStringLiteral("it was replaced while it was being opened.");
    else
        reason = check(opened);
    if (reason) {
        ::close(handle);
        return *reason;
    }
    return handle;
}
#endif
