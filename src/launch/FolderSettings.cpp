#include "launch/FolderSettings.h"

#include "launch/ServerLaunch.h"

#include <QDir>
#include <QSettings>
#include <QUrl>

namespace {

// Each folder has a group of its own, named by the folder's path, percent-encoded so that the
// settings file does not take its slashes for groups within groups.
QString keyOf(const QString& serverFolder, const char* name)
{
    const QString folder = QDir(serverFolder).absolutePath();
    return QStringLiteral("folders/") + QString::fromLatin1(QUrl::toPercentEncoding(folder)) + QLatin1Char('/')
        + QLatin1StringView(name);
}

} // namespace

QSettings programSettings()
{
    return QSettings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmont"), QStringLiteral("Quillmont"));
}

quint16 serverPort(const QString& serverFolder)
{
    const uint port = programSettings().value(keyOf(serverFolder, "port"), defaultServerPort).toUInt();
    return port >= 1 && port <= 0xFFFF ? quint16(port) : defaultServerPort;
}

void setServerPort(const QString& serverFolder, quint16 port)
{
    programSettings().setValue(keyOf(serverFolder, "port"), port);
}

QStringList consoleHistory(const QString& serverFolder)
{
    return programSettings().value(keyOf(serverFolder, "consoleHistory")).toStringList();
}

void setConsoleHistory(const QString& serverFolder, const QStringList& commands)
{
    programSettings().setValue(keyOf(serverFolder, "consoleHistory"), commands);
}

QStringList consoleAddresses(const QString& serverFolder)
{
    return programSettings().value(keyOf(serverFolder, "consoleAddresses")).toStringList();
}

void setConsoleAddresses(const QString& serverFolder, const QStringList& addresses)
{
    programSettings().setValue(keyOf(serverFolder, "consoleAddresses"), addresses);
}

QByteArray consoleGeometry(const QString& serverFolder)
{
    return programSettings().value(keyOf(serverFolder, "consoleGeometry")).toByteArray();
}

void setConsoleGeometry(const QString& serverFolder, const QByteArray& geometry)
{
    programSettings().setValue(keyOf(serverFolder, "consoleGeometry"), geometry);
}

bool keepServer(const QString& serverFolder)
{
    return programSettings().value(keyOf(serverFolder, "keepServer"), false).toBool();
}

void setKeepServer(const QString& serverFolder, bool keep)
{
    programSettings().setValue(keyOf(serverFolder, "keepServer"), keep);
}

std::optional<QTime> dailyRestart(const QString& serverFolder)
{
    const QTime at = QTime::fromString(
        programSettings().value(keyOf(serverFolder, "dailyRestart")).toString(), QStringLiteral("HH:mm"));
    return at.isValid() ? std::optional(at) : std::nullopt;
}

void setDailyRestart(const QString& serverFolder, const std::optional<QTime>& at)
{
    programSettings().setValue(
        keyOf(serverFolder, "dailyRestart"), at ? at->toString(QStringLiteral("HH:mm")) : QString());
}

QString installBranch(const QString& serverFolder)
{
    return programSettings().value(keyOf(serverFolder, "branch")).toString();
}

void setInstallBranch(const QString& serverFolder, const QString& branch)
{
    programSettings().setValue(keyOf(serverFolder, "branch"), branch);
}

QString chosenSteamCmd()
{
    return programSettings().value(QStringLiteral("steamcmd")).toString();
}

void setChosenSteamCmd(const QString& program)
{
    programSettings().setValue(QStringLiteral("steamcmd"), program);
}
