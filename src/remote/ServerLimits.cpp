#include "remote/ServerLimits.h"

#include "remote/RemoteTimings.h"

#include <QHash>

#include <algorithm>
#include <chrono>
#include <deque>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct ServerRecord {
    std::deque<Clock::time_point> statusPollPackets;
    std::deque<Clock::time_point> otherPackets;
    std::deque<Clock::time_point> refusals;
    KnownChallenges challenges;
};

ServerRecord& recordOf(const ServerAddress& server)
{
    static QHash<std::pair<quint32, quint16>, ServerRecord> records;
    return records[{server.ip.toIPv4Address(), server.port}];
}

// The times within the window that ends now, oldest first; the times before it are forgotten.
std::deque<Clock::time_point>& within(std::deque<Clock::time_point>& times, milliseconds window)
{
    while (!times.empty() && Clock::now() - times.front() >= window)
        times.pop_front();
    return times;
}

// Whole seconds, rounded up.
qint64 seconds(milliseconds duration)
{
    return std::chrono::ceil<std::chrono::seconds>(duration).count();
}

// How long until fewer than `limit` of the times are left in the window.
qint64 secondsUntilBelow(const std::deque<Clock::time_point>& times, qsizetype limit, milliseconds window)
{
    return seconds(std::chrono::ceil<milliseconds>(times[times.size() - limit] + window - Clock::now()));
}

} // namespace

std::optional<RemoteFailure> spendPacket(const ServerAddress& server, PacketShare share)
{
    const RemoteTimings& limits = remoteTimings();
    ServerRecord& record = recordOf(server);
    const bool statusPoll = share == PacketShare::StatusPoll;
    std::deque<Clock::time_point>& packets
        = within(statusPoll ? record.statusPollPackets : record.otherPackets, limits.budgetWindow);
    const qsizetype most
        = std::max(1, statusPoll ? limits.statusPollPackets : limits.budgetPackets - limits.statusPollPackets);
    if (qsizetype(packets.size()) >= most)
        return RemoteFailure{RemoteProblem::NotSent,
            QStringLiteral("Not sent: Quillmont has sent the server %1 %2 packets within %3 s, the most it sends a "
                           "server besides the status line's queries, so that the server does not block this "
                           "computer. Try again in %4 s.")
                .arg(server.text())
                .arg(packets.size())
                .arg(seconds(limits.budgetWindow))
                .arg(secondsUntilBelow(packets, most, limits.budgetWindow))};
    packets.push_back(Clock::now());
    return std::nullopt;
}

std::optional<RemoteFailure> checkPasswordAttempts(const ServerAddress& server)
{
    const RemoteTimings& limits = remoteTimings();
    std::deque<Clock::time_point>& refusals = within(recordOf(server).refusals, limits.refusalWindow);
    if (qsizetype(refusals.size()) < limits.refusalsAllowed)
        return std::nullopt;
    return RemoteFailure{RemoteProblem::NotSent,
        QStringLiteral("Not sent: the server %1 refused the remote console password %2 times within %3 s; after 5 it "
                       "bans this computer for good. Try again in %4 s.")
            .arg(server.text())
            .arg(refusals.size())
            .arg(seconds(limits.refusalWindow))
            .arg(secondsUntilBelow(refusals, limits.refusalsAllowed, limits.refusalWindow))};
}

void notePasswordRefused(const ServerAddress& server)
{
    recordOf(server).refusals.push_back(Clock::now());
}

KnownChallenges& knownChallenges(const ServerAddress& server)
{
    return recordOf(server).challenges;
}
