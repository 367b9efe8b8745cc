#include "remote/ServerReplies.h"

#include "formats/Numbers.h"

#include <QRegularExpression>
#include <QtEndian>

namespace {

// The longest datagram a server sends; longer packets arrive cut into split fragments.
constexpr qsizetype largestDatagram = 1400;
// More split packets than this in pieces at the same time is not a server answering one request.
constexpr qsizetype mostSplitPackets = 16;
// A player's time connected is shown in whole seconds, which an int holds.
constexpr float longestTimeConnected = 2147483648.0F;

constexpr QByteArrayView packetHeader("\xff\xff\xff\xff", 4);
constexpr QByteArrayView splitHeader("\xfe\xff\xff\xff", 4);

// Reads a packet's fields from the front, never past its end. The first field that is not there
// makes the failure; every read after it gives zero.
class Reader {
public:
    explicit Reader(QByteArrayView packet)
        : bytes(packet)
    {
    }

    quint8 byte(const char* what)
    {
        const QByteArrayView field = take(1, what);
        return field.isEmpty() ? 0 : quint8(field.front());
    }
    quint16 uint16(const char* what) { return number<quint16>(what); }
    qint32 int32(const char* what) { return number<qint32>(what); }
    float float32(const char* what) { return number<float>(what); }

    QByteArray string(const char* what)
    {
        const qsizetype end = reason ? -1 : bytes.indexOf('\0', at);
        if (end < 0) {
            fail(QStringLiteral("the %1 has no NUL byte at its end").arg(QLatin1StringView(what)));
            return {};
        }
        return take(end + 1 - at, what).chopped(1).toByteArray();
    }

    QByteArrayView take(qsizetype size, const char* what)
    {
        if (!reason && size > bytes.size() - at)
            fail(QStringLiteral("it ends before the %1").arg(QLatin1StringView(what)));
        if (reason)
            return {};
        at += size;
        return bytes.sliced(at - size, size);
    }

    QByteArrayView rest() { return take(bytes.size() - at, ""); }
    bool atEnd() const { return at == bytes.size(); }

    // Nothing may follow the last field but, in text packets, the NUL byte the server adds.
    void expectEnd(const char* after, bool nulAllowed = false)
    {
        if (!reason && nulAllowed && !atEnd() && bytes.at(at) == '\0')
            ++at;
        if (!reason && !atEnd())
            fail(QStringLiteral("%1 bytes follow the %2").arg(bytes.size() - at).arg(QLatin1StringView(after)));
    }

    void fail(const QString& why)
    {
        if (!reason)
            reason = Failure{why};
    }

    // Says what is wrong in words of the whole packet rather than of the field it ends in.
    void failInstead(const QString& why) { reason = Failure{why}; }

    const std::optional<Failure>& failure() const { return reason; }

private:
    template <typename T> T number(const char* what)
    {
        const QByteArrayView field = take(sizeof(T), what);
        return field.isEmpty() ? T() : qFromLittleEndian<T>(field.data());
    }

