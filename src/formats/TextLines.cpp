#include "formats/TextLines.h"

#include <QFile>
#include <QFileInfo>

QList<QByteArrayView> splitLines(QByteArrayView bytes)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines.append(bytes.sliced(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.append(bytes.sliced(start));
    return lines;
}

std::optional<Failure> readPlainFile(const QString& path, qint64 limit, QByteArray& contents)
{
    QFile file(path);
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return Failure::cannotRead(path, QStringLiteral("it is not a plain file but a folder, device or pipe."));
    if (!file.open(QIODevice::ReadOnly))
        return Failure::cannotRead(path, file.errorString());
    // Asked for no more than the file holds: Qt sets aside every byte asked for before it reads.
    contents = file.read(std::min(file.size(), limit) + 1);
    if (file.error() != QFileDevice::NoError)
        return Failure::cannotRead(path, file.errorString());
    return std::nullopt;
}

std::optional<Failure> readServerFile(const QString& path, qint64 limit, const QString& kind, QByteArray& contents)
{
    contents.clear();
    if (!QFileInfo::exists(path))
        return std::nullopt;
    if (auto failure = readPlainFile(path, limit, contents))
        return failure;
    if (contents.size() > limit)
        return Failure::cannotRead(
            path, QStringLiteral("it is larger than %1 MiB, too large for %2.").arg(limit >> 20).arg(kind));
    return std::nullopt;
}

QList<QByteArrayView> linesWithEnds(QByteArrayView bytes)
{
    QList<QByteArrayView> lines;
    while (!bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        const qsizetype length = end < 0 ? bytes.size() : end + 1;
        lines.append(bytes.first(length));
        bytes = bytes.sliced(length);
    }
    return lines;
}

QByteArrayView lineEndOf(QByteArrayView bytes)
{
    const qsizetype end = bytes.indexOf('\n');
    if (end < 0)
        return lineEnd;
    return end > 0 && bytes[end - 1] == '\r' ? QByteArrayView("\r\n") : QByteArrayView("\n");
}

SafeSave::Contents contentsOf(const ServerSettings& settings)
{
    return settings.rcon_password.isEmpty() ? SafeSave::Contents::Plain : SafeSave::Contents::Password;
}

bool holdsLineBreak(const QString& value)
{
    return value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n'));
}

bool isControlCharacter(char16_t c)
{
    return c < 0x20 || c == 0x7F;
}

QString controlCharacterName(char16_t c)
{
    if (c == u'\r' || c == u'\n')
        return QStringLiteral("a line break");
    if (c == u'\t')
        return QStringLiteral("a tab");
    return QStringLiteral("U+%1").arg(int(c), 4, 16, QLatin1Char('0')).toUpper();
}

Failure valueRefused(const QString& path, TextField field, const QString& reason)
{
    return Failure::cannotWrite(path, settingName(field) + QLatin1Char(' ') + reason);
}

Failure cannotHold(const QString& path, TextField field, TextEncoding encoding)
{
    return valueRefused(path, field,
        QStringLiteral("holds characters that %1 cannot hold. Quillmont writes its files in %1, the "
                       "character set default.tfc came in, so that every other byte stays as it was.")
            .arg(encodingName(encoding)));
}
