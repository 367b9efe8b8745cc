#pragma once

#include "formats/Failure.h"

#include <QByteArray>
#include <QSaveFile>

#include <optional>

// Replaces a file whole or not at all: the new contents go to a temporary file in the same folder,
// which takes the old file's place in one rename only once every byte is on disk. Opening is a step
// of its own so that a caller can find out that the file cannot be written before it changes anything.
class SafeSave {
public:
    explicit SafeSave(const QString& path);

    [[nodiscard]] std::optional<Failure> open();
    [[nodiscard]] std::optional<Failure> commit(const QByteArray& contents);
    void discard();

    QString path() const { return file_.fileName(); }

private:
    [[nodiscard]] Failure discardBecause(const QString& reason);
    QString systemReason() const;
    [[nodiscard]] std::optional<Failure> keepOwnerAndMode();

    QSaveFile file_;
};

// Opens and commits in one go, for callers with nothing to do in between.
[[nodiscard]] std::optional<Failure> saveWhole(const QString& path, const QByteArray& contents);
