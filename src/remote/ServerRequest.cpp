#include "remote/ServerRequest.h"

#include "remote/ServerExchange.h"

ServerRequest::ServerRequest(const ServerAddress& server, PacketShare share, QObject* parent)
    : QObject(parent)
    , server_(server)
    , share_(share)
{
    connect(&deadline_, &QTimer::timeout, this, &ServerRequest::deadlinePassed);
}

ServerRequest::~ServerRequest() = default;

void ServerRequest::begin(std::chrono::milliseconds deadline)
{
    exchange_ = new ServerExchange(server_, share_, this);
    connect(exchange_, &ServerExchange::received, this, [this](const ServerReply& reply) {
        if (finished_)
            return;
        if (std::holds_alternative<reply::Banned>(reply))
            fail({RemoteProblem::Banned,
                QStringLiteral("The server %1 has banned this computer's address (\"You have been banned from this "
                               "server.\"). Only the server's operator can lift the ban.")
                    .arg(server_.text())});
        else
            take(reply);
    });
    connect(exchange_, &ServerExchange::portClosed, this, [this] {
        if (!finished_)
            fail(noAnswer());
    });
    deadline_.start(deadline);
}

void ServerRequest::sendPacket(const QByteArray& packet)
{
    if (finished_)
        return;
    if (const std::optional<RemoteFailure> failure = exchange_->send(packet))
        fail(*failure);
}

void ServerRequest::deadlinePassed()
{
    fail(noAnswer());
}

void ServerRequest::drop(const QString& reason)
{
    exchange_->noteUnreadable(reason);
}

RemoteFailure ServerRequest::badReply(const QString& reason) const
{
    return {RemoteProblem::BadReply,
        QStringLiteral("The server %1 sent a reply Quillmont cannot read: %2.").arg(server_.text(), reason)};
}

RemoteFailure ServerRequest::noAnswer() const
{
    if (exchange_->unreadable())
        return badReply(*exchange_->unreadable());
    return {RemoteProblem::NoAnswer, QStringLiteral("No answer from the server %1.").arg(server_.text())};
}

void ServerRequest::answer()
{
    end(std::nullopt);
}

void ServerRequest::fail(const RemoteFailure& failure)
{
    end(failure);
}

void ServerRequest::failLater(const RemoteFailure& failure)
{
    QMetaObject::invokeMethod(
        this, [this, failure] { fail(failure); }, Qt::QueuedConnection);
}

// The exchange, and its socket, go with the request: whatever the server sends after this reaches
// no one.
void ServerRequest::end(const std::optional<RemoteFailure>& failure)
{
    if (finished_)
        return;
    finished_ = true;
    failure_ = failure;
    deadline_.stop();
    Q_EMIT finished();
    deleteLater();
}
