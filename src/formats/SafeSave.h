#pragma once

#include "formats/Failure.h"

#include <QByteArray>
#include <QMap>

#include <optional>

#ifdef Q_OS_WIN
#include <QSaveFile>
#endif

// Replaces a file whole or not at all: the new contents go to a temporary file in the same folder,
// which takes the old file's place in one rename only once every byte is on disk. Where the folder
// lets no file be created but the file itself may be written, the file is written in place, and on
// failure its old contents are written back. Only a plain file is ever replaced; a symbolic link
// stays one, and the file it leads to is replaced. Opening is a step of its own so that a caller can
// find out that the file cannot be written before it changes anything.
class SafeSave {
public:
    // Who may read a file that does not exist yet: whoever the system's file mask lets, or only its
    // owner, for a file that holds a password. A file that exists keeps its owner, group and mode.
    enum class NewFile { Shared, OwnerOnly };

    explicit SafeSave(const QString& path, NewFile newFile = NewFile::Shared);
    ~SafeSave();
    SafeSave(const SafeSave&) = delete;
    SafeSave& operator=(const SafeSave&) = delete;

    [[nodiscard]] std::optional<Failure> open();
    [[nodiscard]] std::optional<Failure> commit(const QByteArray& contents);
    void discard();

    QString path() const { return path_; }

    // For tests: the named steps of every save that follows ("create" the temporary file, "open" the
    // file itself to write it in place, "write", "sync", "rename") fail with the given system error
    // codes, the way a failing disk or a folder of another account makes them fail.
    static void failSteps(const QMap<QByteArray, int>& codes);

private:
    [[nodiscard]] Failure discardBecause(const QString& reason);

#ifdef Q_OS_WIN
    QSaveFile file_;
#else
    [[nodiscard]] std::optional<Failure> openInPlace(bool exists);
    [[nodiscard]] std::optional<Failure> replaceInPlace(const QByteArray& contents);

    QString target_; // the path with its symbolic links followed: the file replaced
    QString temporary_; // empty while the file is written in place
    int handle_ = -1;
#endif
    QString path_;
    NewFile newFile_;
};

// Opens and commits in one go, for callers with nothing to do in between.
[[nodiscard]] std::optional<Failure> saveWhole(
    const QString& path, const QByteArray& contents, SafeSave::NewFile newFile = SafeSave::NewFile::Shared);
