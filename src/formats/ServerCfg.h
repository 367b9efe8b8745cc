#pragma once

#include "formats/Failure.h"
#include "formats/TextEncoding.h"

#include <optional>

class SafeSave;
struct ServerSettings;

// Writes the game server's server.cfg, in the given character set, into a file the caller has
// already opened. A value the server's console would not apply exactly as it stands, or would run
// as commands, is refused, and then nothing is written.
[[nodiscard]] std::optional<Failure> writeServerCfg(
    SafeSave& file, const ServerSettings& settings, TextEncoding encoding);
