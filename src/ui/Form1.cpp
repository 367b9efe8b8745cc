#include "ui/Form1.h"

#include "formats/BanFiles.h"
#include "formats/SafeSave.h"
#include "formats/ServerCfg.h"
#include "launch/FolderSettings.h"
#include "launch/Maps.h"
#include "launch/ServerLaunch.h"
#include "launch/ServerRecord.h"
#include "remote/RemoteTimings.h"
#include "settings/FactorySettings.h"
#include "settings/ServerSettings.h"
#include "ui/BansWindow.h"
#include "ui/Centring.h"
#include "ui/Controls.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/Form5.h"
#include "ui/Form6.h"
#include "ui/Form7.h"
#include "ui/Form8.h"
#include "ui/Form9.h"
#include "ui/Forms.h"
#include "ui/InstallServer.h"
#include "ui/MapCycleWindow.h"
#include "ui/MessageBox.h"
#include "ui/MotdWindow.h"
#include "ui/RestartDaily.h"
#include "ui/ServerConsole.h"
#include "ui/ServerPort.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCompleter>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <array>

namespace {

using K = ControlKind;
using S = ServerSettings;

constexpr QSize clientArea{4335, 3735};

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Label1",   K::Label,    120,  0,    2535, 255},
    {"Text1",    K::TextBox,  120,  240,  2535, 285, 1},
    {"Label2",   K::Label,    120,  720,  2535, 255},
    {"Text2",    K::TextBox,  120,  960,  2535, 285, 2},
    {"Label4",   K::Label,    120,  1440, 2535, 255},
    {"Text4",    K::TextBox,  120,  1680, 2535, 285, 3},
    {"Frame1",   K::Frame,    120,  2160, 2535, 855},
    {"Label6",   K::Label,    120,  240,  855,  255, noFocus, "Frame1"},
    {"Text6",    K::TextBox,  120,  480,  855,  285, 9,  "Frame1"},
    {"Label7",   K::Label,    1440, 240,  855,  255, noFocus, "Frame1"},
    {"Text7",    K::TextBox,  1440, 480,  855,  285, 10, "Frame1"},
    {"Label3",   K::Label,    2880, 0,    1335, 255},
    {"Text3",    K::TextBox,  2880, 240,  855,  285, 4},
    {"Label5",   K::Label,    2880, 720,  1215, 255},
    {"Text5",    K::TextBox,  2880, 930,  855,  285, 20},
    {"Label8",   K::Label,    2880, 1440, 1215, 255},
    {"Text8",    K::TextBox,  2880, 1680, 1335, 285, 23},
    {"Check1",   K::CheckBox, 2880, 2160, 1455, 195, 5},
    {"Check3",   K::CheckBox, 2880, 2400, 1455, 195, 6},
    {"Check6",   K::CheckBox, 2880, 2640, 1455, 195, 7},
    {"Check7",   K::CheckBox, 2880, 2880, 1455, 195, 8},
    {"Command1", K::Button,   120,  3240, 1215, 375, 11},
    {"Command2", K::Button,   1560, 3240, 1215, 375, 18},
    {"Command3", K::Button,   3000, 3240, 1215, 375, 19},
});

// The load step's captions and texts, in its order. The text boxes hold the main-screen settings,
// which reach the record only when something takes them.
constexpr auto loadCaptions = std::to_array<Caption>({
    {"Command1", "Write Config"},
    {"Command2", "Start Server"},
    {"Command3", "Exit"},
    {"Label1", "Server Name"},
    {"Text1", nullptr, &S::hostname},
    {"Label3", "Time Limit"},
    {"Text3", nullptr, &S::mp_timelimit},
    {"Label6", "Max Data"},
    {"Text6", nullptr, &S::sv_maxrate},
    {"Label7", "Min Data"},
    {"Text7", nullptr, &S::sv_minrate},
    {"Label2", "Remote Console Password"},
    {"Text2", nullptr, &S::rcon_password},
    {"Label4", "Server Password"},
    {"Text4", nullptr, &S::sv_password},
    {"Label5", "Max Players"},
    {"Text5", nullptr, &S::maxplayers},
    {"Frame1", "Data Rate"},
    {"Label8", "Start Map"},
    {"Text8", nullptr, &S::start_map},
});
// clang-format on

