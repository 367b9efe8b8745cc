#pragma once

#include "formats/Failure.h"

#include <QFile>
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

// Why the server cannot be started: the folder holds no server program.
[[nodiscard]] std::optional<Failure> serverProgramMissing(const ServerCommand& command);

// Where the server's output goes: its log file, opened before the start and held open until the
// server has it, so that the server writes to this very file whatever comes to stand at its path
// meanwhile. The output is appended after a line with the date and the command line, so that what
// the server prints can be told from earlier starts. The server prints every remote console
// command into it, password and all: the log is used only when it is a plain file of this
// account's own, made readable by its owner alone, or with every access of others taken off. A
// link, a pipe (whose missing reader would keep the window waiting for ever), a device or another
// account's file is not written, and the server starts all the same, its output going nowhere.
class ServerOutput {
public:
    explicit ServerOutput(const ServerCommand& command);

    // Why the server's output will not be kept, for the operator to know before the start.
    const std::optional<Failure>& notKept() const { return notKept_; }
    // The file the server's output is to go to, by a name that leads to the open log.
    QString target() const;
    // A start that did not happen leaves the log as it was.
    void takeBack();

private:
    QFile log_;
    qint64 lengthBefore_ = 0;
    std::optional<Failure> notKept_;
};

struct StartedServer {
    qint64 processId = 0;
    // The token in the server's environment (none on Windows).
    QByteArray token;
};

// Starts the server, once its program is known to be there, without waiting for it and without a
// shell; it keeps running when Quillmont ends. Every file it makes is its owner's alone.
[[nodiscard]] std::variant<StartedServer, Failure> startServer(const ServerCommand& command, ServerOutput& output);
