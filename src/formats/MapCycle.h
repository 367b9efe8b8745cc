#pragma once

#include "formats/Failure.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

// The game's map cycle, tfc/mapcycle.txt, read as the game reads it: words parted by blanks, `//`
// at a word's start beginning a comment to the line's end, quotes grouping, and `{ } ( ) ' ,` words
// of their own. Each map's name may be followed, on its line, by one more word, its info string
// (`"\minplayers\4\maxplayers\12\"`); a third word starts another map.
//
// Each map is kept with the lines it stands on and the comment lines directly above it, so that it
// moves with them; every other byte stays where it is. A map that shares its line with another is
// given a line of its own, in the file's line end, only when it is moved or removed.
class MapCycle {
public:
    struct Entry {
        QByteArray map; // as the game takes it: cut to 31 bytes
        std::optional<QByteArray> info; // cut to 1023 bytes
    };

    explicit MapCycle(QByteArrayView bytes = {});

    QList<Entry> entries() const;
    qsizetype size() const;

    // The map goes in at that place, on a line of its own; the name is not checked here.
    void insert(qsizetype at, const QByteArray& map);
    void remove(qsizetype at);
    void move(qsizetype from, qsizetype to);

    QByteArray bytes() const;

private:
    // An entry's bytes as they stand in the file, and where in them its words are (for a block of
    // several entries, which is parted when one of them is edited).
    struct Placed {
        Entry entry;
        qsizetype from; // the map's first byte
        qsizetype to; // past the last word's last byte
        // No info string was read after the name: a comment after it on its line would have the
        // game take the next map's name for one.
        bool alone = true;
        // The last word is a quote that the file's end closed: it would take in every map after it.
        bool unclosed = false;
    };
    struct Block {
        QByteArray bytes;
        QList<Placed> placed;
    };

    // Gives each entry of the entry's block a block of its own; the block's index.
    qsizetype part(qsizetype entry);

    // gaps_[i] stands before blocks_[i]; the last after them all.
    QList<QByteArray> gaps_;
    QList<Block> blocks_;
    QByteArray lineEnd_;
};

inline constexpr qsizetype longestMapName = 31;

// Why a map name typed for the cycle would not work: the game cuts it, parts it, takes it for a
// comment, or `changelevel` splits it. Nothing when it is a name the cycle can hold.
std::optional<QString> mapNameProblem(QByteArrayView name);

// tfc/mapcycle.txt in a server folder, and its bytes; none when it does not exist.
QString mapCyclePath(const QString& serverFolder);
[[nodiscard]] std::variant<QByteArray, Failure> readMapCycle(const QString& serverFolder);
