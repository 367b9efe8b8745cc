#include "formats/TextLines.h"

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

bool holdsLineBreak(const QString& value)
{
    return value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n'));
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
