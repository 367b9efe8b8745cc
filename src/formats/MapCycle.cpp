#include "formats/MapCycle.h"

#include "formats/TextLines.h"

#include <algorithm>

namespace {

// A map cycle of 10,000 lines takes some 200 KiB; one this large is no map cycle.
constexpr qint64 largestMapCycle = 16 << 20;
constexpr qsizetype longestInfo = 1023;

// The game reads the file as signed chars: every byte above 7F is below a blank, and parts words
// as blanks do.
bool isBlank(char c)
{
    return static_cast<signed char>(c) <= ' ';
}

bool standsAlone(char c)
{
    return c == '{' || c == '}' || c == '(' || c == ')' || c == '\'' || c == ',';
}

// A word as the game's parser gives it, and where it stands in the file.
struct Word {
    QByteArray text;
    qsizetype from = 0;
    qsizetype to = 0;
    bool unclosed = false;
};

// The game's parser: the next word from `at` on, or nothing at the file's end (a NUL ends it too).
std::optional<Word> nextWord(QByteArrayView bytes, qsizetype& at)
{
    const auto byte = [&](qsizetype i) { return i < bytes.size() ? bytes[i] : '\0'; };
    for (;;) {
        while (byte(at) != '\0' && isBlank(byte(at)))
            ++at;
        if (byte(at) == '\0')
            return std::nullopt;
        if (byte(at) != '/' || byte(at + 1) != '/')
            break;
        while (byte(at) != '\0' && byte(at) != '\n')
            ++at;
    }
    Word word{{}, at, at};
    if (byte(at) == '"') {
        ++at;
        while (byte(at) != '\0' && byte(at) != '"')
            word.text += byte(at++);
        if (byte(at) == '"')
            ++at;
        else
            word.unclosed = true;
    } else if (standsAlone(byte(at))) {
        word.text = QByteArray(1, byte(at++));
    } else {
        do
            word.text += byte(at++);
        while (!isBlank(byte(at)) && !standsAlone(byte(at)));
    }
    word.to = at;
    return word;
}

// Whether more than blanks follow on the line: a comment counts, and then the next line's first
// word is taken.
bool wordWaiting(QByteArrayView bytes, qsizetype at)
{
    for (; at < bytes.size() && bytes[at] != '\0' && bytes[at] != '\n'; ++at) {
        if (!QByteArrayView(" \t\v\f\r").contains(bytes[at]))
            return true;
    }
    return false;
}

qsizetype lineStart(QByteArrayView bytes, qsizetype at)
{
    return at == 0 ? 0 : bytes.first(at).lastIndexOf('\n') + 1;
}

qsizetype lineEndAfter(QByteArrayView bytes, qsizetype at)
{
    const qsizetype end = bytes.indexOf('\n', at);
    return end < 0 ? bytes.size() : end + 1;
}

// A line that holds a comment alone, which belongs to the map below it.
bool isCommentLine(QByteArrayView line)
{
    qsizetype at = 0;
    while (at < line.size() && line[at] != '\n' && isBlank(line[at]))
        ++at;
    return line.sliced(at).startsWith("//");
}

} // namespace

MapCycle::MapCycle(QByteArrayView bytes)
    : lineEnd_(lineEndOf(bytes).toByteArray())
{
    qsizetype at = 0, kept = 0;
    const qsizetype textEnd = bytes.contains('\0') ? bytes.indexOf('\0') : bytes.size();
    gaps_.append(QByteArray());
    while (const std::optional<Word> map = nextWord(bytes, at)) {
        if (map->text.isEmpty()) { // an empty quoted name ends the cycle for the game
            // and what follows it, on its line too, stays at the end
            if (!blocks_.isEmpty() && kept > map->from) {
                blocks_.last().bytes.chop(kept - map->from);
                kept = map->from;
            }
            break;
        }
        Placed placed{{map->text.left(longestMapName), std::nullopt}, map->from, map->to, true, map->unclosed};
        if (wordWaiting(bytes, at)) {
            if (const std::optional<Word> info = nextWord(bytes, at)) {
                if (!info->text.isEmpty())
                    placed.entry.info = info->text.left(longestInfo);
                placed.to = info->to;
                placed.alone = false;
                placed.unclosed = info->unclosed;
            }
        }
        const qsizetype first = lineStart(bytes, placed.from);
        // What follows a NUL the game never reads: it stays at the end.
        const qsizetype end = std::min(lineEndAfter(bytes, std::max(placed.to - 1, placed.from)), textEnd);
        if (!blocks_.isEmpty() && first < kept) { // on a line of the block before
            Block& block = blocks_.last();
            const qsizetype start = kept - block.bytes.size();
            block.bytes += bytes.sliced(kept, end - kept).toByteArray();
            block.placed.append({placed.entry, placed.from - start, placed.to - start, placed.alone, placed.unclosed});
            kept = end;
            continue;
        }
        // The comment lines directly above go with the map.
        qsizetype start = first;
        while (start > kept) {
            const qsizetype above = lineStart(bytes, start - 1);
            if (!isCommentLine(bytes.sliced(above, start - above)))
                break;
            start = above;
        }
        gaps_.last() += bytes.sliced(kept, start - kept).toByteArray();
        placed.from -= start;
        placed.to -= start;
        blocks_.append({bytes.sliced(start, end - start).toByteArray(), {placed}});
        gaps_.append(QByteArray());
        kept = end;
    }
    gaps_.last() += bytes.sliced(kept).toByteArray();
}

