#pragma once

#include "formats/BanFiles.h"
#include "launch/ConsoleEcho.h"
#include "remote/RemoteFailure.h"
#include "remote/ServerAddress.h"
#include "remote/ServerReplies.h"
#include "remote/StatusPlayers.h"
#include "ui/PlayersModel.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

class Forms;
class LogFollower;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QueryRequest;
class RconClient;
class RconRequest;

// Server Console: what this folder's server prints, as it prints it, and the remote console of
// that server or any other: commands and their replies, the players with Kick and Ban, and map
// changes. Unlike the dialogs it can be resized, and it keeps its size and place. A dialog to a
// screen reader, closed by Escape as by its close box.
class ServerConsole : public QDialog {
public:
    static constexpr int number = 12;

    explicit ServerConsole(Forms& forms);
    ~ServerConsole() override;

    void Form_Load();

    void reject() override;

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
    // A server, and the Server box's text it was found from.
    struct FoundServer {
        ServerAddress address;
        QString text;
        bool operator==(const FoundServer&) const = default;
    };
    // What a ban holds: a unique id, or an address.
    struct BanTarget {
        BanList list;
        QByteArray entry;
    };
    // How a command went out: to this folder's server, and with its password.
    struct Sent {
        bool ours;
        bool folderPassword;
    };

    void buildControls();
    void followTheEnd();
    void showLines(const QStringList& lines);
    void sendTyped();
    void send(const Request& request);
    void sendTo(const FoundServer& server, const Request& request);
    std::optional<QByteArray> folderPassword() const;
    RconClient& rconFor(const ServerAddress& server);
    void showReply(const RconRequest& reply, const Request& request, const Sent& how);
    void showFailed(const RconRequest& reply, const Sent& how);
    void tookPassword(const RconRequest& reply);
    void placeWindow();
    void placeFramed(const QMargins& frame, bool besideMain);
    void useServer(const FoundServer& server);
    std::optional<QByteArray> passwordOf(const FoundServer& server) const;
    void askPlayers();
    void showPlayers(const QList<PlayerInfo>& queried);
    void askStatus(std::function<void(const QList<StatusPlayer>&)> then = {});
    void sayWhatPlayersShow();
    void selectPlayer(const std::optional<StatusPlayer>& details, const QByteArray& name);
    void serverTextChanged(const QString& text);
    void offerPlayerActions();
    void withSelectedPlayer(const std::function<void(const FoundServer&, const StatusPlayer&)>& act);
    void kick();
    void ban();
    std::variant<BanTarget, QString> banTargetOf(const FoundServer& server, const StatusPlayer& player) const;
    static QByteArray addressSeenBy(const ServerAddress& server);
    void sendBan(const FoundServer& server, const StatusPlayer& player, const BanTarget& ban, int minutes);
    void takeMap();
    void changeMap();
    quint16 ourPort() const;
    bool isOurs(const ServerAddress& server) const;
    void walkHistory(int step);
    void remember(const QString& command);

    Forms& forms;
    // Kept apart from the registry, which may be gone when the window is destroyed.
    const QString serverFolder;
    QComboBox* serverBox;
    QLineEdit* passwordBox;
    QPlainTextEdit* outputView;
    bool followingEnd = true;
    QLineEdit* commandBox;
    QTableView* playersTable;
    PlayersModel players;
    QSortFilterProxyModel sortedPlayers;
    QLabel* playersLabel;
    QPushButton* kickButton;
    QPushButton* banButton;
    QLineEdit* mapBox;

    std::optional<QStringList> maps;
    ConsoleEcho echo;
    std::unique_ptr<LogFollower> log;
    // The address the Server box gave when it was last looked up.
    std::optional<FoundServer> found;
    QHash<QString, RconClient*> consoles;
    QSet<QString> warned;
    // The Server box's text that the password typed in Password belongs to.
    QString passwordFor;
    // The server whose players the table shows: Kick and Ban act on that server alone.
    std::optional<FoundServer> playersOf;
    QPointer<QueryRequest> askingPlayers;
    QTimer playersTimer;
    // `status` prints into the server's log each time: it is asked when the players change, when one
    // is chosen, and before Kick or Ban, and otherwise no more often than this timer says.
    QTimer statusTimer;
    QElapsedTimer statusAnswered;
    bool askingStatus = false;
    QStringList history;
    qsizetype historyAt = 0;
    QString draft;
};
