#include "ui/ServerConsole.h"

#include "formats/BanFiles.h"
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
#include "ui/BanDialog.h"
#include "ui/Centring.h"
#include "ui/FirstExposure.h"
#include "ui/Form1.h"
#include "ui/Controls.h"
#include "ui/Forms.h"
#include "ui/MessageBox.h"
#include "ui/WindowPlace.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QUdpSocket>

#include <algorithm>

namespace {

// What the view keeps; older lines leave it (never the log).
constexpr int mostLines = 10000;
constexpr qsizetype mostHistory = 100;
constexpr qsizetype mostAddresses = 20;
constexpr QSize firstSize{760, 560};
// Details of the players are asked at least this long apart when nothing calls for them, and a
// choice of a player asks again only when they are older than this.
constexpr std::chrono::milliseconds statusEvery{30000};
constexpr qint64 freshStatusMs = 5000;

// The name as text; the bytes stay in the row, to be found again in `status`.
QString nameOf(const QByteArray& name)
{
    return shownName(name);
}

// "NAME (user id N)"
QString playerInWords(const StatusPlayer& player)
{
    return QStringLiteral("%1 (user id %2)").arg(nameOf(player.name)).arg(player.userid);
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
    : QDialog(nullptr, Qt::Window)
    , forms(registry)
    , serverFolder(registry.serverFolder())
{
    setObjectName(QStringLiteral("ServerConsole"));
    setWindowTitle(QStringLiteral("Server Console"));
    setSizeGripEnabled(true);
    buildControls();
    playersTimer.setInterval(remoteTimings().players);
    connect(&playersTimer, &QTimer::timeout, this, &ServerConsole::askPlayers);
    statusTimer.setInterval(statusEvery);
    connect(&statusTimer, &QTimer::timeout, this, [this] { askStatus(); });
}

// The size and place are kept when the window is closed, and when the program ends with it open.
ServerConsole::~ServerConsole()
{
    setConsoleGeometry(serverFolder, saveGeometry());
}

// A dialog's own close would reject it, and a rejected one only hides: the console closes.
void ServerConsole::closeEvent(QCloseEvent* event)
{
    setConsoleGeometry(serverFolder, saveGeometry());
    event->accept();
}

// Escape closes the console as its close box does.
void ServerConsole::reject()
{
    close();
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
    playersTable = named(new QTableView(this), "playersTable");
    sortedPlayers.setSourceModel(&players);
    sortedPlayers.setSortRole(Qt::UserRole);
    playersTable->setModel(&sortedPlayers);
    playersTable->setSortingEnabled(true);
    playersTable->sortByColumn(-1, Qt::AscendingOrder); // the server's order until a column is chosen
    playersTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    playersTable->setSelectionMode(QAbstractItemView::SingleSelection);
    playersTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    playersTable->setTabKeyNavigation(false);
    playersTable->setWordWrap(false);
    playersTable->verticalHeader()->hide();
    // One line of text a row, whatever the names hold.
    playersTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    playersTable->verticalHeader()->setDefaultSectionSize(playersTable->fontMetrics().height() + 4);
    playersTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    playersTable->horizontalHeader()->setSectionResizeMode(PlayersModel::Name, QHeaderView::Stretch);
    connect(playersTable->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!playersTable->selectionModel()->selectedRows().isEmpty()
            && (!statusAnswered.isValid() || statusAnswered.hasExpired(freshStatusMs)))
            askStatus();
    });
    kickButton = buttonNamed(this, "kickButton", QStringLiteral("Kick"));
    banButton = buttonNamed(this, "banButton", QStringLiteral("Ban\u2026"));
    mapBox = named(new QLineEdit(this), "mapBox");
    auto* changeMapButton = buttonNamed(this, "changeMapButton", QStringLiteral("Change Map"));

