#include "keep/KeeperService.h"

#include "keep/ServerKeeper.h"
#include "remote/KeeperChannel.h"
#include "remote/ServerWatch.h"

#include <QCoreApplication>
#include <QLocalSocket>

KeeperService::KeeperService(const QString& serverFolder, ServerWatch& watch, ServerKeeper& keeper)
    : serverFolder_(serverFolder)
    , watch_(watch)
    , keeper_(keeper)
{
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_.nextPendingConnection())
            greet(peer);
    });
    connect(&watch_, &ServerWatch::statusChanged, this, &KeeperService::tellEveryone);
}

void KeeperService::listen()
{
    const std::optional<QString> path = keeperSocketPath(serverFolder_);
    if (!path)
        return; // the windows then watch the server themselves
    QLocalServer::removeServer(*path);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(*path);
}

void KeeperService::greet(QLocalSocket* peer)
{
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    connect(peer, &QLocalSocket::readyRead, this, [this, peer] { read(peer); });
    peer->write(keeperLine({"keeper", QByteArray::number(QCoreApplication::applicationPid())}) + stateLine());
}

void KeeperService::tellEveryone()
{
    const QByteArray line = stateLine();
    for (QLocalSocket* peer : server_.findChildren<QLocalSocket*>())
        peer->write(line);
}

QByteArray KeeperService::stateLine() const
{
    return keeperLine(
        {"state", QByteArray::number(int(watch_.state())), watch_.stateInWords().toUtf8(), watch_.status().toUtf8()});
}

void KeeperService::read(QLocalSocket* peer)
{
    while (peer->canReadLine())
        carryOut(peer, keeperFields(peer->readLine(longestKeeperLine)));
    if (peer->bytesAvailable() > longestKeeperLine)
        peer->abort();
}

void KeeperService::carryOut(QLocalSocket* peer, const QByteArrayList& fields)
{
    QStringList failures;
    if (fields.value(0) == "stop") {
        keeper_.stop();
    } else if (fields.value(0) == "password" && fields.size() == 2) {
        failures << watch_.notePassword(QByteArray::fromHex(fields.at(1)));
    } else if (fields.value(0) == "start" && fields.size() == 3 && watch_.serverRuns()) {
        failures << QStringLiteral("The server is running already: stop it first.");
    } else if (fields.value(0) == "start" && fields.size() == 3) {
        const auto started = keeper_.start(QString::fromUtf8(fields.at(1)), QString::fromUtf8(fields.at(2)));
        if (const auto* failure = std::get_if<Failure>(&started))
            failures << failure->message;
        else
            failures << std::get<StartedFolderServer>(started).notices;
    }
    for (const QString& failure : std::as_const(failures)) {
        if (!failure.isEmpty())
            peer->write(keeperLine({"failed", failure.toUtf8()}));
    }
}
