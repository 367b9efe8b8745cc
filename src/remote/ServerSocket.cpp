#include "remote/ServerSocket.h"

#include "remote/RemoteTimings.h"
#include "remote/ServerLimits.h"

#include <QNetworkDatagram>
#include <QNetworkProxy>

namespace {

// A datagram can be no larger.
constexpr qsizetype largestDatagram = 65536;

} // namespace

ServerSocket::ServerSocket(const ServerAddress& server, QObject* parent)
    : QObject(parent)
    , address(server)
{
    noAnswer.setSingleShot(true);
    silence.setSingleShot(true);
    // The game server's protocols go to it directly: no proxy carries them, and asking the system
    // for one starts its proxy library, half a megabyte, before the first query.
    socket.setProxy(QNetworkProxy::NoProxy);
    connect(&socket, &QUdpSocket::readyRead, this, &ServerSocket::readDatagrams);
    connect(&noAnswer, &QTimer::timeout, this, [this] {
        Q_EMIT failed({RemoteProblem::NoAnswer, QStringLiteral("No answer from the server %1.").arg(address.text())});
    });
    connect(&silence, &QTimer::timeout, this, &ServerSocket::becomeQuiet);
}

void ServerSocket::startExchange()
{
    endExchange();
    inExchange = true;
}

void ServerSocket::endExchange()
{
    inExchange = false;
    noAnswer.stop();
    silence.stop();
    fragments = {};
}

std::optional<RemoteFailure> ServerSocket::send(const QByteArray& packet)
{
    // A server on this computer is reached from the loopback address alone. Connected to the
    // server, the socket hears from the system at once when nothing listens on its port.
    const QHostAddress local = address.ip.isLoopback() ? QHostAddress(QHostAddress::LocalHost) : QHostAddress::AnyIPv4;
    if (socket.state() == QAbstractSocket::UnconnectedState) {
        if (!socket.bind(local))
            return RemoteFailure{RemoteProblem::NetworkError,
                QStringLiteral("Cannot open a network socket for the server %1: %2")
                    .arg(address.text(), socket.errorString())};
        socket.connectToHost(address.ip, address.port);
    }
    if (std::optional<RemoteFailure> overBudget = spendPacket(address))
        return overBudget;
    if (socket.writeDatagram(packet, address.ip, address.port) != packet.size())
        return RemoteFailure{RemoteProblem::NetworkError,
            QStringLiteral("Cannot send to the server %1: %2").arg(address.text(), socket.errorString())};
    silence.stop();
    noAnswer.start(remoteTimings().noAnswer);
    return std::nullopt;
}

RemoteFailure ServerSocket::noAnswerFailure() const
{
    return {RemoteProblem::NoAnswer, QStringLiteral("No answer from the server %1.").arg(address.text())};
}

RemoteFailure ServerSocket::badReply(const QString& reason) const
{
    return {RemoteProblem::BadReply,
        QStringLiteral("The server %1 sent a reply Quillmont cannot read: %2.").arg(address.text(), reason)};
}

RemoteFailure ServerSocket::banned() const
{
    return {RemoteProblem::Banned,
        QStringLiteral("The server %1 has banned this computer's address (\"You have been banned from this server.\"). "
                       "Only the server's operator can lift the ban.")
            .arg(address.text())};
}

// Connected to the server, the socket reads the server's datagrams alone, one at a time. A read
// that fails tells that nothing listens on the server's port, and the socket is closed then; the
// next packet opens it again.
void ServerSocket::readDatagrams()
{
    QByteArray datagram(largestDatagram, Qt::Uninitialized);
    for (;;) {
        const qint64 size = socket.read(datagram.data(), datagram.size());
        if (size < 0 && inExchange) {
            endExchange();
            Q_EMIT failed(noAnswerFailure());
        }
        if (size <= 0) // no reply is empty
            return;
        if (inExchange)
            take(datagram.first(size));
    }
}

void ServerSocket::take(const QByteArray& datagram)
{
    noAnswer.stop();
    silence.start(remoteTimings().quiet);
    const Result<std::optional<ServerReply>> reply = fragments.read(datagram);
    if (reply && !reply->has_value())
        return;
    if (!reply || std::holds_alternative<reply::Banned>(**reply))
        Q_EMIT failed(reply ? banned() : badReply(reply.failure().message));
    else
        Q_EMIT received(**reply);
}

void ServerSocket::becomeQuiet()
{
    if (const std::optional<Failure> missing = fragments.missing())
        Q_EMIT failed(badReply(missing->message));
    else
        Q_EMIT quiet();
}
