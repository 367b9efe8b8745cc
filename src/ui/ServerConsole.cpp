#include "ui/ServerConsole.h"

#include "formats/ConsoleText.h"
#include "formats/ServerCfg.h"
#include "formats/TextLines.h"
#include "launch/FolderSettings.h"
#include "launch/LogFollower.h"
#include "launch/Maps.h"
#include "launch/ServerLaunch.h"
#include "remote/RconClient.h"
#include "remote/RemoteTimings.h"
#include "remote/RequestPackets.h"
#include "remote/ServerQuery.h"
#include "ui/Centring.h"
#include "ui/Form1.h"
#include "ui/Forms.h"
#include "ui/MessageBox.h"

#include <QComboBox>
#include <QCompleter>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

#include <algorithm>

namespace {

// What the view keeps; older lines leave it (never the log).
constexpr int mostLines = 10000;
constexpr qsizetype mostHistory = 100;
constexpr qsizetype mostAddresses = 20;
constexpr QSize firstSize{760, 520};

// Players whose unique id no ban can hold.
const QByteArrayList unbannable{"BOT", "STEAM_ID_LAN"};

// A label that names its control, for Alt and its underlined letter and for a screen reader,
// which some controls (a list's box, a table) would otherwise name by what they show.
QLabel* labelFor(QWidget* control, const char* name, const char* caption)
{
    auto* label = new QLabel(QString::fromUtf8(caption), control->parentWidget());
    label->setObjectName(QLatin1StringView(name));
    label->setBuddy(control);
    control->setAccessibleName(label->text().remove(QLatin1Char('&')));
    return label;
}

template <typename Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1StringView(name));
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    auto* pushButton = named(new QPushButton(caption, parent), name);
    pushButton->setAutoDefault(false);
    return pushButton;
}

// "4:05", "1:02:03"
QString timeConnected(float seconds)
{
    const int whole = int(seconds);
    const QString minutesAndSeconds = QStringLiteral("%1:%2")
                                          .arg(whole / 60 % 60, whole >= 3600 ? 2 : 1, 10, QLatin1Char('0'))
                                          .arg(whole % 60, 2, 10, QLatin1Char('0'));
    return whole >= 3600 ? QString::number(whole / 3600) + QLatin1Char(':') + minutesAndSeconds : minutesAndSeconds;
}

// The name as text; the bytes stay in the row, to be found again in `status`.
QString nameOf(const QByteArray& name)
{
    return QString::fromUtf8(name);
}

// A command that sets a password (rcon_password, sv_password, any variable whose name ends in
// "password") is sent, but never kept in the history, where it would stay in the settings file.
bool setsPassword(const QString& command)
{
    const QByteArrayList words = consoleWords(command.toUtf8());
    return !words.isEmpty() && words.first().toLower().endsWith("password");
}

QStringList withoutPasswords(QStringList commands)
{
    commands.removeIf(setsPassword);
    return commands;
}

} // namespace

ServerConsole::ServerConsole(Forms& registry)
    : QWidget(nullptr, Qt::Window)
    , forms(registry)
    , serverFolder(registry.serverFolder())
{
    setObjectName(QStringLiteral("ServerConsole"));
    setWindowTitle(QStringLiteral("Server Console"));
    buildControls();
    playersTimer.setInterval(remoteTimings().players);
    connect(&playersTimer, &QTimer::timeout, this, &ServerConsole::askPlayers);
}

// The size is kept when the window is closed, and when the program ends with it open.
ServerConsole::~ServerConsole()
{
    setConsoleSize(serverFolder, size());
}

void ServerConsole::closeEvent(QCloseEvent* event)
{
    setConsoleSize(serverFolder, size());
    QWidget::closeEvent(event);
}

