#pragma once

#include <QString>

#include <optional>

// Takes Quillmont's command line, `quillmont [SERVER_FOLDER]`, before there is an application, so
// that --help and --version work without a display. Prints what was asked for, or why the command
// line is wrong, and gives the exit code then; otherwise gives nothing, and the server folder
// asked for, if any.
std::optional<int> takeCommandLine(int argc, char* argv[], QString& serverFolder);
