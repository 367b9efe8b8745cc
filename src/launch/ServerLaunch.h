#pragma once

#include "formats/Failure.h"

#include <QStringList>

#include <optional>
#include <variant>

struct ServerSettings;

// The dedicated server as it is to be started: the program, its arguments, the folder it runs in,
// and the file its output goes to (none: it keeps a console of its own, as on Windows).
struct ServerCommand {
    QString program;
    QStringList arguments;
    QString workingFolder;
    QString logFile;
};

// The port a game server listens on unless told otherwise.
inline constexpr quint16 defaultServerPort = 27015;

// The server command line (the server program in the server folder, "-game tfc -maxplayers",
// the player limit, "+map" and the start map, and "-port" with the port when it is not the
// default), taken apart the way the server parses its command line: the program path whole, the
// rest split at blanks, values never quoted or altered.
// On Linux the Linux server's start script hlds_run is started when the folder holds it, else
// HLDS.EXE, and the server's output goes to server-console.log in the server folder.
ServerCommand serverCommand(const QString& serverFolder, const ServerSettings& settings, quint16 port);

// The file the server's output goes to; none where the server keeps a console of its own.
QString serverLogOf(const QString& serverFolder);

// The player limit and the map reach the server as words of its command line, which it splits at
// blanks and at every byte outside printable ASCII, and where a word that starts with + or - is a
// command or an option of its own. Each must therefore be one plain word; a NUL would even cut the
// command line short.
[[nodiscard]] std::optional<Failure> checkCommandLineValues(const ServerSettings& settings);

// The game server takes a player limit of 1 to 32, in digits. For anything else it runs with a
// number of its own: that of the leading digits (0 when there are none), 6 when that is below 1,
// 32 when it is above 32. Gives that number, or nothing when the limit is taken as it stands.
std::optional<int> playersInsteadOf(const QString& maxplayers);

struct StartedServer {
    qint64 processId = 0;
    std::optional<Failure> outputNotKept; // the server runs, but its output goes nowhere
};

// Starts the server without waiting for it and without a shell; it keeps running when Quillmont
// ends. Its output is appended to its log file after a line with the date and the command line,
// so that what it prints can be told from earlier starts. A log that is not a plain file (a pipe
// with no reader would keep the window waiting for ever) is not written, and the server starts
// all the same. When the server cannot be started, the log is left as it was.
[[nodiscard]] std::variant<StartedServer, Failure> startServer(const ServerCommand& command);
