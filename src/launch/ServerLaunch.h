#pragma once

#include "formats/Failure.h"

#include <QStringList>

#include <optional>

struct ServerSettings;

// The dedicated server as it is to be started: the program, its arguments, the folder it runs in,
// and the file its output goes to (none: it keeps a console of its own, as on Windows).
struct ServerCommand {
    QString program;
    QStringList arguments;
    QString workingFolder;
    QString logFile;
};

// The server command line (the server program in the server folder, "-game tfc -maxplayers",
// the player limit, "+map" and the start map), taken apart the way the server parses its command
// line: the program path whole, the rest split at blanks, values never quoted or altered.
// On Linux, a folder with the Linux server's start script and no HLDS.EXE starts that script, and
// the server's output goes to server-console.log in the server folder.
ServerCommand serverCommand(const QString& serverFolder, const ServerSettings& settings);

// A command line carries each argument as a C string, which a NUL would cut short; so the player
// limit and the map may not hold one.
[[nodiscard]] std::optional<Failure> checkCommandLineValues(const ServerSettings& settings);

// Adds a line with the date and the command line to the server's log, so that what the server
// prints after it can be told from earlier starts. Nothing to do for a server without a log file.
[[nodiscard]] std::optional<Failure> logServerStart(const ServerCommand& command);

// Starts the server without waiting for it and without a shell; it keeps running when Quillmont
// ends. Its output is appended to its log file, or dropped when `withLog` is false.
[[nodiscard]] std::optional<Failure> startServer(const ServerCommand& command, bool withLog);
