#pragma once

#include "formats/Failure.h"

#include <QString>
#include <QStringList>

#include <optional>

// Where SteamCMD is, and what Quillmont keeps of its own beside it. `home` is the operator's home
// folder; tests give one of their own.

// The places SteamCMD is looked for, in order, after `steamcmd` on the PATH.
QStringList steamCmdPlaces(const QString& home);
// The first SteamCMD program found: the one chosen (when it is a program) else the first of the
// PATH's `steamcmd` and steamCmdPlaces. Empty when there is none.
QString findSteamCmd(const QString& chosen, const QString& path, const QString& home);
// How to get SteamCMD, for when none is found.
QString howToGetSteamCmd();

// The steamclient.so that SteamCMD brings, beside its program; for the Debian package's program, in
// the copy it makes in the home folder.
QString steamClientOf(const QString& steamCmd, const QString& home);
// Links ~/.steam/sdk32/steamclient.so to SteamCMD's, where the engine looks for it, unless anything
// stands there already. What was done, for the operator; nothing when nothing was; or a failure.
std::optional<QString> linkSteamClient(const QString& steamCmd, const QString& home, std::optional<Failure>& failure);

// The one lock for all SteamCMD runs of this account: $XDG_STATE_HOME/quillmont/steamcmd.lock.
QString steamCmdLockPath(const QString& stateHome, const QString& home);

// The folder's files that show a server installed: hlds_run, hlds_linux and tfc/liblist.gam.
QStringList missingServerFiles(const QString& folder);
