#include "install/SteamCmdPlace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

QStringList steamCmdPlaces(const QString& home)
{
    const QDir at(home);
    return {QStringLiteral("/usr/games/steamcmd"), at.filePath(QStringLiteral(".steam/steamcmd/steamcmd.sh")),
        at.filePath(QStringLiteral("steamcmd/steamcmd.sh")), at.filePath(QStringLiteral("Steam/steamcmd.sh"))};
}

namespace {

bool isProgram(const QString& path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isFile() && info.isExecutable();
}

} // namespace

QString findSteamCmd(const QString& chosen, const QString& path, const QString& home)
{
    if (isProgram(chosen))
        return QFileInfo(chosen).absoluteFilePath();
    QStringList candidates;
    for (const QString& folder : path.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        candidates << QDir(folder).filePath(QStringLiteral("steamcmd"));
    candidates << steamCmdPlaces(home);
    for (const QString& candidate : std::as_const(candidates)) {
        if (isProgram(candidate))
            return QFileInfo(candidate).absoluteFilePath();
    }
    return {};
}

QString howToGetSteamCmd()
{
    return QStringLiteral(
        "SteamCMD is not installed. On Debian: sudo dpkg --add-architecture i386, add the non-free area to the "
        "apt sources, then sudo apt update && sudo apt install steamcmd. Or unpack Valve's steamcmd_linux.tar.gz "
        "into ~/steamcmd. Then choose it with Browse.");
}

QString steamClientOf(const QString& steamCmd, const QString& home)
{
    const QString linux32 = QStringLiteral("linux32/steamclient.so");
    if (steamCmd == QStringLiteral("/usr/games/steamcmd"))
        return QDir(home).filePath(QStringLiteral(".steam/steamcmd/") + linux32);
    return QFileInfo(steamCmd).dir().filePath(linux32);
}

std::optional<QString> linkSteamClient(const QString& steamCmd, const QString& home, std::optional<Failure>& failure)
{
    const QString source = steamClientOf(steamCmd, home);
    const QString folder = QDir(home).filePath(QStringLiteral(".steam/sdk32"));
    const QString link = QDir(folder).filePath(QStringLiteral("steamclient.so"));
    struct stat status { };
    // Anything there, a dangling link too, is the operator's.
    if (::lstat(QFile::encodeName(link).constData(), &status) == 0 || !QFileInfo(source).isFile())
        return std::nullopt;
    if (!QDir().mkpath(folder)) {
        failure = Failure::cannotWrite(folder, QStringLiteral("the folder could not be created"));
        return std::nullopt;
    }
    if (::symlink(QFile::encodeName(source).constData(), QFile::encodeName(link).constData()) != 0) {
        failure = Failure::cannotWrite(link, qt_error_string(errno));
        return std::nullopt;
    }
    return QStringLiteral("Linked %1 to %2, where the server looks for it.").arg(link, source);
}

QString steamCmdLockPath(const QString& stateHome, const QString& home)
{
    const QString state = stateHome.isEmpty() ? QDir(home).filePath(QStringLiteral(".local/state")) : stateHome;
    return QDir(state).filePath(QStringLiteral("quillmont/steamcmd.lock"));
}

QStringList missingServerFiles(const QString& folder)
{
    QStringList missing;
    for (const char* file : {"hlds_run", "hlds_linux", "tfc/liblist.gam"}) {
        if (!QFileInfo(QDir(folder).filePath(QString::fromLatin1(file))).isFile())
            missing << QString::fromLatin1(file);
    }
    return missing;
}
