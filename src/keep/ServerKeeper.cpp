#include "keep/ServerKeeper.h"

#include "keep/DailyRestart.h"
#include "launch/FolderSettings.h"
#include "launch/ServerLog.h"
#include "launch/ServerSession.h"
#include "remote/RemoteTimings.h"
#include "remote/ServerWatch.h"

#include <QFileInfo>

using State = ServerWatch::State;

namespace {

QString timeOfDay(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("HH:mm"));
}

QString seconds(std::chrono::milliseconds duration)
{
    return QString::number(std::chrono::duration_cast<std::chrono::seconds>(duration).count());
}

} // namespace

ServerKeeper::ServerKeeper(QString serverFolder, ServerWatch& watch, QObject* parent)
    : QObject(parent)
    , serverFolder_(std::move(serverFolder))
    , watch_(watch)
{
    clock_.start();
    connect(&pause_, &QTimer::timeout, this, &ServerKeeper::startAgain);
    connect(&check_, &QTimer::timeout, this, &ServerKeeper::check);
    connect(&logCheck_, &QTimer::timeout, this, &ServerKeeper::checkLog);
    connect(&dailyCheck_, &QTimer::timeout, this, &ServerKeeper::checkDaily);
    connect(&watch_, &ServerWatch::statusChanged, this, &ServerKeeper::recordSeen);
    connect(&watch_, &ServerWatch::ended, this, &ServerKeeper::serverEnded);
    check_.start(remoteTimings().processCheck);
    logCheck_.start(keepTimings().logCheck);
    dailyCheck_.start(keepTimings().dailyCheck);
    checkDaily();
}

void ServerKeeper::setKeeping(bool keeping)
{
    keeping_ = keeping;
    if (!keeping)
        pause_.stop();
}

// Where a `quillmont --keep` keeps the server, this one leaves everything to it.
bool ServerKeeper::active() const
{
    return watch_.keptBy() == 0;
}

void ServerKeeper::recordSeen()
{
    const std::optional<ServerRecord>& record = watch_.record();
    if (!record || !active())
        return;
    if (!kept_ || kept_->processId != record->processId)
        engine_ = 0;
    kept_ = *record;
}

std::variant<StartedFolderServer, Failure> ServerKeeper::start(const QString& maxplayers, const QString& startMap)
{
    failures_.clear();
    pause_.stop();
    afterStop_ = AfterStop::Nothing;
    return launch({maxplayers, startMap, serverPort(serverFolder_), false});
}

void ServerKeeper::stop()
{
    pause_.stop();
    afterStop_ = AfterStop::Nothing;
    watch_.stop(ServerWatch::AtLast::End);
}

// Each start begins with the log in bounds, before the server opens it.
std::variant<StartedFolderServer, Failure> ServerKeeper::launch(const StartValues& values)
{
    if (const std::optional<Failure> failure = rotateLog(serverLogOf(serverFolder_), keepTimings().logLimit))
        Q_EMIT happened(failure->message, false);
    StartValues kept = values;
    kept.noRestart = keeping_;
    auto started = startFolderServer(serverFolder_, kept);
    if (const auto* server = std::get_if<StartedFolderServer>(&started)) {
        watch_.watch(server->record);
        Q_EMIT happened(QStringLiteral("Started the server: %1").arg(server->record.commandLine), false);
    }
    return started;
}

void ServerKeeper::serverEnded()
{
    if (!active())
        return;
    switch (std::exchange(afterStop_, AfterStop::Nothing)) {
    case AfterStop::StartAgain:
        return startAgain();
    case AfterStop::GiveUp:
        return watch_.explain(givenUp_);
    case AfterStop::Nothing:
        break;
    }
    if (watch_.state() != State::Ended) {
        Q_EMIT happened(QStringLiteral("The server stopped."), false);
        return;
    }
    // Stopped for an update: the update starts it again, and it was no crash.
    if (const qint64 updating = watch_.updatingProcess()) {
        note(QStringLiteral("The server was stopped for an update (pid %1); the update starts it again.").arg(updating),
            false);
        return;
    }
    if (!keeping_) {
        Q_EMIT happened(QStringLiteral("The server ended unexpectedly."), true);
        return;
    }
    if (!failureAllowed())
        return watch_.explain(givenUp_);
    const QString pause = seconds(keepTimings().restartPause);
    watch_.explain(watch_.status() + QStringLiteral(" \u2014 starting it again in %1 s").arg(pause));
    note(QStringLiteral("The server ended unexpectedly; Quillmont starts it again in %1 s.").arg(pause), true);
    pause_.start(keepTimings().restartPause);
}

// Counts a failure; past the restarts allowed within the window the server is given up on, and the
// operator told.
bool ServerKeeper::failureAllowed()
{
    const KeepTimings& timings = keepTimings();
    const qint64 now = clock_.elapsed();
    failures_.removeIf([&](qint64 failure) { return now - failure >= timings.restartWindow.count(); });
    failures_.append(now);
    if (failures_.size() <= timings.restartsAllowed)
        return true;
    const QString within
        = QString::number(std::chrono::duration_cast<std::chrono::minutes>(timings.restartWindow).count());
    const QString line = lastLine();
    givenUp_ = QStringLiteral("The server failed %1 times within %2 minutes (last at %3): not started again.")
                   .arg(failures_.size())
                   .arg(within, timeOfDay(QDateTime::currentDateTime()))
        + (line.isEmpty() ? QString() : QLatin1Char(' ') + line);
    note(QStringLiteral("The server failed %1 times within %2 minutes; Quillmont does not start it again.")
             .arg(failures_.size())
             .arg(within),
        true);
    return false;
}

