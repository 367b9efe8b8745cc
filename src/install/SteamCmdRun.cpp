#include "install/SteamCmdRun.h"

#include "formats/OwnFile.h"
#include "install/Processes.h"
#include "launch/ServerLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

InstallTimings current;

const QString startWords = QStringLiteral("SteamCMD started:");
const QString endWords = QStringLiteral("SteamCMD ended:");

// SteamCMD's log is written through one handle only, Quillmont's: past its limit it is moved aside
// whole, by renames that copy nothing (a copy of 16 MiB would stall the window), the older copies
// moving up to LOG.5, and begun anew. What stands at a copy's name is moved or replaced itself, never
// what a link there leads to.
void moveLogAside(const QString& log)
{
    const QByteArray path = QFile::encodeName(log);
    const auto copy = [&path](int number) { return QByteArray(path + '.' + QByteArray::number(number)); };
    for (int number = keptLogCopies - 1; number >= 1; --number)
        ::rename(copy(number).constData(), copy(number + 1).constData());
    ::rename(path.constData(), copy(1).constData());
}

} // namespace

const InstallTimings& installTimings()
{
    return current;
}

void setInstallTimings(const InstallTimings& timings)
{
    current = timings;
}

QString durationInWords(std::chrono::milliseconds duration)
{
    using namespace std::chrono_literals;
    if (duration >= 1min && duration % 1min == 0ms)
        return QStringLiteral("%1 minutes").arg(duration / 1min);
    return QStringLiteral("%1 seconds").arg(double(duration.count()) / 1000);
}

SteamCmdLock::SteamCmdLock(QString path)
    : path_(std::move(path))
{
}

SteamCmdLock::~SteamCmdLock()
{
    release();
}

void SteamCmdLock::release()
{
    if (handle_ >= 0)
        ::close(handle_);
    handle_ = -1;
}

SteamCmdLock::Outcome SteamCmdLock::tryTake(const QString& folder)
{
    if (handle_ < 0) {
        QDir().mkpath(QFileInfo(path_).path());
        const std::variant<int, QString> opened = openOwnFile(path_, O_RDWR | O_CREAT | O_CLOEXEC);
        if (const QString* reason = std::get_if<QString>(&opened)) {
            failure_ = Failure::cannotWrite(path_, *reason).message;
            return Outcome::Failed;
        }
        handle_ = std::get<int>(opened);
    }
    if (::flock(handle_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            failure_ = Failure::cannotWrite(path_, qt_error_string(errno)).message;
            return Outcome::Failed;
        }
        QFile file;
        file.open(handle_, QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
        file.seek(0);
        holder_ = QString::fromUtf8(file.readLine(4096)).trimmed();
        return Outcome::Held;
    }
    const QByteArray holder = QFile::encodeName(folder) + "\n" + QByteArray::number(::getpid()) + "\n";
    if (::ftruncate(handle_, 0) != 0
        || ::pwrite(handle_, holder.constData(), size_t(holder.size()), 0) != holder.size()) {
        failure_ = Failure::cannotWrite(path_, qt_error_string(errno)).message;
        return Outcome::Failed;
    }
    return Outcome::Taken;
}

SteamCmdRun::SteamCmdRun(QString program, QStringList arguments, QString log, QObject* parent)
    : QObject(parent)
    , program_(std::move(program))
    , arguments_(std::move(arguments))
    , log_(std::move(log))
{
    connect(&silence_, &QTimer::timeout, this, [this] {
        end_.how = RunEnd::How::Silent;
        endGroup(SIGTERM);
    });
    connect(&groupCheck_, &QTimer::timeout, this, &SteamCmdRun::checkGroup);
    connect(&process_, &QProcess::finished, this, &SteamCmdRun::processFinished);
}

SteamCmdRun::~SteamCmdRun()
{
    // A run still going when its window goes is ended at once, its whole group.
    if (running() && !finished_ && process_.processId() > 0)
        ::kill(-pid_t(process_.processId()), SIGKILL);
    process_.waitForFinished(1000);
    if (master_ >= 0)
        ::close(master_);
    if (logHandle_ >= 0)
        ::close(logHandle_);
}

void SteamCmdRun::start(int lockHandle)
{
    started_ = true;
    const auto notStarted = [this](const QString& why) {
        end_ = {RunEnd::How::NotStarted, -1, why};
        over_ = true;
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT ended(end_); }, Qt::QueuedConnection);
    };
    if (!log_.isEmpty()) {
        if (const std::optional<QString> failure = openLog())
            return notStarted(*failure);
        noteLog(startWords + QLatin1Char(' ') + QStringList(QStringList{program_} + arguments_).join(QLatin1Char(' ')));
    }
    master_ = ::open("/dev/ptmx", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[128] = {};
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0
        || ::ptsname_r(master_, name, sizeof name) != 0)
        return notStarted(QStringLiteral("Cannot open a terminal for SteamCMD: %1").arg(qt_error_string(errno)));
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return notStarted(QStringLiteral("Cannot open a terminal for SteamCMD: %1").arg(qt_error_string(errno)));
    // Only async-signal-safe calls between fork and exec. A blocked or ignored signal would outlive
    // exec: the headless verbs block SIGTERM for their own handling.
    process_.setChildProcessModifier([slave, lockHandle] {
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction byDefault { };
        byDefault.sa_handler = SIG_DFL;
        for (const int signal : {SIGHUP, SIGINT, SIGTERM, SIGPIPE})
            ::sigaction(signal, &byDefault, nullptr);
        if (::setsid() < 0 || ::ioctl(slave, TIOCSCTTY, 0) != 0 || ::dup2(slave, STDOUT_FILENO) < 0
            || ::dup2(slave, STDERR_FILENO) < 0 || ::close(slave) != 0
            || (lockHandle >= 0 && ::fcntl(lockHandle, F_SETFD, 0) != 0))
            ::_exit(127);
    });
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.setProgram(program_);
    process_.setArguments(arguments_);
    process_.start();
    ::close(slave);
    if (!process_.waitForStarted(-1)) {
        const QString why = QStringLiteral("Cannot start %1: %2").arg(program_, process_.errorString());
        noteLog(endWords + QStringLiteral(" it did not start."));
        return notStarted(why);
    }
    group_ = process_.processId();
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { read(); });
    silence_.start(installTimings().silence);
}

