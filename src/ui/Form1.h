#pragma once

#include "formats/SettingsFile.h"
#include "keep/DesktopNotifier.h"
#include "keep/ServerKeeper.h"
#include "keep/ServerUpdate.h"
#include "remote/ServerWatch.h"
#include "settings/ServerSettings.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <optional>
#include <span>

class Forms;

// The main window: the start-up window that loads the settings, edits the main-screen settings,
// writes server.cfg, starts, stops and restarts the server and shows its state, and opens every
// other window from its menus.
class Form1 : public QMainWindow {
public:
    static constexpr int number = 1;

    explicit Form1(Forms& forms);

    void Form_Load();

    // For Write Config and the dialogs that work on the main window: take all eight text boxes
    // into the record, or the four that Save As takes; put the record back into the text boxes
    // and switches; and report the switches as ticked now.
    void takeMainScreenBoxes();
    void takeSaveAsBoxes();
    void showRecord();
    MainWindowSwitches switches() const;

    // A new server port was chosen: the server that runs keeps its own until it is restarted.
    void portChanged(quint16 port);

    // Where the status line stands on the screen, which other windows must leave seen.
    QRect statusLineArea() const;

    const ServerWatch& server() const { return watch; }
    ServerWatch& server() { return watch; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void takeBoxesOf(std::span<const TextField> fields);
    void loadSettingsFile();
    bool settingsKept();
    void offerMaps();
    void showServerState();
    bool approveStart(bool restart);
    void startAfterPortCheck();
    void startNow();
    void askToEndServer();
    void offerToApply(const QByteArray& before);

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void menuSaveCfgAs_Click();
    void menuSaveDefault_Click();
    void menuExit_Click();
    void menuPhysics_Click();
    void menuRestrictions_Click();
    void menuDamage_Click();
    void menuScoring_Click();
    void menuCheats_Click();
    void menuAbout_Click();
    void menuStop_Click();
    void menuRestart_Click();
    void menuKeep_Click();
    void menuDaily_Click();
    void menuConsole_Click();
    void menuMapCycle_Click();
    void menuMotd_Click();
    void menuBans_Click();
    void menuPort_Click();
    void menuInstall_Click();
    bool holdsNoServer() const;
    bool offerInstall();
    void offerInterruptedServer(const InterruptedUpdate& interrupted);

    Forms& forms;
    ServerSettings& settings;
    bool mapsRead = false;
    QTimer updateCheck;
    std::optional<QStringList> maps;
    ServerWatch watch;
    ServerKeeper keeper;
    DesktopNotifier notifier;
    // A start waits for the port to be asked, or for the running server to stop.
    bool startPending = false;
    bool restartPending = false;
    // The operator has been asked about the settings and lets the program end.
    bool leaving = false;
};
