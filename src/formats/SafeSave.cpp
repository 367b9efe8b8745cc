#include "formats/SafeSave.h"

#include "formats/OwnFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#endif

namespace {

QMap<QByteArray, int> failingSteps;

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

void SafeSave::failSteps(const QMap<QByteArray, int>& codes)
{
    failingSteps = codes;
}

SafeSave::~SafeSave()
{
    discard();
}

Failure SafeSave::discardBecause(const QString& reason)
{
    discard();
    return Failure::cannotWrite(path_, reason);
}

SaveOutcome saveWhole(const QString& path, const QByteArray& contents, SafeSave::Owner owner, SafeSave::Contents kind)
{
    SafeSave file(path, owner);
    if (auto failure = file.open())
        return *failure;
    return file.commit(contents, kind);
}

const Failure* failureOf(const SaveOutcome& outcome)
{
    return std::get_if<Failure>(&outcome);
}

#ifdef Q_OS_WIN

SafeSave::SafeSave(const QString& path, Owner owner)
    : file_(path)
    , path_(path)
    , owner_(owner)
{
}

std::optional<Failure> SafeSave::open()
{
    const QFileInfo target(path_);
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        return Failure::cannotWrite(path_, QStringLiteral("the folder %1 does not exist.").arg(folder.fileName()));
    if (target.isDir())
        return Failure::cannotWrite(path_, QStringLiteral("a folder of that name is in the way."));
    if (target.exists() && markedReadOnly(target))
        return Failure::cannotWrite(path_, QStringLiteral("the file is read-only."));
    if (!file_.open(QIODevice::WriteOnly))
        return Failure::cannotWrite(path_, file_.errorString());
    return std::nullopt;
}

// A short write is no error to QSaveFile, and in Qt 6.4 commit() may report success after its
// final flush failed; so every byte is checked and flushed here before the rename, with the
// system's reason taken at once.
SaveOutcome SafeSave::commit(const QByteArray& contents, Contents)
{
    errno = 0;
    const auto systemReason = [this] { return errno ? qt_error_string(errno) : file_.errorString(); };
    if (file_.write(contents) != contents.size())
        return discardBecause(systemReason());
    if (!file_.flush())
        return discardBecause(systemReason());
    if (!file_.commit())
        return Failure::cannotWrite(path_, file_.errorString());
    return Saved{};
}

void SafeSave::discard()
{
    if (!file_.isOpen())
        return;
    file_.cancelWriting();
    file_.commit(); // with writing cancelled this only removes the temporary file
}

#else

namespace {

// As many links as the system itself follows before it gives up.
constexpr int mostLinks = 40;

// Where a path leads through its symbolic links, to a file that does not exist yet too.
QString followLinks(const QString& path)
{
    QFileInfo file(path);
    for (int links = 0; links < mostLinks && file.isSymLink(); ++links)
        file.setFile(file.symLinkTarget());
    return file.filePath();
}

QByteArray nativeName(const QString& path)
{
    return QFile::encodeName(path);
}

// A write that moves no byte sets no error code.
QString systemReason()
{
    return errno ? qt_error_string(errno) : QStringLiteral("no byte could be written, and the system gave no reason");
}

// Whether a test makes this step fail; errno then holds the error it fails with.
bool failing(const char* step)
{
    const int code = failingSteps.value(step);
    if (code)
        errno = code;
    return code != 0;
}

// Writing to a pipe or a device would wait for a reader or reach the hardware, and replacing one
// would break whatever uses it.
QString notPlainFile(const QString& path, const QString& target, mode_t mode)
{
    if (!QFileInfo(path).isSymLink())
        return QStringLiteral("it is %1, not a plain file.").arg(kindOfFile(mode));
    return QStringLiteral("it is a symbolic link to %1, which is %2, not a plain file.")
        .arg(QDir::toNativeSeparators(target), kindOfFile(mode));
}

// A short name of our own, so that a file whose name is as long as the system allows can be
// replaced too.
int createTemporary(const QString& folder, mode_t mode, QString& name)
{
    constexpr int attempts = 100;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const QString candidate
            = folder + QStringLiteral("/.quillmont-") + QString::number(QRandomGenerator::global()->generate(), 36);
        const int handle = failing("create")
            ? -1
            : ::open(nativeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (handle >= 0)
            name = candidate;
        if (handle >= 0 || errno != EEXIST)
            return handle;
    }
    return -1;
}

// The new file takes the old one's owner and group where this process may set them (root saving
// the game server's own file must not leave it one the server cannot read), and then all its mode
// bits, setgid included, which a change of owner may clear. This happens before a byte is written,
// so that no one whom the old file kept out can read the new one.
bool keepOwnerAndMode(int handle, const struct stat& old)
{
    if (::fchown(handle, old.st_uid, old.st_gid) != 0)
        std::ignore = ::fchown(handle, uid_t(-1), old.st_gid); // the group alone, if it is one of ours
    return ::fchmod(handle, old.st_mode & 07777) == 0;
}

bool writeAllAt(int handle, QByteArrayView bytes, off_t offset)
{
    if (failing("write"))
        return false;
    while (!bytes.isEmpty()) {
        const ssize_t written
            = failing("write-nothing") ? 0 : ::pwrite(handle, bytes.data(), size_t(bytes.size()), offset);
        if (written == 0)
            errno = 0;
        if (written == 0 || (written < 0 && errno != EINTR))
            return false;
        if (written > 0) {
            bytes = bytes.sliced(written);
            offset += written;
        }
    }
    return true;
}

bool sync(int handle)
{
    return !failing("sync") && ::fsync(handle) == 0;
}

// A renamed file has its new name on disk only once its folder is synced too. A file system that
// cannot sync a folder says so with EINVAL: there the rename is as safe as it gets.
std::optional<QString> folderNotSynced(const QString& folder)
{
    int handle = -1;
    const bool synced = !failing("sync-folder")
        && (handle = ::open(nativeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) >= 0
        && ::fsync(handle) == 0;
    const int error = errno;
    if (handle >= 0)
        ::close(handle);
    if (synced || error == EINVAL)
        return std::nullopt;
    return qt_error_string(error);
}

bool readWhole(int handle, QByteArray& bytes)
{
    char buffer[65536];
    for (;;) {
        const ssize_t read = ::pread(handle, buffer, sizeof buffer, off_t(bytes.size()));
        if (read == 0)
            return true;
        if (read < 0 && errno != EINTR)
            return false;
        if (read > 0)
            bytes.append(buffer, read);
    }
}

// The file then holds these bytes and nothing else, every one of them on disk.
bool replaceContents(int handle, const QByteArray& bytes)
{
    return writeAllAt(handle, bytes, 0) && ::ftruncate(handle, off_t(bytes.size())) == 0 && sync(handle);
}

// Once every byte is on disk, or given up, closing can lose nothing more.
void closeHandle(int& handle)
{
    if (handle >= 0)
        ::close(handle);
    handle = -1;
}

} // namespace

SafeSave::SafeSave(const QString& path, Owner owner)
    : path_(path)
    , owner_(owner)
{
}

std::optional<Failure> SafeSave::open()
{
    const QFileInfo folder(QFileInfo(path_).absolutePath());
    if (!folder.isDir())
        return Failure::cannotWrite(path_, QStringLiteral("the folder %1 does not exist.").arg(folder.fileName()));
    if (owner_ == Owner::Quillmont)
        return openOwn();
    target_ = followLinks(path_);
    struct stat old { };
    const bool exists = ::stat(nativeName(target_).constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return Failure::cannotWrite(path_, systemReason());
    if (exists && S_ISDIR(old.st_mode))
        return Failure::cannotWrite(path_, QStringLiteral("a folder of that name is in the way."));
    if (exists && !S_ISREG(old.st_mode))
        return Failure::cannotWrite(path_, notPlainFile(path_, target_, old.st_mode));
    if (exists && markedReadOnly(QFileInfo(target_)))
        return Failure::cannotWrite(path_, QStringLiteral("the file is read-only."));
    othersMayRead_ = exists && (old.st_mode & (S_IRGRP | S_IROTH));
    // The old file's mode is set before a byte is written.
    handle_ = createTemporary(QFileInfo(target_).absolutePath(), 0600, temporary_);
    if (handle_ < 0 && (errno == EACCES || errno == EPERM))
        return openInPlace(exists);
    if (handle_ < 0 || (exists && !keepOwnerAndMode(handle_, old)))
        return discardBecause(systemReason());
    return std::nullopt;
}

// The record of the server Quillmont started is its own: whatever else stands at its path is left
// alone, and the new file takes its place only by its own name.
std::optional<Failure> SafeSave::openOwn()
{
    target_ = path_;
    struct stat old { };
    if (::lstat(nativeName(target_).constData(), &old) == 0) {
        if (const std::optional<QString> reason = notPrivateFile(old))
            return Failure::cannotWrite(path_, *reason);
    } else if (errno != ENOENT)
        return Failure::cannotWrite(path_, systemReason());
    handle_ = createTemporary(QFileInfo(target_).absolutePath(), 0600, temporary_);
    if (handle_ < 0)
        return discardBecause(systemReason());
    return std::nullopt;
}

// A folder of the game server's account may let no one else create a file in it while the file
// itself is shared: then the file is written where it stands.
std::optional<Failure> SafeSave::openInPlace(bool exists)
{
    const QFileInfo target(target_);
    const QString folderRefuses = QStringLiteral("the folder %1 does not let you create files")
                                      .arg(QFileInfo(target.absolutePath()).fileName());
    if (!exists)
        return Failure::cannotWrite(path_, folderRefuses + QLatin1Char('.'));
    handle_ = failing("open") ? -1 : ::open(nativeName(target_).constData(), O_RDWR | O_CLOEXEC);
    if (handle_ >= 0)
        return std::nullopt;
    if (errno == EACCES || errno == EPERM)
        return Failure::cannotWrite(
            path_, folderRefuses + QStringLiteral(", and the file %1 is read-only.").arg(target.fileName()));
    return Failure::cannotWrite(path_,
        folderRefuses
            + QStringLiteral(", and the file %1 cannot be written: %2").arg(target.fileName(), systemReason()));
}

SaveOutcome SafeSave::commit(const QByteArray& contents, Contents kind)
{
    if (temporary_.isEmpty())
        return replaceInPlace(contents, kind);
    if (!writeAllAt(handle_, contents, 0) || !sync(handle_))
        return discardBecause(systemReason());
    closeHandle(handle_);
    if (failing("rename") || ::rename(nativeName(temporary_).constData(), nativeName(target_).constData()) != 0)
        return discardBecause(systemReason());
    temporary_.clear();
    Saved done = saved(kind);
    if (const std::optional<QString> reason = folderNotSynced(QFileInfo(target_).absolutePath()))
        done.notDurable = QStringLiteral("%1 was saved, but may not survive a power loss: %2.")
                              .arg(QDir::toNativeSeparators(path_), *reason);
    return done;
}

Saved SafeSave::saved(Contents kind) const
{
    Saved done;
    if (kind == Contents::Password && othersMayRead_)
        done.readableByOthers
            = QStringLiteral("%1 is readable by other accounts on this computer and holds the remote console password.")
                  .arg(QDir::toNativeSeparators(path_));
    return done;
}

// The old contents are kept in memory until the new ones are on disk, to be written back if
// writing fails midway.
SaveOutcome SafeSave::replaceInPlace(const QByteArray& contents, Contents kind)
{
    QByteArray old;
    if (!readWhole(handle_, old))
        return discardBecause(systemReason());
    if (replaceContents(handle_, contents)) {
        closeHandle(handle_);
        return saved(kind);
    }
    const QString reason = systemReason();
    if (replaceContents(handle_, old))
        return discardBecause(reason + QStringLiteral(". Its old contents were written back."));
    return discardBecause(reason + QStringLiteral(". Writing its old contents back failed too: ") + systemReason());
}

void SafeSave::discard()
{
    closeHandle(handle_);
    if (!temporary_.isEmpty())
        ::unlink(nativeName(temporary_).constData()); // if even that fails, there is nothing more to do
    temporary_.clear();
}

#endif
