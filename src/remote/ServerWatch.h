#pragma once

#include "formats/TextEncoding.h"
#include "launch/OneShotTimer.h"
#include "launch/ServerRecord.h"
#include "remote/RemoteFailure.h"
#include "remote/ServerReplies.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QueryRequest;
class RconClient;
class RconRequest;

// A setting that server.cfg now sets, as the server should report it once it has run the file.
struct SettingCheck {
    QByteArray name;
    QByteArray value;
};

// The server of one server folder as the main window shows it: the server this folder started,
// from its record and its answers to status queries, or another server found on the port. While
// this folder's server runs it is asked for its state every few seconds; otherwise the port is
// asked only when the watch begins and before each start, so that no packet goes out for nothing.
// While `quillmont --keep` keeps the folder's server, the watch of a window or another verb asks
// nothing itself: it shows what the keeper reports, and leaves stops and starts to it.
class ServerWatch : public QObject {
    Q_OBJECT

public:
    enum class State { NoServer, OtherServer, Starting, Running, Unreadable, NotAnswering, Stopping, Stopped, Ended };
    // The keeper's own watch is the one that asks; the others follow a keeper when there is one.
    enum class Role { FollowsKeeper, Keeper };
    // How a stop ends when the server does not heed the requests: the operator is asked, or it is
    // ended at once.
    enum class AtLast { Ask, End };

    explicit ServerWatch(QString serverFolder, Role role = Role::FollowsKeeper, QObject* parent = nullptr);
    ~ServerWatch() override;

    // Takes over this folder's server if it still runs; else tidies its record away and asks the
    // port once whether another server is there.
    void begin(quint16 port);

    State state() const { return state_; }
    // The status line, at all times one of its texts.
    QString status() const;
    // The process that updates the folder's server with SteamCMD now, as the record marks it; 0 when
    // none does.
    qint64 updatingProcess() const;
    // This folder's server is running, or being stopped.
    bool serverRuns() const;
    const std::optional<ServerRecord>& record() const { return record_; }
    // How the server's state reads in a question: "2fort, 3/16 players", or why it cannot be told.
    QString stateInWords() const;
    // The status line says this instead, until the state changes.
    void explain(const QString& text);

    // For telling a hang: whether the server has answered since the watch began, how many queries
    // sent since its last answer went unanswered, and for how long.
    bool hasAnswered() const { return answeredOnce_; }
    int unansweredQueries() const { return unanswered_; }
    std::chrono::milliseconds silence() const;
    // How long ago the server started, on the system's clock; else since the watch began.
    std::chrono::milliseconds age() const;

    // The process of `quillmont --keep` that keeps this folder's server, while this watch follows
    // it; else 0.
    qint64 keptBy() const { return keeperProcess_; }
    // Asks the keeper to start the server (it stops a running one first).
    void startByKeeper(const QString& maxplayers, const QString& startMap);

    // Asks the port just before a start: `answer` gets the state of the server that answers there,
    // or nothing when none does.
    void askPort(quint16 port, std::function<void(const std::optional<ServerInfo>&)> answer);
    // Watches a server just started from this folder.
    void watch(const ServerRecord& record);

    // Stops this folder's server: `quit` over the remote console when its password is known, then
    // the end of its whole session asked, and at last `stopStuck` for the operator to decide. When
    // the server cannot be signalled, `stopFailed` says why, and the server is watched as before.
    void stop(AtLast atLast = AtLast::Ask);
    void endNow();
    void keepRunning();

    // Has the running server run its server.cfg again, and checks that it did: that it read the file,
    // and that it reports the settings checked as the file sets them now, asked with the password
    // written in it now. Reports with `applied`.
    void applyConfiguration(const QByteArray& passwordNow, const QList<SettingCheck>& checks, TextEncoding encoding);
    // The server has taken a new remote console password: the record keeps it, for Stop and for a
    // Quillmont started later. Gives what the operator should know when it cannot.
    QString notePassword(const QByteArray& password);
    // Sends the server a remote console command with the password of its record; false when it
    // has none.
    bool command(const QByteArray& command);

Q_SIGNALS:
    void statusChanged();
    // This folder's server has ended, stopped or not.
    void ended();
    // The server has not ended after it was asked to: end it at once, or let it run?
    void stopStuck();
    void stopFailed(const QString& message);
    void applied(bool done, const QString& message);
    // What the keeper could not do of what this watch asked of it.
    void keeperFailed(const QString& message);

private:
    void setState(State state);
    void checkProcess();
    void poll();
    void polled(const QueryRequest& request);
    void answered(const ServerInfo& info);
    void endStop(State state);
    void askToEnd();
    bool signalServer(bool now);
    void checkApplied(const QByteArray& passwordNow, QList<SettingCheck> checks, TextEncoding encoding);
    QString notApplied(const RemoteFailure& failure) const;
    QString keptPassword(const std::optional<QByteArray>& password);
    void send(const QByteArray& password, const QByteArray& command, std::function<void(const RconRequest&)> then);
    QueryRequest* askInfo(quint16 port);
    void lookForKeeper();
    bool followsKeeperNow();
    void followKeeper(const QByteArray& line);
    void readKeeper();
    void keeperGone();
    void tellKeeper(const QByteArrayList& fields);

    const QString serverFolder_;
    const Role role_;
    State state_ = State::NoServer;
    std::optional<ServerRecord> record_;
    std::optional<ServerInfo> info_;
    quint16 port_ = 0;
    // Since the watch began, for a server whose age the system does not tell.
    QElapsedTimer watchedSince_;
    // Since the first query that went out after the last answer, and was not answered; invalid while
    // none is waiting for an answer. Queries Quillmont held back itself do not count.
    QElapsedTimer unansweredSince_;
    bool answeredOnce_ = false;
    int unanswered_ = 0;
    QPointer<QueryRequest> polling_;
    QElapsedTimer pollAsked_;
    QDateTime endedAt_;
    QString lastLine_;
    bool termSent_ = false;
    AtLast atLast_ = AtLast::Ask;
    QString explanation_;
    QTimer processCheck_;
    OneShotTimer pollTimer_;
    OneShotTimer stopTimer_;
    std::unique_ptr<RconClient> rcon_;
    // The keeper followed, and what it last reported.
    const std::optional<QString> keeperSocket_;
    QLocalSocket keeper_;
    QTimer keeperLook_;
    qint64 keeperProcess_ = 0;
    QString keeperStatus_;
    QString keeperWords_;
};
