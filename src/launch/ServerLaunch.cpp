#include "launch/ServerLaunch.h"

#include "settings/ServerSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// The programs that start the server, in the order they are looked for.
#ifdef Q_OS_WIN
const QStringList serverPrograms{QStringLiteral("HLDS.EXE")};
const QString serverLog;
#else
const QStringList serverPrograms{QStringLiteral("HLDS.EXE"), QStringLiteral("hlds_run")};
const QString serverLog = QStringLiteral("server-console.log");
#endif

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
#endif

} // namespace

ServerCommand serverCommand(const QString& serverFolder, const ServerSettings& settings)
{
    const QDir folder(serverFolder);
    return {
        .program = QDir::toNativeSeparators(serverProgramPath(folder)),
        .arguments = serverArguments(settings).split(QLatin1Char(' '), Qt::SkipEmptyParts),
        .workingFolder = serverFolder,
        .logFile = serverLog.isEmpty() ? QString() : folder.filePath(serverLog),
    };
}

std::optional<Failure> checkCommandLineValues(const ServerSettings& settings)
{
    for (const TextField field : {&ServerSettings::maxplayers, &ServerSettings::start_map}) {
        if ((settings.*field).contains(QChar(0)))
            return Failure{QStringLiteral("Cannot start the server: %1 holds a NUL character, which a command line "
                                          "cannot carry.")
                               .arg(settingName(field))};
    }
    return std::nullopt;
}

std::optional<Failure> logServerStart(const ServerCommand& command)
{
    if (command.logFile.isEmpty())
        return std::nullopt;
    QFile log(command.logFile);
    const QString line = QStringLiteral("--- %1 %2 %3\n")
                             .arg(QDateTime::currentDateTime().toString(Qt::ISODate), command.program,
                                 command.arguments.join(QLatin1Char(' ')));
    const QByteArray bytes = line.toUtf8();
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append) || log.write(bytes) != bytes.size() || !log.flush())
        return Failure{QStringLiteral("The server's output is not kept: cannot write %1: %2")
                           .arg(QDir::toNativeSeparators(command.logFile), log.errorString())};
    return std::nullopt;
}

std::optional<Failure> startServer(const ServerCommand& command, bool withLog)
{
    if (!QFileInfo::exists(command.program))
        return Failure{
            QStringLiteral("Cannot start the server: %1 holds no %2.")
                .arg(QDir::toNativeSeparators(command.workingFolder), serverPrograms.join(QStringLiteral(" or ")))};
    QProcess process;
    process.setProgram(command.program);
    process.setArguments(command.arguments);
    process.setWorkingDirectory(command.workingFolder);
#ifdef Q_OS_WIN
    startMinimized(process);
#else
    process.setStandardInputFile(QProcess::nullDevice());
    const QString output = withLog ? command.logFile : QProcess::nullDevice();
    process.setStandardOutputFile(output, QIODevice::Append);
    process.setStandardErrorFile(output, QIODevice::Append);
#endif
    if (!process.startDetached())
        return Failure{QStringLiteral("Cannot start %1: %2").arg(command.program, process.errorString())};
    return std::nullopt;
}
