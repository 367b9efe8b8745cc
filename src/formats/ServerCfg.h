#pragma once

#include "formats/Failure.h"
#include "formats/SafeSave.h"
#include "formats/TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

struct ServerSettings;

// Writes the game server's server.cfg, in the given character set, into a file the caller has
// already opened. A value the server's console would not apply exactly as it stands, or would run
// as commands, is refused, and then nothing is written. The files named in `execs` (the ban lists,
// which the server never loads by itself) are run by `exec` lines at its end.
[[nodiscard]] SaveOutcome writeServerCfg(
    SafeSave& file, const ServerSettings& settings, TextEncoding encoding, const QByteArrayList& execs = {});

// A server.cfg's bytes, for reading what it sets: nothing when it is missing, not a plain file or
// far larger than any server.cfg.
QByteArray serverCfgBytes(const QString& path);

// What a server.cfg sets a console variable to, read the way the game server's console reads the
// file (the last setting wins); nothing when the file does not set it.
std::optional<QByteArray> valueSetIn(QByteArrayView serverCfg, QByteArrayView variable);

// The console variables that one server.cfg sets otherwise than another (or that only it sets),
// in the order it first sets them.
QByteArrayList settingsChanged(QByteArrayView before, QByteArrayView after);
