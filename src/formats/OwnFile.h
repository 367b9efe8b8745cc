#pragma once

#include <QString>

#include <optional>
#include <variant>

#ifndef Q_OS_WIN
#include <sys/stat.h>

// Files that Quillmont keeps for itself in the server folder (the record of the server it started,
// the server's log) hold the remote console password, or come to. They are used only when they are
// plain files of this account's own: a link is never followed, a pipe never waited on, a device
// never opened, and another account's file never read or written.

// What a file is, in words, as lstat shows it: "a named pipe (FIFO)", "a symbolic link", ...
QString kindOfFile(mode_t mode);

// Why what stands at a path, as lstat or fstat shows it, is not a plain file of this account's
// own: what it is instead. Nothing when it is one.
std::optional<QString> notOwnPlainFile(const struct stat& status);

// As notOwnPlainFile, and no other account may read or change it either.
std::optional<QString> notPrivateFile(const struct stat& status);

using FileCheck = std::optional<QString> (*)(const struct stat&);

// Opens a file that `check` finds fit as lstat shows it (or, with O_CREAT in `flags`, a missing
// one, which is made readable by its owner alone), without following a link or waiting for a
// pipe's other end, and only when the file opened is still the one looked at. The open handle, or
// why not.
std::variant<int, QString> openOwnFile(const QString& path, int flags, FileCheck check = notOwnPlainFile);
#endif