// By default at most a few pieces at a time, so that a flood of output leaves the window its turn; the
// notifier comes back for the rest.
void SteamCmdRun::read(int mostPieces)
{
    char buffer[65536];
    for (int pieces = 0; pieces < mostPieces; ++pieces) {
        const ssize_t got = ::read(master_, buffer, sizeof buffer);
        if (got > 0) {
            silence_.start(installTimings().silence);
            const QByteArrayView bytes(buffer, got);
            writeLog(bytes);
            for (const QString& line : lines_.take(bytes))
                Q_EMIT lineRead(line);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        // EIO: every process of the terminal has closed it; the output is over.
        if (got == 0 || errno != EAGAIN)
            outputEnded();
        return;
    }
}

void SteamCmdRun::outputEnded()
{
    if (outputOver_)
        return;
    outputOver_ = true;
    notifier_->setEnabled(false);
    for (const QString& line : lines_.finish())
        Q_EMIT lineRead(line);
    judge();
}

void SteamCmdRun::processFinished(int exitCode, QProcess::ExitStatus status)
{
    finished_ = true;
    end_.exitStatus = status == QProcess::NormalExit ? exitCode : 128 + exitCode;
    // The last lines may still wait in the terminal.
    if (!outputOver_)
        read();
    judge();
}

// Judged once SteamCMD has ended, its output has been read to the end, and none of its group lives.
void SteamCmdRun::judge()
{
    if (over_ || !finished_ || !outputOver_)
        return;
    silence_.stop();
    if (!groupMembers(group_).isEmpty()) {
        if (!groupCheck_.isActive()) {
            endGroup(SIGTERM);
        }
        return;
    }
    groupCheck_.stop();
    over_ = true;
    switch (end_.how) {
    case RunEnd::How::Cancelled:
        noteLog(endWords + QStringLiteral(" cancelled."));
        break;
    case RunEnd::How::Silent:
        noteLog(endWords
            + QStringLiteral(" after printing nothing for %1.").arg(durationInWords(installTimings().silence)));
        break;
    default:
        noteLog(endWords + QStringLiteral(" exit status %1.").arg(end_.exitStatus));
    }
    Q_EMIT ended(end_);
}

void SteamCmdRun::cancel()
{
    if (!running())
        return;
    end_.how = RunEnd::How::Cancelled;
    endGroup(SIGTERM);
}

// Signals the group only while a process of it lives: its leader not yet reaped, or members of its
// group found by their group id.
void SteamCmdRun::endGroup(int signal)
{
    if (group_ <= 0)
        return;
    if (!finished_ || !groupMembers(group_).isEmpty())
        ::kill(-pid_t(group_), signal);
    if (signal == SIGTERM && !termSent_.isValid())
        termSent_.start();
    if (!groupCheck_.isActive())
        groupCheck_.start(installTimings().groupCheck);
}

void SteamCmdRun::checkGroup()
{
    if (termSent_.isValid() && termSent_.elapsed() >= installTimings().killAfter.count()) {
        termSent_.invalidate();
        endGroup(SIGKILL);
    }
    if (finished_ && !outputOver_) {
        // A process outside the group may hold the terminal open: once the group is gone, what it
        // holds is read, and the output is over.
        if (groupMembers(group_).isEmpty()) {
            read(std::numeric_limits<int>::max());
            outputEnded();
        }
        return;
    }
    judge();
}

// Opens the log to append to it, moved aside first when it has grown past its limit. Why it cannot be
// opened, or nothing.
std::optional<QString> SteamCmdRun::openLog()
{
    struct stat status { };
    if (::lstat(QFile::encodeName(log_).constData(), &status) == 0 && S_ISREG(status.st_mode)
        && status.st_uid == ::geteuid() && status.st_size > installTimings().logLimit)
        moveLogAside(log_);
    const std::variant<int, QString> opened = openOwnFile(log_, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC);
    if (const QString* reason = std::get_if<QString>(&opened))
        return Failure::cannotWrite(log_, *reason).message;
    logHandle_ = std::get<int>(opened);
    logEndsLine_ = true;
    return std::nullopt;
}

void SteamCmdRun::writeLog(QByteArrayView bytes)
{
    if (logHandle_ < 0 || bytes.isEmpty())
        return;
    if (::write(logHandle_, bytes.data(), size_t(bytes.size())) == bytes.size())
        logEndsLine_ = bytes.back() == '\n' || bytes.back() == '\r';
    struct stat status { };
    if (::fstat(logHandle_, &status) != 0 || status.st_size <= installTimings().logLimit)
        return;
    // The run goes on in the new log, which begins as a run does, so that its end is looked for there.
    ::close(logHandle_);
    logHandle_ = -1;
    if (!openLog())
        noteLog(
            startWords + QStringLiteral(" (continued: its output so far is in %1.1)").arg(QFileInfo(log_).fileName()));
}

void SteamCmdRun::noteLog(const QString& what)
{
    if (logHandle_ < 0)
        return;
    if (!logEndsLine_)
        writeLog("\n");
    (void)noteInLog(log_, what);
}

QString steamCmdLogOf(const QString& serverFolder)
{
    return QDir(serverFolder).filePath(QStringLiteral("steamcmd.log"));
}

std::optional<QDateTime> interruptedRun(const QString& log)
{
    const std::variant<int, QString> opened = openOwnFile(log, O_RDONLY | O_CLOEXEC);
    if (!std::holds_alternative<int>(opened))
        return std::nullopt;
    QFile file;
    file.open(std::get<int>(opened), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    std::optional<QDateTime> started;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(65536);
        if (!line.startsWith("*** "))
            continue;
        const QString text = QString::fromUtf8(line);
        const qsizetype dateEnd = text.indexOf(QLatin1Char(' '), 4);
        const QString words = text.mid(dateEnd + 1);
        if (words.startsWith(startWords))
            started = QDateTime::fromString(text.mid(4, dateEnd - 4), Qt::ISODate);
        else if (words.startsWith(endWords))
            started.reset();
    }
    return started;
}

void noteInterruptedRun(const QString& log)
{
    (void)noteInLog(log, endWords + QStringLiteral(" interrupted when Quillmont ended."));
}
