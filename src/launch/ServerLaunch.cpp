#include "launch/ServerLaunch.h"

#include "formats/TextLines.h"
#include "launch/ServerSession.h"
#include "settings/ServerSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include "formats/OwnFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

// The programs that start the server, in the order they are looked for. A Windows program cannot
// run on Linux, so there the start script comes first.
#ifdef Q_OS_WIN
const QStringList serverPrograms{QStringLiteral("HLDS.EXE")};
const QString serverLog;
#else
const QStringList serverPrograms{QStringLiteral("hlds_run"), QStringLiteral("HLDS.EXE")};
const QString serverLog = QStringLiteral("server-console.log");
#endif

constexpr int fewestPlayers = 1;
constexpr int mostPlayers = 32;
constexpr int playersWhenTooFew = 6;

QString serverArguments(const ServerSettings& settings)
{
    return QStringLiteral("-game tfc -maxplayers ") + settings.maxplayers + QStringLiteral(" +map ")
        + settings.start_map;
}

// The first of the server programs the folder holds; the first of all when it holds none.
QString serverProgramPath(const QDir& folder)
{
    for (const QString& program : serverPrograms) {
        if (QFileInfo::exists(folder.filePath(program)))
            return folder.filePath(program);
    }
    return folder.filePath(serverPrograms.first());
}

// Why a value cannot be one word of the server's command line; nothing when it can.
std::optional<QString> notOneWord(const QString& value)
{
    if (value.startsWith(QLatin1Char('+')) || value.startsWith(QLatin1Char('-')))
        return QStringLiteral("starts with \"%1\", which the game server would take as a command or an option of "
                              "its own.")
            .arg(value.front());
    for (const QChar c : value) {
        if (c.unicode() == 0)
            return QStringLiteral("holds a NUL character, which a command line cannot carry.");
        if (c == QLatin1Char(' '))
            return QStringLiteral("holds a blank, at which the game server would split it in two.");
        if (isControlCharacter(c.unicode()))
            return QStringLiteral("holds a control character (%1), which the game server's command line cannot "
                                  "carry.")
                .arg(controlCharacterName(c.unicode()));
        if (c.unicode() > 0x7E)
            return QStringLiteral("holds \"%1\", and the game server's command line carries plain ASCII only.").arg(c);
    }
    return std::nullopt;
}

#ifdef Q_OS_WIN
// The server's console window opens minimized; without this Qt would hide the console of a
// program started from a windowed one.
void startMinimized(QProcess& process)
{
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* args) {
        args->flags &= ~CREATE_NO_WINDOW;
        args->flags |= CREATE_NEW_CONSOLE;
        args->startupInfo->dwFlags &= ~STARTF_USESTDHANDLES;
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMINIMIZED;
    });
}
#else
Failure outputNotKept(const QString& log, const QString& reason)
{
    return Failure{QStringLiteral("The server's output is not kept: cannot write %1: %2")
                       .arg(QDir::toNativeSeparators(log), reason)};
}

// Opens the log for appending, readable by its owner alone.
std::optional<Failure> openLog(QFile& log)
{
    const std::variant<int, QString> opened = openOwnFile(log.fileName(), O_WRONLY | O_APPEND | O_CREAT);
    if (const QString* reason = std::get_if<QString>(&opened))
        return outputNotKept(log.fileName(), *reason);
    const int handle = std::get<int>(opened);
    struct stat status { };
    if (::fstat(handle, &status) != 0 || ((status.st_mode & 077) && ::fchmod(handle, status.st_mode & 07700) != 0)) {
        const QString reason = QStringLiteral("other accounts may read it, and its mode cannot be changed: %1")
                                   .arg(qt_error_string(errno));
        ::close(handle);
        return outputNotKept(log.fileName(), reason);
    }
    log.open(handle, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle);
    return std::nullopt;
}

// A line with the date and the command line, so that what the server prints after it can be told
// from earlier starts.
std::optional<Failure> writeStartLine(QFile& log, const ServerCommand& command)
{
    const QByteArray line = QStringLiteral("--- %1 %2 %3\n")
                                .arg(QDateTime::currentDateTime().toString(Qt::ISODate), command.program,
                                    command.arguments.join(QLatin1Char(' ')))
                                .toUtf8();
    if (log.write(line) != line.size() || !log.flush())
        return outputNotKept(log.fileName(), log.errorString());
    return std::nullopt;
}
#endif

} // namespace

