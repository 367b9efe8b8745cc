#include "formats/SafeSave.h"

#include <QFileInfo>

#include <cerrno>
#include <tuple>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Qt's own writability check asks the system whether this process may write, which root always
// may; a file the operator marked read-only must stay untouched all the same. (The "user" bits
// are that same question again, so only the file's own bits count here; on Windows they mirror
// the read-only attribute.)
bool markedReadOnly(const QFileInfo& target)
{
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return !(target.permissions() & anyWrite);
}

} // namespace

SafeSave::SafeSave(const QString& path)
    : file_(path)
{
}

std::optional<Failure> SafeSave::open()
{
    const QFileInfo target(path());
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        return Failure::cannotWrite(path(), QStringLiteral("the folder %1 does not exist.").arg(folder.fileName()));
    if (target.isDir())
        return Failure::cannotWrite(path(), QStringLiteral("a folder of that name is in the way."));
    if (target.exists() && markedReadOnly(target))
        return Failure::cannotWrite(path(), QStringLiteral("the file is read-only."));
    if (!file_.open(QIODevice::WriteOnly))
        return Failure::cannotWrite(path(), file_.errorString());
    return std::nullopt;
}

std::optional<Failure> SafeSave::commit(const QByteArray& contents)
{
    // A short write is no error to QSaveFile, and in Qt 6.4 commit() may report success after its
    // final flush failed; so every byte is checked and flushed here before the rename. After a
    // short write or a failed flush Qt has no reason of its own to give, so the system's is taken
    // at once.
    errno = 0;
    if (file_.write(contents) != contents.size())
        return discardBecause(systemReason());
    if (!file_.flush())
        return discardBecause(systemReason());
    if (auto failure = keepOwnerAndMode())
        return failure;
    if (!file_.commit())
        return Failure::cannotWrite(path(), file_.errorString());
    return std::nullopt;
}

void SafeSave::discard()
{
    if (!file_.isOpen())
        return;
    file_.cancelWriting();
    file_.commit(); // with writing cancelled this only removes the temporary file
}

QString SafeSave::systemReason() const
{
    const int code = errno;
    return code ? qt_error_string(code) : file_.errorString();
}

Failure SafeSave::discardBecause(const QString& reason)
{
    discard();
    return Failure::cannotWrite(path(), reason);
}

// The new file takes the old one's owner and group where this process may set them (root saving
// the game server's own file must not leave it one the server cannot read), and then all its mode
// bits: QSaveFile keeps only the permissions, and a change of owner may clear setgid.
std::optional<Failure> SafeSave::keepOwnerAndMode()
{
#ifdef Q_OS_UNIX
    struct stat old { };
    if (::stat(QFile::encodeName(path()).constData(), &old) != 0)
        return std::nullopt; // a new file
    const int handle = file_.handle();
    if (::fchown(handle, old.st_uid, old.st_gid) != 0)
        std::ignore = ::fchown(handle, uid_t(-1), old.st_gid); // the group alone, if it is one of ours
    errno = 0;
    if (::fchmod(handle, old.st_mode & 07777) != 0)
        return discardBecause(systemReason());
#endif
    return std::nullopt;
}

std::optional<Failure> saveWhole(const QString& path, const QByteArray& contents)
{
    SafeSave file(path);
    if (auto failure = file.open())
        return failure;
    return file.commit(contents);
}