void ServerKeeper::check()
{
    if (!active() || !watch_.record() || watch_.state() == State::Stopping || afterStop_ != AfterStop::Nothing)
        return;
    checkEngine();
    if (keeping_)
        checkHang();
}

// A server that has never answered (one player, a map that did not load) is not judged hung; one
// that answered and then answered none of the queries sent for long enough, past its first
// minutes, is stopped and started again.
void ServerKeeper::checkHang()
{
    const KeepTimings& timings = keepTimings();
    if (!watch_.hasAnswered()) {
        const QString never = QStringLiteral("; it has not answered since it started, so it is not restarted as hung");
        if (watch_.state() == State::NotAnswering && !watch_.status().endsWith(never))
            watch_.explain(watch_.status() + never);
        return;
    }
    if (watch_.unansweredQueries() < timings.hangQueries || watch_.silence() < timings.hang
        || watch_.age() < timings.startGrace)
        return;
    const QString since = timeOfDay(QDateTime::currentDateTime().addDuration(-watch_.silence()));
    if (!failureAllowed())
        return stopFor(AfterStop::GiveUp, givenUp_);
    note(QStringLiteral("The server has not answered since %1; Quillmont stops it and starts it again.").arg(since),
        true);
    stopFor(AfterStop::StartAgain,
        QStringLiteral("The server has not answered since %1: stopping it and starting it again").arg(since));
}

// hlds_run starts a new engine when its engine ends: that is a failure too. A script that runs no
// engine of its own, or has ended, has none.
void ServerKeeper::checkEngine()
{
    const QList<qint64> children = childrenOf(watch_.record()->processId);
    if (children.isEmpty() || children.contains(engine_))
        return;
    if (!std::exchange(engine_, children.first()))
        return; // the first one seen
    const QString ended = QStringLiteral("The server's engine ended unexpectedly at %1 and hlds_run started it again")
                              .arg(timeOfDay(QDateTime::currentDateTime()));
    if (!keeping_) {
        Q_EMIT happened(ended + QLatin1Char('.'), true);
        return;
    }
    if (!failureAllowed())
        return stopFor(AfterStop::GiveUp, givenUp_);
    const QString line = lastLine();
    watch_.explain(ended + (line.isEmpty() ? QString() : QStringLiteral(": ") + line));
    note(ended + QLatin1Char('.'), true);
}

void ServerKeeper::stopFor(AfterStop after, const QString& why)
{
    afterStop_ = after;
    watch_.stop(ServerWatch::AtLast::End);
    watch_.explain(why);
}

// A restart starts the server with the values it last ran with, composed anew, after the port was
// asked as Start Server asks it.
void ServerKeeper::startAgain()
{
    if (!kept_ || watch_.serverRuns())
        return;
    const ServerRecord values = *kept_;
    watch_.askPort(values.port, [this, values](const std::optional<ServerInfo>& other) {
        if (watch_.serverRuns())
            return;
        if (other) {
            const QString refused = QStringLiteral("The server was not started again: port %1 is in use by another "
                                                   "server (%2).")
                                        .arg(values.port)
                                        .arg(other->map);
            watch_.explain(refused);
            return note(refused, true);
        }
        const auto started = launch({values.maxplayers, values.startMap, values.port, false});
        if (const auto* failure = std::get_if<Failure>(&started)) {
            watch_.explain(failure->message);
            return note(failure->message, true);
        }
        for (const QString& notice : std::get<StartedFolderServer>(started).notices)
            Q_EMIT happened(notice, false);
        Q_EMIT happened(QStringLiteral("The server was started again."), true);
    });
}

void ServerKeeper::checkLog()
{
    if (!active() || !watch_.record())
        return;
    if (const std::optional<Failure> failure = rotateLog(serverLogOf(serverFolder_), keepTimings().logLimit))
        Q_EMIT happened(failure->message, false);
}

// Once a minute, against the wall clock.
void ServerKeeper::checkDaily()
{
    const QDateTime before = std::exchange(dailyChecked_, wallClock());
    const std::chrono::milliseconds monotonic(sinceDailyCheck_.isValid() ? sinceDailyCheck_.elapsed() : 0);
    sinceDailyCheck_.start();
    if (!before.isValid() || !active() || !watch_.record() || watch_.state() == State::Stopping)
        return;
    const std::optional<QTime> at = dailyRestart(serverFolder_);
    if (!at)
        return;
    for (const DailyStep step : dailyStepsBetween(before, dailyChecked_, monotonic, *at)) {
        if (step == DailyStep::WarnFiveMinutes)
            watch_.command("say The server restarts in 5 minutes.");
        else if (step == DailyStep::WarnOneMinute)
            watch_.command("say The server restarts in 1 minute.");
        else {
            const QString daily = QStringLiteral("Restarting the server, as every day at %1")
                                      .arg(at->toString(QStringLiteral("HH:mm")));
            note(daily + QLatin1Char('.'), false);
            return stopFor(AfterStop::StartAgain, daily);
        }
    }
}

void ServerKeeper::note(const QString& what, bool alarming)
{
    if (const std::optional<Failure> failure = noteInLog(serverLogOf(serverFolder_), what))
        Q_EMIT happened(failure->message, false);
    Q_EMIT happened(what, alarming);
}

QString ServerKeeper::lastLine() const
{
    return lastLineOf(serverLogOf(serverFolder_));
}
