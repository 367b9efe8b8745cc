#pragma once

#include "formats/Failure.h"

#include <QString>

#include <optional>

// The last line the server wrote to its log, without its line end, passing over Quillmont's own;
// empty when there is none or the log cannot be read. Only the end of the log is read, however
// long it has grown.
QString lastLineOf(const QString& log);

// Adds a line of Quillmont's own to the server's log, with the date, such as "*** 2024-05-01T20:15:03
// The server ended unexpectedly ...", so that what it did outlives its window. Nothing when the log
// is none; else why it could not be written.
std::optional<Failure> noteInLog(const QString& log, const QString& what);

// How many copies of a log that grew too long are kept: LOG.1, the newest, to LOG.5.
inline constexpr int keptLogCopies = 5;

// A log past `limit` bytes is copied to LOG.1 (the older copies moving up one, the oldest removed),
// readable by its owner alone, and emptied in place: the server appends, so its next line lands at
// the new start. Lines written between the copy and the emptying may be lost, and the log's new
// first line says so. Only plain files of this account's own are read, moved or written. Nothing
// when the log is within the limit, missing or none; else why it could not be done.
std::optional<Failure> rotateLog(const QString& log, qint64 limit);