    QByteArrayView bytes;
    qsizetype at = 0;
    std::optional<Failure> reason;
};

QString text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

// The texts that both kinds of server info hold in this order.
void readNames(Reader& in, ServerInfo& info)
{
    info.name = text(in.string("server name"));
    info.map = text(in.string("map"));
    info.folder = text(in.string("game folder"));
    info.game = text(in.string("game name"));
}

// The reply to A2S_INFO that current servers send.
ServerReply info(Reader& in)
{
    ServerInfo info;
    in.byte("protocol version");
    readNames(in, info);
    in.uint16("app id");
    info.players = in.byte("player count");
    info.maxPlayers = in.byte("player limit");
    info.bots = in.byte("bot count");
    in.byte("server type");
    in.byte("operating system");
    info.passworded = in.byte("password flag");
    info.secure = in.byte("VAC flag");
    info.version = text(in.string("version"));
    const quint8 extras = in.atEnd() ? 0 : in.byte("extra data flags");
    if (extras & 0x80)
        in.uint16("game port");
    if (extras & 0x10)
        in.take(8, "Steam id");
    if (extras & 0x40) {
        in.uint16("spectator port");
        in.string("spectator server name");
    }
    if (extras & 0x20)
        in.string("keywords");
    if (extras & 0x01)
        in.take(8, "game id");
    in.expectEnd("server's details");
    return reply::Info{info, false};
}

// The reply of old servers, and of some that send it before the current one.
ServerReply oldInfo(Reader& in)
{
    ServerInfo info;
    in.string("server address");
    readNames(in, info);
    info.players = in.byte("player count");
    info.maxPlayers = in.byte("player limit");
    in.byte("protocol version");
    in.byte("server type");
    in.byte("operating system");
    info.passworded = in.byte("password flag");
    if (in.byte("mod flag")) {
        in.string("mod's web address");
        in.string("mod's download address");
        in.string("mod's empty field");
        in.int32("mod's version");
        in.int32("mod's size");
        in.byte("mod's server-only flag");
        in.byte("mod's client library flag");
    }
    info.secure = in.byte("VAC flag");
    info.bots = in.byte("bot count");
    in.expectEnd("server's details");
    return reply::Info{info, true};
}

ServerReply players(Reader& in)
{
    reply::Players players;
    const int count = in.byte("player count");
    for (int number = 1; number <= count && !in.failure(); ++number) {
        in.byte("player's index");
        PlayerInfo& player = players.players.emplaceBack();
        player.name = in.string("player's name");
        player.score = in.int32("player's score");
        player.seconds = in.float32("player's time");
        if (in.failure())
            in.failInstead(QStringLiteral("it ends inside player %1 of the %2 it counts").arg(number).arg(count));
        else if (!(player.seconds >= 0 && player.seconds < longestTimeConnected)) // NaN too
            in.fail(QStringLiteral("the time connected of player %1 of the %2 it counts is %3 seconds, not from 0 to "
                                   "2147483647")
                        .arg(number)
                        .arg(count)
                        .arg(player.seconds));
    }
    in.expectEnd("players it counts");
    return players;
}

ServerReply rconChallenge(Reader& in)
{
    static const QRegularExpression challenge(QStringLiteral("^challenge rcon ([0-9]{1,10})\n\\z"));
    const QByteArray line = in.string("challenge");
    in.expectEnd("challenge");
    const QRegularExpressionMatch match = challenge.match(QString::fromLatin1(line));
    if (!in.failure() && !numberIn<quint32>(match.captured(1)))
        in.fail(QStringLiteral("it is not a remote console challenge with a number from 0 to 4294967295"));
    return reply::RconChallenge{match.captured(1).toLatin1()};
}

// Remote console output, which also brings the refusals and the ban.
ServerReply output(Reader& in)
{
    const QByteArray text = in.string("output");
    in.expectEnd("output", true);
    if (text == "Bad rcon_password.\n")
        return reply::PasswordRefused{false};
    if (text == "Bad rcon_password.\nNo password set for this server.\n")
        return reply::PasswordRefused{true};
    if (text == "You have been banned from this server.\n")
        return reply::Banned{};
    return reply::ConsoleOutput{text};
}

ServerReply splitFragment(Reader& in)
{
    reply::SplitFragment fragment;
    fragment.sequence = in.int32("packet number");
    const quint8 numbers = in.byte("fragment number");
    fragment.number = numbers >> 4;
    fragment.count = numbers & 0x0f;
    fragment.payload = in.rest().toByteArray();
    if (!in.failure() && fragment.number >= fragment.count)
        in.fail(QStringLiteral("it calls itself fragment %1 of %2").arg(fragment.number + 1).arg(fragment.count));
    return fragment;
}

// A whole packet, from a datagram or joined from fragments.
Result<ServerReply> parsePacket(QByteArrayView packet)
{
    if (!packet.startsWith(packetHeader))
        return Failure{QStringLiteral("it does not start with FF FF FF FF")};
    Reader in(packet.sliced(packetHeader.size()));
    const char type = char(in.byte("packet type"));
    ServerReply reply;
    switch (type) {
    case 'I':
        reply = info(in);
        break;
    case 'm':
        reply = oldInfo(in);
        break;
    case 'D':
        reply = players(in);
        break;
    case 'A':
        reply = reply::QueryChallenge{in.take(4, "challenge").toByteArray()};
        in.expectEnd("challenge");
        break;
    case 'c':
        in = Reader(packet.sliced(packetHeader.size()));
        reply = rconChallenge(in);
        break;
    case 'l':
        reply = output(in);
        break;
    case '9':
        reply = reply::ChallengeRefused{in.string("reason")};
        in.expectEnd("reason", true);
        break;
    default:
        in.fail(QStringLiteral("its type, byte %1, is no reply Quillmont knows")
                    .arg(quint8(type), 2, 16, QLatin1Char('0')));
    }
    if (in.failure())
        return *in.failure();
    return reply;
}

} // namespace

