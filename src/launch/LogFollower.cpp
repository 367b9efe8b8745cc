#include "launch/LogFollower.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

// The log is read backwards in blocks until it has given the opening lines, and no further than
// the last so many bytes when its lines are very long.
constexpr qint64 openingBlock = 64 * 1024;
constexpr qint64 mostOpeningBytes = 4 * 1024 * 1024;
// What is read at one look, some hundred lines; a log that has grown more is read on in the next
// turns of the event loop, so that the window stays responsive while it catches up.
constexpr qint64 mostAtOnce = 16 * 1024;

const QString mask = QStringLiteral("\u2022\u2022\u2022\u2022");

} // namespace

LogFollower::LogFollower(QString path, QObject* parent)
    : QObject(parent)
    , path_(std::move(path))
{
    timer_.setInterval(lookEveryMs);
    more_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &LogFollower::readNew);
    connect(&more_, &QTimer::timeout, this, &LogFollower::readNew);
}

void LogFollower::start()
{
    if (open())
        readOpening();
    timer_.start();
}

// Where the system keeps the file: a log moved away and begun anew is another file at the same
// path. (Windows servers keep a console of their own and write no log.)
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

bool LogFollower::open()
{
    file_.close();
    file_.setFileName(path_);
    identity_ = identityOf(path_);
    offset_ = 0;
    partial_.clear();
    return identity_ && file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

void LogFollower::readOpening()
{
    const qint64 end = file_.size();
    qint64 start = end;
    qsizetype lineEnds = 0;
    QByteArrayList blocks;
    // One line end more than lines wanted: the first line read is most likely cut.
    while (start > 0 && lineEnds <= openingLines && end - start < mostOpeningBytes) {
        const qint64 from = std::max<qint64>(0, start - openingBlock);
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
    if (before < 0 && start > 0)
        before = tail.indexOf('\n');
    offset_ = end;
    take(tail.mid(before + 1));
}

void LogFollower::readNew()
{
    if (!file_.isOpen()) {
        if (open())
            readToEnd();
        return;
    }
    readToEnd();
    if (offset_ < file_.size())
        return; // more to read first, from the file that is open
    const std::optional<Identity> now = identityOf(path_);
    if (!now)
        return; // moved away, and no new one yet: what is written to the old one is still read
    if (*now != *identity_) {
        if (!partial_.isEmpty())
            Q_EMIT linesRead({maskRconPassword(QString::fromUtf8(std::exchange(partial_, {})))});
        if (open())
            readToEnd();
    } else if (QFileInfo(path_).size() < offset_) {
        offset_ = 0; // truncated: it begins anew
        partial_.clear();
        readToEnd();
    }
}

void LogFollower::readToEnd()
{
    file_.seek(offset_);
    const QByteArray bytes = file_.read(mostAtOnce);
    offset_ += bytes.size();
    take(bytes);
    if (offset_ < file_.size())
        more_.start();
}

void LogFollower::take(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    partial_ += bytes;
    const qsizetype lastEnd = partial_.lastIndexOf('\n');
    if (lastEnd < 0)
        return;
    QStringList lines;
    for (qsizetype at = 0; at <= lastEnd;) {
        const qsizetype end = partial_.indexOf('\n', at);
        const qsizetype length = end - at - (end > at && partial_.at(end - 1) == '\r');
        lines.append(maskRconPassword(QString::fromUtf8(partial_.constData() + at, length)));
        at = end + 1;
    }
    partial_.remove(0, lastEnd + 1);
    Q_EMIT linesRead(lines);
}

QString maskRconPassword(const QString& line)
{
    if (!line.contains(QLatin1StringView("rcon ")))
        return line;
    static const QRegularExpression quoted(QStringLiteral(R"((rcon\s+-?\d+\s+")[^"]*")"));
    static const QRegularExpression bare(QStringLiteral(R"((rcon\s+-?\d+\s+)[^\s"]+)"));
    QString masked = line;
    masked.replace(quoted, QStringLiteral("\\1") + mask + QLatin1Char('"'));
    masked.replace(bare, QStringLiteral("\\1") + mask);
    return masked;
}
