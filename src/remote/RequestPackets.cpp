#include "remote/RequestPackets.h"

#include "settings/ServerSettings.h"

namespace {

const QByteArray header("\xff\xff\xff\xff");
// What a packet may hold after its 4-byte header; the server drops longer ones.
constexpr qsizetype largestPayload = 511;
// The longest challenge: an unsigned 32-bit number.
constexpr qsizetype longestChallenge = 10;
// Whether the bytes hold one at which the server stops reading a packet.
bool holdsPacketEnd(const QByteArray& bytes)
{
    return bytes.contains('\0') || bytes.contains('\n') || bytes.contains('\xff');
}

} // namespace

QByteArray infoRequest(const QByteArray& challenge)
{
    return header + QByteArray("TSource Engine Query", 21) + challenge;
}

QByteArray playersRequest(const QByteArray& challenge)
{
    return header + 'U' + (challenge.isEmpty() ? header : challenge);
}

QByteArray rconChallengeRequest()
{
    return header + "challenge rcon\n";
}

std::optional<Failure> checkRconCommand(const QByteArray& password, const QByteArray& command)
{
    const QString passwordName = settingName(&ServerSettings::rcon_password);
    if (password.contains('"'))
        return Failure{QStringLiteral("Not sent: %1 holds a double quote (\"), which the remote console cannot carry.")
                           .arg(passwordName)};
    for (const auto& [what, bytes] :
        {std::pair(passwordName, password), std::pair(QStringLiteral("the command"), command)}) {
        if (holdsPacketEnd(bytes))
            return Failure{QStringLiteral("Not sent: %1 holds a NUL byte, a line break or the byte FF, at which the "
                                          "server would cut it short.")
                               .arg(what)};
    }
    const qsizetype longest
        = largestPayload - rconCommand(QByteArray(longestChallenge, '0'), password, {}).size() + header.size();
    if (command.size() > longest)
        return Failure{QStringLiteral("Not sent: the command is %1 bytes long; with this password the server takes "
                                      "commands of at most %2 bytes.")
                           .arg(command.size())
                           .arg(std::max<qsizetype>(longest, 0))};
    return std::nullopt;
}

QByteArray rconCommand(const QByteArray& challenge, const QByteArray& password, const QByteArray& command)
{
    return header + "rcon " + challenge + " \"" + password + "\" " + command;
}
