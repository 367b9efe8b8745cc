#include "launch/ServerRecord.h"

#include "formats/SafeSave.h"
#include "formats/TextLines.h"

#include <QDir>
#include <QFile>
#include <QMap>

#if defined(Q_OS_LINUX)
#include <csignal>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace {

const QString recordName = QStringLiteral(".quillmont-server");

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

#ifdef Q_OS_LINUX
// What the system tells of a process: whether it is a zombie, its process group and session, and
// the moment it started, in clock ticks after boot.
struct ProcessStatus {
    char state = 0;
    qint64 group = 0;
    qint64 session = 0;
    QByteArray startTicks;
};

std::optional<ProcessStatus> statusOf(const QString& statFile)
{
    QFile stat(statFile);
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The program's name comes first, in parentheses, and may hold blanks and parentheses itself.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int state = 0, group = 2, session = 3, startTicks = 19;
    if (fields.size() <= startTicks || fields[state].isEmpty())
        return std::nullopt;
    return ProcessStatus{
        fields[state].front(), fields[group].toLongLong(), fields[session].toLongLong(), fields[startTicks]};
}

std::optional<ProcessStatus> statusOf(qint64 processId)
{
    return statusOf(QStringLiteral("/proc/%1/stat").arg(processId));
}

QByteArray currentBootId()
{
    QFile boot(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return boot.open(QIODevice::ReadOnly) ? boot.readAll().trimmed() : QByteArray();
}

bool alive(const ProcessStatus& status)
{
    return status.state != 'Z' && status.state != 'X';
}
#elif defined(Q_OS_WIN)
// When a running process was created, in the system's 100-nanosecond ticks: a process of the same
// id created at another moment is another process. Nothing when it is not running.
QByteArray creationTicks(qint64 processId)
{
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(processId));
    if (!process)
        return {};
    FILETIME created{}, exited{}, kernel{}, user{};
    DWORD exitCode = 0;
    const bool running = ::GetProcessTimes(process, &created, &exited, &kernel, &user)
        && ::GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    ::CloseHandle(process);
    return running ? QByteArray::number((quint64(created.dwHighDateTime) << 32) | created.dwLowDateTime) : QByteArray();
}
#endif

} // namespace

QString serverRecordPath(const QString& serverFolder)
{
    return QDir(serverFolder).filePath(recordName);
}

std::optional<ServerRecord> readServerRecord(const QString& serverFolder)
{
    QFile file(serverRecordPath(serverFolder));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray contents = file.read(64 * 1024);
    QMap<QByteArray, QByteArray> values;
    for (const QByteArrayView line : splitLines(contents)) {
        const qsizetype blank = line.indexOf(' ');
        if (blank > 0)
            values.insert(line.first(blank).toByteArray(), line.sliced(blank + 1).toByteArray());
    }
    ServerRecord record;
    bool whole = true;
    const auto number = [&whole](const QByteArray& value) {
        bool ok = false;
        const qint64 n = value.toLongLong(&ok);
        whole = whole && ok && n > 0;
        return n;
    };
    record.processId = number(values.value("process"));
    record.sessionId = number(values.value("session"));
    const qint64 port = number(values.value("port"));
    record.port = port <= 0xFFFF ? quint16(port) : 0;
    record.startTicks = values.value("start");
    record.bootId = values.value("boot");
    record.startedAt = QDateTime::fromString(decoded(values.value("since")), Qt::ISODate);
    record.commandLine = decoded(values.value("command"));
    record.maxplayers = decoded(values.value("maxplayers"));
    record.startMap = decoded(values.value("map"));
    if (values.contains("password"))
        record.password = QByteArray::fromHex(values.value("password"));
    if (!whole || record.port == 0 || record.startTicks.isEmpty() || !record.startedAt.isValid())
        return std::nullopt;
    return record;
}

std::optional<Failure> writeServerRecord(const QString& serverFolder, const ServerRecord& record)
{
    QByteArray contents = "process " + QByteArray::number(record.processId) + "\nsession "
        + QByteArray::number(record.sessionId) + "\nstart " + record.startTicks + "\nboot " + record.bootId + "\nsince "
        + encoded(record.startedAt.toString(Qt::ISODateWithMs)) + "\nport " + QByteArray::number(record.port)
        + "\ncommand " + encoded(record.commandLine) + "\nmaxplayers " + encoded(record.maxplayers) + "\nmap "
        + encoded(record.startMap) + '\n';
    if (record.password)
        contents += "password " + record.password->toHex() + '\n';
    return saveWhole(serverRecordPath(serverFolder), contents, SafeSave::NewFile::OwnerOnly);
}

void removeServerRecord(const QString& serverFolder)
{
    QFile::remove(serverRecordPath(serverFolder));
}

#ifdef Q_OS_LINUX

std::optional<ServerRecord> recordOfProcess(qint64 processId)
{
    const std::optional<ProcessStatus> status = statusOf(processId);
    if (!status || !alive(*status))
        return std::nullopt;
    ServerRecord record;
    record.processId = processId;
    record.sessionId = status->session;
    record.startTicks = status->startTicks;
    record.bootId = currentBootId();
    return record;
}

bool serverRuns(const ServerRecord& record)
{
    const std::optional<ProcessStatus> status = statusOf(record.processId);
    return status && alive(*status) && status->startTicks == record.startTicks && record.bootId == currentBootId();
}

// A process of the group that has ended but not been waited for yet does not count: the system's
// own signal test would still find it.
bool serverGroupRuns(const ServerRecord& record)
{
    for (const QString& process : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (process.front().isDigit()) {
            const std::optional<ProcessStatus> status = statusOf(QStringLiteral("/proc/%1/stat").arg(process));
            if (status && status->group == record.sessionId && alive(*status))
                return true;
        }
    }
    return false;
}

void endServerGroup(const ServerRecord& record, bool now)
{
    if (record.sessionId > 1)
        ::killpg(pid_t(record.sessionId), now ? SIGKILL : SIGTERM);
}

#elif defined(Q_OS_WIN)

// A creation time counts from a fixed date, not from boot, and a Windows process has no group of
// its own: the server is the one process.
std::optional<ServerRecord> recordOfProcess(qint64 processId)
{
    ServerRecord record;
    record.processId = processId;
    record.sessionId = processId;
    record.startTicks = creationTicks(processId);
    record.bootId = "-";
    return record.startTicks.isEmpty() ? std::nullopt : std::optional(record);
}

bool serverRuns(const ServerRecord& record)
{
    return creationTicks(record.processId) == record.startTicks;
}

bool serverGroupRuns(const ServerRecord& record)
{
    return serverRuns(record);
}

// A console program has no request to end that it would heed; only the end of it at once.
void endServerGroup(const ServerRecord& record, bool now)
{
    if (!now || !serverRuns(record))
        return;
    if (const HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(record.processId))) {
        ::TerminateProcess(process, 1);
        ::CloseHandle(process);
    }
}

#endif
