#include "remote/ServerExchange.h"

#include <QNetworkProxy>

#include <limits>

#ifdef Q_OS_WIN
#include <winsock2.h>
using SocketHandle = SOCKET;
#else
#include <sys/socket.h>
using SocketHandle = int;
#endif

namespace {

// A datagram can be no larger: its length is a 16-bit field.
constexpr qsizetype largestReceivable = std::numeric_limits<quint16>::max();

// Qt lets every UDP socket it opens send to a whole network. A question goes to one server only:
// connecting to a broadcast address is then refused by the system, and nothing goes out.
bool sendToOneAddressOnly(QUdpSocket& socket)
{
    const int no = 0;
    return ::setsockopt(SocketHandle(socket.socketDescriptor()), SOL_SOCKET, SO_BROADCAST,
               reinterpret_cast<const char*>(&no), sizeof no)
        == 0;
}

} // namespace

ServerExchange::ServerExchange(const ServerAddress& server, PacketShare packetShare, QObject* parent)
    : QObject(parent)
    , address(server)
    , share(packetShare)
{
    // The game server's protocols go to it directly: no proxy carries them, and asking the system
    // for one starts its proxy library, half a megabyte, before the first query.
    socket.setProxy(QNetworkProxy::NoProxy);
    connect(&socket, &QUdpSocket::readyRead, this, &ServerExchange::readDatagrams);
}

// A server on this computer is reached from the loopback address alone. Connected to the server,
// the socket hears from the system at once when nothing listens on its port.
std::optional<RemoteFailure> ServerExchange::open()
{
    const QHostAddress local = address.ip.isLoopback() ? QHostAddress(QHostAddress::LocalHost) : QHostAddress::AnyIPv4;
    if (!socket.bind(local) || !sendToOneAddressOnly(socket))
        return RemoteFailure{RemoteProblem::NetworkError,
            QStringLiteral("Cannot open a network socket for the server %1: %2")
                .arg(address.text(), socket.errorString())};
    socket.connectToHost(address.ip, address.port);
    if (socket.state() == QAbstractSocket::ConnectedState)
        return std::nullopt;
    if (socket.error() == QAbstractSocket::SocketAccessError)
        return RemoteFailure{RemoteProblem::NotSent,
            QStringLiteral("Not sent: %1 is the broadcast address of a network of this computer, and Quillmont sends "
                           "to one server at a time.")
                .arg(address.text())};
    return RemoteFailure{RemoteProblem::NetworkError,
        QStringLiteral("Cannot send to the server %1: %2").arg(address.text(), socket.errorString())};
}

std::optional<RemoteFailure> ServerExchange::send(const QByteArray& packet)
{
    if (socket.state() != QAbstractSocket::ConnectedState) {
        if (std::optional<RemoteFailure> cannot = open())
            return cannot;
    }
    if (std::optional<RemoteFailure> overBudget = spendPacket(address, share))
        return overBudget;
    if (socket.write(packet) != packet.size())
        return RemoteFailure{RemoteProblem::NetworkError,
            QStringLiteral("Cannot send to the server %1: %2").arg(address.text(), socket.errorString())};
    return std::nullopt;
}

std::optional<QString> ServerExchange::unreadable() const
{
    if (const std::optional<Failure> missing = fragments.missing())
        return missing->message;
    return unreadable_;
}

// Connected to the server, the socket reads the server's datagrams alone, one at a time. A read
// that fails tells that nothing listens on the server's port.
void ServerExchange::readDatagrams()
{
    QByteArray datagram(largestReceivable, Qt::Uninitialized);
    for (;;) {
        const qint64 size = socket.read(datagram.data(), datagram.size());
        if (size < 0) { // the request ends, and this exchange with it
            Q_EMIT portClosed();
            return;
        }
        if (size == 0) // no reply is empty
            return;
        const Result<std::optional<ServerReply>> reply = fragments.read(datagram.first(size));
        if (!reply)
            noteUnreadable(reply.failure().message);
        else if (reply->has_value())
            Q_EMIT received(**reply);
    }
}
