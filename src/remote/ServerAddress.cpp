#include "remote/ServerAddress.h"

#include <QHostInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

// Addresses that are no one server's: a packet sent there reaches none, or a whole network.
struct NoServer {
    quint32 first;
    quint32 last;
    const char* what;
};
constexpr NoServer noServers[] = {
    {0x00000000, 0x00ffffff, "an address of \"this network\" (0.0.0.0/8), which no server has"},
    {0x7fffffff, 0x7fffffff, "the broadcast address of loopback, which reaches every program on this computer"},
    {0xe0000000, 0xefffffff, "a multicast address (224.0.0.0/4), which reaches a group of computers"},
    {0xffffffff, 0xffffffff, "the broadcast address, which reaches every computer on the network"},
    {0xf0000000, 0xfffffffe, "a reserved address (240.0.0.0/4), which no server has"},
};

const NoServer* noServerAt(const QHostAddress& ip)
{
    const quint32 number = ip.toIPv4Address();
    for (const NoServer& range : noServers) {
        if (number >= range.first && number <= range.last)
            return &range;
    }
    return nullptr;
}

Failure notAnAddress(const QString& text)
{
    return {QStringLiteral("%1 is not a server address: give an IPv4 address or a host name, then :PORT (1 to 65535) "
                           "when the port is not 27015.")
                .arg(text)};
}

Failure notDotted(const QString& text)
{
    return {QStringLiteral("%1 is not a server address: an IPv4 address is four numbers from 0 to 255, without "
                           "leading zeros, joined by dots, such as 192.0.2.7.")
                .arg(text)};
}

Failure noIPv4(const QString& text)
{
    return {QStringLiteral("%1 has no IPv4 address, and the game server listens on IPv4 only.").arg(text)};
}

// A text taken apart: the host, its address when the text gives one, and the port.
struct Named {
    QString host;
    QHostAddress ip;
    quint16 port;
};

// The system reads numbers in many forms as an address ("127.1", "0x7f.0.0.1", "010.0.0.1",
// "2130706433"): a host made of numbers alone is an address in the one plain form or nothing, so
// that no such form reaches a lookup that would read it as another address than it shows.
Result<Named> named(const QString& text)
{
    static const QRegularExpression hostAndPort(QStringLiteral("^([A-Za-z0-9.-]+)(?::([0-9]{1,5}))?$"));
    static const QRegularExpression numbers(
        QStringLiteral("^(?:0[xX][0-9A-Fa-f]*|[0-9]*)(?:\\.(?:0[xX][0-9A-Fa-f]*|[0-9]*))*$"));
    static const QRegularExpression dotted(
        QStringLiteral("^%1(?:\\.%1){3}$").arg(QStringLiteral("(?:0|[1-9][0-9]{0,2})")));
    const QString given = text.trimmed();
    if (given.count(QLatin1Char(':')) > 1 || given.startsWith(QLatin1Char('[')))
        return noIPv4(text); // IPv6, with or without brackets
    const QRegularExpressionMatch match = hostAndPort.match(given);
    const uint port = match.hasCaptured(2) ? match.captured(2).toUInt() : defaultServerPort;
    if (!match.hasMatch() || port < 1 || port > 65535)
        return notAnAddress(text);
    Named name{match.captured(1), {}, quint16(port)};
    if (!numbers.match(name.host).hasMatch())
        return name;
    name.ip = QHostAddress(name.host);
    if (!dotted.match(name.host).hasMatch() || name.ip.protocol() != QAbstractSocket::IPv4Protocol)
        return notDotted(text);
    return name;
}

Result<ServerAddress> typedServer(const QString& text, const Named& name)
{
    if (const NoServer* range = noServerAt(name.ip))
        return Failure{QStringLiteral("%1 is not a server: %2 is %3.")
                           .arg(text, name.ip.toString(), QLatin1StringView(range->what))};
    return ServerAddress{name.ip, name.port};
}

// The first address of a name that a server can have.
Result<ServerAddress> serverOfName(const QString& text, quint16 port, QList<QHostAddress> addresses)
{
    addresses.removeIf([](const QHostAddress& ip) { return ip.protocol() != QAbstractSocket::IPv4Protocol; });
    const auto server
        = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress& ip) { return !noServerAt(ip); });
    if (server != addresses.end())
        return ServerAddress{*server, port};
    if (addresses.isEmpty())
        return noIPv4(text);
    return Failure{
        QStringLiteral("%1 is not a server: the name gives %2, %3.")
            .arg(text, addresses.first().toString(), QLatin1StringView(noServerAt(addresses.first())->what))};
}

} // namespace

QString ServerAddress::text() const
{
    return ip.toString() + QLatin1Char(':') + QString::number(port);
}

void findServerAddress(
    const QString& text, QObject* context, const std::function<void(const Result<ServerAddress>&)>& found)
{
    const Result<Named> name = named(text);
    if (!name || !name->ip.isNull()) {
        const Result<ServerAddress> address = name ? typedServer(text, *name) : name.failure();
        QMetaObject::invokeMethod(
            context, [found, address] { found(address); }, Qt::QueuedConnection);
        return;
    }
    QHostInfo::lookupHost(name->host, context, [found, text, port = name->port](const QHostInfo& info) {
        if (info.error() != QHostInfo::NoError)
            return found(Failure{QStringLiteral("Cannot find the server %1: %2").arg(text, info.errorString())});
        found(serverOfName(text, port, info.addresses()));
    });
}
