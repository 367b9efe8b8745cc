#pragma once

#include <QString>

// What Quillmont does without a window, for scripts, services and SSH: keep the folder's server
// running (`--keep`), tell how it is (`--status`) or stop it (`--stop`).
struct HeadlessRequest {
    enum class Verb { Keep, Status, Stop };
    Verb verb = Verb::Status;
    QString serverFolder;
    // The keeper stops the server before it ends itself.
    bool stopOnExit = false;
};

// Runs the verb in the application that main() made, which has no windows and needs no display.
// Gives the exit code: for --status 0 while the server runs and 3 when it does not; 1 when another
// keeper keeps the folder already, or a stop failed; 2 when the folder is no server folder.
int runHeadless(const HeadlessRequest& request);