constexpr auto labels = std::to_array<LabelFor>({
    {"Label1", "Text1"},
    {"Label2", "Text2"},
    {"Label3", "Text3"},
    {"Label4", "Text4"},
    {"Label5", "Text5"},
    {"Label6", "Text6"},
    {"Label7", "Text7"},
    {"Label8", "Text8"},
});

// The switches, which write their field at every change of state.
constexpr auto mainSwitches = std::to_array<Switch>({
    {"Check1", "LAN Server", &S::sv_lan},
    {"Check3", "Pausable", &S::pausable},
    {"Check6", "Clan Battle", &S::tfc_clanbattle},
    {"Check7", "Clan PreMatch", &S::tfc_clanbattle_prematch},
});

// The switches as Save As writes them.
using W = MainWindowSwitches;
constexpr auto saveAsSwitches = std::to_array<std::pair<const char*, bool W::*>>({
    {"Check1", &W::lanServer},
    {"Check3", &W::pausable},
    {"Check6", &W::clanBattle},
    {"Check7", &W::clanPreMatch},
});

// What Save As takes of the main screen: the name, the time limit and the data rates; not the
// passwords, the player limit or the map.
constexpr auto saveAsFields
    = std::to_array<TextField>({&S::sv_minrate, &S::sv_maxrate, &S::hostname, &S::mp_timelimit});

// What Start Server takes: what goes onto the server's command line.
constexpr auto commandLineFields = std::to_array<TextField>({&S::maxplayers, &S::start_map});

const QString serverConfigFile = QStringLiteral("tfc/server.cfg");

// Settings read back after server.cfg is applied live: the server's name, which it always sets, and
// a few that this Write Config changed. Passwords are neither read back nor shown.
constexpr qsizetype otherSettingsChecked = 3;
const QByteArrayList neverReadBack{"hostname", "rcon_password", "sv_password"};

QList<SettingCheck> settingChecks(const QByteArray& before, const QByteArray& after)
{
    QByteArrayList names{"hostname"};
    for (const QByteArray& name : settingsChanged(before, after)) {
        if (!neverReadBack.contains(name) && names.size() <= otherSettingsChecked)
            names.append(name);
    }
    QList<SettingCheck> checks;
    for (const QByteArray& name : std::as_const(names))
        checks.append({name, valueSetIn(after, name).value_or(QByteArray())});
    return checks;
}

} // namespace

Form1::Form1(Forms& registry)
    : forms(registry)
    , settings(registry.settings())
    , watch(registry.serverFolder())
    , keeper(registry.serverFolder(), watch)
    , notifier(registry.serverFolder())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quillmont"));
    auto* client = new QWidget(this);
    client->setFixedSize(twipsSize(clientArea.width(), clientArea.height()));
    setCentralWidget(client);
    buildControls(client, controls);
    labelControls(client, labels);
    buildMenus();
    auto* state = new QLabel(this);
    state->setObjectName(QStringLiteral("serverState"));
    state->setTextFormat(Qt::PlainText);
    // Named by its text, so that a screen reader reads it and hears of each change.
    state->setAccessibleDescription(QStringLiteral("The state of this folder's server"));
    // The window keeps the height it is centred with, whatever the line comes to say.
    state->setText(watch.status());
    state->setFixedHeight(state->sizeHint().height());
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(state, 1);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    writeSwitchesOnChange(this, mainSwitches, settings);
    connect(control<QAbstractButton>(this, "Command1"), &QAbstractButton::clicked, this, &Form1::Command1_Click);
    connect(control<QAbstractButton>(this, "Command2"), &QAbstractButton::clicked, this, &Form1::Command2_Click);
    connect(control<QAbstractButton>(this, "Command3"), &QAbstractButton::clicked, this, &Form1::Command3_Click);
    connect(&watch, &ServerWatch::statusChanged, this, &Form1::showServerState);
    connect(&updateCheck, &QTimer::timeout, this, [this] {
        if (watch.updatingProcess())
            return;
        updateCheck.stop();
        if (!watch.serverRuns())
            watch.begin(serverPort(forms.serverFolder()));
        showServerState();
    });
    connect(&watch, &ServerWatch::stopStuck, this, &Form1::askToEndServer);
    connect(&watch, &ServerWatch::stopFailed, this, [this](const QString& message) {
        restartPending = false;
        showFailure(message);
    });
    connect(&watch, &ServerWatch::keeperFailed, this, [this](const QString& message) {
        restartPending = false;
        showFailure(message);
    });
    // Told on the desktop when the operator looks elsewhere; a keeper without a window tells it itself.
    connect(&keeper, &ServerKeeper::happened, this, [this](const QString& what, bool alarming) {
        if (alarming && !isActiveWindow())
            notifier.notify(what);
    });
    connect(&watch, &ServerWatch::ended, this, [this] {
        if (std::exchange(restartPending, false))
            startAfterPortCheck();
    });
    connect(&watch, &ServerWatch::applied, this, [this](bool done, const QString& message) {
        const std::optional<ServerRecord>& running = watch.record();
        const bool restartNeeded
            = running && (running->maxplayers != settings.maxplayers || running->startMap != settings.start_map);
        const QString told = done && restartNeeded
            ? message + QStringLiteral(" Max Players and Start Map take effect when the server is restarted.")
            : message;
        done ? showConfirmation(told) : showFailure(told);
    });
}

