#pragma once

#include "formats/Failure.h"

#include <optional>

class SafeSave;
struct ServerSettings;

// Writes the game server's server.cfg into a file the caller has already opened. Values the
// server's console would run as commands are refused, and then nothing is written.
[[nodiscard]] std::optional<Failure> writeServerCfg(SafeSave& file, const ServerSettings& settings);
