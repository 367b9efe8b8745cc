#include "formats/TextLines.h"

QByteArray toFileText(const QString& text)
{
    return text.toLocal8Bit();
}

QString fromFileText(QByteArrayView bytes)
{
    return QString::fromLocal8Bit(bytes);
}

bool holdsLineBreak(const QString& value)
{
    return value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n'));
}

Failure lineBreakRefused(const QString& path, TextField field)
{
    return Failure::cannotWrite(
        path, QStringLiteral("the setting %1 holds a line break, which would split its line.").arg(settingName(field)));
}

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
