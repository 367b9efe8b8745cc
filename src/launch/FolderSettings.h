#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTime>

#include <optional>

class QSettings;

// Quillmont's own settings file: the server folder used last, and what it remembers of each
// server folder.
QSettings programSettings();

// What Quillmont remembers of each server folder.

// The port the folder's server is started on and asked on; 27015 until another is chosen.
quint16 serverPort(const QString& serverFolder);
void setServerPort(const QString& serverFolder, quint16 port);

// The server console's: the last commands sent, newest last; the server addresses used, newest
// first (never a password); and the window's size and place, as QWidget::saveGeometry gives
// them (empty until it has them).
QStringList consoleHistory(const QString& serverFolder);
void setConsoleHistory(const QString& serverFolder, const QStringList& commands);
QStringList consoleAddresses(const QString& serverFolder);
void setConsoleAddresses(const QString& serverFolder, const QStringList& addresses);
QByteArray consoleGeometry(const QString& serverFolder);
void setConsoleGeometry(const QString& serverFolder, const QByteArray& geometry);

// Whether Quillmont restarts the folder's server when it ends or hangs: off until it is turned on.
bool keepServer(const QString& serverFolder);
void setKeepServer(const QString& serverFolder, bool keep);

// The local time of day at which the folder's server is restarted each day; none until one is
// chosen.
std::optional<QTime> dailyRestart(const QString& serverFolder);
void setDailyRestart(const QString& serverFolder, const std::optional<QTime>& at);

// The branch the folder's server is installed from, by its name on the command line ("current",
// "steam_legacy"); empty until one is chosen.
QString installBranch(const QString& serverFolder);
void setInstallBranch(const QString& serverFolder, const QString& branch);

// The SteamCMD program the operator chose with Browse, for every folder; empty until one is chosen.
QString chosenSteamCmd();
void setChosenSteamCmd(const QString& program);
