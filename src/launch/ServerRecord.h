#pragma once

#include "formats/Failure.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The server that a server folder's Quillmont started, kept in .quillmont-server in that folder so
// that a Quillmont started later, or after a crash, finds it again. It holds the remote console
// password, so only its owner may read it.
struct ServerRecord {
    qint64 processId = 0;
    // The session the server runs in, which is also its process group: stopping it ends every
    // process in it, the engine that hlds_run restarts too.
    qint64 sessionId = 0;
    // The process's start as the system counts it, and the boot it belongs to: after a reboot, or
    // once the id is used again, a process of that id is not the server.
    QByteArray startTicks;
    QByteArray bootId;
    QDateTime startedAt;
    quint16 port = 0;
    QString commandLine;
    QString maxplayers;
    QString startMap;
    // The rcon_password of the server.cfg the server started with, or last applied, as its bytes;
    // nothing when it had none.
    std::optional<QByteArray> password;

    bool operator==(const ServerRecord&) const = default;
};

QString serverRecordPath(const QString& serverFolder);

// The record, or nothing when there is none or it is not one.
std::optional<ServerRecord> readServerRecord(const QString& serverFolder);
[[nodiscard]] std::optional<Failure> writeServerRecord(const QString& serverFolder, const ServerRecord& record);
void removeServerRecord(const QString& serverFolder);

// The record of a process just started, as the system knows it now: its session, start and boot.
// Nothing when the process is already gone.
std::optional<ServerRecord> recordOfProcess(qint64 processId);

// Whether the recorded process runs still: the same id, started at the same moment of this boot.
bool serverRuns(const ServerRecord& record);

// Whether any process of the server's process group runs still.
bool serverGroupRuns(const ServerRecord& record);

// Asks every process of the server's group to end, or, when `now` is set, ends them at once.
void endServerGroup(const ServerRecord& record, bool now);