    auto* top = new QHBoxLayout;
    top->addWidget(labelFor(serverBox, "serverLabel", QStringLiteral("&Server")));
    top->addWidget(serverBox, 3);
    top->addSpacing(8);
    top->addWidget(labelFor(passwordBox, "passwordLabel", QStringLiteral("&Password")));
    top->addWidget(passwordBox, 1);
    auto* command = new QHBoxLayout;
    command->addWidget(labelFor(commandBox, "commandLabel", QStringLiteral("&Command")));
    command->addWidget(commandBox);
    auto* output = new QVBoxLayout;
    output->addWidget(labelFor(outputView, "outputLabel", QStringLiteral("&Output")));
    output->addWidget(outputView);
    output->addLayout(command);
    // The players below the output, the whole width for their eight columns.
    auto* actions = new QHBoxLayout;
    actions->addWidget(kickButton);
    actions->addWidget(banButton);
    actions->addStretch(1);
    actions->addWidget(labelFor(mapBox, "mapLabel", QStringLiteral("&Map")));
    actions->addWidget(mapBox);
    actions->addWidget(changeMapButton);
    auto* playersArea = new QVBoxLayout;
    playersLabel = labelFor(playersTable, "playersLabel", QStringLiteral("P&layers"));
    playersArea->addWidget(playersLabel);
    playersArea->addWidget(playersTable);
    playersArea->addLayout(actions);
    auto* whole = new QVBoxLayout(this);
    whole->addLayout(top);
    whole->addLayout(output, 3);
    whole->addLayout(playersArea, 2);

    chainTabOrder(
        {serverBox, passwordBox, outputView, commandBox, playersTable, kickButton, banButton, mapBox, changeMapButton});

    connect(commandBox, &QLineEdit::returnPressed, this, &ServerConsole::sendTyped);
    connect(serverBox, &QComboBox::currentTextChanged, this, &ServerConsole::serverTextChanged);
    connect(passwordBox, &QLineEdit::textEdited, this, [this] { passwordFor = serverBox->currentText().trimmed(); });
    connect(kickButton, &QPushButton::clicked, this, &ServerConsole::kick);
    connect(banButton, &QPushButton::clicked, this, &ServerConsole::ban);
    connect(changeMapButton, &QPushButton::clicked, this, &ServerConsole::changeMap);
    connect(mapBox, &QLineEdit::returnPressed, this, &ServerConsole::changeMap);
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
    placeWindow();
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
        completer->popup()->installEventFilter(this); // before the completer's own: Enter is ours
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

// Where it was left, within the screen as it is now; the first time, beside the main window where
// the program places its windows (under Wayland the compositor does).
void ServerConsole::placeWindow()
{
    const bool restored = restoreGeometry(consoleGeometry(serverFolder));
    if (!restored)
        resize(firstSize);
    const Form1* main = forms.loaded<Form1>();
    const bool besideMain
        = !restored && main && main->isVisible() && QGuiApplication::platformName() != QLatin1StringView("wayland");
    if (!restored && !besideMain) {
        centreOnScreen(this);
        return;
    }
    ensurePolished();
    layout()->activate();
    const QMargins frame = frameToCome(this).value_or(QMargins());
    placeFramed(frame, besideMain);
    // Where the window manager frames it otherwise than it said, it is placed again.
    onFirstExposure(this, [this, frame, besideMain] {
        if (frameOf(this) != frame)
            placeFramed(frameOf(this), besideMain);
    });
}

// Beside the main window, or where it was left, frame and all within the screen as it is now.
void ServerConsole::placeFramed(const QMargins& frame, bool besideMain)
{
    const QRect available = screen()->availableGeometry();
    const QRect outer(geometry().topLeft() - QPoint(frame.left(), frame.top()), size().grownBy(frame));
    const Form1* main = forms.loaded<Form1>();
    const QRect placed = besideMain && main ? placeBeside(main->frameGeometry(), main->statusLineArea(), outer.size(),
                             minimumSizeHint().grownBy(frame), available)
                                            : clampedTo(outer, available);
    setGeometry(placed.marginsRemoved(frame));
}

// Up and Down walk the commands sent before, as a shell does. Ctrl+End goes to the very end of the
// output, its last line whole, and the output follows its end again. Enter in Map with its list of
// maps open takes the map chosen there, or the first, and changes to it.
bool ServerConsole::eventFilter(QObject* watched, QEvent* event)
{
    if (mapBox->completer() && watched == mapBox->completer()->popup() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            takeMap();
            changeMap();
            return true;
        }
    }
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
    return QDialog::eventFilter(watched, event);
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
    sayWhatPlayersShow();
    offerPlayerActions();
    if (sameServer)
        return;
    players.clear();
    statusAnswered.invalidate();
    askPlayers();
    playersTimer.start();
    statusTimer.start();
}

