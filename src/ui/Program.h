#pragma once

#include <QString>

// Runs Quillmont in the application that main() made: picks the server folder, keeps to one
// program for it, shows the main window and runs until the program ends. Gives the exit code; an
// operator who declines to choose a server folder ends the program at once, leaving nothing behind.
int runQuillmont(const QString& requestedFolder, const QString& programFolder);
