#pragma once

#include "remote/Result.h"

#include <QByteArray>
#include <QList>
#include <QMap>

#include <optional>
#include <variant>

// A server's state, from its answer to a server query. Texts are decoded as UTF-8, invalid bytes
// shown as U+FFFD.
struct ServerInfo {
    QString name;
    QString map;
    QString folder;
    QString game;
    QString version; // empty in the old-style reply
    int players = 0; // bots included
    int maxPlayers = 0;
    int bots = 0;
    bool passworded = false;
    bool secure = false;
};

// A player as the server query lists them. The name is kept as the bytes the server sent, so that
// it can be found again, byte for byte, in the output of the remote console's `status`.
struct PlayerInfo {
    QByteArray name;
    qint32 score = 0;
    float seconds = 0; // time connected
};

// Every packet a game server sends to a query or a remote console command, as read from its bytes.
namespace reply {

// 'I', or the old-style 'm' that some servers follow with an 'I'.
struct Info {
    ServerInfo info;
    bool oldStyle = false;
};
// 'D'
struct Players {
    QList<PlayerInfo> players;
};
// 'A': ask again with these 4 bytes appended.
struct QueryChallenge {
    QByteArray challenge;
};
// "challenge rcon N": the number's text, to be echoed exactly as received (it is unsigned 32-bit).
struct RconChallenge {
    QByteArray number;
};
// 'l': a piece of a command's output; there is no end marker, and it may be empty.
struct ConsoleOutput {
    QByteArray text;
};
// "Bad rcon_password.", also sent when the server has no remote console password at all.
struct PasswordRefused {
    bool noPasswordSet = false;
};
// '9': the challenge was wrong or never given; the command was not run.
struct ChallengeRefused {
    QByteArray reason;
};
// The server has banned this computer's address and answers everything with this.
struct Banned { };
// A piece of a packet longer than 1400 bytes, which the server cuts up.
struct SplitFragment {
    qint32 sequence = 0;
    int number = 0;
    int count = 0;
    QByteArray payload;
};

} // namespace reply

using ServerReply = std::variant<reply::Info, reply::Players, reply::QueryChallenge, reply::RconChallenge,
    reply::ConsoleOutput, reply::PasswordRefused, reply::ChallengeRefused, reply::Banned, reply::SplitFragment>;

// Reads one datagram from a server: any bytes give a reply or a failure that says what is wrong
// with them.
Result<ServerReply> parseServerReply(QByteArrayView datagram);

// Reads the datagrams of one exchange as they come, joining the fragments of split packets again in
// whatever order and how often they come.
class SplitPackets {
public:
    // The reply, never a fragment: for a fragment, nothing until the last of its packet's fragments
    // has come.
    Result<std::optional<ServerReply>> read(QByteArrayView datagram);
    // Why some packet is not whole yet; nothing when none is waiting for fragments.
    std::optional<Failure> missing() const;

private:
    Result<std::optional<ServerReply>> add(const reply::SplitFragment& fragment);

    QMap<qint32, QList<std::optional<QByteArray>>> waiting;
};
