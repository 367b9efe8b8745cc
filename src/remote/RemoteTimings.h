#pragma once

#include <QtGlobal>

#include <chrono>

// Every wait of the clients and every limit on what they send. One set serves the whole program,
// since the limits hold for all its windows together; tests shorten the waits.
struct RemoteTimings {
    // Remote console output has no end marker: it is complete once the server has sent nothing
    // more for this long.
    std::chrono::milliseconds quiet{300};
    // Every question ends by this long after it went out: answered, or not answered in time, with
    // what had come by then.
    std::chrono::milliseconds noAnswer{3000};
    // A command that loads a level answers only once the level is loaded.
    std::chrono::milliseconds levelLoad{30000};
    // At most this many packets to one server within the window, every request, challenge and
    // repeated request counted: a server drops everything from an address that sends it more than
    // 180 a minute. So many of them are kept for the status line's queries.
    int budgetPackets = 59;
    int statusPollPackets = 30;
    std::chrono::milliseconds budgetWindow{60000};
    // After this many refused passwords within the window Quillmont sends that server no password
    // for the rest of it: the server bans an address for good after five within 30 seconds.
    int refusalsAllowed = 3;
    std::chrono::milliseconds refusalWindow{30000};

    // A running server is asked for its state this often, and more often in its first minute, when
    // the operator waits to see it come up; no answer for this long, and it is not answering.
    std::chrono::milliseconds poll{5000};
    std::chrono::milliseconds pollEarly{2000};
    std::chrono::milliseconds earlyPhase{60000};
    std::chrono::milliseconds notAnswering{15000};
    // A keeper answers a window that connects with its state at once; one that has not within this
    // long is taken for gone.
    std::chrono::milliseconds keeperAnswer{1000};
    // How often the server's process is looked at: it costs no packet.
    std::chrono::milliseconds processCheck{1000};
    std::chrono::milliseconds stopCheck{200};
    // How long a server has to end once asked, before it is asked more firmly, and then the operator.
    std::chrono::milliseconds stopGrace{5000};
    // While the server console is open it asks for the players this often.
    std::chrono::milliseconds players{5000};
    // A server runs what server.cfg holds only after it has answered `exec`.
    std::chrono::milliseconds applyPause{500};
};

const RemoteTimings& remoteTimings();
void setRemoteTimings(const RemoteTimings& timings);

// The waits and limits of keeping a server running, which tests shorten too.
struct KeepTimings {
    // A server that ended unexpectedly is started again after this pause.
    std::chrono::milliseconds restartPause{10000};
    // A server that has answered since its start and then answers none of the status queries sent
    // to it (at least `hangQueries` of them) for this long hangs; but not within its first minutes.
    std::chrono::milliseconds hang{60000};
    int hangQueries = 6;
    std::chrono::milliseconds startGrace{120000};
    // At most so many restarts within the window; the next failure is not restarted.
    int restartsAllowed = 3;
    std::chrono::milliseconds restartWindow{600000};
    // The daily restart is checked against the wall clock this often; the players are told before
    // it, and a clock that moved by more than `clockStep` against the monotonic one waits a day.
    std::chrono::milliseconds dailyCheck{60000};
    std::chrono::milliseconds clockStep{300000};
    // The server's log is looked at this often, and copied aside and begun anew past this size.
    std::chrono::milliseconds logCheck{10000};
    qint64 logLimit = 16 * 1024 * 1024;
};

const KeepTimings& keepTimings();
void setKeepTimings(const KeepTimings& timings);
