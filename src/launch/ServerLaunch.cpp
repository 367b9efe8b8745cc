#include "launch/ServerLaunch.h"

#include "settings/ServerSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

const QString serverProgram = QStringLiteral("HLDS.EXE");
const QString linuxServerScript = QStringLiteral("hlds_run");

QString serverArguments(const ServerSettings& settings)
{
    return QStringLiteral("-game tfc -maxplayers ") + settings.maxplayers + QStringLiteral(" +map ")
        + settings.start_map;
}

QString serverProgramPath(const QString& programFolder)
{
    const QDir folder(programFolder);
#ifndef Q_OS_WIN
    if (!QFileInfo::exists(folder.filePath(serverProgram)) && QFileInfo::exists(folder.filePath(linuxServerScript)))
        return folder.filePath(linuxServerScript);
#endif
    return folder.filePath(serverProgram);
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

ServerCommand serverCommand(const QString& programFolder, const ServerSettings& settings)
{
    return {
        .program = QDir::toNativeSeparators(serverProgramPath(programFolder)),
        .arguments = serverArguments(settings).split(QLatin1Char(' '), Qt::SkipEmptyParts),
        .workingFolder = programFolder,
    };
}

std::optional<Failure> startServer(const ServerCommand& command)
{
    QProcess process;
    process.setProgram(command.program);
    process.setArguments(command.arguments);
    process.setWorkingDirectory(command.workingFolder);
#ifdef Q_OS_WIN
    startMinimized(process);
#endif
    if (!process.startDetached())
        return Failure{QStringLiteral("Cannot start %1: %2").arg(command.program, process.errorString())};
    return std::nullopt;
}
