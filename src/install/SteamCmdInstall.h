#pragma once

#include "install/SteamCmdRun.h"
#include "install/SteamCmdText.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <optional>

// Where and how an install or update runs: the server folder (absolute), the SteamCMD program, the
// branch, and the home and state folders of the account, where SteamCMD's lock and steamclient.so go.
struct InstallRequest {
    QString folder;
    QString steamCmd;
    Branch branch = Branch::Current;
    bool validate = false;
    QString home;
    QString stateHome;
};

// Why the operator should be asked before the first run: little space, or another game's folder;
// nothing when there is no reason.
std::optional<QString> installConcern(const QString& folder);
// Why nothing can be installed into the folder: it does not exist or cannot be written; nothing when
// it can. Creates its steamapps folder, which SteamCMD needs.
std::optional<QString> cannotInstallInto(const QString& folder);

// Runs SteamCMD until the server's files are there: after a run that did not end with its success line
// and the files, the next one starts at once, with `validate`, up to `mostRuns` in all. A failure
// another run cannot mend ends it at once. One SteamCMD at a time for the account: a run waits for the
// lock. The line under the progress bar follows every step in `said`.
class SteamCmdInstall : public QObject {
    Q_OBJECT

public:
    static constexpr int mostRuns = 5;

    explicit SteamCmdInstall(InstallRequest request, QObject* parent = nullptr);
    ~SteamCmdInstall() override;

    void start();
    void cancel();
    bool running() const { return running_; }

    struct Outcome {
        enum class How { Installed, UpToDate, Failed, Cancelled };
        How how = How::Failed;
        QString message;
        std::optional<qint64> build;
    };

Q_SIGNALS:
    void said(const QString& line);
    void progressed(int percent);
    // Each run's start, with its arguments, for who wants to follow them.
    void runStarted(int run);
    void ended(const Outcome& outcome);

private:
    void tryLock();
    void startRun();
    void lineRead(const QString& line);
    void runEnded(const RunEnd& end);
    void finish(Outcome::How how, const QString& message);
    QString contentLog() const;

    InstallRequest request_;
    SteamCmdLock lock_;
    QTimer lockPoll_;
    QPointer<SteamCmdRun> run_;
    int runNumber_ = 0;
    bool running_ = false;
    bool cancelled_ = false;
    std::optional<RunEnding> ending_;
    QString lastError_;
};

// Asks Steam for the branch's current build, as `app_info_print` gives it, under the same lock.
class SteamBuildQuestion : public QObject {
    Q_OBJECT

public:
    SteamBuildQuestion(QString steamCmd, Branch branch, QString lockPath, QObject* parent = nullptr);
    void ask();
    void cancel();

Q_SIGNALS:
    void waiting(const QString& line);
    // The build, or why it could not be told.
    void answered(std::optional<qint64> build, const QString& why);

private:
    void tryLock();

    QString steamCmd_;
    Branch branch_;
    SteamCmdLock lock_;
    QTimer lockPoll_;
    QPointer<SteamCmdRun> run_;
    QByteArray text_;
};
