#pragma once

#include <QByteArray>
#include <QList>

// A player as the remote console's `status` lists them: the name as the bytes the server printed,
// the user id that `kick # ID` takes, the unique id that a ban holds ("STEAM_0:1:1234", or "BOT",
// "STEAM_ID_LAN" and the like for players that have none a ban could hold), the ping and the
// packet loss, and the address and port the player plays from (none for a bot).
struct StatusPlayer {
    QByteArray name;
    int userid = 0;
    QByteArray uniqueid;
    int ping = 0;
    int loss = 0;
    QByteArray address;

    bool operator==(const StatusPlayer&) const = default;
};

// The players of `status` output, in its order; lines that are not a player's, or whose user id
// does not fit an int, are passed over.
// The server prints each name in double quotes without escaping any it holds, so a name ends at
// the last double quote that the rest of a player's line follows.
QList<StatusPlayer> playersInStatus(QByteArrayView output);
