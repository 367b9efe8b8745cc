#include "standin_console.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

namespace {

// The console's words: blanks apart, quotes grouping, and { } ( ) ' , : words of their own.
QByteArrayList wordsOf(const QByteArray& line)
{
    QByteArrayList words;
    for (qsizetype at = 0; at < line.size();) {
        if (quint8(line[at]) <= ' ') {
            ++at;
        } else if (line[at] == '"') {
            const qsizetype close = line.indexOf('"', at + 1);
            words << line.mid(at + 1, (close < 0 ? line.size() : close) - at - 1);
            at = close < 0 ? line.size() : close + 1;
        } else if (QByteArrayView("{}()',:").contains(line[at])) {
            words << line.mid(at++, 1);
        } else {
            const qsizetype start = at;
            while (at < line.size() && quint8(line[at]) > ' ' && !QByteArrayView("{}()',:\"").contains(line[at]))
                ++at;
            words << line.mid(start, at - start);
        }
    }
    return words;
}

// A ban's length as the engine reads it: anything below 0.01 minutes is for good.
double minutesOf(const QByteArray& text)
{
    const double minutes = std::atof(text.constData());
    return minutes < 0.01 ? 0 : minutes;
}

QByteArray lengthOf(double minutes)
{
    return minutes == 0 ? QByteArray("permanent") : format("%.3f min", minutes);
}

// Up to four decimal numbers, parted by any one other character; the parts missing, and 0, are
// "any". Nothing when a part does not start with a digit; `rest` then holds the text from there.
std::optional<std::array<int, 4>> filterOf(const QByteArray& text, QByteArray& rest)
{
    std::array<int, 4> parts{};
    qsizetype at = 0;
    for (int& part : parts) {
        if (at >= text.size())
            break;
        if (!std::isdigit(quint8(text[at]))) {
            rest = text.mid(at);
            return std::nullopt;
        }
        for (part = 0; at < text.size() && std::isdigit(quint8(text[at])); ++at)
            part = part * 10 + (text[at] - '0');
        ++at;
    }
    return parts;
}

bool matches(const std::array<int, 4>& filter, const QByteArray& address)
{
    QByteArray rest;
    const std::optional<std::array<int, 4>> parts = filterOf(address.split(':').first(), rest);
    for (int i = 0; parts && i < 4; ++i) {
        if (filter[i] != 0 && filter[i] != (*parts)[i])
            return false;
    }
    return parts.has_value();
}

const QByteArray idUsage = "Usage:  banid <minutes> <uniqueid or #userid> { kick }\nUse 0 minutes for permanent\n";
const QByteArray ipUsage = "Usage: addip <minutes> <ipaddress>\nUse 0 minutes for permanent\n";

} // namespace

GameConsole::GameConsole(QByteArray serverIp, quint16 serverPort, QByteArray map, int maxPlayers, QList<Player> players)
    : ip(std::move(serverIp))
    , port(serverPort)
    , map_(std::move(map))
    , maxPlayers_(maxPlayers)
    , players_(std::move(players))
{
}

void GameConsole::readConfig(const QByteArray& config, const QByteArrayList& kept)
{
    for (const QByteArray& line : config.split('\n')) {
        const QByteArrayList words = wordsOf(line);
        if (words.size() >= 2 && !line.trimmed().startsWith("//") && !kept.contains(words.first()))
            settings.insert(words.first().toLower(), words.at(1));
    }
}