// The label names the server, and says when the table can show no more than the server query
// gives.
void ServerConsole::sayWhatPlayersShow()
{
    if (!playersOf)
        return;
    const bool detailsKnown = passwordOf(*playersOf).has_value();
    playersLabel->setText(QStringLiteral("P&layers on %1").arg(playersOf->address.text())
        + (detailsKnown ? QString() : QStringLiteral(" (user ids, pings and addresses need its password)")));
    playersTable->setAccessibleName(playersLabel->text().remove(QLatin1Char('&')));
}

// The password for a server: this folder's own when Password is empty; else the one typed there,
// while the Server box still names the server it was typed for.
std::optional<QByteArray> ServerConsole::passwordOf(const FoundServer& server) const
{
    std::optional<QByteArray> password;
    if (isOurs(server.address) && passwordBox->text().isEmpty())
        password = folderPassword();
    else if (!passwordBox->text().isEmpty() && passwordFor == server.text)
        password = passwordBox->text().toUtf8();
    return password && !password->isEmpty() ? password : std::nullopt;
}

// A server query costs the server nothing: it is asked every few seconds.
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

void ServerConsole::showPlayers(const QList<PlayerInfo>& queried)
{
    const QModelIndexList selected = playersTable->selectionModel()->selectedRows();
    const PlayersModel::Row chosen
        = selected.isEmpty() ? PlayersModel::Row() : players.row(sortedPlayers.mapToSource(selected.first()).row());
    if (players.setQueried(queried))
        askStatus();
    if (!selected.isEmpty())
        selectPlayer(chosen.details, chosen.queried.name);
}

// The player chosen stays chosen as the table changes: by user id once `status` has given it,
// else by name.
void ServerConsole::selectPlayer(const std::optional<StatusPlayer>& details, const QByteArray& name)
{
    for (int row = 0; row < players.rowCount(); ++row) {
        const PlayersModel::Row& player = players.row(row);
        if (details && player.details ? player.details->userid == details->userid : player.queried.name == name) {
            playersTable->selectRow(sortedPlayers.mapFromSource(players.index(row, 0)).row());
            return;
        }
    }
}