Result<ServerReply> parseServerReply(QByteArrayView datagram)
{
    if (datagram.size() > largestDatagram)
        return Failure{QStringLiteral("it is %1 bytes long, more than the %2 of the largest packet a server sends")
                           .arg(datagram.size())
                           .arg(largestDatagram)};
    if (!datagram.startsWith(splitHeader))
        return parsePacket(datagram);
    Reader in(datagram.sliced(splitHeader.size()));
    const ServerReply fragment = splitFragment(in);
    if (in.failure())
        return *in.failure();
    return fragment;
}

Result<std::optional<ServerReply>> SplitPackets::read(QByteArrayView datagram)
{
    const Result<ServerReply> reply = parseServerReply(datagram);
    if (!reply)
        return reply.failure();
    if (const auto* fragment = std::get_if<reply::SplitFragment>(&*reply))
        return add(*fragment);
    return std::optional(*reply);
}

Result<std::optional<ServerReply>> SplitPackets::add(const reply::SplitFragment& fragment)
{
    // A fragment refused leaves nothing behind.
    if (!waiting.contains(fragment.sequence) && waiting.size() >= mostSplitPackets)
        return Failure{QStringLiteral("it sends parts of more than %1 split packets at once").arg(mostSplitPackets)};
    QList<std::optional<QByteArray>>& fragments = waiting[fragment.sequence];
    if (fragments.isEmpty())
        fragments.resize(fragment.count);
    // A broken packet is dropped whole: none of its fragments can make it whole again.
    if (fragments.size() != fragment.count) {
        waiting.remove(fragment.sequence);
        return Failure{
            QStringLiteral("the fragments of split packet %1 disagree on their count").arg(fragment.sequence)};
    }
    if (!fragments[fragment.number])
        fragments[fragment.number] = fragment.payload;
    if (fragments.contains(std::nullopt))
        return std::optional<ServerReply>();
    QByteArray packet;
    for (const std::optional<QByteArray>& part : std::as_const(fragments))
        packet += *part;
    waiting.remove(fragment.sequence);
    if (packet.startsWith(splitHeader))
        return Failure{QStringLiteral("a split packet holds another split packet")};
    const Result<ServerReply> reply = parsePacket(packet);
    if (!reply)
        return reply.failure();
    return std::optional(*reply);
}

std::optional<Failure> SplitPackets::missing() const
{
    if (waiting.isEmpty())
        return std::nullopt;
    const QList<std::optional<QByteArray>>& fragments = waiting.first();
    return Failure{QStringLiteral("fragment %1 of %2 of split packet %3 never came")
                       .arg(fragments.indexOf(std::nullopt) + 1)
                       .arg(fragments.size())
                       .arg(waiting.firstKey())};
}