QByteArrayList GameConsole::run(const QByteArray& command, QByteArray& printedOnly)
{
    const QByteArrayList words = wordsOf(command);
    const QByteArray verb = words.value(0).toLower(), argument = words.value(1);
    if (verb == "status")
        return status();
    if (verb == "users")
        return users();
    if (verb == "maps")
        return maps(argument == "*" ? QByteArray() : argument);
    if (verb == "exec")
        return exec(argument);
    if (verb == "kick")
        return kick(words, printedOnly);
    if (verb == "banid")
        return banId(words, printedOnly);
    if (verb == "removeid")
        return removeId(words);
    if (verb == "listid")
        return listIds();
    if (verb == "writeid")
        return writeIds();
    if (verb == "addip")
        return addIp(words, printedOnly);
    if (verb == "removeip")
        return removeIp(words);
    if (verb == "listip")
        return listIps();
    if (verb == "writeip")
        return writeIps();
    if (verb == "say") // not to the remote console: the engine prints it itself
        printedOnly += setting("hostname") + ' ' + command.mid(command.indexOf(' ') + 1) + '\n';
    if (verb == "changelevel" && words.size() == 1)
        return {"changelevel <levelname> : continue game on a new level\n"};
    if (verb == "changelevel" && !QFile::exists(QStringLiteral("tfc/maps/%1.bsp").arg(QString::fromUtf8(argument))))
        return {"changelevel failed: '" + argument + "' not found on server.\n"};
    if (verb == "changelevel")
        map_ = argument;
    quitting_ = (verb == "quit" || verb == "exit") && words.size() == 1 && qgetenv("STANDIN_IGNORE_QUIT") != "1";
    if (settings.contains(verb) && words.size() == 1)
        return {"\"" + verb + "\" is \"" + settings.value(verb) + "\"\n"};
    if (settings.contains(verb)) // only the first word is the value
        settings.insert(verb, argument);
    return {};
}

QByteArrayList GameConsole::status() const
{
    QByteArrayList prints{"hostname:  " + setting("hostname") + '\n', "version :  48/1.1.2.7/Stdio 8684 secure  (20)\n",
        format("tcp/ip  :  %s:%d\n", ip.constData(), port), "map     :  " + map_ + " at: 0 x, 0 y, 0 z\n",
        format("players :  %d active (%d max)\n\n", int(players_.size()), maxPlayers_),
        "#      name userid uniqueid frag time ping loss adr\n"};
    for (const Player& player : players_) {
        const bool bot = player.address.isEmpty();
        prints << format("#%2d %8s %d %s", int(&player - players_.data()) + 1, ('"' + player.name + '"').constData(),
            player.userid, printedId(player.uniqueid).constData())
               << format(" %3d", player.frags) << format(" %02d:%02d", player.seconds / 60, player.seconds % 60)
               << format(" %4d  %3d", bot ? 0 : 50, bot ? 0 : 2) << (bot ? "\n" : ' ' + player.address + '\n');
    }
    return prints << format("%d users\n", int(players_.size()));
}

QByteArrayList GameConsole::users() const
{
    QByteArrayList prints{"userid : uniqueid : name\n", "------ : ---------: ----\n"};
    for (const Player& player : players_)
        prints << format(
            "%6i : %s : %s\n", player.userid, printedId(player.uniqueid).constData(), player.name.constData());
    return prints << format("%d users\n", int(players_.size()));
}

QByteArrayList GameConsole::maps(const QByteArray& prefix) const
{
    QByteArrayList prints{"-------------\n"};
    for (const QString& file : QDir(QStringLiteral("tfc/maps")).entryList({QStringLiteral("*.bsp")}, QDir::Files)) {
        if (file.startsWith(QString::fromUtf8(prefix)))
            prints << file.toUtf8() + '\n';
    }
    return prints;
}

// STANDIN_EXEC: "fails", the file not read; "keeps:NAME,...", those settings left as they were;
// "forgets:NAME,...", no such settings known.
QByteArrayList GameConsole::exec(const QByteArray& file)
{
    const QByteArray how = qgetenv("STANDIN_EXEC");
    QFile config(QStringLiteral("tfc/") + QString::fromUtf8(file));
    if (how == "fails" || !config.open(QIODevice::ReadOnly))
        return {"couldn't exec " + file + '\n'};
    const QByteArrayList named = how.mid(how.indexOf(':') + 1).split(',');
    readConfig(config.readAll(), named);
    for (const QByteArray& name : named) {
        if (how.startsWith("forgets:"))
            settings.remove(name);
    }
    return {};
}

