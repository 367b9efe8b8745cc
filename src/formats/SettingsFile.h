#pragma once

#include "formats/Failure.h"
#include "formats/SafeSave.h"
#include "formats/TextEncoding.h"

#include <optional>

struct ServerSettings;

// The main window's four switches as ticked at the moment of a Save As.
struct MainWindowSwitches {
    bool lanServer = false;
    bool pausable = false;
    bool clanBattle = false;
    bool clanPreMatch = false;
};

// Where the start-up settings lie, in the server folder.
inline const QString defaultSettingsFile = QStringLiteral("tfc/default.tfc");

// default.tfc: every setting, one per line, under section headers.
[[nodiscard]] SaveOutcome writeFullLayout(const QString& path, const ServerSettings& settings, TextEncoding encoding);
// The bytes writeFullLayout writes for the settings.
QByteArray fullLayoutBytes(const ServerSettings& settings, TextEncoding encoding);

// Reads a full-layout file into the record, and the character set it is in into `encoding`: all
// of it, or on failure nothing at all.
[[nodiscard]] std::optional<Failure> readFullLayout(
    const QString& path, ServerSettings& settings, TextEncoding& encoding);

// The shorter layout of a file saved under a name of the operator's choosing; nothing reads it back.
[[nodiscard]] SaveOutcome writeSaveAsLayout(
    const QString& path, const ServerSettings& settings, const MainWindowSwitches& switches, TextEncoding encoding);
