#include "launch/ServerRecord.h"

#include "formats/TextLines.h"

#include <QDir>
#include <QFile>
#include <QMap>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <variant>

#ifndef Q_OS_WIN
#include "formats/OwnFile.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

const QString recordName = QStringLiteral(".quillmont-server");

// A record is a few hundred bytes; no more than this is read of anything, and a larger file is
// none of Quillmont's: a record cut short could name another process.
constexpr qint64 largestRecord = 64 * 1024;

// Values are kept percent-encoded, so that no byte of a path or a password can break a line.
const QByteArray keptAsTheyStand = " /:+-";

QByteArray encoded(const QString& text)
{
    return text.toUtf8().toPercentEncoding(keptAsTheyStand);
}

QString decoded(const QByteArray& value)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(value));
}

// A token is 128 bits in hexadecimal digits.
bool isToken(const QByteArray& value)
{
    return value.size() == 32
        && std::all_of(value.begin(), value.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

std::optional<QByteArray> recordBytes(const QString& path)
{
    QFile file(path);
#ifdef Q_OS_WIN
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
#else
    const std::variant<int, QString> opened = openOwnFile(path, O_RDONLY, notPrivateFile);
    if (!std::holds_alternative<int>(opened))
        return std::nullopt;
    file.open(std::get<int>(opened), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
#endif
    QByteArray contents = file.read(largestRecord + 1);
    if (contents.size() > largestRecord)
        return std::nullopt;
    return contents;
}

} // namespace

QString serverRecordPath(const QString& serverFolder)
{
    return QDir(serverFolder).filePath(recordName);
}

std::optional<Failure> recordInTheWay([[maybe_unused]] const QString& serverFolder)
{
#ifndef Q_OS_WIN
    const QString path = serverRecordPath(serverFolder);
    struct stat status { };
    std::optional<QString> reason;
    if (::lstat(QFile::encodeName(path).constData(), &status) == 0)
        reason = notPrivateFile(status);
    else if (errno != ENOENT)
        reason = qt_error_string(errno);
    if (reason)
        return Failure{QStringLiteral("Cannot start the server: %1 is in the way: %2 Quillmont keeps the record of "
                                      "the server it starts there, with the remote console password, only as a file "
                                      "of your own that no other account may read.")
                           .arg(QDir::toNativeSeparators(path), *reason)};
#endif
    return std::nullopt;
}

std::optional<ServerRecord> readServerRecord(const QString& serverFolder)
{
    const std::optional<QByteArray> contents = recordBytes(serverRecordPath(serverFolder));
    if (!contents)
        return std::nullopt;
    QMap<QByteArray, QByteArray> values;
    for (const QByteArrayView line : splitLines(*contents)) {
        const qsizetype blank = line.indexOf(' ');
        if (blank > 0)
            values.insert(line.first(blank).toByteArray(), line.sliced(blank + 1).toByteArray());
    }
    ServerRecord record;
    bool whole = true;
    const auto number = [&whole](const QByteArray& value) {
        const qint64 n = value.toLongLong(); // 0 when it is not a number
        whole = whole && n > 0;
        return n;
    };
    record.processId = number(values.value("process"));
    record.sessionId = number(values.value("session"));
    const qint64 port = number(values.value("port"));
    record.port = port <= 0xFFFF ? quint16(port) : 0;
    record.startTicks = values.value("start");
    record.bootId = values.value("boot");
    record.token = values.value("token");
    record.startedAt = QDateTime::fromString(decoded(values.value("since")), Qt::ISODate);
    record.commandLine = decoded(values.value("command"));
    record.maxplayers = decoded(values.value("maxplayers"));
    record.startMap = decoded(values.value("map"));
    if (values.contains("password"))
        record.password = QByteArray::fromHex(values.value("password"));
    if (const QList<QByteArray> updating = values.value("updating").split(' '); updating.size() == 2) {
        record.updatingProcess = updating.at(0).toLongLong();
        record.updatingSince = QDateTime::fromString(decoded(updating.at(1)), Qt::ISODate);
    }
    // While an update runs without a server stopped for it, the record holds only its mark.
    if (!values.contains("process") && record.updatingProcess > 0 && record.updatingSince.isValid()) {
        ServerRecord mark;
        mark.updatingProcess = record.updatingProcess;
        mark.updatingSince = record.updatingSince;
        return mark;
    }
    if (!whole || record.port == 0 || record.startTicks.isEmpty() || !record.startedAt.isValid()
        || (values.contains("token") && !isToken(record.token)))
        return std::nullopt;
    return record;
}

SaveOutcome writeServerRecord(const QString& serverFolder, const ServerRecord& record)
{
    const QByteArray mark = "updating " + QByteArray::number(record.updatingProcess) + ' '
        + encoded(record.updatingSince.toString(Qt::ISODateWithMs)) + '\n';
    if (record.processId == 0)
        return saveWhole(serverRecordPath(serverFolder), mark, SafeSave::Owner::Quillmont);
    QByteArray contents = "process " + QByteArray::number(record.processId) + "\nsession "
        + QByteArray::number(record.sessionId) + "\nstart " + record.startTicks + "\nboot " + record.bootId + "\nsince "
        + encoded(record.startedAt.toString(Qt::ISODateWithMs)) + "\nport " + QByteArray::number(record.port)
        + "\ncommand " + encoded(record.commandLine) + "\nmaxplayers " + encoded(record.maxplayers) + "\nmap "
        + encoded(record.startMap) + '\n';
    if (!record.token.isEmpty())
        contents += "token " + record.token + '\n';
    if (record.password)
        contents += "password " + record.password->toHex() + '\n';
    if (record.updatingProcess > 0)
        contents += mark;
    return saveWhole(serverRecordPath(serverFolder), contents, SafeSave::Owner::Quillmont);
}

bool updateRuns(const ServerRecord& record)
{
#ifdef Q_OS_WIN
    Q_UNUSED(record);
    return false;
#else
    return record.updatingProcess > 0 && (::kill(pid_t(record.updatingProcess), 0) == 0 || errno == EPERM);
#endif
}

void removeServerRecord(const QString& serverFolder)
{
    if (const std::optional<ServerRecord> record = readServerRecord(serverFolder); record && updateRuns(*record))
        return;
    removeUpdateRecord(serverFolder);
}

void removeUpdateRecord(const QString& serverFolder)
{
#ifdef Q_OS_WIN
    QFile::remove(serverRecordPath(serverFolder));
#else
    if (!recordInTheWay(serverFolder))
        ::unlink(QFile::encodeName(serverRecordPath(serverFolder)).constData());
#endif
}