void Form1::buildMenus()
{
    struct Entry {
        const char* name;
        const char* caption;
        void (Form1::*handler)();
        bool enabled = true;
        const char* shortcut = nullptr;
        bool checkable = false;
    };
    struct Menu {
        const char* name;
        const char* caption;
        std::initializer_list<Entry> entries;
    };
    // Open... has no action; Save As... has one but stays greyed; Stop and Restart are greyed while
    // no server of this folder runs, Keep Server Running while `quillmont --keep` keeps it. Alt and
    // a menu's underlined letter opens it, and an entry's underlined letter chooses it. The server's
    // entries have the keys that start, stop and restart a program being run elsewhere on Linux
    // desktops, which no box of the window takes.
    // clang-format off
    const std::initializer_list<Menu> menus{
        {"menuFile", "&File", {
            {"menuOpenCfg", "&Open...", nullptr, false},
            {"menuSaveCfgAs", "Save &As...", &Form1::menuSaveCfgAs_Click, false},
            {"menuSaveDefault", "&Default Settings", &Form1::menuSaveDefault_Click},
            {"blank", nullptr, nullptr},
            {"menuExit", "E&xit", &Form1::menuExit_Click}}},
        {"menuOptions", "&Options", {
            {"menuPhysics", "Game &Physics", &Form1::menuPhysics_Click},
            {"menuRestrictions", "&Class Restriction", &Form1::menuRestrictions_Click},
            {"menuDamage", "&Team Damage Settings", &Form1::menuDamage_Click},
            {"menuScoring", "&Scoring and Team Settings", &Form1::menuScoring_Click},
            {"menuCheats", "C&heats", &Form1::menuCheats_Click}}},
        {"menuServer", "&Server", {
            {"menuStart", "&Start Server", &Form1::Command2_Click, true, "F5"},
            {"menuStop", "S&top Server", &Form1::menuStop_Click, true, "Shift+F5"},
            {"menuRestart", "&Restart Server", &Form1::menuRestart_Click, true, "Ctrl+Shift+F5"},
            {"menuKeep", "&Keep Server Running", &Form1::menuKeep_Click, true, nullptr, true},
            {"menuDaily", "Restart &Daily...", &Form1::menuDaily_Click},
            {"blankServer", nullptr, nullptr},
            {"menuConsole", "Server &Console", &Form1::menuConsole_Click, true, "F12"},
            {"menuMapCycle", "Map C&ycle...", &Form1::menuMapCycle_Click},
            {"menuMotd", "&Message of the Day...", &Form1::menuMotd_Click},
            {"menuBans", "&Bans...", &Form1::menuBans_Click},
            {"menuPort", "Server &Port...", &Form1::menuPort_Click},
            {"menuInstall", "&Install or Update Server...", &Form1::menuInstall_Click}}},
        {"menuHelp", "&Help", {
            {"menuAbout", "&About", &Form1::menuAbout_Click}}},
    };
    // clang-format on
    for (const Menu& menu : menus) {
        QMenu* shown = menuBar()->addMenu(QString::fromLatin1(menu.caption));
        shown->setObjectName(QLatin1StringView(menu.name));
        for (const Entry& entry : menu.entries) {
            QAction* action
                = entry.caption ? shown->addAction(QString::fromLatin1(entry.caption)) : shown->addSeparator();
            action->setObjectName(QLatin1StringView(entry.name));
            action->setEnabled(entry.enabled);
            if (entry.shortcut)
                action->setShortcut(QKeySequence(QLatin1StringView(entry.shortcut)));
            action->setCheckable(entry.checkable);
            if (entry.handler)
                connect(action, &QAction::triggered, this, entry.handler);
        }
    }
}

