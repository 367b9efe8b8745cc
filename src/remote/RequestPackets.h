#pragma once

#include "formats/Failure.h"

#include <QByteArray>

#include <optional>

// A2S_INFO, with the challenge of an 'A' reply appended when the server asked for one.
QByteArray infoRequest(const QByteArray& challenge = {});
// A2S_PLAYER, with the challenge of an 'A' reply; without one it asks the server for a challenge.
QByteArray playersRequest(const QByteArray& challenge = {});
// Asks for the number that remote console commands must carry.
QByteArray rconChallengeRequest();

// Why a remote console command cannot be sent with this password, if it cannot. The server drops
// packets longer than 511 bytes without a word; the limit is reckoned with the longest challenge
// there is, so that it is the same for every server. The password is sent in double quotes, which
// it therefore may not hold, and the server reads a packet only up to its first NUL, line break or
// FF byte.
std::optional<Failure> checkRconCommand(const QByteArray& password, const QByteArray& command);
// The command, for a challenge received from the server: `rcon CHALLENGE "PASSWORD" COMMAND`.
QByteArray rconCommand(const QByteArray& challenge, const QByteArray& password, const QByteArray& command);
