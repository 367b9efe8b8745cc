#pragma once

#include "formats/Failure.h"

#include <QByteArray>
#include <QMap>

#include <optional>
#include <variant>

#ifdef Q_OS_WIN
#include <QSaveFile>
#endif

// A save that went through, and what the operator must still be told about it: that the folder
// could not be synced, so that after a power loss the file may come back as it was; and that other
// accounts may read the file and the password it holds, which the operator may want so or not.
struct Saved {
    std::optional<QString> notDurable;
    std::optional<QString> readableByOthers;
};

// A save either goes through or fails, leaving the file as it was.
using SaveOutcome = std::variant<Saved, Failure>;

// Replaces a file whole or not at all: the new contents go to a temporary file in the same folder,
// which takes the old file's place in one rename only once every byte is on disk, and the folder is
// synced after, so that the rename is on disk too. Opening is a step of its own so that a caller can
// find out that the file cannot be written before it changes anything.
class SafeSave {
public:
    // Whose file it is. A file of the operator's keeps its owner, group and mode; a symbolic link
    // stays one, and the file it leads to is replaced; only a plain file is ever replaced; and where
    // the folder lets no file be created but the file itself may be written, it is written in place,
    // and on failure its old contents are written back. A file of Quillmont's own is only ever made
    // anew, never through a link, never in place, and replaces nothing but a plain file of this
    // account's that no other account may read. Every new file is readable by its owner alone: each
    // holds the remote console password.
    enum class Owner { Operator, Quillmont };
    // Whether the contents hold a password that other accounts should not read.
    enum class Contents { Plain, Password };

    explicit SafeSave(const QString& path, Owner owner = Owner::Operator);
    ~SafeSave();
    SafeSave(const SafeSave&) = delete;
    SafeSave& operator=(const SafeSave&) = delete;

    [[nodiscard]] std::optional<Failure> open();
    [[nodiscard]] SaveOutcome commit(const QByteArray& contents, Contents kind = Contents::Plain);
    void discard();

    QString path() const { return path_; }

    // For tests: the named steps of every save that follows ("create" the temporary file, "open" the
    // file itself to write it in place, "write", "sync", "rename", "sync-folder") fail with the given
    // system error codes, the way a failing disk or a folder of another account makes them fail;
    // "write-nothing" has every write move no byte and report no error.
    static void failSteps(const QMap<QByteArray, int>& codes);

private:
    [[nodiscard]] Failure discardBecause(const QString& reason);

#ifdef Q_OS_WIN
    QSaveFile file_;
#else
    [[nodiscard]] std::optional<Failure> openOwn();
    [[nodiscard]] std::optional<Failure> openInPlace(bool exists);
    [[nodiscard]] SaveOutcome replaceInPlace(const QByteArray& contents, Contents kind);
    Saved saved(Contents kind) const;

    QString target_; // the path with its symbolic links followed: the file replaced
    QString temporary_; // empty while the file is written in place
    int handle_ = -1;
    bool othersMayRead_ = false;
#endif
    QString path_;
    Owner owner_;
};

// Opens and commits in one go, for callers with nothing to do in between.
[[nodiscard]] SaveOutcome saveWhole(const QString& path, const QByteArray& contents,
    SafeSave::Owner owner = SafeSave::Owner::Operator, SafeSave::Contents kind = SafeSave::Contents::Plain);

// The failure of a save, or null when it went through.
const Failure* failureOf(const SaveOutcome& outcome);