// `status` goes out without a word in the output; the server's log shows it, and the console leaves
// its echo there out too.
void ServerConsole::askStatus(std::function<void(const QList<StatusPlayer>&)> then)
{
    sayWhatPlayersShow();
    const std::optional<QByteArray> password = playersOf ? passwordOf(*playersOf) : std::nullopt;
    if (!password || (askingStatus && !then))
        return;
    const FoundServer server = *playersOf;
    const bool ours = isOurs(server.address);
    askingStatus = true;
    RconRequest* reply = rconFor(server.address).send(*password, "status");
    if (ours)
        echo.sent(QStringLiteral("status"));
    connect(reply, &ServerRequest::finished, this, [this, reply, server, ours, then] {
        askingStatus = false;
        if (ours)
            showLines(echo.replied(QStringLiteral("status"), reply->text()));
        if (reply->failure()) {
            if (then)
                showFailure(reply->failure()->message);
            return;
        }
        const QList<StatusPlayer> listed = playersInStatus(reply->output());
        if (playersOf == server) {
            players.setDetails(listed);
            statusAnswered.start();
        }
        if (then)
            then(listed);
    });
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

// Kick and Ban act on the player chosen as `status` lists them now: by the user id it gave before,
// else by the name, byte for byte; a name never goes into a command, since it may hold quotes.
void ServerConsole::withSelectedPlayer(const std::function<void(const FoundServer&, const StatusPlayer&)>& act)
{
    const QModelIndexList selected = playersTable->selectionModel()->selectedRows();
    if (selected.isEmpty() || !playersOf) {
        showFailure(QStringLiteral("Select a player in Players first."));
        return;
    }
    if (!passwordOf(*playersOf)) {
        showFailure(QStringLiteral("Not sent: type the remote console password of the server %1 in Password.")
                        .arg(playersOf->address.text()));
        return;
    }
    const PlayersModel::Row chosen = players.row(sortedPlayers.mapToSource(selected.first()).row());
    const FoundServer server = *playersOf;
    askStatus([chosen, server, act](const QList<StatusPlayer>& listed) {
        QList<StatusPlayer> matches = listed;
        matches.removeIf([&](const StatusPlayer& player) {
            return chosen.details ? player.userid != chosen.details->userid : player.name != chosen.queried.name;
        });
        if (matches.isEmpty())
            showFailure(QStringLiteral("%1 is not on the server %2 now: nothing was sent.")
                            .arg(nameOf(chosen.queried.name), server.address.text()));
        else if (matches.size() > 1)
            showFailure(QStringLiteral("%1 players are named \"%2\", and Quillmont cannot tell which one you "
                                       "mean: nothing was sent.")
                            .arg(matches.size())
                            .arg(nameOf(chosen.queried.name)));
        else
            act(server, matches.first());
    });
}

// The engine answers a kick with nothing, whether it found the player or not: the players are
// asked again to tell.
void ServerConsole::kick()
{
    withSelectedPlayer([this](const FoundServer& server, const StatusPlayer& player) {
        if (!askOperator(QStringLiteral("Kick %1 from %2?").arg(playerInWords(player), server.address.text())))
            return;
        sendTo(server,
            {.command = "kick # " + QByteArray::number(player.userid),
                .then = [this, server, player](const QByteArray&) {
                    askPlayers();
                    askStatus([server, player](const QList<StatusPlayer>& listed) {
                        if (std::any_of(listed.begin(), listed.end(),
                                [&](const StatusPlayer& still) { return still.userid == player.userid; }))
                            showFailure(
                                QStringLiteral("%1 is still on %2.").arg(playerInWords(player), server.address.text()));
                    });
                }});
    });
}

// A ban holds the player's unique id; a player without one, the address the player plays from.
// Asked first for how long, it is kept in the server's file when it is for good and the server is
// this folder's.
void ServerConsole::ban()
{
    withSelectedPlayer([this](const FoundServer& server, const StatusPlayer& player) {
        const std::variant<BanTarget, QString> target = banTargetOf(server, player);
        if (const auto* refusal = std::get_if<QString>(&target)) {
            showFailure(*refusal);
            return;
        }
        const BanTarget& ban = std::get<BanTarget>(target);
        const bool ours = isOurs(server.address);
        const auto commandsFor = [&ban, &player](int minutes) {
            return ban.list == BanList::Ids
                ? QStringLiteral("banid %1 %2 kick").arg(minutes).arg(QString::fromLatin1(ban.entry))
                : QStringLiteral("addip %1 %2, then kick # %3 if %4 is still on the server")
                      .arg(minutes)
                      .arg(QString::fromLatin1(ban.entry))
                      .arg(player.userid)
                      .arg(nameOf(player.name));
        };
        const QString kept = ours
            ? QStringLiteral("A timed ban ends when it runs out or when the server restarts, whichever comes first; "
                             "only a permanent ban is kept in %1.")
                  .arg(banFileName(ban.list))
            : QStringLiteral("A timed ban ends when it runs out or when the server restarts, whichever comes first; "
                             "Quillmont keeps no ban in the files of a server on another computer.");
        const std::optional<int> minutes = askBanLength(QStringLiteral("For how long is %1 to be banned from %2?")
                                                            .arg(playerInWords(player), server.address.text()),
            commandsFor, kept);
        if (minutes)
            sendBan(server, player, ban, *minutes);
    });
}

// The id or address a ban can hold for a player, or why there is none.
std::variant<ServerConsole::BanTarget, QString> ServerConsole::banTargetOf(
    const FoundServer& server, const StatusPlayer& player) const
{
    if (isUniqueId(player.uniqueid))
        return BanTarget{BanList::Ids, printedId(player.uniqueid)};
    if (player.address.isEmpty())
        return QStringLiteral("%1 has no unique id that a ban can hold (%2), and no address: the player can be "
                              "kicked, not banned.")
            .arg(playerInWords(player), QString::fromLatin1(player.uniqueid));
    const QByteArray address = player.address.left(player.address.indexOf(':'));
    if (address == addressSeenBy(server.address))
        return QStringLiteral("Banning %1 would lock Quillmont out of this server too.")
            .arg(QString::fromLatin1(address));
    if (const std::optional<QString> problem = banAddressProblem(address))
        return QStringLiteral("%1 has no unique id that a ban can hold (%2), and cannot be banned by address: %3")
            .arg(playerInWords(player), QString::fromLatin1(player.uniqueid), *problem);
    return BanTarget{BanList::Addresses, address};
}

// The address the server sees Quillmont's packets come from: loopback's for a server on this
// computer, else the one the system sends to it from.
QByteArray ServerConsole::addressSeenBy(const ServerAddress& server)
{
    if (server.ip.isLoopback())
        return QByteArrayLiteral("127.0.0.1");
    QUdpSocket probe; // connecting a datagram socket sends nothing
    probe.connectToHost(server.ip, server.port);
    return probe.localAddress().toString().toLatin1();
}

// `writeid` and `writeip` would rewrite the server's ban file whole, dropping the operator's
// comments and line ends: a permanent ban's line is added to it by Quillmont itself.
void ServerConsole::sendBan(const FoundServer& server, const StatusPlayer& player, const BanTarget& ban, int minutes)
{
    const QByteArray length = QByteArray::number(minutes);
    if (ban.list == BanList::Ids) {
        sendTo(server, {.command = "banid " + length + ' ' + ban.entry + " kick"});
    } else {
        sendTo(
            server, {.command = "addip " + length + ' ' + ban.entry, .then = [this, server, player](const QByteArray&) {
                         askStatus([this, server, player](const QList<StatusPlayer>& listed) {
                             if (std::any_of(listed.begin(), listed.end(),
                                     [&](const StatusPlayer& still) { return still.userid == player.userid; }))
                                 sendTo(server, {.command = "kick # " + QByteArray::number(player.userid)});
                         });
                     }});
    }
    if (minutes != 0 || !isOurs(server.address))
        return;
    const SaveOutcome outcome = addPermanentBan(serverFolder, ban.list, ban.entry, forms.fileEncoding());
    if (const Failure* failure = failureOf(outcome))
        showFailure(failure->message);
    else if (const std::optional<QString>& notDurable = std::get<Saved>(outcome).notDurable)
        showFailure(*notDurable);
}

// The map chosen in Map's list of maps, or the first there when none is.
void ServerConsole::takeMap()
{
    QCompleter* completer = mapBox->completer();
    const QModelIndex chosen = completer->popup()->currentIndex();
    if (!chosen.isValid())
        completer->setCurrentRow(0);
    mapBox->setText(chosen.isValid() ? chosen.data().toString() : completer->currentCompletion());
    completer->popup()->hide();
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