// A kick prints nothing for the remote console, found or not.
QByteArrayList GameConsole::kick(const QByteArrayList& words, QByteArray& printedOnly)
{
    if (words.size() == 1)
        return {"usage:  kick < name > | < # userid >\n"};
    const bool byUserid = words.at(1).startsWith('#');
    const QByteArray target = words.at(1) == "#" ? words.value(2) : words.at(1).mid(byUserid);
    const auto player = std::find_if(players_.begin(), players_.end(), [&](const Player& p) {
        return byUserid ? QByteArray::number(p.userid) == target : p.name.compare(target, Qt::CaseInsensitive) == 0;
    });
    if (player != players_.end())
        drop(*player, "Kicked", printedOnly);
    return {};
}

QByteArrayList GameConsole::banId(const QByteArrayList& words, QByteArray& printedOnly)
{
    if (words.size() < 3 || words.size() > 8)
        return {idUsage};
    const double minutes = minutesOf(words.at(1));
    const bool kicking = words.size() > 3 && words.last().compare("kick", Qt::CaseInsensitive) == 0;
    QByteArray id = words.at(2);
    if (id.startsWith('#')) {
        const QByteArray userid = id == "#" ? words.value(3) : id.mid(1);
        const auto player = std::find_if(players_.begin(), players_.end(),
            [&](const Player& p) { return !p.address.isEmpty() && QByteArray::number(p.userid) == userid; });
        if (player == players_.end())
            return {"SV_BanId_f:  Couldn't find #userid " + userid + '\n'};
        id = player->uniqueid;
    } else if (id.toUpper().startsWith("STEAM_") || id.toUpper().startsWith("VALVE_")) {
        id = words.value(2) + ':' + words.value(4) + ':' + words.value(6);
    }
    id = printedId(id);
    const auto listed = std::find_if(
        idBans.begin(), idBans.end(), [&](const IdBan& ban) { return ban.id.compare(id, Qt::CaseInsensitive) == 0; });
    if (listed != idBans.end())
        listed->minutes = minutes;
    else
        idBans.append({id, minutes});
    const auto player = std::find_if(players_.begin(), players_.end(),
        [&](const Player& p) { return !p.address.isEmpty() && printedId(p.uniqueid) == id; });
    if (kicking && player != players_.end())
        drop(*player, "Kicked and banned", printedOnly);
    return {};
}

QByteArrayList GameConsole::removeId(const QByteArrayList& words)
{
    if (words.size() != 2 && words.size() != 6)
        return {"Usage:  removeid <uniqueid | #slotnumber>\n"};
    if (words.at(1).startsWith('#')) {
        const qsizetype slot = words.at(1).mid(1).toInt();
        if (slot < 1 || slot > idBans.size())
            return {"SV_RemoveId_f:  invalid slot #" + words.at(1).mid(1) + '\n'};
        return {"UserID filter removed for #" + words.at(1).mid(1) + ", id " + idBans.takeAt(slot - 1).id + '\n'};
    }
    const QByteArray id = words.size() == 6 ? words.at(1) + ':' + words.at(3) + ':' + words.at(5) : words.at(1);
    for (qsizetype i = 0; i < idBans.size(); ++i) {
        if (idBans.at(i).id.compare(id, Qt::CaseInsensitive) == 0)
            return {"UserID filter removed for " + idBans.takeAt(i).id + '\n'};
    }
    return {"removeid: couldn't find " + id + '\n'};
}

QByteArrayList GameConsole::listIds() const
{
    if (idBans.isEmpty())
        return {"UserID filter list: empty\n"};
    QByteArrayList prints{format("UserID filter list: %i entries\n", int(idBans.size()))};
    for (qsizetype i = 0; i < idBans.size(); ++i)
        prints << format("%i %s : ", int(i + 1), idBans.at(i).id.constData()) + lengthOf(idBans.at(i).minutes) + '\n';
    return prints;
}

