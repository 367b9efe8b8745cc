#include "launch/ServerLog.h"

#include <QFile>
#include <QFileInfo>

namespace {

// A line of the server's is far shorter than this; a longer one is shown from where this starts.
constexpr qint64 longestLine = 4096;

} // namespace

QString lastLineOf(const QString& log)
{
    QFile file(log);
    if (!QFileInfo(log).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    file.seek(std::max<qint64>(0, file.size() - longestLine));
    const QByteArray end = file.read(longestLine).trimmed();
    return QString::fromUtf8(end.mid(end.lastIndexOf('\n') + 1)).trimmed();
}
