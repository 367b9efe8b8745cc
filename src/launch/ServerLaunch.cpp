#include "launch/ServerLaunch.h"

#include "formats/TextLines.h"
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

// Opens the log for appending. A pipe with no reader would block the opening, and a device may
// act on being opened at all: only a plain file, or none, is opened, and never waited for.
std::optional<Failure> openLog(QFile& log)
{
    const QByteArray path = QFile::encodeName(log.fileName());
    const QString notPlain = QStringLiteral("it is not a plain file but a folder, device or pipe.");
    struct stat status { };
    if (::stat(path.constData(), &status) == 0 && !S_ISREG(status.st_mode))
        return outputNotKept(log.fileName(), notPlain);
    const int handle
        = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (handle < 0)
        return outputNotKept(log.fileName(), qt_error_string(errno));
    if (::fstat(handle, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(handle);
        return outputNotKept(log.fileName(), notPlain);
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

std::variant<StartedServer, Failure> startServer(const ServerCommand& command)
{
    if (!QFileInfo::exists(command.program))
        return Failure{
            QStringLiteral("Cannot start the server: %1 holds no %2.")
                .arg(QDir::toNativeSeparators(command.workingFolder), serverPrograms.join(QStringLiteral(" or ")))};
    QProcess process;
    process.setProgram(command.program);
    process.setArguments(command.arguments);
    process.setWorkingDirectory(command.workingFolder);
    StartedServer started;
#ifdef Q_OS_WIN
    startMinimized(process);
#else
    QFile log(command.logFile);
    started.outputNotKept = openLog(log);
    const qint64 lengthBefore = log.isOpen() ? log.size() : 0;
    if (!started.outputNotKept)
        started.outputNotKept = writeStartLine(log, command);
    process.setStandardInputFile(QProcess::nullDevice());
    const QString output = started.outputNotKept ? QProcess::nullDevice() : command.logFile;
    process.setStandardOutputFile(output, QIODevice::Append);
    process.setStandardErrorFile(output, QIODevice::Append);
#endif
    if (!process.startDetached(&started.processId)) {
#ifndef Q_OS_WIN
        if (log.isOpen())
            log.resize(lengthBefore); // no line for a start that did not happen
#endif
        return Failure{QStringLiteral("Cannot start %1: %2").arg(command.program, process.errorString())};
    }
    return started;
}
