#pragma once

// The stand-in server's console: the commands a remote console sends it, answered with the engine's
// words, over the settings, players, map and ban lists it keeps. It plays the protocol, not the game.

#include <QByteArrayList>
#include <QHash>
#include <QList>
#include <QString>

#include <array>

// printf's patterns, as bytes.
QByteArray format(const char* pattern, auto... values)
{
    return QString::asprintf(pattern, values...).toUtf8();
}

struct Player {
    QByteArray name;
    int userid;
    QByteArray uniqueid; // as the server prints it
    int frags;
    int seconds;
    QByteArray address; // none for a bot
};

class GameConsole {
public:
    GameConsole(QByteArray ip, quint16 port, QByteArray map, int maxPlayers, QList<Player> players);

    // Reads server.cfg's settings, all but those it keeps as they were.
    void readConfig(const QByteArray& config, const QByteArrayList& kept = {});
    // Runs a command: what the remote console gets back; what only the server's own output shows
    // goes to `printedOnly`.
    QByteArrayList run(const QByteArray& command, QByteArray& printedOnly);

    QByteArray setting(const QByteArray& name) const { return settings.value(name); }
    const QByteArray& map() const { return map_; }
    int maxPlayers() const { return maxPlayers_; }
    const QList<Player>& players() const { return players_; }
    bool quitting() const { return quitting_; }

private:
    struct IdBan {
        QByteArray id;
        double minutes;
    };
    struct AddressBan {
        std::array<int, 4> parts;
        double minutes;
    };

    QByteArrayList status() const;
    QByteArrayList users() const;
    QByteArrayList maps(const QByteArray& prefix) const;
    QByteArrayList exec(const QByteArray& file);
    QByteArrayList kick(const QByteArrayList& words, QByteArray& printedOnly);
    QByteArrayList banId(const QByteArrayList& words, QByteArray& printedOnly);
    QByteArrayList removeId(const QByteArrayList& words);
    QByteArrayList listIds() const;
    QByteArrayList writeIds() const;
    QByteArrayList addIp(const QByteArrayList& words, QByteArray& printedOnly);
    QByteArrayList removeIp(const QByteArrayList& words);
    QByteArrayList listIps() const;
    QByteArrayList writeIps() const;
    QByteArray printedId(const QByteArray& typed) const;
    void drop(const Player& player, const char* reason, QByteArray& printedOnly);

    QByteArray ip;
    quint16 port;
    QByteArray map_;
    int maxPlayers_;
    QList<Player> players_;
    QHash<QByteArray, QByteArray> settings;
    QList<IdBan> idBans;
    QList<AddressBan> addressBans;
    bool quitting_ = false;
};
