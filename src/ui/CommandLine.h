#pragma once

#include "keep/Headless.h"

#include <QString>

#include <optional>

// Takes Quillmont's command line, `quillmont [SERVER_FOLDER]` or a verb without a window (`--keep`,
// `--status`, `--stop` SERVER_FOLDER), before there is an application, so that --help, --version
// and those verbs work without a display. Prints what was asked for, or why the command line is
// wrong, and gives the exit code then; otherwise gives nothing, and the server folder asked for, if
// any, or the verb.
std::optional<int> takeCommandLine(
    int argc, char* argv[], QString& serverFolder, std::optional<HeadlessRequest>& headless);
