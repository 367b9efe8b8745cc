#include "keep/DailyRestart.h"

#include "remote/RemoteTimings.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <utility>

namespace {

using namespace std::chrono_literals;

std::function<QDateTime()> testClock;

// How long before the restart each step comes.
constexpr std::array<std::pair<DailyStep, std::chrono::minutes>, 3> stepsBefore{{
    {DailyStep::WarnFiveMinutes, 5min},
    {DailyStep::WarnOneMinute, 1min},
    {DailyStep::Restart, 0min},
}};

} // namespace

// Of a local time that the day has twice, the first: the system's own choice may differ from one call
// to the next.
QDateTime dailyMoment(QDate day, QTime at)
{
    for (QTime time = at; time.isValid() && time >= at; time = time.addSecs(60)) {
        const QDateTime moment(day, time);
        if (!moment.isValid())
            continue;
        for (const qint64 shift : {3600, 1800}) {
            const QDateTime earlier = moment.addSecs(-shift);
            if (earlier.date() == day && earlier.time() == time)
                return earlier;
        }
        return moment;
    }
    return QDateTime(day.addDays(1), QTime(0, 0));
}

QList<DailyStep> dailyStepsBetween(
    const QDateTime& before, const QDateTime& now, std::chrono::milliseconds monotonic, QTime at)
{
    QList<DailyStep> steps;
    if (std::abs(before.msecsTo(now) - monotonic.count()) > keepTimings().clockStep.count())
        return steps;
    // A step before midnight may belong to the next day's restart.
    for (QDate day = before.date(); day <= now.date().addDays(1); day = day.addDays(1)) {
        const QDateTime restart = dailyMoment(day, at);
        for (const auto& [step, ahead] : stepsBefore) {
            const QDateTime moment = restart.addDuration(-ahead);
            if (moment > before && moment <= now)
                steps.append(step);
        }
    }
    return steps;
}

QDateTime wallClock()
{
    return testClock ? testClock() : QDateTime::currentDateTime();
}

void setWallClockForTests(std::function<QDateTime()> clock)
{
    testClock = std::move(clock);
}
