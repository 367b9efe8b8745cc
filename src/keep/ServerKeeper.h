#pragma once

#include "formats/Failure.h"
#include "launch/OneShotTimer.h"
#include "launch/ServerStart.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <optional>
#include <variant>

class ServerWatch;

// Keeps a folder's server running, through the folder's one watch. While keeping is on, a server
// that ends unexpectedly is started again after a pause, one that hangs is stopped and started
// again, and one whose engine hlds_run started anew counts as ended; all of it at most so many
// times within a window, after which the server is given up on. Kept or not, while it runs its log
// is kept in bounds and it is restarted each day at the time chosen for the folder. Where the watch
// follows a `quillmont --keep`, all of it is left to that one.
class ServerKeeper : public QObject {
    Q_OBJECT

public:
    ServerKeeper(QString serverFolder, ServerWatch& watch, QObject* parent = nullptr);

    void setKeeping(bool keeping);
    bool keeping() const { return keeping_; }

    // The operator's start, on the folder's port: the failures are counted anew. A stop asked for
    // by the operator is no failure; the server is not started again after it.
    std::variant<StartedFolderServer, Failure> start(const QString& maxplayers, const QString& startMap);
    void stop();

Q_SIGNALS:
    // What happened, in a sentence; `alarming` when the operator should hear of it even when not
    // looking: the server ended unexpectedly, hangs, is started again or given up on.
    void happened(const QString& what, bool alarming);

private:
    enum class AfterStop { Nothing, StartAgain, GiveUp };

    bool active() const;
    void recordSeen();
    void serverEnded();
    void check();
    void checkHang();
    void checkEngine();
    void checkLog();
    void checkDaily();
    bool failureAllowed();
    void stopFor(AfterStop after, const QString& why);
    void startAgain();
    std::variant<StartedFolderServer, Failure> launch(const StartValues& values);
    void note(const QString& what, bool alarming);
    QString lastLine() const;

    const QString serverFolder_;
    ServerWatch& watch_;
    bool keeping_ = false;
    // The record of the server last watched, whose values a restart starts with.
    std::optional<ServerRecord> kept_;
    // When the failures counted happened, on `clock_`.
    QList<qint64> failures_;
    QElapsedTimer clock_;
    AfterStop afterStop_ = AfterStop::Nothing;
    QString givenUp_;
    // The engine hlds_run runs; 0 while none is known.
    qint64 engine_ = 0;
    QDateTime dailyChecked_;
    QElapsedTimer sinceDailyCheck_;
    OneShotTimer pause_;
    QTimer check_;
    QTimer logCheck_;
    QTimer dailyCheck_;
};
