#include "formats/BanFiles.h"

#include "formats/ConsoleText.h"
#include "formats/TextLines.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <limits>

namespace {

// 100,000 lines of bans take about 3 MiB; a file this large is no ban file.
constexpr qint64 largestBanFile = 16 << 20;

// Both prefixes, in any case, make the server join an id's five words into one.
constexpr auto idPrefixes = std::to_array<QByteArrayView>({"STEAM_", "VALVE_"});

// The first six bytes, where an id's prefix stands.
QByteArrayView prefixOf(QByteArrayView id)
{
    return id.first(std::min<qsizetype>(id.size(), 6));
}

bool hasIdPrefix(QByteArrayView id)
{
    return std::any_of(idPrefixes.begin(), idPrefixes.end(),
        [id](QByteArrayView prefix) { return prefixOf(id).compare(prefix, Qt::CaseInsensitive) == 0; });
}

// A decimal number the server reads into 32 bits.
std::optional<quint32> decimal(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > 10
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const qulonglong value = digits.toULongLong();
    if (value > std::numeric_limits<quint32>::max())
        return std::nullopt;
    return quint32(value);
}

// The account an id names, the way the server reads STEAM_X:Y:Z: 2Z + Y in 32 bits, X dropped; 0,
// the server's "none", when the id is not three numbers.
quint32 accountOf(QByteArrayView id)
{
    if (!hasIdPrefix(id))
        return 0;
    // Read in place: a ban file of 100,000 lines holds as many ids.
    QByteArrayView rest = id.sliced(6);
    std::array<quint32, 3> numbers{};
    for (qsizetype i = 0; i < 3; ++i) {
        const qsizetype end = i < 2 ? rest.indexOf(':') : rest.size();
        const std::optional<quint32> number = end < 0 ? std::nullopt : decimal(rest.first(end));
        if (!number)
            return 0;
        numbers[i] = *number;
        rest = rest.sliced(std::min(end + 1, rest.size()));
    }
    return numbers[2] * 2 + numbers[1];
}

// The engine's `atof`, which banid and addip read a length with: anything below 0.01 minutes is
// for good.
double minutesOf(const QByteArray& text)
{
    const double minutes = std::atof(text.constData());
    return minutes < 0.01 ? 0 : minutes;
}

// An address as banid's sibling addip reads it: up to four decimal numbers parted by any one other
// character, a missing part counting as 0; nothing when a part does not start with a digit. Each
// part is kept in a byte.
std::optional<std::array<quint8, 4>> filterOf(QByteArrayView text)
{
    std::array<quint8, 4> parts{};
    qsizetype at = 0;
    for (quint8& part : parts) {
        if (at >= text.size() && &part != parts.data())
            break;
        if (at >= text.size() || text[at] < '0' || text[at] > '9')
            return std::nullopt;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
            part = quint8(part * 10 + (text[at] - '0'));
        ++at;
    }
    return parts;
}

QByteArray addressText(const std::array<quint8, 4>& parts)
{
    QByteArray text;
    for (const quint8 part : parts)
        text += (text.isEmpty() ? "" : ".") + QByteArray::number(part);
    return text;
}

// An entry as the lists compare them, or nothing when it is none the list can hold.
std::optional<QByteArray> listedForm(BanList list, QByteArrayView entry)
{
    if (list == BanList::Ids)
        return printedId(entry);
    const std::optional<std::array<quint8, 4>> parts = filterOf(entry);
    return parts ? std::optional(addressText(*parts)) : std::nullopt;
}

// The ban a command gives: `banid MINUTES ID`, whose id the server joins from its five words, or
// `addip MINUTES ADDRESS`. A ban by user id (`banid 0 #12`) holds no player before the server runs.
std::optional<BanEntry> banOf(const QByteArrayList& words, BanList list)
{
    const bool ids = list == BanList::Ids;
    const bool counted = ids ? words.size() >= 3 && words.size() <= 8 : words.size() == 3;
    if (!counted || words.first().compare(ids ? "banid" : "addip", Qt::CaseInsensitive) != 0
        || (ids && words.at(2).startsWith('#')))
        return std::nullopt;
    const QByteArray entry
        = ids && hasIdPrefix(words.at(2)) ? words.at(2) + ':' + words.value(4) + ':' + words.value(6) : words.at(2);
    if (std::optional<QByteArray> listed = listedForm(list, entry))
        return BanEntry{*listed, minutesOf(words.at(1))};
    return std::nullopt;
}

// The ban of a line that holds one command, and that command a ban.
std::optional<BanEntry> banOfLine(QByteArrayView line, BanList list)
{
    std::optional<BanEntry> ban;
    int commands = 0;
    for (const QByteArrayView command : consoleCommands(line)) {
        const QByteArrayList words = consoleWords(command);
        if (words.isEmpty())
            continue;
        ban = ++commands == 1 ? banOf(words, list) : std::nullopt;
    }
    return ban;
}

// Why the entry is none that a permanent ban of the list can hold.
std::optional<QString> entryProblem(BanList list, QByteArrayView entry)
{
    if (list == BanList::Addresses)
        return banAddressProblem(entry);
    // An id is taken in any case and any universe, as the server takes it.
    return isUniqueId(printedId(entry)) ? std::nullopt : banIdProblem(entry);
}

} // namespace

