#include "launch/LogFollower.h"

#include <QRegularExpression>

#include <algorithm>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr qsizetype longestLine = LogFollower::longestLine;

const QString mask = QStringLiteral("\u2022\u2022\u2022\u2022");
const QString cutMark = QStringLiteral("\u2026");

// A line as shown, without its carriage return; a long one is cut before a character that would
// not fit whole.
QString shownLine(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.size() <= longestLine)
        return maskRconPassword(QString::fromUtf8(line));
    qsizetype end = longestLine;
    for (int back = 0; back < 3 && (quint8(line.at(end)) & 0xc0) == 0x80; ++back)
        --end; // inside a UTF-8 sequence
    return maskRconPassword(QString::fromUtf8(line.first(end))) + cutMark;
}

} // namespace

LogFollower::LogFollower(QString path, QObject* parent)
    : QObject(parent)
    , path_(std::move(path))
{
    connect(&timer_, &QTimer::timeout, this, &LogFollower::readNew);
    connect(&more_, &QTimer::timeout, this, &LogFollower::readNew);
}

void LogFollower::start()
{
    if (open())
        readLast(0);
    timer_.start(lookEveryMs);
}

// Where the system keeps the file, when it is a plain file: a log moved away and begun anew is
// another file at the same path. (Windows servers keep a console of their own and write no log.)
std::optional<LogFollower::Identity> LogFollower::identityOf(const QString& path)
{
#ifdef Q_OS_WIN
    return QFile::exists(path) ? std::optional(Identity()) : std::nullopt;
#else
    struct stat status { };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return Identity{quint64(status.st_dev), quint64(status.st_ino)};
#endif
}

// Opens the log anew when it is a plain file. A pipe would block the opening until it has a writer,
// and a device may act on being opened: neither is waited for or read.
bool LogFollower::open()
{
    file_.close();
    partial_.clear();
    skipping_ = false;
    identity_ = identityOf(path_);
    if (!identity_)
        return false;
#ifdef Q_OS_WIN
    file_.setFileName(path_);
    return file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
#else
    const int handle = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat status { };
    if (handle < 0)
        return false;
    if (::fstat(handle, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(handle);
        return false;
    }
    identity_ = Identity{quint64(status.st_dev), quint64(status.st_ino)};
    return file_.open(handle, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
#endif
}

// Reads the last lines from `lowest` on: the opening lines, read backwards until there are enough,
// and no further back than so many bytes when the lines are very long.
void LogFollower::readLast(qint64 lowest)
{
    const qint64 end = file_.size();
    qint64 start = end;
    qsizetype lineEnds = 0;
    QByteArrayList blocks;
    // One line end more than lines wanted: the first line read is most likely cut.
    while (start > lowest && lineEnds <= openingLines && end - start < mostOpeningBytes) {
        const qint64 from = std::max(lowest, start - openingBlock);
        file_.seek(from);
        blocks.prepend(file_.read(start - from));
        lineEnds += blocks.first().count('\n');
        start = from;
    }
    const QByteArray tail = blocks.join();
    // Back from the end of the last whole line to the line end before the first line wanted.
    qsizetype before = tail.lastIndexOf('\n');
    for (int line = 0; line < openingLines && before > 0; ++line)
        before = tail.lastIndexOf('\n', before - 1);
    offset_ = end;
    if (before >= 0 || start > lowest) { // the line read on is not the one begun before
        partial_.clear();
        skipping_ = before < 0; // begun before the bytes read: not shown
    }
    take(QByteArrayView(tail).sliced(before + 1));
}

void LogFollower::readNew()
{
    if (!file_.isOpen()) {
        if (open())
            readLast(0);
        return;
    }
    if (offset_ < file_.size())
        return readOn(); // more to read first, from the file that is open
    const std::optional<Identity> now = identityOf(path_);
    if (!now)
        return; // moved away, and no new one yet: what is written to the old one is still read
    if (*now != *identity_) {
        if (!partial_.isEmpty())
            Q_EMIT linesRead({shownLine(partial_)});
        if (open())
            readLast(0);
    } else if (file_.size() < offset_) {
        offset_ = 0; // truncated: it begins anew
        partial_.clear();
        skipping_ = false;
        readOn();
    }
}

// Reads on from where the last look ended; from a log grown too much since, the last lines of what
// came.
void LogFollower::readOn()
{
    if (file_.size() - offset_ > mostGrowth)
        return readLast(offset_);
    file_.seek(offset_);
    const QByteArray bytes = file_.read(mostAtOnce);
    offset_ += bytes.size();
    take(bytes);
    if (offset_ < file_.size())
        more_.start();
}

// Makes lines of what has come: a line not ended yet is kept for the next bytes, as far as it
// shows; once it is too long, it shows cut, and the rest of it is passed over as it comes.
void LogFollower::take(QByteArrayView bytes)
{
    QStringList lines;
    while (!bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        const QByteArrayView piece = end < 0 ? bytes : bytes.first(end);
        bytes = end < 0 ? QByteArrayView() : bytes.sliced(end + 1);
        if (end >= 0 && !skipping_ && partial_.isEmpty()) {
            lines << shownLine(piece); // a whole line, as most are
            continue;
        }
        if (!skipping_) {
            partial_ += piece.first(std::min(piece.size(), mostKept - partial_.size()));
            if (partial_.size() == mostKept) {
                lines << shownLine(partial_);
                partial_.clear();
                skipping_ = true;
            }
        }
        if (end >= 0) {
            if (!skipping_)
                lines << shownLine(partial_);
            partial_.clear();
            skipping_ = false;
        }
    }
    if (!lines.isEmpty())
        Q_EMIT linesRead(lines);
}

QString maskRconPassword(const QString& line)
{
    if (!line.contains(QLatin1StringView("rcon ")))
        return line;
    // A quoted password runs to its closing quote, or to the end of a line cut before it.
    static const QRegularExpression quoted(QStringLiteral(R"((rcon\s+-?\d+\s+")[^"]*("?))"));
    static const QRegularExpression bare(QStringLiteral(R"((rcon\s+-?\d+\s+)[^\s"]+)"));
    QString masked = line;
    masked.replace(quoted, QStringLiteral("\\1") + mask + QStringLiteral("\\2"));
    masked.replace(bare, QStringLiteral("\\1") + mask);
    return masked;
}
