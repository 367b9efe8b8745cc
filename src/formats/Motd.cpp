#include "formats/Motd.h"

#include "formats/TextLines.h"

#include <algorithm>

namespace {

// The game sends 1,536 bytes; a file this large is no message of the day.
constexpr qint64 largestMotd = 1 << 20;

} // namespace

Motd motdOf(QByteArrayView bytes, TextEncoding otherwise)
{
    // All ASCII says nothing of the set: the one the other files came in is taken.
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0; });
    const TextEncoding encoding = ascii ? otherwise : detectEncoding(bytes);
    QString text = decodeText(bytes, encoding);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return {bytes.toByteArray(), encoding, text};
}

std::variant<QByteArray, QString> motdBytes(const Motd& file, const QString& text)
{
    if (text.contains(QChar(0)))
        return QStringLiteral("The message holds a NUL byte, at which the game ends it: players would see nothing "
                              "after it.");
    if (text == file.text)
        return file.bytes;
    QString ended = text;
    if (lineEndOf(file.bytes) == "\r\n")
        ended.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    std::optional<QByteArray> bytes = encodeText(ended, file.encoding);
    if (!bytes)
        return QStringLiteral("The message holds a character that %1, the set the file is in, cannot hold.")
            .arg(encodingName(file.encoding));
    return *bytes;
}

QString motdPath(const QString& serverFolder)
{
    return serverFolder + QStringLiteral("/tfc/motd.txt");
}

std::variant<Motd, Failure> readMotd(const QString& serverFolder, TextEncoding otherwise)
{
    QByteArray bytes;
    if (auto failure
        = readServerFile(motdPath(serverFolder), largestMotd, QStringLiteral("a message of the day"), bytes))
        return *failure;
    return motdOf(bytes, otherwise);
}
