#include "launch/ServerSession.h"

#include "formats/Numbers.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <array>

#if defined(Q_OS_LINUX)
#include <cerrno>
#include <csignal>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace {

int failingSignals = 0;

Failure cannotStop(const QString& serverFolder, const QString& reason)
{
    return Failure{QStringLiteral("The server in %1 could not be stopped: %2")
                       .arg(QDir::toNativeSeparators(serverFolder), reason)};
}

#if defined(Q_OS_LINUX)
// A process's environment is a few kilobytes; no more than this is read of one.
constexpr qint64 largestEnvironment = 256 * 1024;

// What the system tells of a process: whether it is a zombie, its session, and the moment it
// started, in clock ticks after boot.
struct ProcessStatus {
    char state;
    qint64 session;
    QByteArray startTicks;
};

// A file the kernel makes: a few lines, as long as the kernel makes them. Only a process's
// environment is the program's own to fill, and is read no further than `limit`.
QByteArray procFile(const QString& path, std::optional<qint64> limit = std::nullopt)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return limit ? file.read(*limit) : file.readAll();
}

QByteArray procFile(qint64 processId, const char* name, std::optional<qint64> limit = std::nullopt)
{
    return procFile(QStringLiteral("/proc/%1/%2").arg(processId).arg(QLatin1StringView(name)), limit);
}

std::optional<ProcessStatus> statusOf(qint64 processId)
{
    // The program's name comes first, in parentheses, and may hold blanks and parentheses itself.
    const QByteArray line = procFile(processId, "stat");
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int state = 0, session = 3, startTicks = 19;
    if (fields.size() <= startTicks || fields[state].isEmpty())
        return std::nullopt;
    return ProcessStatus{fields[state].front(), fields[session].toLongLong(), fields[startTicks]};
}

QByteArray currentBootId()
{
    return procFile(QStringLiteral("/proc/sys/kernel/random/boot_id")).trimmed();
}

// A process that has ended but not been waited for yet does not count.
bool alive(const ProcessStatus& status)
{
    return status.state != 'Z' && status.state != 'X';
}

// Its real, effective, saved and file system user ids are all this account's.
bool runsAsThisAccount(qint64 processId)
{
    for (const QByteArray& line : procFile(processId, "status").split('\n')) {
        if (line.startsWith("Uid:")) {
            const QList<QByteArray> ids = line.mid(4).simplified().split(' ');
            return ids.size() == 4 && std::all_of(ids.begin(), ids.end(), [](const QByteArray& id) {
                return id == QByteArray::number(::geteuid());
            });
        }
    }
    return false;
}

bool holdsToken(qint64 processId, const QByteArray& token)
{
    const QByteArray entry = '\0' + serverTokenVariable.toLatin1() + '=' + token + '\0';
    const QByteArray environment = '\0' + procFile(processId, "environ", largestEnvironment);
    return environment.contains(entry);
}

// The cheap checks come first: every process of the system may be looked at each second.
bool isServerProcess(qint64 processId, const ServerRecord& record)
{
    const std::optional<ProcessStatus> status = statusOf(processId);
    return status && status->session == record.sessionId && alive(*status) && runsAsThisAccount(processId)
        && holdsToken(processId, record.token);
}

// For a record with a token. The recorded process is looked at first: mostly it is still the
// server's.
bool serverProcessLives(const ServerRecord& record)
{
    if (isServerProcess(record.processId, record))
        return true;
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    // A name that is not a number reads as 0, which is no process.
    return std::any_of(processes.begin(), processes.end(),
        [&record](const QString& process) { return isServerProcess(process.toLongLong(), record); });
}

bool recordedProcessRuns(const ServerRecord& record)
{
    const std::optional<ProcessStatus> status = statusOf(record.processId);
    return status && alive(*status) && status->startTicks == record.startTicks && record.bootId == currentBootId();
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

QByteArray newServerToken()
{
    std::array<quint32, 4> bits{};
    QRandomGenerator::system()->fillRange(bits.data(), bits.size());
    return QByteArray(reinterpret_cast<const char*>(bits.data()), sizeof bits).toHex();
}

void failSignalsForTests(int errorCode)
{
    failingSignals = errorCode;
}

#if defined(Q_OS_LINUX)

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
    return record.token.isEmpty() ? recordedProcessRuns(record) : serverProcessLives(record);
}

QList<qint64> childrenOf(qint64 processId)
{
    QList<qint64> children;
    const QByteArray task = "task/" + QByteArray::number(processId) + "/children";
    const QByteArray listed = procFile(processId, task.constData());
    for (const QByteArray& child : listed.simplified().split(' ')) {
        if (const qint64 id = child.toLongLong(); id > 0)
            children.append(id);
    }
    return children;
}

std::optional<std::chrono::milliseconds> serverAge(const ServerRecord& record)
{
    const std::optional<double> upSeconds = fractionIn(procFile(QStringLiteral("/proc/uptime")).split(' ').value(0));
    const std::optional<qint64> startTicks = numberIn<qint64>(record.startTicks);
    if (!upSeconds || !startTicks || record.bootId != currentBootId())
        return std::nullopt;
    const qint64 age = qint64(*upSeconds * 1000) - *startTicks * 1000 / ::sysconf(_SC_CLK_TCK);
    return std::chrono::milliseconds(std::max<qint64>(age, 0));
}

std::optional<Failure> endServer(const QString& serverFolder, const ServerRecord& record, bool now)
{
    if (record.token.isEmpty())
        return cannotStop(serverFolder,
            QStringLiteral("it was started by an earlier Quillmont, whose record holds no token by which to tell "
                           "the server's processes from others. End it yourself."));
    if (record.sessionId <= 1 || record.sessionId == ::getsid(0) || record.sessionId == ::getpgrp())
        return cannotStop(serverFolder, QStringLiteral("its record names no session of a server."));
    if (!serverProcessLives(record))
        return cannotStop(serverFolder,
            QStringLiteral("no process of its session runs under your account with the token Quillmont started it "
                           "with, so none was signalled."));
    if (failingSignals)
        errno = failingSignals;
    if (failingSignals || ::killpg(pid_t(record.sessionId), now ? SIGKILL : SIGTERM) != 0)
        return cannotStop(serverFolder, qt_error_string(errno) + QLatin1Char('.'));
    return std::nullopt;
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

// hlds_run is a Linux program.
QList<qint64> childrenOf(qint64)
{
    return {};
}

// Windows tells a process's creation only as a time of the wall clock.
std::optional<std::chrono::milliseconds> serverAge(const ServerRecord&)
{
    return std::nullopt;
}

// A console program has no request to end that it would heed; only the end of it at once.
std::optional<Failure> endServer(const QString& serverFolder, const ServerRecord& record, bool now)
{
    if (!now || !serverRuns(record))
        return std::nullopt;
    const HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(record.processId));
    const bool ended = process && ::TerminateProcess(process, 1);
    const QString reason = ended ? QString() : qt_error_string(int(::GetLastError()));
    if (process)
        ::CloseHandle(process);
    if (!ended)
        return cannotStop(serverFolder, reason + QLatin1Char('.'));
    return std::nullopt;
}

#endif
