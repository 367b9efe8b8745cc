#pragma once

#include "formats/Failure.h"
#include "formats/SafeSave.h"
#include "formats/TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

// The game server's two ban lists: player ids, kept in tfc/banned.cfg as `banid 0.0 STEAM_0:1:2345`
// lines, and IPv4 addresses, kept in tfc/listip.cfg as `addip 0.0 192.0.2.7` lines, as its writeid
// and writeip write them. The server runs a file only when a config it runs execs it. Quillmont
// edits these files line by line, every other byte kept, and never has the server rewrite them:
// writeid and writeip drop every comment and line of the operator's.
enum class BanList { Ids, Addresses };

// Where a list is kept: "tfc/banned.cfg", "tfc/listip.cfg"; and that file in a server folder.
QString banFileName(BanList list);
QString banFilePath(const QString& serverFolder, BanList list);

// Whether a player's unique id is one a ban can hold: STEAM_ or VALVE_, then three decimal numbers
// joined by ":", as STEAM_0:1:2345, and not the one account the server takes for "none". The ids
// of players who have none (STEAM_ID_LAN, STEAM_ID_PENDING, VALVE_ID_LAN, VALVE_ID_PENDING, HLTV,
// UNKNOWN, BOT) are not.
bool isUniqueId(QByteArrayView id);

// An id as the server prints, lists and compares it: the universe's digit is always 0
// (STEAM_1:0:123 is STEAM_0:0:123), the numbers without leading zeros; and anything that is no
// unique id is a pending one (STEAM_ID_PENDING, or VALVE_ID_PENDING without the STEAM_ prefix).
QByteArray printedId(QByteArrayView id);

// Why an id typed for a ban is no unique id it can hold; nothing when it is one.
std::optional<QString> banIdProblem(QByteArrayView id);

// Why an address typed for a ban is not one it can hold: four decimal numbers from 1 to 255 joined
// by dots, none of them 0, which the server takes as "any number". Nothing when it is one.
std::optional<QString> banAddressProblem(QByteArrayView address);

// A ban as a list or a file gives it: the player id as the server prints it, or the address as
// "192.0.2.7" (a 0 part standing for any number); and the length it was given, which the server
// keeps, not what is left of it.
struct BanEntry {
    QByteArray entry;
    double minutes = 0; // 0: permanent

    bool operator==(const BanEntry&) const = default;
};

// The bans a file gives the server when it runs it, in order: each line that holds one `banid` or
// `addip` command of the list's, read as the server reads it. Every other line is the operator's,
// and left alone.
QList<BanEntry> bansInFile(QByteArrayView bytes, BanList list);

// The file with a permanent ban's line added at its end, as the server writes it, or the file as
// it stands when the entry is banned for good in it already. Nothing when the entry is no id or
// address a ban can hold.
std::optional<QByteArray> withPermanentBan(QByteArrayView bytes, BanList list, QByteArrayView entry);
// The file without the lines that ban the entry, for good or for a time.
QByteArray withoutBan(QByteArrayView bytes, BanList list, QByteArrayView entry);

// A list's file in the server folder, its bytes and the bans they give: none when it does not exist.
struct BanFile {
    QByteArray bytes;
    QList<BanEntry> bans;
};
[[nodiscard]] std::variant<BanFile, Failure> readBanFile(const QString& serverFolder, BanList list);

// Adds a permanent ban's line to the list's file, in its character set, which is made, readable by
// its owner alone, when it does not exist; saved whole or not at all. Nothing is written when the
// entry is banned for good there already.
[[nodiscard]] SaveOutcome addPermanentBan(
    const QString& serverFolder, BanList list, const QByteArray& entry, TextEncoding encoding);
// Takes every line that bans the entry out of the list's file, so that the next start does not ban
// it again; nothing is written when none does.
[[nodiscard]] SaveOutcome removePermanentBan(const QString& serverFolder, BanList list, const QByteArray& entry);

// The ban files that exist in a server folder, as server.cfg execs them: "banned.cfg" first.
QByteArrayList banFilesToExec(const QString& serverFolder);

// What to tell of each ban file that exists but that server.cfg as it stands does not exec: the
// server would start without its bans.
QStringList banFilesNotLoaded(const QString& serverFolder, QByteArrayView serverCfg);
