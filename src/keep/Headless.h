#pragma once

#include <QString>

// What Quillmont does without a window, for scripts, services and SSH: keep the folder's server
// running (`--keep`), tell how it is (`--status`), stop it (`--stop`), or install or update it with
// SteamCMD (`--update`).
struct HeadlessRequest {
    enum class Verb { Keep, Status, Stop, Update };
    Verb verb = Verb::Status;
    QString serverFolder;
    // The keeper stops the server before it ends itself.
    bool stopOnExit = false;
    // For --update: validate every file; the branch by its option name (empty: the folder's
    // remembered one); only when Steam has a newer build; without telling the players first.
    bool validate = false;
    QString branch;
    bool ifNewer = false;
    bool now = false;
};

// Runs the verb in the application that main() made, which has no windows and needs no display.
// Gives the exit code: for --status 0 while the server runs and 3 when it does not; 1 when another
// keeper keeps the folder already, or a stop failed; 2 when the folder is no server folder.
// For --update: 0 when the server is installed or up to date, 1 when the update failed or was ended,
// 2 when the folder cannot be installed into or there is no SteamCMD.
int runHeadless(const HeadlessRequest& request);
