#pragma once

#include "formats/Failure.h"

#include <QStringList>

#include <optional>

struct ServerSettings;

// The dedicated server as it is to be started: the program, its arguments, and the folder it
// runs in.
struct ServerCommand {
    QString program;
    QStringList arguments;
    QString workingFolder;
};

// The server command line (the server program in the program folder, "-game tfc -maxplayers",
// the player limit, "+map" and the start map), taken apart the way the server parses its command
// line: the program path whole, the rest split at blanks, values never quoted or altered.
// On Linux, a folder with the Linux server's start script and no HLDS.EXE starts that script.
ServerCommand serverCommand(const QString& programFolder, const ServerSettings& settings);

// A command line carries each argument as a C string, which a NUL would cut short; so the player
// limit and the map may not hold one.
[[nodiscard]] std::optional<Failure> checkCommandLineValues(const ServerSettings& settings);

// Starts the server without waiting for it and without a shell; it keeps running when Quillmont ends.
[[nodiscard]] std::optional<Failure> startServer(const ServerCommand& command);
