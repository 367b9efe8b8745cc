#include "launch/ServerLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifndef Q_OS_WIN
#include "formats/OwnFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// A line of the server's is far shorter than this; a longer one is shown from where this starts.
constexpr qint64 longestLine = 4096;

// How Quillmont's own lines in the log begin, the date after it.
const QByteArray quillmontsOwn = "*** ";

// Only the log as Quillmont keeps it is read: a plain file of this account's own, never a pipe
// that would keep the window waiting.
bool openLogToRead(QFile& file)
{
#ifdef Q_OS_WIN
    return file.open(QIODevice::ReadOnly);
#else
    const std::variant<int, QString> opened = openOwnFile(file.fileName(), O_RDONLY);
    return std::holds_alternative<int>(opened)
        && file.open(std::get<int>(opened), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
#endif
}

} // namespace

QString lastLineOf(const QString& log)
{
    QFile file(log);
    if (log.isEmpty() || !openLogToRead(file))
        return {};
    file.seek(std::max<qint64>(0, file.size() - longestLine));
    QByteArrayList lines = file.read(longestLine).trimmed().split('\n');
    // Quillmont's own lines are not the server's.
    while (lines.size() > 1 && lines.last().startsWith(quillmontsOwn))
        lines.removeLast();
    return QString::fromUtf8(lines.last()).trimmed();
}

namespace {

QByteArray noteLine(const QString& what)
{
    return quillmontsOwn + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + ' ' + what.toUtf8() + '\n';
}

} // namespace

std::optional<Failure> noteInLog(const QString& log, const QString& what)
{
#ifdef Q_OS_WIN
    Q_UNUSED(log);
    Q_UNUSED(what);
    return std::nullopt;
#else
    if (log.isEmpty())
        return std::nullopt;
    const std::variant<int, QString> opened = openOwnFile(log, O_WRONLY | O_APPEND | O_CREAT);
    if (const QString* reason = std::get_if<QString>(&opened))
        return Failure::cannotWrite(log, *reason);
    QFile file;
    file.open(std::get<int>(opened), QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle);
    const QByteArray line = noteLine(what);
    if (file.write(line) != line.size() || !file.flush())
        return Failure::cannotWrite(log, file.errorString());
    return std::nullopt;
#endif
}

#ifndef Q_OS_WIN
namespace {

QString copyOf(const QString& log, int number)
{
    return log + QLatin1Char('.') + QString::number(number);
}

// Moves the copies up one, the oldest going; only plain files of this account's own are moved or
// replaced.
std::optional<Failure> makeRoomForCopy(const QString& log)
{
    for (int number = keptLogCopies; number >= 1; --number) {
        const QByteArray path = QFile::encodeName(copyOf(log, number));
        struct stat status { };
        if (::lstat(path.constData(), &status) != 0)
            continue;
        if (const std::optional<QString> reason = notOwnPlainFile(status))
            return Failure::cannotWrite(copyOf(log, number), *reason);
        if (number < keptLogCopies
            && ::rename(path.constData(), QFile::encodeName(copyOf(log, number + 1)).constData()) != 0)
            return Failure::cannotWrite(copyOf(log, number + 1), qt_error_string(errno));
    }
    return std::nullopt;
}

// Copies the log's first `length` bytes to a new file.
std::optional<Failure> copyLog(QFile& log, qint64 length, const QString& copy)
{
    const std::variant<int, QString> opened = openOwnFile(copy, O_WRONLY | O_CREAT | O_EXCL);
    if (const QString* reason = std::get_if<QString>(&opened))
        return Failure::cannotWrite(copy, *reason);
    QFile target;
    target.open(std::get<int>(opened), QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    constexpr qint64 piece = 64 * 1024;
    log.seek(0);
    for (qint64 copied = 0; copied < length;) {
        const QByteArray bytes = log.read(std::min(piece, length - copied));
        if (bytes.isEmpty())
            break; // emptied meanwhile by someone else
        if (target.write(bytes) != bytes.size()) {
            target.remove();
            return Failure::cannotWrite(copy, target.errorString());
        }
        copied += bytes.size();
    }
    return std::nullopt;
}

} // namespace
#endif

std::optional<Failure> rotateLog(const QString& log, qint64 limit)
{
#ifdef Q_OS_WIN
    Q_UNUSED(log);
    Q_UNUSED(limit);
    return std::nullopt;
#else
    struct stat status { };
    if (log.isEmpty() || ::lstat(QFile::encodeName(log).constData(), &status) != 0 || status.st_size <= limit)
        return std::nullopt;
    const std::variant<int, QString> opened = openOwnFile(log, O_RDWR);
    if (const QString* reason = std::get_if<QString>(&opened))
        return Failure::cannotWrite(log, *reason);
    QFile file;
    file.open(std::get<int>(opened), QIODevice::ReadWrite, QFileDevice::AutoCloseHandle);
    const qint64 length = file.size();
    if (std::optional<Failure> failure = makeRoomForCopy(log))
        return failure;
    if (std::optional<Failure> failure = copyLog(file, length, copyOf(log, 1)))
        return failure;
    // The note goes first, over what was copied, and the log is cut after it: what the server appends
    // from then on follows it.
    const QByteArray note = noteLine(
        QStringLiteral("Quillmont copied this log to %1.1 and began it anew; lines the server wrote meanwhile may "
                       "be lost.")
            .arg(QFileInfo(log).fileName()));
    if (!file.seek(0) || file.write(note) != note.size() || !file.flush() || !file.resize(note.size()))
        return Failure::cannotWrite(log, file.errorString());
    return std::nullopt;
#endif
}
