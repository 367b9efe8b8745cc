#pragma once

#include <QString>

// What Quillmont remembers of each server folder in its own settings file, beside the folder used
// last.

// The port the folder's server is started on and asked on; 27015 until another is chosen.
quint16 serverPort(const QString& serverFolder);
void setServerPort(const QString& serverFolder, quint16 port);