void ServerConsole::buildControls()
{
    serverBox = named(new QComboBox(this), "serverBox");
    serverBox->setEditable(true);
    serverBox->setInsertPolicy(QComboBox::NoInsert);
    serverBox->setCompleter(nullptr);
    passwordBox = named(new QLineEdit(this), "passwordBox");
    passwordBox->setEchoMode(QLineEdit::Password);
    outputView = named(new QPlainTextEdit(this), "outputView");
    outputView->setReadOnly(true);
    outputView->setMaximumBlockCount(mostLines);
    outputView->setLineWrapMode(QPlainTextEdit::NoWrap);
    outputView->setTabChangesFocus(true);
    outputView->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont fixed(QStringLiteral("Liberation Mono"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPixelSize(12);
    outputView->setFont(fixed);
    outputView->installEventFilter(this);
    followTheEnd();
    commandBox = named(new QLineEdit(this), "commandBox");
    commandBox->installEventFilter(this);
    playersTable = named(new QTableWidget(0, 3, this), "playersTable");
    playersTable->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Score"), QStringLiteral("Time")});
    playersTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    playersTable->setSelectionMode(QAbstractItemView::SingleSelection);
    playersTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    playersTable->setTabKeyNavigation(false);
    playersTable->verticalHeader()->hide();
    playersTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    playersTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    playersTable->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    kickButton = button(this, "kickButton", QStringLiteral("Kick"));
    banButton = button(this, "banButton", QStringLiteral("Ban\u2026"));
    mapBox = named(new QLineEdit(this), "mapBox");
    auto* changeMapButton = button(this, "changeMapButton", QStringLiteral("Change Map"));

    auto* top = new QHBoxLayout;
    top->addWidget(labelFor(serverBox, "serverLabel", "&Server"));
    top->addWidget(serverBox, 3);
    top->addSpacing(8);
    top->addWidget(labelFor(passwordBox, "passwordLabel", "&Password"));
    top->addWidget(passwordBox, 1);
    auto* command = new QHBoxLayout;
    command->addWidget(labelFor(commandBox, "commandLabel", "&Command"));
    command->addWidget(commandBox);
    auto* output = new QVBoxLayout;
    output->addWidget(labelFor(outputView, "outputLabel", "&Output"));
    output->addWidget(outputView);
    output->addLayout(command);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(kickButton);
    buttons->addWidget(banButton);
    auto* map = new QHBoxLayout;
    map->addWidget(labelFor(mapBox, "mapLabel", "&Map"));
    map->addWidget(mapBox);
    map->addWidget(changeMapButton);
    auto* players = new QVBoxLayout;
    playersLabel = labelFor(playersTable, "playersLabel", "P&layers");
    players->addWidget(playersLabel);
    players->addWidget(playersTable);
    players->addLayout(buttons);
    players->addLayout(map);
    auto* middle = new QHBoxLayout;
    middle->addLayout(output, 3);
    middle->addLayout(players, 1);
    auto* whole = new QVBoxLayout(this);
    whole->addLayout(top);
    whole->addLayout(middle);

    const QList<QWidget*> tabOrder{
        serverBox, passwordBox, outputView, commandBox, playersTable, kickButton, banButton, mapBox, changeMapButton};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(commandBox, &QLineEdit::returnPressed, this, &ServerConsole::sendTyped);
    connect(serverBox, &QComboBox::currentTextChanged, this, &ServerConsole::serverTextChanged);
    connect(passwordBox, &QLineEdit::textEdited, this, [this] { passwordFor = serverBox->currentText().trimmed(); });
    connect(kickButton, &QPushButton::clicked, this, &ServerConsole::kick);
    connect(banButton, &QPushButton::clicked, this, &ServerConsole::ban);
    connect(changeMapButton, &QPushButton::clicked, this, &ServerConsole::changeMap);
}

// The output follows its end, as a terminal does, while the operator has not scrolled up: the view
// learns of a new line's height only after the line is in, so each time its range grows it is taken
// to its end again. Scrolled up, it stays; back at the end, it follows again.
void ServerConsole::followTheEnd()
{
    QScrollBar* bar = outputView->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) { followingEnd = value == bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int end) {
        if (followingEnd)
            bar->setValue(end);
    });
}

void ServerConsole::Form_Load()
{
    const QString& folder = serverFolder;
    const QSize saved = consoleSize(folder);
    resize(saved.isValid() ? saved : firstSize);
    centreOnScreen(this);
    const QString ours = QStringLiteral("127.0.0.1:%1").arg(ourPort());
    QStringList addresses = consoleAddresses(folder);
    addresses.removeAll(ours);
    serverBox->addItems(QStringList(ours) + addresses);
    serverBox->setCurrentIndex(0);
    // Passwords kept by earlier versions leave the settings file now.
    history = withoutPasswords(consoleHistory(folder));
    if (history.size() != consoleHistory(folder).size())
        setConsoleHistory(folder, history);
    historyAt = history.size();
    maps = mapsOfServer(folder);
    if (maps) {
        auto* completer = new QCompleter(*maps, this);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setModelSorting(QCompleter::CaseInsensitivelySortedModel);
        mapBox->setCompleter(completer);
    }
    commandBox->setFocus();
    findServerAddress(ours, this, [this, ours](const Result<ServerAddress>& server) {
        if (server)
            useServer({*server, ours});
    });
    if (const QString logFile = serverLogOf(folder); !logFile.isEmpty()) {
        log = std::make_unique<LogFollower>(logFile);
        connect(log.get(), &LogFollower::linesRead, this,
            [this](const QStringList& lines) { showLines(echo.read(lines)); });
        log->start();
    }
}