qsizetype MapCycle::size() const
{
    qsizetype count = 0;
    for (const Block& block : blocks_)
        count += block.placed.size();
    return count;
}

QList<MapCycle::Entry> MapCycle::entries() const
{
    QList<Entry> all;
    for (const Block& block : blocks_) {
        for (const Placed& placed : block.placed)
            all.append(placed.entry);
    }
    return all;
}

qsizetype MapCycle::part(qsizetype entry)
{
    qsizetype index = 0;
    for (; entry >= blocks_[index].placed.size(); ++index)
        entry -= blocks_[index].placed.size();
    const Block block = blocks_[index];
    if (block.placed.size() == 1)
        return index;
    blocks_.remove(index);
    // Each map on a line of its own: the first keeps what stood before it, the last what follows it.
    for (qsizetype i = 0; i < block.placed.size(); ++i) {
        const Placed& placed = block.placed[i];
        const bool first = i == 0, last = i == block.placed.size() - 1;
        const qsizetype from = first ? 0 : placed.from;
        QByteArray bytes = block.bytes.sliced(from, (last ? block.bytes.size() : placed.to) - from);
        if (!last)
            bytes += lineEnd_;
        blocks_.insert(
            index + i, {bytes, {{placed.entry, placed.from - from, placed.to - from, placed.alone, placed.unclosed}}});
        if (!first)
            gaps_.insert(index + i, QByteArray());
    }
    return index + entry;
}

void MapCycle::insert(qsizetype at, const QByteArray& map)
{
    if (at < size())
        part(at);
    const qsizetype index = at == 0 ? 0 : part(at - 1) + 1;
    blocks_.insert(index, {map + lineEnd_, {{{map, std::nullopt}, 0, map.size()}}});
    gaps_.insert(index, QByteArray());
}

void MapCycle::remove(qsizetype at)
{
    const qsizetype index = part(at);
    blocks_.remove(index);
    gaps_[index] += gaps_[index + 1];
    gaps_.remove(index + 1);
}

void MapCycle::move(qsizetype from, qsizetype to)
{
    part(to);
    const qsizetype source = part(from);
    blocks_.move(source, part(to));
}

QByteArray MapCycle::bytes() const
{
    QByteArray all = gaps_.first();
    for (qsizetype i = 0; i < blocks_.size(); ++i) {
        const Block& block = blocks_[i];
        const Placed& last = block.placed.last();
        // A map that ended the file, moved up, must not take the maps after it in: an open quote is
        // closed, and a map with a comment after it is given an empty info string, which the game
        // reads as none.
        const bool followed = i + 1 < blocks_.size();
        if (followed && last.unclosed)
            all += block.bytes.first(last.to) + '"' + block.bytes.sliced(last.to);
        else if (followed && last.alone && wordWaiting(block.bytes, last.to))
            all += block.bytes.first(last.to) + " \"\"" + block.bytes.sliced(last.to);
        else
            all += block.bytes;
        // A last line without its end, moved up, is given one.
        if (i + 1 < blocks_.size() && !all.endsWith('\n'))
            all += lineEnd_;
        all += gaps_[i + 1];
    }
    return all;
}

std::optional<QString> mapNameProblem(QByteArrayView name)
{
    const QString shown = QString::fromLatin1(name);
    const auto says = [&](const QString& why) { return QStringLiteral("The map name %1 %2").arg(shown, why); };
    if (name.isEmpty())
        return QStringLiteral("The map name is empty.");
    if (name.size() > longestMapName)
        return says(QStringLiteral("is %1 bytes long: the game takes at most 31 and would cut it.").arg(name.size()));
    if (name.contains(' '))
        return says(QStringLiteral("holds a blank, which the game takes as the end of the name."));
    if (const auto control
        = std::find_if(name.begin(), name.end(), [](char c) { return isControlCharacter(char16_t(quint8(c))); });
        control != name.end())
        return says(QStringLiteral("holds %1, which the game takes as a blank.")
                        .arg(controlCharacterName(char16_t(quint8(*control)))));
    if (name.contains('"'))
        return says(QStringLiteral("holds a quote, which groups words in the map cycle."));
    for (const char c : QByteArrayView("{}()',:")) {
        if (name.contains(c))
            return says(c == ':'
                    ? QStringLiteral("holds \":\", at which changelevel splits the name.")
                    : QStringLiteral("holds \"%1\", which the game takes as a word of its own.").arg(QLatin1Char(c)));
    }
    if (name.startsWith("//"))
        return says(QStringLiteral("starts with //, which the game takes as a comment."));
    if (std::any_of(name.begin(), name.end(), [](char c) { return c < 0x21 || c > 0x7e; }))
        return says(
            QStringLiteral("holds a character outside printable ASCII, which the game's maps cannot be named with."));
    return std::nullopt;
}

QString mapCyclePath(const QString& serverFolder)
{
    return serverFolder + QStringLiteral("/tfc/mapcycle.txt");
}

std::variant<QByteArray, Failure> readMapCycle(const QString& serverFolder)
{
    QByteArray bytes;
    if (auto failure
        = readServerFile(mapCyclePath(serverFolder), largestMapCycle, QStringLiteral("a map cycle"), bytes))
        return *failure;
    return bytes;
}
