#pragma once

#include <QDateTime>
#include <QList>

#include <chrono>
#include <functional>

// The daily restart: the players are told five minutes and one minute before, then the server is
// restarted, at a local time of day the operator chose.
enum class DailyStep { WarnFiveMinutes, WarnOneMinute, Restart };

// The moment of the local time `at` on `day`: where that day has no such time (the clock is put
// forward over it) the next minute that it has; where it has it twice, the first.
QDateTime dailyMoment(QDate day, QTime at);

// The steps whose moments lie after the wall clock's `before` and no later than its `now`, in
// their order; none when the wall clock moved by more than a few minutes more or less than the
// monotonic one did meanwhile (`monotonic`): it was set, or the computer slept, and a restart time
// passed meanwhile waits for the next day.
QList<DailyStep> dailyStepsBetween(
    const QDateTime& before, const QDateTime& now, std::chrono::milliseconds monotonic, QTime at);

// The wall clock the daily restart is checked against; tests make it run fast. An empty function
// gives back the system's.
QDateTime wallClock();
void setWallClockForTests(std::function<QDateTime()> clock);