QString banFileName(BanList list)
{
    return list == BanList::Ids ? QStringLiteral("tfc/banned.cfg") : QStringLiteral("tfc/listip.cfg");
}

QString banFilePath(const QString& serverFolder, BanList list)
{
    return serverFolder + QLatin1Char('/') + banFileName(list);
}

bool isUniqueId(QByteArrayView id)
{
    const bool upperPrefix = std::find(idPrefixes.begin(), idPrefixes.end(), prefixOf(id)) != idPrefixes.end();
    return upperPrefix && accountOf(id) != 0;
}

QByteArray printedId(QByteArrayView id)
{
    const QByteArray kind = prefixOf(id).compare("STEAM_", Qt::CaseInsensitive) == 0 ? "STEAM_" : "VALVE_";
    const quint32 account = accountOf(id);
    if (account == 0)
        return kind + "ID_PENDING";
    return kind + "0:" + QByteArray::number(account % 2) + ':' + QByteArray::number(account / 2);
}

std::optional<QString> banIdProblem(QByteArrayView id)
{
    if (isUniqueId(id))
        return std::nullopt;
    return QStringLiteral("%1 is no unique id that a ban can hold: STEAM_ or VALVE_ and three numbers joined by "
                          "colons, as STEAM_0:1:2345.")
        .arg(QString::fromLatin1(id));
}

std::optional<QString> banAddressProblem(QByteArrayView address)
{
    const QString typed = QString::fromLatin1(address);
    const QByteArrayList parts = address.toByteArray().split('.');
    if (parts.size() != 4)
        return QStringLiteral("%1 is no IPv4 address: a ban takes four numbers joined by dots, as 198.51.100.7.")
            .arg(typed);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const std::optional<quint32> part = decimal(parts[i]);
        if (part == 0u)
            return QStringLiteral("The part %1 of %2 is 0, which the server takes as any number: the ban would hold "
                                  "every address that matches the other parts.")
                .arg(i + 1)
                .arg(typed);
        if (!part || *part > 255 || parts[i].startsWith('0'))
            return QStringLiteral("The part %1 of %2 is no number from 1 to 255 without leading zeros.")
                .arg(i + 1)
                .arg(typed);
    }
    return std::nullopt;
}

QList<BanEntry> bansInFile(QByteArrayView bytes, BanList list)
{
    QList<BanEntry> bans;
    for (const QByteArrayView line : linesWithEnds(bytes)) {
        if (std::optional<BanEntry> ban = banOfLine(line, list))
            bans.append(*ban);
    }
    return bans;
}

