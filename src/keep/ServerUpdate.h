#pragma once

#include "install/SteamCmdInstall.h"
#include "launch/OneShotTimer.h"
#include "launch/ServerRecord.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <optional>

class ServerWatch;

// The whole of an install or update of a folder's server: never over a server that Quillmont did not
// start; this folder's server, when it runs, stopped first (through its keeper when one keeps it) and
// started again with its command line's values once the update has ended, however it ended. While
// the update runs, the folder's record holds the mark `updating`, so that every window and keeper
// knows of it.
class ServerUpdate : public QObject {
    Q_OBJECT

public:
    ServerUpdate(InstallRequest request, ServerWatch& watch, QObject* parent = nullptr);
    ~ServerUpdate() override;

    // Why no update may run now: a server that Quillmont did not start runs from the folder.
    std::optional<QString> refusal() const;
    // Runs the update, stopping the folder's running server first; with `warnPlayers`, once its
    // players have been told, 5 minutes and 1 minute before, when its remote console password is known.
    void start(bool warnPlayers = false);
    void cancel();
    // A server stopped for an earlier update that was cut short is started again after this one too.
    void restartAfterwards(const ServerRecord& stopped) { stopped_ = stopped; }
    bool running() const { return running_; }

Q_SIGNALS:
    void said(const QString& line);
    void progressed(int percent);
    void runStarted(int run);
    // The update has ended; `message` says how, and what became of the server stopped for it.
    void ended(bool succeeded, const QString& message);

private:
    void stopServer();
    void warn(int left);
    void install();
    void installed(const SteamCmdInstall::Outcome& outcome);
    QString restartServer();
    void markUpdating();

    InstallRequest request_;
    ServerWatch& watch_;
    QPointer<SteamCmdInstall> install_;
    std::optional<ServerRecord> stopped_;
    bool kept_ = false;
    OneShotTimer warning_;
    int warningsLeft_ = 0;
    bool running_ = false;
    bool cancelled_ = false;
};

// What the next start tells of an update that Quillmont's end cut short: when it began, and the
// server stopped for it, whose values start it again. Closes the run in the log once read.
struct InterruptedUpdate {
    QDateTime at;
    std::optional<ServerRecord> stoppedServer;
    QString message() const;
};
std::optional<InterruptedUpdate> takeInterruptedUpdate(const QString& folder);
// Starts a server stopped for an update again, with its command line's values; what went wrong, or
// nothing.
std::optional<QString> startStoppedServer(const QString& folder, const ServerRecord& stopped);
