#include "launch/ServerStart.h"

#include "formats/ServerCfg.h"
#include "launch/ServerSession.h"
#include "settings/ServerSettings.h"

#include <QDir>

namespace {

// A server that ended at once has no record of the system's; it shows as ended.
ServerRecord recordOf(const StartedServer& server, const ServerCommand& command, const StartValues& values)
{
    ServerRecord record = recordOfProcess(server.processId).value_or(ServerRecord());
    record.processId = server.processId;
    record.token = server.token;
    record.startedAt = QDateTime::currentDateTime();
    record.port = values.port;
    record.commandLine = command.program + QLatin1Char(' ') + command.arguments.join(QLatin1Char(' '));
    record.maxplayers = values.maxplayers;
    record.startMap = values.startMap;
    record.password = valueSetIn(
        serverCfgBytes(QDir(command.workingFolder).filePath(QStringLiteral("tfc/server.cfg"))), "rcon_password");
    return record;
}

} // namespace

std::variant<StartedFolderServer, Failure> startFolderServer(const QString& serverFolder, const StartValues& values)
{
    ServerSettings settings;
    settings.maxplayers = values.maxplayers;
    settings.start_map = values.startMap;
    ServerCommand command = serverCommand(serverFolder, settings, values.port);
    if (values.noRestart)
        command.arguments << QStringLiteral("-norestart");
    for (const std::optional<Failure>& refused : {recordInTheWay(serverFolder), serverProgramMissing(command)}) {
        if (refused)
            return *refused;
    }
    StartedFolderServer started;
    ServerOutput output(command);
    if (output.notKept())
        started.notices << output.notKept()->message;
    const auto launched = startServer(command, output);
    if (const auto* failure = std::get_if<Failure>(&launched))
        return *failure;
    started.record = recordOf(std::get<StartedServer>(launched), command, values);
    const SaveOutcome saved = writeServerRecord(serverFolder, started.record);
    if (const Failure* failure = failureOf(saved))
        started.notices << failure->message
                + QStringLiteral(
                    "\n\nThe server runs, but a Quillmont started later will not know that it started it.");
    else if (const std::optional<QString>& notDurable = std::get<Saved>(saved).notDurable)
        started.notices << *notDurable;
    return started;
}
