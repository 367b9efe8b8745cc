// The benchmark of scripts/bench-server: a server query's round trip on loopback against the
// stand-in server, and the event loop's longest stall while a server that never answers is polled,
// each beside a baseline measured in the same run.

#include "remote/ServerQuery.h"
#include "remote/RemoteTimings.h"
#include "remote/RequestPackets.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

constexpr int roundTrips = 2000;
// The main window polls a server every 2 s in its first minute, every 5 s after it.
constexpr int pollMilliseconds = 2000;

struct Spread {
    double median;
    double percentile99;
};

Spread spreadOf(QList<qint64> nanoseconds)
{
    std::sort(nanoseconds.begin(), nanoseconds.end());
    return {nanoseconds.at(nanoseconds.size() / 2) / 1e6, nanoseconds.at(nanoseconds.size() * 99 / 100) / 1e6};
}

// The stand-in server on a free port of loopback, answering as `replies` says, in a folder of its
// own (it writes its report there).
ServerAddress startStandIn(QProcess& server, const QByteArray& replies, const QTemporaryDir& folder)
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    const ServerAddress address{QHostAddress(QHostAddress::LocalHost), probe.localPort()};
    probe.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("STANDIN_REPLIES"), QString::fromLatin1(replies));
    server.setProcessEnvironment(environment);
    server.setStandardErrorFile(QProcess::nullDevice());
    server.setWorkingDirectory(folder.path());
    server.start(QStringLiteral(STANDIN_SERVER_PATH),
        {QStringLiteral("-port"), QString::number(address.port), QStringLiteral("+map"), QStringLiteral("2fort")});
    QByteArray printed;
    while (!printed.contains("Server IP address") && server.waitForReadyRead(5000))
        printed += server.readAllStandardOutput();
    return address;
}

// The same query with a bare blocking socket: what the network and the stand-in cost alone.
Spread bareRoundTrips(const ServerAddress& server)
{
    QUdpSocket socket;
    QList<qint64> times;
    QElapsedTimer clock;
    for (int i = 0; i < roundTrips; ++i) {
        clock.start();
        socket.writeDatagram(infoRequest(), server.ip, server.port);
        while (!socket.hasPendingDatagrams() && socket.waitForReadyRead(3000)) { }
        socket.receiveDatagram();
        times << clock.nsecsElapsed();
    }
    return spreadOf(times);
}

// The same query as Quillmont asks it: a request of its own, over a socket of its own, each time.
Spread clientRoundTrips(const ServerAddress& server)
{
    QList<qint64> times;
    QElapsedTimer clock;
    std::function<void()> ask = [&] {
        QueryRequest* request = askServerInfo(server, PacketShare::StatusPoll, qApp);
        QObject::connect(request, &ServerRequest::finished, [&, request] {
            if (request->failure()) {
                std::fprintf(stderr, "%s\n", qPrintable(request->failure()->message));
                return QCoreApplication::exit(1);
            }
            times << clock.nsecsElapsed();
            if (times.size() == roundTrips)
                return QCoreApplication::exit();
            clock.start();
            ask();
        });
    };
    clock.start();
    ask();
    if (QCoreApplication::exec() != 0)
        std::exit(1);
    return spreadOf(times);
}

// How long beyond it a timer due every millisecond waited, over the given time (longest and 99.9th
// percentile, in milliseconds); while, when a server is given, it is asked for its state every
// poll interval.
struct Stalls {
    double longest;
    double percentile999;
};

Stalls stalls(int seconds, const ServerAddress* server)
{
    QTimer tick, poll, end;
    tick.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    QList<qint64> lateness;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        lateness << std::max<qint64>(clock.nsecsElapsed() - 1'000'000, 0);
        clock.start();
    });
    if (server) {
        QObject::connect(&poll, &QTimer::timeout, [server] { askServerInfo(*server, PacketShare::StatusPoll, qApp); });
        poll.start(pollMilliseconds);
    }
    QObject::connect(&end, &QTimer::timeout, [] { QCoreApplication::exit(); });
    end.start(seconds * 1000);
    clock.start();
    tick.start(1);
    QCoreApplication::exec();
    std::sort(lateness.begin(), lateness.end());
    return {lateness.last() / 1e6, lateness.at(lateness.size() * 999 / 1000) / 1e6};
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;
    RemoteTimings unlimited = remoteTimings(); // the budget would stop the round trips after 59
    unlimited.statusPollPackets = roundTrips * 2;
    unlimited.budgetPackets = roundTrips * 4;
    setRemoteTimings(unlimited);
    const QTemporaryDir folder;
    QProcess answeringServer, silentServer;
    const ServerAddress answering = startStandIn(answeringServer, "info", folder);
    const ServerAddress silent = startStandIn(silentServer, "silent", folder);

    const Spread bare = bareRoundTrips(answering), client = clientRoundTrips(answering);
    std::printf("Server query round trip on loopback, %d queries to the stand-in server:\n", roundTrips);
    std::printf("  bare socket (baseline)  median %.3f ms, 99th percentile %.3f ms\n", bare.median, bare.percentile99);
    std::printf("  Quillmont's request     median %.3f ms, 99th percentile %.3f ms (%.2fx, %.2fx)\n", client.median,
        client.percentile99, client.median / bare.median, client.percentile99 / bare.percentile99);

    setRemoteTimings({});
    const Stalls idle = stalls(seconds, nullptr), polling = stalls(seconds, &silent);
    std::printf("Event loop's stalls over %d s, a 1 ms timer watching (longest; 99.9th percentile):\n", seconds);
    std::printf("  idle (baseline)                    %.3f ms; %.3f ms\n", idle.longest, idle.percentile999);
    std::printf("  polling a silent server every %d s  %.3f ms; %.3f ms (%.2fx; target under 5 ms)\n",
        pollMilliseconds / 1000, polling.longest, polling.percentile999, polling.longest / idle.longest);
    for (QProcess* server : {&answeringServer, &silentServer}) {
        server->kill();
        server->waitForFinished();
    }
    return 0;
}
