#pragma once

struct ServerSettings;

// Puts the values Quillmont ships with into every field but file_version, which keeps the version
// of the settings file read at start-up.
void applyFactorySettings(ServerSettings& settings);