void ServerConsole::showLines(const QStringList& lines)
{
    if (!lines.isEmpty())
        outputView->appendPlainText(lines.join(QLatin1Char('\n')));
}

// Up and Down walk the commands sent before, as a shell does. Ctrl+End goes to the very end of the
// output, its last line whole, and the output follows its end again.
bool ServerConsole::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == outputView && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_End)) {
        outputView->moveCursor(QTextCursor::End);
        outputView->verticalScrollBar()->setValue(outputView->verticalScrollBar()->maximum());
        return true;
    }
    if (watched == commandBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            walkHistory(key == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ServerConsole::walkHistory(int step)
{
    const qsizetype to = historyAt + step;
    if (to < 0 || to > history.size())
        return;
    if (historyAt == history.size())
        draft = commandBox->text();
    historyAt = to;
    commandBox->setText(historyAt == history.size() ? draft : history.at(historyAt));
}

void ServerConsole::remember(const QString& command)
{
    if (setsPassword(command))
        return;
    if (history.isEmpty() || history.last() != command)
        history.append(command);
    if (history.size() > mostHistory)
        history.remove(0, history.size() - mostHistory);
    historyAt = history.size();
    draft.clear();
    setConsoleHistory(serverFolder, history);
}

// Enter in Command: the line goes to the server as it stands, once it is one the server takes.
void ServerConsole::sendTyped()
{
    const QString typed = commandBox->text();
    const auto control
        = std::find_if(typed.begin(), typed.end(), [](QChar c) { return isControlCharacter(c.unicode()); });
    if (control != typed.end()) {
        showFailure(QStringLiteral("Not sent: the command holds %1, which the server's console does not take.")
                        .arg(controlCharacterName(control->unicode())));
        return;
    }
    if (!typed.trimmed().isEmpty())
        send({.command = typed.toUtf8(), .typed = true});
}

// Every command goes out here: to the server the Server box names, looked up once for each text.
void ServerConsole::send(const Request& request)
{
    const QString text = serverBox->currentText().trimmed();
    if (found && found->text == text) {
        sendTo(*found, request);
        return;
    }
    findServerAddress(text, this, [this, text, request](const Result<ServerAddress>& server) {
        if (!server) {
            showFailure(server.failure().message);
            return;
        }
        found = FoundServer{*server, text};
        sendTo(*found, request);
    });
}

void ServerConsole::sendTo(const FoundServer& target, const Request& request)
{
    const ServerAddress& server = target.address;
    const QString& text = target.text;
    const bool ours = isOurs(server);
    if (request.approve && !request.approve(ours))
        return;
    const QByteArray& command = request.command;
    const QString address = server.text();
    const QStringList used = consoleAddresses(serverFolder);
    if (!server.ip.isLoopback() && !used.contains(text) && !warned.contains(address)) {
        warned.insert(address);
        showFailure(QStringLiteral("The remote console sends the password to %1 unencrypted.").arg(address));
    }
    const bool folderPasswordUsed = ours && passwordBox->text().isEmpty();
    const std::optional<QByteArray> password = folderPasswordUsed ? folderPassword() : passwordBox->text().toUtf8();
    if (!password || password->isEmpty()) {
        showFailure(ours ? QStringLiteral("Not sent: this folder's server.cfg sets no Remote Console Password. Give "
                                          "it one and press Write Config, or type the password in Password.")
                         : QStringLiteral("Not sent: type the remote console password of the server %1 in Password.")
                               .arg(address));
        return;
    }
    if (const std::optional<Failure> cannot = checkRconCommand(*password, command)) {
        showFailure(cannot->message);
        return;
    }
    RconClient& client = rconFor(server);
    const bool goesOutNow = client.isIdle();
    RconRequest* reply = client.send(*password, command);
    // A command shows when it goes out: at once, or after the reply of the one before it, so that
    // each reply follows its command.
    auto shown = std::make_shared<bool>(false);
    const auto showCommand = [this, command, shown] {
        if (!std::exchange(*shown, true))
            showLines({QStringLiteral("> ") + QString::fromUtf8(command)});
    };
    if (goesOutNow)
        showCommand();
    connect(reply, &RconRequest::started, this, showCommand);
    connect(reply, &ServerRequest::finished, this,
        [this, reply, request, showCommand, how = Sent{ours, folderPasswordUsed}] {
            showCommand();
            showReply(*reply, request, how);
        });
    if (ours)
        echo.sent(QString::fromUtf8(command));
    if (request.typed) {
        remember(QString::fromUtf8(command));
        commandBox->clear();
    }
    QStringList addresses = used;
    addresses.removeAll(text);
    addresses.prepend(text);
    setConsoleAddresses(serverFolder, addresses.mid(0, mostAddresses));
    useServer(target);
}

// This folder's password: the one the running server is known to have, else the one server.cfg
// sets now.
std::optional<QByteArray> ServerConsole::folderPassword() const
{
    if (const Form1* main = forms.loaded<Form1>();
        main && main->server().serverRuns() && main->server().record() && main->server().record()->password)
        return main->server().record()->password;
    return valueSetIn(serverCfgBytes(forms.inServerFolder(QStringLiteral("tfc/server.cfg"))), "rcon_password");
}

// One client per server, so that its commands go out one at a time, in the order sent.
RconClient& ServerConsole::rconFor(const ServerAddress& server)
{
    RconClient*& console = consoles[server.text()];
    if (!console)
        console = new RconClient(server, this);
    return *console;
}

void ServerConsole::showReply(const RconRequest& reply, const Request& request, const Sent& how)
{
    if (reply.failure()) {
        showFailed(reply, how);
        return;
    }
    const QString output = reply.text();
    QStringList lines = output.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    showLines(output.isEmpty() ? QStringList(QStringLiteral("(no reply)")) : lines);
    if (reply.cutShort())
        showLines({QStringLiteral("(reply cut short)")});
    if (how.ours)
        showLines(echo.replied(QString::fromUtf8(reply.command()), output));
    if (how.ours && request.typed)
        tookPassword(reply);
    if (request.then)
        request.then(reply.output());
}

void ServerConsole::showFailed(const RconRequest& reply, const Sent& how)
{
    const RemoteFailure& failure = *reply.failure();
    if (failure.problem == RemoteProblem::NoAnswer)
        showLines({QStringLiteral("(no answer from %1)").arg(reply.server().text())});
    else if (failure.problem == RemoteProblem::PasswordRefused && how.folderPassword)
        showLines({QStringLiteral("The server refused the password (Remote Console Password). Check it, and that "
                                  "the server was started after Write Config wrote it.")});
    else
        showLines({failure.message});
    if (how.ours)
        showLines(echo.replied(QString::fromUtf8(reply.command()), {}));
}

// A password the operator gave this folder's server by hand is the one Stop and a Quillmont started
// later use from then on, as when server.cfg is applied.
void ServerConsole::tookPassword(const RconRequest& reply)
{
    const QByteArrayList words = consoleWords(reply.command());
    Form1* main = forms.loaded<Form1>();
    if (words.size() < 2 || words.first().compare("rcon_password", Qt::CaseInsensitive) != 0 || !main
        || !main->server().serverRuns())
        return;
    if (const QString failure = main->server().notePassword(words.at(1)); !failure.isEmpty())
        showFailure(failure);
}

// While this folder's server runs, it is on the port it was started with.
quint16 ServerConsole::ourPort() const
{
    if (const Form1* main = forms.loaded<Form1>(); main && main->server().record())
        return main->server().record()->port;
    return serverPort(serverFolder);
}

bool ServerConsole::isOurs(const ServerAddress& server) const
{
    return server.ip.isLoopback() && server.port == ourPort();
}

// The players shown are those of the server last sent a command, this folder's at first, and the
// table says whose they are.
void ServerConsole::useServer(const FoundServer& server)
{
    if (playersOf == server)
        return;
    const bool sameServer = playersOf && playersOf->address == server.address;
    playersOf = server;
    playersLabel->setText(QStringLiteral("P&layers on %1").arg(server.address.text()));
    playersTable->setAccessibleName(playersLabel->text().remove(QLatin1Char('&')));
    offerPlayerActions();
    if (sameServer)
        return;
    playersTable->setRowCount(0);
    askPlayers();
    playersTimer.start();
}

// A password belongs to the address it was typed for.
void ServerConsole::serverTextChanged(const QString& text)
{
    offerPlayerActions();
    if (!passwordBox->text().isEmpty() && text.trimmed() != passwordFor)
        passwordBox->clear();
}

// Kick and Ban act on the server whose players are shown, and only while the Server box still
// names it.
void ServerConsole::offerPlayerActions()
{
    const bool playersShown = playersOf && serverBox->currentText().trimmed() == playersOf->text;
    kickButton->setEnabled(playersShown);
    banButton->setEnabled(playersShown);
}

void ServerConsole::askPlayers()
{
    if (!playersOf || askingPlayers)
        return;
    QueryRequest* request = askServerPlayers(playersOf->address, PacketShare::Other, this);
    askingPlayers = request;
    connect(request, &ServerRequest::finished, this, [this, request] {
        askingPlayers.clear();
        if (playersOf && request->server() == playersOf->address)
            showPlayers(request->failure() ? QList<PlayerInfo>() : request->players());
    });
}

void ServerConsole::showPlayers(const QList<PlayerInfo>& players)
{
    const QByteArray selected = playersTable->currentItem() && playersTable->currentItem()->isSelected()
        ? playersTable->item(playersTable->currentRow(), 0)->data(Qt::UserRole).toByteArray()
        : QByteArray();
    playersTable->setRowCount(int(players.size()));
    for (int row = 0; row < players.size(); ++row) {
        const PlayerInfo& player = players.at(row);
        auto* name = new QTableWidgetItem(nameOf(player.name));
        name->setData(Qt::UserRole, player.name);
        playersTable->setItem(row, 0, name);
        playersTable->setItem(row, 1, new QTableWidgetItem(QString::number(player.score)));
        playersTable->setItem(row, 2, new QTableWidgetItem(timeConnected(player.seconds)));
        for (int column : {1, 2})
            playersTable->item(row, column)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (!selected.isEmpty() && player.name == selected)
            playersTable->selectRow(row);
    }
}

// Kick and Ban act on the player by the user id that `status` gives for the selected name, byte
// for byte; a name never goes into a command, since it may hold quotes.
void ServerConsole::withSelectedPlayer(const std::function<void(const FoundServer&, const StatusPlayer&)>& act)
{
    const QList<QTableWidgetItem*> selection = playersTable->selectedItems();
    if (selection.isEmpty() || !playersOf) {
        showFailure(QStringLiteral("Select a player in Players first."));
        return;
    }
    const QByteArray name = playersTable->item(selection.first()->row(), 0)->data(Qt::UserRole).toByteArray();
    const FoundServer server = *playersOf;
    sendTo(server, {.command = "status", .then = [name, server, act](const QByteArray& output) {
                        QList<StatusPlayer> matches = playersInStatus(output);
                        matches.removeIf([&name](const StatusPlayer& player) { return player.name != name; });
                        if (matches.isEmpty())
                            showFailure(QStringLiteral("No player named \"%1\" is on the server now: nothing was sent.")
                                            .arg(nameOf(name)));
                        else if (matches.size() > 1)
                            showFailure(
                                QStringLiteral("%1 players are named \"%2\", and Quillmont cannot tell which one you "
                                               "mean: nothing was sent.")
                                    .arg(matches.size())
                                    .arg(nameOf(name)));
                        else
                            act(server, matches.first());
                    }});
}

void ServerConsole::kick()
{
    withSelectedPlayer([this](const FoundServer& server, const StatusPlayer& player) {
        sendTo(server, {.command = "kick # " + QByteArray::number(player.userid)});
    });
}

// A ban holds the player's unique id for the minutes asked, and is written to the server's list so
// that it outlasts a restart.
void ServerConsole::ban()
{
    withSelectedPlayer([this](const FoundServer& server, const StatusPlayer& player) {
        if (unbannable.contains(player.uniqueid)) {
            showFailure(QStringLiteral("\"%1\" has no unique id that a ban can hold (%2): the player can be kicked, "
                                       "not banned by id.")
                            .arg(nameOf(player.name), QString::fromLatin1(player.uniqueid)));
            return;
        }
        const std::optional<int> minutes = askNumber(
            QStringLiteral("Ban \"%1\" for how many minutes? 0 bans for good.").arg(nameOf(player.name)), 0);
        if (!minutes)
            return;
        sendTo(server, {.command = "banid " + QByteArray::number(*minutes) + ' ' + player.uniqueid + " kick"});
        sendTo(server, {.command = "writeid"});
    });
}

void ServerConsole::changeMap()
{
    const QString map = mapBox->text().trimmed();
    if (map.isEmpty()) {
        showFailure(QStringLiteral("Type the map to change to in Map."));
        return;
    }
    // For this folder's server, as Start Server does.
    const auto approve = [this, map](bool ours) {
        return !ours || !maps || holdsMap(*maps, map)
            || askOperator(QStringLiteral("The map %1 is not in tfc/maps. Change to it anyway?").arg(map));
    };
    send({.command = "changelevel " + map.toUtf8(), .approve = approve});
}
