#pragma once

#include "formats/BanFiles.h"

#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>

#include <optional>

// The server's lists of bans as `listid` and `listip` print them over the remote console:
//   UserID filter list: 2 entries          IP filter list:
//   1 STEAM_0:0:123 : permanent            192.168.  1. 20 : permanent
//   2 STEAM_0:1:456 : 30.000 min            10.  0.  0.  1 : 30.000 min
// ("UserID filter list: empty", "IP filter list: empty" when there are none). The minutes are the
// length each ban was given, not what is left of it.
struct BanListReply {
    QList<BanEntry> bans; // addresses as "192.168.1.20"
    std::optional<qsizetype> announced; // listid's "N entries"
    bool headed = false; // the list's first line came
    bool whole = false; // it came to its last line's end
    QByteArrayList otherLines; // what else the server printed meanwhile
};

BanListReply readBanListReply(QByteArrayView output, BanList list);

// The engine's own lines for a list, as readBanListReply reads them back.
QByteArray printedBanList(const QList<BanEntry>& bans, BanList list);

// The server keeps at most this many entries in each list.
inline constexpr qsizetype mostBansKept = 32768;
