#pragma once

#include <QDateTime>
#include <QList>

#include <functional>

// The daily restart: the players are told five minutes and one minute before, then the server is
// restarted, at a local time of day the operator chose.
enum class DailyStep { WarnFiveMinutes, WarnOneMinute, Restart };

// The moment of the local time `at` on `day`: where that day has no such time (the clock is put
// forward over it) the next minute that it has; where it has it twice, one of them.
QDateTime dailyMoment(QDate day, QTime at);

// The steps whose moments lie after `before` and no later than `now`, in their order.
QList<DailyStep> dailyStepsBetween(const QDateTime& before, const QDateTime& now, QTime at);

// The wall clock the daily restart is checked against; tests make it run fast. An empty function
// gives back the system's.
QDateTime wallClock();
void setWallClockForTests(std::function<QDateTime()> clock);
