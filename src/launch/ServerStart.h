#pragma once

#include "formats/Failure.h"
#include "launch/ServerLaunch.h"
#include "launch/ServerRecord.h"

#include <QStringList>

#include <variant>

// What a server of a folder is started with: its command line's values.
struct StartValues {
    QString maxplayers;
    QString startMap;
    quint16 port = defaultServerPort;
    // While Quillmont keeps the server it is the one that restarts it: hlds_run must not.
    bool noRestart = false;
};

// A server started, and what the operator should know though it runs: that its output is not
// kept, or that its record could not be written or may not survive a power loss.
struct StartedFolderServer {
    ServerRecord record;
    QStringList notices;
};

// Starts the folder's server as Start Server does: nothing starts while something else stands where
// its record belongs or the folder holds no server program. Its record, with the remote console
// password that server.cfg gives it now, lets a Quillmont started later find it again.
std::variant<StartedFolderServer, Failure> startFolderServer(const QString& serverFolder, const StartValues& values);
