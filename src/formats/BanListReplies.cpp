#include "formats/BanListReplies.h"

#include <QRegularExpression>

namespace {

// A length as the engine prints it, `%.3f min`, or "permanent".
std::optional<double> minutesOf(QByteArrayView text)
{
    if (text == "permanent")
        return 0.0;
    static const QRegularExpression printed(QStringLiteral("^(\\d+\\.\\d{3}) min$"));
    const QRegularExpressionMatch match = printed.match(QString::fromLatin1(text));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toDouble();
}

std::optional<BanEntry> idRow(QByteArrayView line, qsizetype number)
{
    const QByteArray numbered = QByteArray::number(number) + ' ';
    const qsizetype colon = line.lastIndexOf(" : ");
    if (!line.startsWith(numbered) || colon < numbered.size())
        return std::nullopt;
    const QByteArrayView id = line.sliced(numbered.size(), colon - numbered.size());
    const std::optional<double> minutes = minutesOf(line.sliced(colon + 3));
    if (id.isEmpty() || id.contains(' ') || !minutes)
        return std::nullopt;
    return BanEntry{id.toByteArray(), *minutes};
}

// `%3i.%3i.%3i.%3i`: each part right-aligned in three columns.
std::optional<BanEntry> addressRow(QByteArrayView line)
{
    static const QRegularExpression printed(
        QStringLiteral("^([ \\d]{3})\\.([ \\d]{3})\\.([ \\d]{3})\\.([ \\d]{3}) : (.*)$"));
    const QRegularExpressionMatch match = printed.match(QString::fromLatin1(line));
    if (!match.hasMatch())
        return std::nullopt;
    QByteArrayList parts;
    for (int i = 1; i <= 4; ++i) {
        const QString part = match.captured(i).trimmed();
        const QString aligned = part.rightJustified(3, QLatin1Char(' '));
        if (part.isEmpty() || aligned != match.captured(i) || part.toInt() > 255
            || (part.size() > 1 && part.startsWith(QLatin1Char('0'))))
            return std::nullopt;
        parts << part.toLatin1();
    }
    const std::optional<double> minutes = minutesOf(match.captured(5).toLatin1());
    if (!minutes)
        return std::nullopt;
    return BanEntry{parts.join('.'), *minutes};
}

QByteArray lengthText(double minutes)
{
    return minutes == 0 ? QByteArray("permanent") : QByteArray::number(minutes, 'f', 3) + " min";
}

} // namespace

BanListReply readBanListReply(QByteArrayView output, BanList list)
{
    BanListReply reply;
    reply.whole = output.endsWith('\n');
    const QByteArrayView heading = list == BanList::Ids ? "UserID filter list:" : "IP filter list:";
    static const QRegularExpression counted(QStringLiteral("^ (\\d+) entries$"));
    QByteArrayList lines = output.toByteArray().split('\n');
    lines.removeLast(); // after the last line end, or a line cut short
    bool empty = false;
    qsizetype firstNumber = 1; // the engine's 2015 code counted from 0
    for (const QByteArray& line : lines) {
        if (!reply.headed && line.startsWith(heading)) {
            const QByteArrayView rest = QByteArrayView(line).sliced(heading.size());
            const QRegularExpressionMatch count = counted.match(QString::fromLatin1(rest));
            empty = rest == " empty";
            reply.headed = empty || (list == BanList::Ids ? count.hasMatch() : rest.isEmpty());
            if (count.hasMatch())
                reply.announced = count.captured(1).toLongLong();
            if (reply.headed)
                continue;
        }
        if (reply.bans.isEmpty() && line.startsWith("0 "))
            firstNumber = 0;
        const std::optional<BanEntry> row = !reply.headed || empty ? std::nullopt
            : list == BanList::Ids                                 ? idRow(line, reply.bans.size() + firstNumber)
                                                                   : addressRow(line);
        if (row)
            reply.bans.append(*row);
        else
            reply.otherLines.append(line);
    }
    return reply;
}

QByteArray printedBanList(const QList<BanEntry>& bans, BanList list)
{
    if (bans.isEmpty())
        return list == BanList::Ids ? "UserID filter list: empty\n" : "IP filter list: empty\n";
    QByteArray printed = list == BanList::Ids
        ? QByteArray("UserID filter list: " + QByteArray::number(bans.size()) + " entries\n")
        : QByteArray("IP filter list:\n");
    qsizetype number = 0;
    for (const BanEntry& ban : bans) {
        if (list == BanList::Ids) {
            printed += QByteArray::number(++number) + ' ' + ban.entry;
        } else {
            QByteArrayList parts = ban.entry.split('.');
            for (QByteArray& part : parts)
                part = part.rightJustified(3, ' ');
            printed += parts.join('.');
        }
        printed += " : " + lengthText(ban.minutes) + '\n';
    }
    return printed;
}