void Form1::Form_Load()
{
    centreOnScreen(this);
    loadSettingsFile();
    applyCaptions(this, loadCaptions, settings);
    showSwitches(this, mainSwitches, settings);
    keeper.setKeeping(keepServer(forms.serverFolder()));
    control<QAction>(this, "menuKeep")->setChecked(keeper.keeping());
    showServerState();
    // An update that an earlier Quillmont's end cut short is told before the watch tidies its mark away.
    const std::optional<InterruptedUpdate> interrupted = takeInterruptedUpdate(forms.serverFolder());
    watch.begin(serverPort(forms.serverFolder()));
    if (interrupted)
        QTimer::singleShot(0, this, [this, interrupted] { offerInterruptedServer(*interrupted); });
    else if (!QFileInfo(forms.inServerFolder(QStringLiteral("tfc"))).isDir() && holdsNoServer())
        QTimer::singleShot(0, this, [this] { offerInstall(); });
}

bool Form1::holdsNoServer() const
{
    return !QFileInfo::exists(forms.inServerFolder(QStringLiteral("hlds_run")))
        && !QFileInfo::exists(forms.inServerFolder(QStringLiteral("HLDS.EXE")));
}

bool Form1::offerInstall()
{
    if (!askOperator(
            QStringLiteral("There is no server in %1 yet. Install it with SteamCMD?").arg(forms.serverFolder())))
        return false;
    forms.show<InstallServer>();
    return true;
}

void Form1::offerInterruptedServer(const InterruptedUpdate& interrupted)
{
    if (!interrupted.stoppedServer) {
        showFailure(interrupted.message());
        return;
    }
    if (!askOperator(interrupted.message() + QStringLiteral(" Start it again?")))
        return;
    if (const std::optional<QString> failure = startStoppedServer(forms.serverFolder(), *interrupted.stoppedServer)) {
        showFailure(*failure);
        return;
    }
    if (const std::optional<ServerRecord> record = readServerRecord(forms.serverFolder()))
        watch.watch(*record);
}

QRect Form1::statusLineArea() const
{
    return QRect(statusBar()->mapToGlobal(QPoint(0, 0)), statusBar()->size());
}

void Form1::showServerState()
{
    findChild<QLabel*>(QStringLiteral("serverState"))->setText(watch.status());
    for (const char* entry : {"menuStop", "menuRestart"})
        control<QAction>(this, entry)->setEnabled(watch.serverRuns());
    // While SteamCMD updates the folder nothing starts there; once the update has ended the watch
    // takes up the server it started again.
    const bool updating = !watch.serverRuns() && watch.updatingProcess() != 0;
    control<QAction>(this, "menuStart")->setEnabled(!updating);
    control<QAbstractButton>(this, "Command2")->setEnabled(!updating);
    if (updating && !updateCheck.isActive())
        updateCheck.start(remoteTimings().processCheck);
    auto* keep = control<QAction>(this, "menuKeep");
    keep->setEnabled(!watch.keptBy());
    keep->setChecked(watch.keptBy() || keeper.keeping());
}

// The maps are read once, as soon as the window has been drawn, so that many of them do not keep
// it from showing.
bool Form1::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::UpdateRequest && !mapsRead) {
        mapsRead = true;
        QTimer::singleShot(0, this, &Form1::offerMaps);
    }
    return handled;
}

