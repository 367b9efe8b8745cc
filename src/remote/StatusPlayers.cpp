#include "remote/StatusPlayers.h"

#include "formats/Numbers.h"

#include <QRegularExpression>

QList<StatusPlayer> playersInStatus(QByteArrayView output)
{
    // "# 1 "NAME" USERID UNIQUEID FRAGS TIME PING LOSS", then the address for people, not bots;
    // the name is padded on the left to 8 characters, its quotes included.
    static const QRegularExpression player(
        QStringLiteral(R"re(^#\s*\d+\s+"(.*)" (\d+) (\S+) +-?\d+ +\d+(?::\d\d){1,2} +(\d+) +(\d+)(?: +(\S+))?\r?$)re"));
    QList<StatusPlayer> players;
    // Read as Latin-1, every byte is one character, and the name comes back byte for byte.
    for (const QString& line : QString::fromLatin1(output).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = player.match(line);
        const std::optional<int> userid = numberIn<int>(match.captured(2));
        const std::optional<int> ping = numberIn<int>(match.captured(4));
        const std::optional<int> loss = numberIn<int>(match.captured(5));
        // A user id that does not fit is no player's that `kick #` could name.
        if (match.hasMatch() && userid && ping && loss)
            players.append({match.captured(1).toLatin1(), *userid, match.captured(3).toLatin1(), *ping, *loss,
                match.captured(6).toLatin1()});
    }
    return players;
}
