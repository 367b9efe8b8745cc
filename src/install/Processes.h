#pragma once

#include <QList>
#include <QString>

#include <optional>

// The system's processes, as /proc shows them.

// The living processes of a process group; zombies, which hold nothing, are not counted.
QList<qint64> groupMembers(qint64 group);

// A server running from `folder` that is none of `ownSession`'s (the server Quillmont started there)
// nor this process or one it started: a process whose executable lies in the folder, or whose
// command line runs the folder's hlds_run or hlds_linux. Its pid, or nothing.
std::optional<qint64> foreignServer(const QString& folder, qint64 ownSession);
