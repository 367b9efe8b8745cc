#pragma once

#include "remote/RemoteFailure.h"
#include "remote/ServerAddress.h"

#include <QByteArray>

#include <optional>

// What the whole program knows of each server it talks to, whichever client talks: the packets
// sent lately, the passwords refused lately, and the challenges received. Kept per server address
// (IPv4 address and port), for the thread the clients run in.

// Whose packets they are. The status line's queries have a share of the budget of their own, which
// commands and the console's questions cannot spend: a burst of commands must not make a server
// that answers look silent.
enum class PacketShare { StatusPoll, Other };

// Counts a packet about to be sent; refuses when the share has had as many as the budget allows.
[[nodiscard]] std::optional<RemoteFailure> spendPacket(const ServerAddress& server, PacketShare share);

// Refuses a password while the server has refused too many lately.
[[nodiscard]] std::optional<RemoteFailure> checkPasswordAttempts(const ServerAddress& server);
void notePasswordRefused(const ServerAddress& server);

// The challenges a server gave: the server query's 4 bytes and the remote console's number. The
// remote console's does not expire; a server that no longer takes a challenge says so.
struct KnownChallenges {
    QByteArray query;
    QByteArray rcon;
};
KnownChallenges& knownChallenges(const ServerAddress& server);
