#include "launch/ServerLog.h"

#include <QFile>

#ifndef Q_OS_WIN
#include "formats/OwnFile.h"

#include <fcntl.h>
#endif

namespace {

// A line of the server's is far shorter than this; a longer one is shown from where this starts.
constexpr qint64 longestLine = 4096;

// Only the log as Quillmont keeps it is read: a plain file of this account's own, never a pipe
// that would keep the window waiting.
bool openLog(QFile& file)
{
#ifdef Q_OS_WIN
    return file.open(QIODevice::ReadOnly);
#else
    const std::variant<int, QString> opened = openOwnFile(file.fileName(), O_RDONLY);
    return std::holds_alternative<int>(opened)
        && file.open(std::get<int>(opened), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
#endif
}

} // namespace

QString lastLineOf(const QString& log)
{
    QFile file(log);
    if (log.isEmpty() || !openLog(file))
        return {};
    file.seek(std::max<qint64>(0, file.size() - longestLine));
    const QByteArray end = file.read(longestLine).trimmed();
    return QString::fromUtf8(end.mid(end.lastIndexOf('\n') + 1)).trimmed();
}
