#pragma once

#include "formats/Failure.h"
#include "launch/ServerRecord.h"

#include <chrono>
#include <optional>

// The processes of the server Quillmont started, as the system shows them. On Linux the server runs
// in a session of its own, with a random token in its environment that everything it starts
// inherits, however often hlds_run restarts the engine. A process is the server's only when it runs
// in that session, under this account, and holds the token: only then is the session signalled.
// On Windows the server is its one process.

// The environment variable that gives the server its token.
inline const QString serverTokenVariable = QStringLiteral("QUILLMONT_SERVER_TOKEN");

// 128 random bits from the system, in hexadecimal digits.
QByteArray newServerToken();

// The record of a process just started, as the system knows it now: its session, start and boot.
// Nothing when the process is already gone.
std::optional<ServerRecord> recordOfProcess(qint64 processId);

// Whether the server runs: a process of its session that holds its token lives. For a record of an
// earlier Quillmont, without a token: the recorded process, started at the same moment of this boot.
bool serverRuns(const ServerRecord& record);

// How long ago the server started, on the system's clock since boot, which no one sets; nothing
// after a reboot, or where it cannot be told.
std::optional<std::chrono::milliseconds> serverAge(const ServerRecord& record);

// The processes that a process started and that still run, as the system lists them: hlds_run's
// engine. None where the system does not tell.
QList<qint64> childrenOf(qint64 processId);

// Asks every process of the server's session to end, or, when `now` is set, ends them at once; but
// only while a process of its own, as serverRuns finds them, lives, and never Quillmont's own
// session. Otherwise, or when the system refuses the signal, says why, naming the server folder.
[[nodiscard]] std::optional<Failure> endServer(const QString& serverFolder, const ServerRecord& record, bool now);

// For tests: every signal that follows fails with this system error code (0: none fails), as a
// security module would refuse it.
void failSignalsForTests(int errorCode);