// Start Map completes from the maps, and Start Server asks about others.
void Form1::offerMaps()
{
    maps = mapsOfServer(forms.serverFolder());
    if (!maps)
        return;
    auto* completer = new QCompleter(*maps, this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    control<QLineEdit>(this, "Text8")->setCompleter(completer);
}

// Without its settings file the program still starts, from the factory settings, and says why.
void Form1::loadSettingsFile()
{
    const std::optional<Failure> failure
        = readFullLayout(forms.inServerFolder(defaultSettingsFile), settings, forms.fileEncoding());
    if (!failure) {
        forms.keepDefaults(fullLayoutBytes(settings, forms.fileEncoding()));
        return;
    }
    applyFactorySettings(settings);
    forms.keepDefaults(fullLayoutBytes(settings, forms.fileEncoding()));
    const QString message = failure->message
        + QStringLiteral("\n\nQuillmont is using its factory settings until you save new defaults "
                         "with File, Default Settings.");
    QTimer::singleShot(0, this, [message] { showFailure(message); });
}

void Form1::takeMainScreenBoxes()
{
    takeTextBoxes(this, loadCaptions, settings);
}

void Form1::takeSaveAsBoxes()
{
    takeBoxesOf(saveAsFields);
}

void Form1::takeBoxesOf(std::span<const TextField> fields)
{
    for (const Caption& caption : loadCaptions) {
        if (std::find(fields.begin(), fields.end(), caption.field) != fields.end())
            settings.*caption.field = control<QLineEdit>(this, caption.control)->text();
    }
}

void Form1::showRecord()
{
    for (const Caption& caption : loadCaptions) {
        if (caption.field)
            control<QLineEdit>(this, caption.control)->setText(settings.*caption.field);
    }
    showSwitches(this, mainSwitches, settings);
}

MainWindowSwitches Form1::switches() const
{
    MainWindowSwitches ticked;
    for (const auto& [checkBox, line] : saveAsSwitches)
        ticked.*line = control<QCheckBox>(this, checkBox)->isChecked();
    return ticked;
}

// Closing the main window ends the program, as the Exit button does, dialogs and all.
void Form1::closeEvent(QCloseEvent* event)
{
    // SteamCMD is ended as Cancel ends it, and a server stopped for the update started again, before
    // the program ends.
    if (InstallServer* install = forms.loaded<InstallServer>(); install && install->running()) {
        event->ignore();
        if (askOperator(QStringLiteral("SteamCMD is running. Cancel the update and quit?")))
            install->cancelThen([this] { close(); });
        return;
    }
    if (!settingsKept()) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

// Whether the program may end: the settings it shows are default.tfc's, or the operator chose to
// save them or not; no when the operator cancels, or saving fails.
bool Form1::settingsKept()
{
    ServerSettings shown = settings;
    takeTextBoxes(this, loadCaptions, shown);
    if (leaving || fullLayoutBytes(shown, forms.fileEncoding()) == forms.defaultsKept())
        return leaving = true;
    switch (askToSave(QStringLiteral("Save these settings as the start-up settings in default.tfc?"))) {
    case QMessageBox::Save:
        takeMainScreenBoxes();
        return leaving = forms.saveDefaults();
    case QMessageBox::Discard:
        return leaving = true;
    default:
        return false;
    }
}

// Write Config: a server.cfg that cannot be written stops it before the text boxes reach the record.
void Form1::Command1_Click()
{
    SafeSave file(forms.inServerFolder(serverConfigFile));
    if (const std::optional<Failure> failure = file.open()) {
        showFailure(failure->message);
        return;
    }
    const QByteArray before = serverCfgBytes(file.path());
    takeMainScreenBoxes();
    if (forms.tellSaved(writeServerCfg(file, settings, forms.fileEncoding(), banFilesToExec(forms.serverFolder())),
            QStringLiteral("Configuration saved to server.cfg")))
        offerToApply(before);
}

// The running server reads its server.cfg only when it starts, unless it is told to read it again.
void Form1::offerToApply(const QByteArray& before)
{
    if (!watch.serverRuns() || watch.state() == ServerWatch::State::Stopping
        || !askOperator(QStringLiteral("Apply the new configuration to the running server now?")))
        return;
    const QByteArray written = serverCfgBytes(forms.inServerFolder(serverConfigFile));
    watch.applyConfiguration(valueSetIn(written, "rcon_password").value_or(QByteArray()),
        settingChecks(before, written), forms.fileEncoding());
}

// Start Server: starts what the boxes show. A player limit or map the server would take otherwise
// than it stands is refused, or asked about, before anything starts; a server of this folder that
// runs already is restarted only when the operator wants it so.
void Form1::Command2_Click()
{
    if (!startPending && approveStart(false))
        startAfterPortCheck();
}

void Form1::menuRestart_Click()
{
    if (!startPending && approveStart(true))
        startAfterPortCheck();
}

// The checks and questions before a start, in their order; a server that runs is stopped first,
// and then the start goes on.
bool Form1::approveStart(bool restart)
{
    takeBoxesOf(commandLineFields);
    if (const std::optional<Failure> refused = checkCommandLineValues(settings)) {
        showFailure(refused->message);
        return false;
    }
    if (const std::optional<int> players = playersInsteadOf(settings.maxplayers); players
        && !askOperator(QStringLiteral("%1 is \"%2\", but the game server takes only a whole number from 1 to 32 "
                                       "and would run with %3 players. Start the server anyway?")
                            .arg(settingName(&S::maxplayers), settings.maxplayers)
                            .arg(*players)))
        return false;
    if (maps && !holdsMap(*maps, settings.start_map)
        && !askOperator(
            QStringLiteral("The map %1 is not in tfc/maps. Start the server anyway?").arg(settings.start_map)))
        return false;
    // The server starts all the same, without the bans of a file its server.cfg does not run.
    for (const QString& warning :
        banFilesNotLoaded(forms.serverFolder(), serverCfgBytes(forms.inServerFolder(serverConfigFile))))
        showFailure(warning);
    if (!watch.serverRuns())
        return true;
    if (!restart
        && !askOperator(QStringLiteral("The server is running (%1). Restart it with the current settings?")
                            .arg(watch.stateInWords())))
        return false;
    restartPending = true;
    watch.stop();
    return false;
}

// The port is asked just before the start: a server of another folder there would make this one
// fail at once.
void Form1::startAfterPortCheck()
{
    const quint16 port = serverPort(forms.serverFolder());
    startPending = true;
    watch.askPort(port, [this, port](const std::optional<ServerInfo>& other) {
        startPending = false;
        if (!other) {
            startNow();
            return;
        }
        showFailure(QStringLiteral("Port %1 is in use by another server (%2). Choose another port with Server, "
                                   "Server Port.")
                        .arg(port)
                        .arg(other->map));
    });
}

// Where `quillmont --keep` keeps the server, it is the one that starts it. Trouble with the log or
// the record is told once the server runs.
void Form1::startNow()
{
    if (watch.keptBy()) {
        watch.startByKeeper(settings.maxplayers, settings.start_map);
        return;
    }
    if (holdsNoServer() && offerInstall())
        return;
    const auto started = keeper.start(settings.maxplayers, settings.start_map);
    if (const auto* failure = std::get_if<Failure>(&started)) {
        showFailure(failure->message);
        return;
    }
    for (const QString& notice : std::get<StartedFolderServer>(started).notices)
        showFailure(notice);
}

void Form1::menuStop_Click()
{
    restartPending = false;
    watch.stop();
}

void Form1::askToEndServer()
{
    if (askOperator(QStringLiteral("The server did not stop. End it now?"))) {
        watch.endNow();
        return;
    }
    restartPending = false;
    watch.keepRunning();
}

// Checking the entry has already changed its state.
void Form1::menuKeep_Click()
{
    const bool keep = control<QAction>(this, "menuKeep")->isChecked();
    setKeepServer(forms.serverFolder(), keep);
    keeper.setKeeping(keep);
}

void Form1::menuDaily_Click()
{
    forms.show<RestartDaily>();
}

void Form1::menuInstall_Click()
{
    forms.show<InstallServer>();
}

void Form1::menuConsole_Click()
{
    forms.show<ServerConsole>();
}

void Form1::portChanged(quint16 port)
{
    const std::optional<ServerRecord>& running = watch.record();
    if (!watch.serverRuns() || !running || running->port == port)
        return;
    if (askOperator(QStringLiteral("The server runs on port %1. The new port takes effect when it is restarted. "
                                   "Restart it now?")
                        .arg(running->port)))
        menuRestart_Click();
}

void Form1::menuMapCycle_Click()
{
    forms.show<MapCycleWindow>();
}

void Form1::menuMotd_Click()
{
    forms.show<MotdWindow>();
}

void Form1::menuBans_Click()
{
    forms.show<BansWindow>();
}

void Form1::menuPort_Click()
{
    forms.show<ServerPort>();
}

void Form1::Command3_Click()
{
    if (settingsKept())
        QCoreApplication::quit();
}

void Form1::menuSaveCfgAs_Click()
{
    forms.show<Form9>();
}

void Form1::menuSaveDefault_Click()
{
    forms.show<Form4>();
}

void Form1::menuExit_Click()
{
    if (!settingsKept())
        return;
    forms.unloadAll();
    QCoreApplication::quit();
}

void Form1::menuPhysics_Click()
{
    forms.show<Form6>();
}

void Form1::menuRestrictions_Click()
{
    forms.show<Form2>();
}

void Form1::menuDamage_Click()
{
    forms.show<Form3>();
}

void Form1::menuScoring_Click()
{
    forms.show<Form7>();
}

void Form1::menuCheats_Click()
{
    forms.show<Form5>();
}

void Form1::menuAbout_Click()
{
    forms.show<Form8>();
}
