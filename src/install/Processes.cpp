#include "install/Processes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

struct ProcessState {
    char state = '?';
    qint64 parent = 0;
    qint64 group = 0;
    qint64 session = 0;
};

// The fields of /proc/PID/stat after the command's name, which may hold anything, brackets too.
std::optional<ProcessState> stateOf(const QString& process)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(process));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray stat = file.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 4 || fields.at(0).isEmpty())
        return std::nullopt;
    return ProcessState{
        fields.at(0).at(0), fields.at(1).toLongLong(), fields.at(2).toLongLong(), fields.at(3).toLongLong()};
}

QStringList processes()
{
    QStringList numbers;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        name.toLongLong(&number);
        if (number)
            numbers << name;
    }
    return numbers;
}

bool inFolder(const QString& path, const QString& folder)
{
    return !path.isEmpty() && path.startsWith(folder + QLatin1Char('/'));
}

// Whether the process runs the folder's server programs: by its executable, or by a word of its command
// line (relative ones taken from its working folder) naming hlds_run or hlds_linux in the folder.
bool runsFrom(const QString& process, const QString& folder)
{
    const QString proc = QStringLiteral("/proc/%1/").arg(process);
    if (inFolder(QFileInfo(proc + QStringLiteral("exe")).symLinkTarget(), folder))
        return true;
    QFile file(proc + QStringLiteral("cmdline"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QDir workingFolder(QFileInfo(proc + QStringLiteral("cwd")).symLinkTarget());
    for (const QByteArray& word : file.readAll().split('\0')) {
        const QString path = QFile::decodeName(word);
        const QString name = QFileInfo(path).fileName();
        if ((name == QStringLiteral("hlds_run") || name == QStringLiteral("hlds_linux"))
            && inFolder(QDir::cleanPath(workingFolder.absoluteFilePath(path)), folder))
            return true;
    }
    return false;
}

// Whether the process is this one or was started by it.
bool ours(qint64 process)
{
    const qint64 self = ::getpid();
    for (int depth = 0; process > 1 && depth < 64; ++depth) {
        if (process == self)
            return true;
        const std::optional<ProcessState> state = stateOf(QString::number(process));
        if (!state)
            return false;
        process = state->parent;
    }
    return false;
}

} // namespace

QList<qint64> groupMembers(qint64 group)
{
    QList<qint64> members;
    for (const QString& process : processes()) {
        const std::optional<ProcessState> state = stateOf(process);
        if (state && state->group == group && state->state != 'Z')
            members << process.toLongLong();
    }
    return members;
}

std::optional<qint64> foreignServer(const QString& folder, qint64 ownSession)
{
    const QString clean = QDir::cleanPath(QFileInfo(folder).canonicalFilePath());
    for (const QString& process : processes()) {
        const std::optional<ProcessState> state = stateOf(process);
        if (!state || state->state == 'Z' || (ownSession > 0 && state->session == ownSession))
            continue;
        if (runsFrom(process, clean) && !ours(process.toLongLong()))
            return process.toLongLong();
    }
    return std::nullopt;
}
