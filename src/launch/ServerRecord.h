#pragma once

#include "formats/Failure.h"
#include "formats/SafeSave.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The server that a server folder's Quillmont started, kept in .quillmont-server in that folder so
// that a Quillmont started later, or after a crash, finds it again. It holds the remote console
// password, so it is a file of Quillmont's own that only its owner may read; whatever else stands
// at its path is never read, written through, replaced or removed.
struct ServerRecord {
    qint64 processId = 0;
    // The session the server runs in, which is also its process group: stopping it ends every
    // process in it, the engine that hlds_run restarts too.
    qint64 sessionId = 0;
    // The process's start as the system counts it, and the boot it belongs to: after a reboot, or
    // once the id is used again, a process of that id is not the server.
    QByteArray startTicks;
    QByteArray bootId;
    // The secret every process of the server holds in its environment, by which Quillmont tells
    // them from any other; none in a record of an earlier Quillmont.
    QByteArray token;
    QDateTime startedAt;
    quint16 port = 0;
    QString commandLine;
    QString maxplayers;
    QString startMap;
    // The rcon_password of the server.cfg the server started with, or last applied, as its bytes;
    // nothing when it had none.
    std::optional<QByteArray> password;
    // While SteamCMD updates the folder: the process that runs the update, and since when. The server
    // recorded here was stopped for it, and is started again when it ends.
    qint64 updatingProcess = 0;
    QDateTime updatingSince;

    bool operator==(const ServerRecord&) const = default;
};

QString serverRecordPath(const QString& serverFolder);

// Why something that Quillmont must leave alone stands where the record belongs: a link, a pipe, a
// device, another account's file or one that others may read. Nothing when the record's place is
// empty or holds a record file of Quillmont's own.
std::optional<Failure> recordInTheWay(const QString& serverFolder);

// The record, or nothing when there is none, it is not one, or something else stands there.
std::optional<ServerRecord> readServerRecord(const QString& serverFolder);
[[nodiscard]] SaveOutcome writeServerRecord(const QString& serverFolder, const ServerRecord& record);
// Removes the record file, and nothing else that stands there; but a record that marks an update
// still running stays until the update ends, so that every window and keeper knows of it.
void removeServerRecord(const QString& serverFolder);
// Whether the update a record marks is still running.
bool updateRuns(const ServerRecord& record);
// Removes the record whatever it marks: the update that marked it has ended.
void removeUpdateRecord(const QString& serverFolder);
