#pragma once

#include "launch/ConsoleEcho.h"
#include "remote/RemoteFailure.h"
#include "remote/ServerAddress.h"
#include "remote/ServerReplies.h"
#include "remote/StatusPlayers.h"

#include <QHash>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class Forms;
class LogFollower;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;
class QueryClient;
class RconClient;
struct RconReply;

// Server Console: what this folder's server prints, as it prints it, and the remote console of
// that server or any other: commands and their replies, the players with Kick and Ban, and map
// changes. Unlike the dialogs it can be resized, and it keeps its size.
class ServerConsole : public QWidget {
public:
    static constexpr int number = 12;

    explicit ServerConsole(Forms& forms);
    ~ServerConsole() override;

    void Form_Load();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // A command on its way: whether the operator typed it, what must hold before it goes to the
    // server found (a question, say), and what to do with its output once it has come.
    struct Request {
        QByteArray command;
        bool typed = false;
        std::function<bool(bool ours)> approve = {};
        std::function<void(const QByteArray& output)> then = {};
    };
    struct Sent {
        QString server;
        Request request;
        bool ours;
        bool folderPassword;
        bool shown = false;
    };

    void buildControls();
    void showLines(const QStringList& lines);
    void sendTyped();
    void send(const Request& request);
    void sendTo(const ServerAddress& server, const Request& request);
    std::optional<QByteArray> folderPassword() const;
    RconClient& rconFor(const ServerAddress& server);
    void replied(const QString& server, const RconReply& reply);
    void failed(const QString& server, const QByteArray& command, const RemoteFailure& failure);
    std::optional<Sent> takeSent(const QString& server, const QByteArray& command);
    void showNextCommand(const QString& server);
    void useServer(const ServerAddress& server);
    void askPlayers();
    void showPlayers(const QList<PlayerInfo>& players);
    void withSelectedPlayer(const std::function<void(const StatusPlayer&)>& act);
    void kick();
    void ban();
    void changeMap();
    bool isOurs(const ServerAddress& server) const;
    void walkHistory(int step);
    void remember(const QString& command);

    Forms& forms;
    // Kept apart from the registry, which may be gone when the window is destroyed.
    const QString serverFolder;
    QComboBox* serverBox;
    QLineEdit* passwordBox;
    QPlainTextEdit* outputView;
    QLineEdit* commandBox;
    QTableWidget* playersTable;
    QLineEdit* mapBox;

    std::optional<QStringList> maps;
    ConsoleEcho echo;
    std::unique_ptr<LogFollower> log;
    // The address the Server box gave when it was last looked up, and the text it was found from.
    QString foundFrom;
    std::optional<ServerAddress> found;
    QHash<QString, RconClient*> consoles;
    QList<Sent> sent;
    QSet<QString> warned;
    std::optional<ServerAddress> playersOf;
    std::unique_ptr<QueryClient> query;
    QTimer playersTimer;
    QStringList history;
    qsizetype historyAt = 0;
    QString draft;
};