ServerCommand serverCommand(const QString& serverFolder, const ServerSettings& settings, quint16 port)
{
    const QDir folder(serverFolder);
    QStringList arguments = serverArguments(settings).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (port != defaultServerPort)
        arguments << QStringLiteral("-port") << QString::number(port);
    return {
        .program = QDir::toNativeSeparators(serverProgramPath(folder)),
        .arguments = arguments,
        .workingFolder = serverFolder,
        .logFile = serverLogOf(serverFolder),
    };
}

QString serverLogOf(const QString& serverFolder)
{
    return serverLog.isEmpty() ? QString() : QDir(serverFolder).filePath(serverLog);
}

std::optional<Failure> checkCommandLineValues(const ServerSettings& settings)
{
    for (const TextField field : {&ServerSettings::maxplayers, &ServerSettings::start_map}) {
        if (const std::optional<QString> reason = notOneWord(settings.*field))
            return Failure{QStringLiteral("Cannot start the server: %1 %2").arg(settingName(field), *reason)};
    }
    return std::nullopt;
}

std::optional<int> playersInsteadOf(const QString& maxplayers)
{
    const auto digit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    const qsizetype digits = std::find_if_not(maxplayers.begin(), maxplayers.end(), digit) - maxplayers.begin();
    // Past 32 the exact number no longer matters, and a long run of digits must not overflow.
    int leading = 0;
    for (qsizetype i = 0; i < digits && leading <= mostPlayers; ++i)
        leading = leading * 10 + maxplayers[i].digitValue();
    const bool onlyDigits = digits == maxplayers.size();
    if (onlyDigits && leading >= fewestPlayers && leading <= mostPlayers)
        return std::nullopt;
    if (leading < fewestPlayers)
        return playersWhenTooFew;
    return std::min(leading, mostPlayers);
}

ServerOutput::ServerOutput([[maybe_unused]] const ServerCommand& command)
{
#ifndef Q_OS_WIN
    log_.setFileName(command.logFile);
    notKept_ = openLog(log_);
    lengthBefore_ = log_.isOpen() ? log_.size() : 0;
    if (!notKept_)
        notKept_ = writeStartLine(log_, command);
    if (notKept_)
        log_.close();
#endif
}

// The open log by its handle: the server opens the very file, not its path again.
QString ServerOutput::target() const
{
    return log_.isOpen() ? QStringLiteral("/proc/self/fd/%1").arg(log_.handle()) : QProcess::nullDevice();
}

void ServerOutput::takeBack()
{
    if (log_.isOpen())
        log_.resize(lengthBefore_);
}

std::optional<Failure> serverProgramMissing(const ServerCommand& command)
{
    if (QFileInfo::exists(command.program))
        return std::nullopt;
    return Failure{
        QStringLiteral("Cannot start the server: %1 holds no %2.")
            .arg(QDir::toNativeSeparators(command.workingFolder), serverPrograms.join(QStringLiteral(" or ")))};
}

std::variant<StartedServer, Failure> startServer(const ServerCommand& command, ServerOutput& output)
{
    QProcess process;
    process.setProgram(command.program);
    process.setArguments(command.arguments);
    process.setWorkingDirectory(command.workingFolder);
    StartedServer started;
#ifdef Q_OS_WIN
    startMinimized(process);
    const bool done = process.startDetached(&started.processId);
#else
    started.token = newServerToken();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(serverTokenVariable, QString::fromLatin1(started.token));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(output.target(), QIODevice::Append);
    process.setStandardErrorFile(output.target(), QIODevice::Append);
    // The files the server makes, its own logs of every remote console command among them, are its
    // owner's alone. Qt 6.4's startDetached ignores a child process modifier, so the mask is set
    // around it.
    const mode_t mask = ::umask(077);
    const bool done = process.startDetached(&started.processId);
    ::umask(mask);
#endif
    if (!done) {
        output.takeBack(); // no line for a start that did not happen
        return Failure{QStringLiteral("Cannot start %1: %2").arg(command.program, process.errorString())};
    }
    return started;
}
