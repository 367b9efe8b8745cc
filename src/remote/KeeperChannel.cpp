#include "remote/KeeperChannel.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// The longest path a local socket may have: the system's 107 bytes (sun_path, less its closing NUL),
// less the byte that Qt keeps on Linux for the leading NUL of an abstract name, even for a path.
constexpr qsizetype longestSocketPath = 106;

} // namespace

std::optional<QString> runtimeSocketPath(const QString& prefix, const QString& serverFolder)
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QString canonical = QFileInfo(serverFolder).canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Md5).toHex();
    const QString path = runtime + QLatin1Char('/') + prefix + QString::fromLatin1(hash);
    if (runtime.isEmpty() || QFile::encodeName(path).size() > longestSocketPath)
        return std::nullopt;
    return path;
}

std::optional<QString> keeperSocketPath(const QString& serverFolder)
{
    return runtimeSocketPath(QStringLiteral("quillmont-keep-"), serverFolder);
}

QByteArray keeperLine(const QByteArrayList& fields)
{
    QByteArrayList encoded;
    for (const QByteArray& field : fields)
        encoded << field.toPercentEncoding();
    return encoded.join(' ') + '\n';
}

QByteArrayList keeperFields(const QByteArray& line)
{
    QByteArrayList fields = line.trimmed().split(' ');
    for (QByteArray& field : fields)
        field = QByteArray::fromPercentEncoding(field);
    return fields;
}
