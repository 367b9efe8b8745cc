#pragma once

#include "install/SteamCmdText.h"
#include "launch/OneShotTimer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

class QSocketNotifier;

// The waits of SteamCMD's runs; tests shorten them.
struct InstallTimings {
    // A run that prints nothing for this long hangs, and is ended.
    std::chrono::milliseconds silence{600000};
    // Asked to end, SteamCMD's processes have this long before they are killed.
    std::chrono::milliseconds killAfter{10000};
    // While another run holds the lock, it is tried again this often.
    std::chrono::milliseconds lockPoll{1000};
    // How often a group that should be ending is looked at.
    std::chrono::milliseconds groupCheck{100};
    // steamcmd.log is copied aside and begun anew past this size.
    qint64 logLimit = 16 * 1024 * 1024;
    // The players of a server stopped for an update are told this long before.
    std::chrono::milliseconds playerWarning{300000};
};

const InstallTimings& installTimings();
// A wait as the operator reads it: "10 minutes", "0.3 seconds".
QString durationInWords(std::chrono::milliseconds duration);
void setInstallTimings(const InstallTimings& timings);

// The one lock of this account's SteamCMD runs: a file opened for each run, locked with flock and
// handed to SteamCMD's process group, so that it holds until the last of them has ended, whoever
// started it. It names the folder and process of its holder.
class SteamCmdLock {
public:
    explicit SteamCmdLock(QString path);
    ~SteamCmdLock();
    SteamCmdLock(const SteamCmdLock&) = delete;
    SteamCmdLock& operator=(const SteamCmdLock&) = delete;

    enum class Outcome { Taken, Held, Failed };
    // Tries once, without waiting. While another holds it, `holder()` names its folder.
    Outcome tryTake(const QString& folder);
    QString holder() const { return holder_; }
    QString failure() const { return failure_; }
    int handle() const { return handle_; }
    // This process's copy is closed; SteamCMD's group holds the lock while it lives.
    void release();

private:
    QString path_;
    int handle_ = -1;
    QString holder_;
    QString failure_;
};

// How a run of SteamCMD ended, once its output has been read to the end and its whole process group
// is gone.
struct RunEnd {
    enum class How { Exited, Cancelled, Silent, NotStarted };
    How how = How::Exited;
    int exitStatus = -1;
    QString failure;
};

// One run of SteamCMD on a pseudo-terminal, in a session and process group of its own: through a
// pipe its progress would arrive only at its end. Its output, as it comes, goes to `log` (when one is
// given) between a start line and an end line, and in lines to `lineRead`. Cancel ends the whole
// group: SIGTERM, and SIGKILL to whatever of it still lives after a while.
class SteamCmdRun : public QObject {
    Q_OBJECT

public:
    SteamCmdRun(QString program, QStringList arguments, QString log, QObject* parent = nullptr);
    ~SteamCmdRun() override;

    // Starts the run; `lockHandle` (or -1) is handed to SteamCMD's group.
    void start(int lockHandle);
    void cancel();
    bool running() const { return started_ && !over_; }

Q_SIGNALS:
    void lineRead(const QString& line);
    void ended(const RunEnd& end);

private:
    void read(int mostPieces = 4);
    void outputEnded();
    void processFinished(int exitCode, QProcess::ExitStatus status);
    void endGroup(int signal);
    void checkGroup();
    void judge();
    std::optional<QString> openLog();
    void writeLog(QByteArrayView bytes);
    void noteLog(const QString& what);

    QString program_;
    QStringList arguments_;
    QString log_;
    QProcess process_;
    int master_ = -1;
    int logHandle_ = -1;
    qint64 group_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
    OutputLines lines_;
    OneShotTimer silence_;
    QTimer groupCheck_;
    QElapsedTimer termSent_;
    bool started_ = false;
    bool outputOver_ = false;
    bool finished_ = false;
    bool over_ = false;
    bool logEndsLine_ = true;
    RunEnd end_;
};

// The start of the last run in steamcmd.log that has no end line: a run that Quillmont's end cut
// short. Nothing when every run ended or there is no log.
std::optional<QDateTime> interruptedRun(const QString& log);
QString steamCmdLogOf(const QString& serverFolder);
// Closes the interrupted run in the log, once the operator has been told of it.
void noteInterruptedRun(const QString& log);