std::optional<QByteArray> withPermanentBan(QByteArrayView bytes, BanList list, QByteArrayView entry)
{
    if (entryProblem(list, entry))
        return std::nullopt;
    const BanEntry permanent{*listedForm(list, entry), 0};
    if (bansInFile(bytes, list).contains(permanent))
        return bytes.toByteArray();
    QByteArray file = bytes.toByteArray();
    if (!file.isEmpty() && !file.endsWith('\n'))
        file += lineEndOf(bytes);
    return file + (list == BanList::Ids ? "banid 0.0 " : "addip 0.0 ") + permanent.entry + lineEndOf(bytes);
}

QByteArray withoutBan(QByteArrayView bytes, BanList list, QByteArrayView entry)
{
    const std::optional<QByteArray> removed = listedForm(list, entry);
    QByteArray file;
    for (const QByteArrayView line : linesWithEnds(bytes)) {
        const std::optional<BanEntry> ban = banOfLine(line, list);
        if (!ban || ban->entry != removed)
            file += line;
    }
    return file;
}

std::variant<BanFile, Failure> readBanFile(const QString& serverFolder, BanList list)
{
    BanFile file;
    if (auto failure
        = readServerFile(banFilePath(serverFolder, list), largestBanFile, QStringLiteral("a ban list"), file.bytes))
        return *failure;
    file.bans = bansInFile(file.bytes, list);
    return file;
}

namespace {

// Reads a list's file, changes it, and saves it when that changed it.
SaveOutcome editBanFile(const QString& serverFolder, BanList list,
    const std::function<std::variant<QByteArray, Failure>(const QByteArray&)>& edit)
{
    // The edit reads the bans itself: a file of 100,000 lines is read through once less.
    QByteArray before;
    if (auto failure
        = readServerFile(banFilePath(serverFolder, list), largestBanFile, QStringLiteral("a ban list"), before))
        return *failure;
    const std::variant<QByteArray, Failure> after = edit(before);
    if (const Failure* failure = std::get_if<Failure>(&after))
        return *failure;
    if (std::get<QByteArray>(after) == before)
        return Saved{};
    return saveWhole(banFilePath(serverFolder, list), std::get<QByteArray>(after));
}

} // namespace

SaveOutcome addPermanentBan(const QString& serverFolder, BanList list, const QByteArray& entry, TextEncoding encoding)
{
    return editBanFile(serverFolder, list, [&](const QByteArray& before) -> std::variant<QByteArray, Failure> {
        if (const std::optional<QString> problem = entryProblem(list, entry))
            return Failure::cannotWrite(banFilePath(serverFolder, list), *problem);
        const std::optional<QByteArray> after = withPermanentBan(before, list, entry);
        // The line added is ASCII, which every set Quillmont writes in holds.
        return before + *encodeText(QString::fromLatin1(after->sliced(before.size())), encoding);
    });
}

SaveOutcome removePermanentBan(const QString& serverFolder, BanList list, const QByteArray& entry)
{
    return editBanFile(serverFolder, list,
        [&](const QByteArray& before) -> std::variant<QByteArray, Failure> { return withoutBan(before, list, entry); });
}

QByteArrayList banFilesToExec(const QString& serverFolder)
{
    QByteArrayList files;
    for (const BanList list : {BanList::Ids, BanList::Addresses}) {
        if (QFileInfo(banFilePath(serverFolder, list)).isFile())
            files.append(banFileName(list).section(QLatin1Char('/'), 1).toLatin1());
    }
    return files;
}

QStringList banFilesNotLoaded(const QString& serverFolder, QByteArrayView serverCfg)
{
    QByteArrayList executed;
    for (const QByteArrayView command : consoleCommands(serverCfg)) {
        const QByteArrayList words = consoleWords(command);
        if (words.size() == 2 && words.first().compare("exec", Qt::CaseInsensitive) == 0)
            executed.append(words.at(1).toLower());
    }
    QStringList warnings;
    for (const QByteArray& file : banFilesToExec(serverFolder)) {
        if (!executed.contains(file))
            warnings.append(QStringLiteral("tfc/%1 is not loaded by server.cfg: press Write Config before the next "
                                           "start.")
                                .arg(QString::fromLatin1(file)));
    }
    return warnings;
}
