#include "remote/ServerAddress.h"

#include <QHostInfo>
#include <QRegularExpression>

namespace {

Failure notAnAddress(const QString& text)
{
    return {QStringLiteral("%1 is not a server address: give an IPv4 address or a host name, then :PORT (1 to 65535) "
                           "when the port is not 27015.")
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

Result<Named> named(const QString& text)
{
    static const QRegularExpression hostAndPort(QStringLiteral("^([A-Za-z0-9.-]+)(?::([0-9]{1,5}))?$"));
    static const QRegularExpression numbers(QStringLiteral("^[0-9.]+$"));
    const QString given = text.trimmed();
    if (given.count(QLatin1Char(':')) > 1 || given.startsWith(QLatin1Char('[')))
        return noIPv4(text); // IPv6, with or without brackets
    const QRegularExpressionMatch match = hostAndPort.match(given);
    const uint port = match.hasCaptured(2) ? match.captured(2).toUInt() : defaultServerPort;
    if (!match.hasMatch() || port < 1 || port > 65535)
        return notAnAddress(text);
    Named name{match.captured(1), QHostAddress(match.captured(1)), quint16(port)};
    // Numbers are an address or nothing: a host name lookup would only wait for a name server.
    if (numbers.match(name.host).hasMatch() && name.ip.protocol() != QAbstractSocket::IPv4Protocol)
        return notAnAddress(text);
    return name;
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
        const Result<ServerAddress> address = name ? Result(ServerAddress{name->ip, name->port}) : name.failure();
        QMetaObject::invokeMethod(
            context, [found, address] { found(address); }, Qt::QueuedConnection);
        return;
    }
    QHostInfo::lookupHost(name->host, context, [found, text, port = name->port](const QHostInfo& info) {
        if (info.error() != QHostInfo::NoError)
            return found(Failure{QStringLiteral("Cannot find the server %1: %2").arg(text, info.errorString())});
        for (const QHostAddress& ip : info.addresses()) {
            if (ip.protocol() == QAbstractSocket::IPv4Protocol)
                return found(ServerAddress{ip, port});
        }
        found(noIPv4(text));
    });
}
