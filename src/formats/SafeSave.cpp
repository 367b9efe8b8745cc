#include "formats/SafeSave.h"

#include <QFileInfo>

namespace {

// Qt's own writability check asks the system whether this process may write, which root always
// may; a file the operator marked read-only must stay untouched all the same. (The "user" bits
// are that same question again, so only the file's own bits count here; on Windows they mirror
// the read-only attribute.)
bool markedReadOnly(const QFileInfo& target)
{
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return !(target.permissions() & anyWrite);
}

} // namespace

SafeSave::SafeSave(const QString& path)
    : file_(path)
{
}

std::optional<Failure> SafeSave::open()
{
    const QFileInfo target(path());
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        return Failure::cannotWrite(path(), QStringLiteral("the folder %1 does not exist.").arg(folder.fileName()));
    if (target.isDir())
        return Failure::cannotWrite(path(), QStringLiteral("a folder of that name is in the way."));
    if (target.exists() && markedReadOnly(target))
        return Failure::cannotWrite(path(), QStringLiteral("the file is read-only."));
    if (!file_.open(QIODevice::WriteOnly))
        return Failure::cannotWrite(path(), file_.errorString());
    return std::nullopt;
}

std::optional<Failure> SafeSave::commit(const QByteArray& contents)
{
    // A short write is no error to QSaveFile, and in Qt 6.4 commit() may report success after its
    // final flush failed; so every byte is checked and flushed here before the rename.
    if (file_.write(contents) != contents.size())
        return discardBecause(file_.errorString());
    if (!file_.flush())
        return discardBecause(file_.errorString());
    if (!file_.commit())
        return Failure::cannotWrite(path(), file_.errorString());
    return std::nullopt;
}

void SafeSave::discard()
{
    if (!file_.isOpen())
        return;
    file_.cancelWriting();
    file_.commit(); // with writing cancelled this only removes the temporary file
}

Failure SafeSave::discardBecause(const QString& reason)
{
    discard();
    return Failure::cannotWrite(path(), reason);
}

std::optional<Failure> saveWhole(const QString& path, const QByteArray& contents)
{
    SafeSave file(path);
    if (auto failure = file.open())
        return failure;
    return file.commit(contents);
}