QByteArrayList GameConsole::writeIds() const
{
    QFile file(QStringLiteral("tfc/banned.cfg"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {"Writing banned.cfg.\n", "Couldn't open banned.cfg\n"};
    for (const IdBan& ban : idBans) {
        if (ban.minutes == 0)
            file.write("banid 0.0 " + ban.id + '\n');
    }
    return {"Writing banned.cfg.\n"};
}

QByteArrayList GameConsole::addIp(const QByteArrayList& words, QByteArray& printedOnly)
{
    if (words.size() != 3)
        return {ipUsage};
    QByteArray rest;
    const std::optional<std::array<int, 4>> parts = filterOf(words.at(2), rest);
    if (!parts)
        return {"Bad filter address: " + rest + '\n', "Invalid IP address!\n", ipUsage};
    const auto listed = std::find_if(
        addressBans.begin(), addressBans.end(), [&](const AddressBan& ban) { return ban.parts == *parts; });
    if (listed != addressBans.end())
        listed->minutes = minutesOf(words.at(1));
    else
        addressBans.append({*parts, minutesOf(words.at(1))});
    for (const Player& player : QList<Player>(players_)) {
        if (!player.address.isEmpty() && matches(*parts, player.address))
            drop(player, "Added to banned list", printedOnly);
    }
    return {};
}

QByteArrayList GameConsole::removeIp(const QByteArrayList& words)
{
    QByteArray rest;
    const std::optional<std::array<int, 4>> parts = filterOf(words.value(1), rest);
    if (!parts || words.size() < 2)
        return {"Bad filter address: " + rest + '\n'};
    const qsizetype removed = addressBans.removeIf([&](const AddressBan& ban) { return ban.parts == *parts; });
    return {removed ? QByteArray("IP filter removed.\n") : "removeip: couldn't find " + words.at(1) + ".\n"};
}

QByteArrayList GameConsole::listIps() const
{
    if (addressBans.isEmpty())
        return {"IP filter list: empty\n"};
    QByteArrayList prints{"IP filter list:\n"};
    for (const AddressBan& ban : addressBans)
        prints << format("%3i.%3i.%3i.%3i : ", ban.parts[0], ban.parts[1], ban.parts[2], ban.parts[3])
                + lengthOf(ban.minutes) + '\n';
    return prints;
}

QByteArrayList GameConsole::writeIps() const
{
    QFile file(QStringLiteral("tfc/listip.cfg"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {"Writing listip.cfg.\n", "Couldn't open listip.cfg\n"};
    for (const AddressBan& ban : addressBans) {
        if (ban.minutes == 0)
            file.write(format("addip 0.0 %i.%i.%i.%i\n", ban.parts[0], ban.parts[1], ban.parts[2], ban.parts[3]));
    }
    return {"Writing listip.cfg.\n"};
}

// An id as the engine prints it: STEAM_0 whatever the universe, "_ID_LAN" while sv_lan is on, and
// "_ID_PENDING" for anything that is no id.
QByteArray GameConsole::printedId(const QByteArray& typed) const
{
    if (typed == "BOT")
        return typed;
    const QByteArray kind = typed.left(6).toUpper() == "VALVE_" ? "VALVE_" : "STEAM_";
    const QByteArrayList parts = typed.mid(6).split(':');
    const bool numbers = parts.size() == 3 && std::all_of(parts.begin(), parts.end(), [](const QByteArray& part) {
        return !part.isEmpty() && std::all_of(part.begin(), part.end(), [](char c) { return std::isdigit(quint8(c)); });
    });
    if (setting("sv_lan") == "1")
        return kind + "ID_LAN";
    return numbers ? kind + "0:" + parts.at(1) + ':' + parts.at(2) : kind + "ID_PENDING";
}

void GameConsole::drop(const Player& player, const char* reason, QByteArray& printedOnly)
{
    printedOnly += "Dropped " + player.name + " from server\nReason:  " + reason + '\n';
    const int userid = player.userid;
    players_.removeIf([userid](const Player& p) { return p.userid == userid; });
}
