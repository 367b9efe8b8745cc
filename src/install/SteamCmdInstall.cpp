#include "install/SteamCmdInstall.h"

#include "install/SteamCmdPlace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <unistd.h>

namespace {

constexpr qint64 enoughSpace = qint64(1) << 30;

std::optional<qint64> installedBuild(const QString& folder)
{
    QFile manifest(QDir(folder).filePath(QStringLiteral("steamapps/appmanifest_90.acf")));
    if (!manifest.open(QIODevice::ReadOnly))
        return std::nullopt;
    return manifestBuild(manifest.read(1024 * 1024));
}

} // namespace

std::optional<QString> cannotInstallInto(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("%1 does not exist.").arg(folder);
    if (!info.isDir())
        return QStringLiteral("%1 is not a folder.").arg(folder);
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return Failure::cannotWrite(folder, qt_error_string(errno)).message;
    if (!QDir(folder).mkpath(QStringLiteral("steamapps")))
        return Failure::cannotWrite(
            QDir(folder).filePath(QStringLiteral("steamapps")), QStringLiteral("the folder could not be created"))
            .message;
    return std::nullopt;
}

std::optional<QString> installConcern(const QString& folder)
{
    // Installing one game over another deletes the other's files.
    const QDir dir(folder);
    for (const QString& game : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (game != QStringLiteral("valve") && game != QStringLiteral("tfc")
            && QFileInfo(dir.filePath(game + QStringLiteral("/liblist.gam"))).isFile())
            return QStringLiteral(
                "%1 holds the game %2. Installing Team Fortress Classic into the same folder may delete its files.")
                .arg(folder, game);
    }
    const QStorageInfo storage(folder);
    if (storage.isValid() && storage.bytesAvailable() < enoughSpace)
        return QStringLiteral("The file system of %1 has only %2 MB free; the server needs about 1 GB.")
            .arg(folder)
            .arg(storage.bytesAvailable() / 1000000);
    return std::nullopt;
}

SteamCmdInstall::SteamCmdInstall(InstallRequest request, QObject* parent)
    : QObject(parent)
    , request_(std::move(request))
    , lock_(steamCmdLockPath(request_.stateHome, request_.home))
{
    connect(&lockPoll_, &QTimer::timeout, this, &SteamCmdInstall::tryLock);
}

SteamCmdInstall::~SteamCmdInstall() = default;

void SteamCmdInstall::start()
{
    running_ = true;
    runNumber_ = 0;
    tryLock();
}

void SteamCmdInstall::tryLock()
{
    switch (lock_.tryTake(request_.folder)) {
    case SteamCmdLock::Outcome::Taken:
        lockPoll_.stop();
        startRun();
        return;
    case SteamCmdLock::Outcome::Failed:
        lockPoll_.stop();
        finish(Outcome::How::Failed, lock_.failure());
        return;
    case SteamCmdLock::Outcome::Held:
        Q_EMIT said(QStringLiteral("Waiting for the update of %1 to end…").arg(lock_.holder()));
        if (!lockPoll_.isActive())
            lockPoll_.start(installTimings().lockPoll);
        return;
    }
}

void SteamCmdInstall::startRun()
{
    ++runNumber_;
    ending_.reset();
    run_ = new SteamCmdRun(request_.steamCmd,
        updateArguments(request_.folder, request_.branch, request_.validate || runNumber_ > 1),
        steamCmdLogOf(request_.folder), this);
    connect(run_, &SteamCmdRun::lineRead, this, &SteamCmdInstall::lineRead);
    connect(run_, &SteamCmdRun::ended, this, &SteamCmdInstall::runEnded);
    Q_EMIT progressed(0);
    Q_EMIT said(QStringLiteral("Run %1 of at most %2: starting SteamCMD…").arg(runNumber_).arg(mostRuns));
    run_->start(lock_.handle());
    // SteamCMD's group holds the lock from here on, until the last of it has ended.
    lock_.release();
    Q_EMIT runStarted(runNumber_);
}

void SteamCmdInstall::lineRead(const QString& line)
{
    const QString run = QStringLiteral("Run %1 of at most %2: ").arg(runNumber_).arg(mostRuns);
    if (const std::optional<Progress> progress = progressOf(line)) {
        Q_EMIT progressed(int(progress->percent));
        Q_EMIT said(run + progressInWords(*progress));
    } else if (updatesItself(line)) {
        Q_EMIT said(run + QStringLiteral("Updating SteamCMD itself…"));
    } else if (const std::optional<RunEnding> ending = endingOf(line)) {
        ending_ = ending;
        if (ending->kind != RunEnding::Kind::Installed && ending->kind != RunEnding::Kind::UpToDate)
            lastError_ = line;
    } else if (isErrorLine(line)) {
        lastError_ = line;
    }
}

void SteamCmdInstall::runEnded(const RunEnd& end)
{
    run_->deleteLater();
    const QString log = steamCmdLogOf(request_.folder);
    if (cancelled_ || end.how == RunEnd::How::Cancelled)
        return finish(Outcome::How::Cancelled,
            QStringLiteral("The update was cancelled: the server folder may be incomplete; Install or Update completes "
                           "it."));
    if (end.how == RunEnd::How::NotStarted)
        return finish(Outcome::How::Failed, QStringLiteral("The server could not be installed: %1").arg(end.failure));
    const QStringList missing = missingServerFiles(request_.folder);
    const bool succeeded
        = ending_ && (ending_->kind == RunEnding::Kind::Installed || ending_->kind == RunEnding::Kind::UpToDate);
    if (succeeded && missing.isEmpty()) {
        std::optional<Failure> linkFailure;
        const std::optional<QString> linked = linkSteamClient(request_.steamCmd, request_.home, linkFailure);
        const std::optional<qint64> build = installedBuild(request_.folder);
        const QString buildWords = build ? QString::number(*build) : QStringLiteral("unknown");
        QString message = ending_->kind == RunEnding::Kind::UpToDate
            ? QStringLiteral("The server is up to date: build %1.").arg(buildWords)
            : QStringLiteral("The server is installed: build %1.").arg(buildWords);
        if (linked)
            message += QLatin1Char(' ') + *linked;
        if (linkFailure)
            message += QLatin1Char(' ') + linkFailure->message;
        return finish(
            ending_->kind == RunEnding::Kind::UpToDate ? Outcome::How::UpToDate : Outcome::How::Installed, message);
    }
    if (end.how == RunEnd::How::Silent)
        lastError_ = QStringLiteral("SteamCMD printed nothing for %1").arg(durationInWords(installTimings().silence));
    else if (succeeded)
        lastError_ = QStringLiteral("SteamCMD said it succeeded, but the folder lacks %1")
                         .arg(missing.join(QStringLiteral(", ")));
    else if (lastError_.isEmpty())
        lastError_ = QStringLiteral("SteamCMD ended with exit status %1 and no word of success").arg(end.exitStatus);
    if (ending_ && !ending_->remedy.isEmpty())
        return finish(Outcome::How::Failed,
            QStringLiteral("The server could not be installed: SteamCMD said \"%1\". %2 SteamCMD's output is in %3.")
                .arg(lastError_, ending_->remedy, log));
    if (runNumber_ < mostRuns)
        return tryLock();
    QString last = lastError_;
    if (ending_ && ending_->kind == RunEnding::Kind::StateError)
        last += QStringLiteral(" (%1)").arg(stateInWords(ending_->state));
    finish(Outcome::How::Failed,
        QStringLiteral("The server could not be installed: %1. SteamCMD's output is in %2; its own log of the "
                       "downloads is %3.")
            .arg(last, log, contentLog()));
}

// SteamCMD's own log of its downloads, which tells the reason of a failure its output leaves out: in
// its Steam folder, wherever that is.
QString SteamCmdInstall::contentLog() const
{
    const QStringList places{QFileInfo(request_.steamCmd).dir().filePath(QStringLiteral("logs/content_log.txt")),
        QDir(request_.home).filePath(QStringLiteral("Steam/logs/content_log.txt")),
        QDir(request_.home).filePath(QStringLiteral(".local/share/Steam/logs/content_log.txt")),
        QDir(request_.home).filePath(QStringLiteral(".steam/steamcmd/logs/content_log.txt"))};
    for (const QString& place : places) {
        if (QFileInfo(place).isFile())
            return place;
    }
    return places.at(1);
}

void SteamCmdInstall::cancel()
{
    if (!running_)
        return;
    cancelled_ = true;
    if (run_ && run_->running()) {
        Q_EMIT said(QStringLiteral("Ending SteamCMD…"));
        run_->cancel();
        return;
    }
    lockPoll_.stop();
    finish(Outcome::How::Cancelled,
        QStringLiteral("The update was cancelled: the server folder may be incomplete; Install or Update completes "
                       "it."));
}

void SteamCmdInstall::finish(Outcome::How how, const QString& message)
{
    running_ = false;
    lock_.release();
    if (how == Outcome::How::Installed || how == Outcome::How::UpToDate)
        Q_EMIT progressed(100);
    Q_EMIT ended(Outcome{how, message, installedBuild(request_.folder)});
}

SteamBuildQuestion::SteamBuildQuestion(QString steamCmd, Branch branch, QString lockPath, QObject* parent)
    : QObject(parent)
    , steamCmd_(std::move(steamCmd))
    , branch_(branch)
    , lock_(std::move(lockPath))
{
    connect(&lockPoll_, &QTimer::timeout, this, &SteamBuildQuestion::tryLock);
}

void SteamBuildQuestion::ask()
{
    tryLock();
}

void SteamBuildQuestion::tryLock()
{
    switch (lock_.tryTake(QStringLiteral("(the question for Steam's build)"))) {
    case SteamCmdLock::Outcome::Failed:
        lockPoll_.stop();
        Q_EMIT answered(std::nullopt, lock_.failure());
        return;
    case SteamCmdLock::Outcome::Held:
        Q_EMIT waiting(QStringLiteral("Waiting for the update of %1 to end…").arg(lock_.holder()));
        if (!lockPoll_.isActive())
            lockPoll_.start(installTimings().lockPoll);
        return;
    case SteamCmdLock::Outcome::Taken:
        break;
    }
    lockPoll_.stop();
    run_ = new SteamCmdRun(steamCmd_, buildQuestionArguments(), QString(), this);
    connect(run_, &SteamCmdRun::lineRead, this, [this](const QString& line) {
        // Far more than app 90's information; a longer answer is cut, not kept whole.
        if (text_.size() < 4 * 1024 * 1024)
            text_ += line.toUtf8() + '\n';
    });
    connect(run_, &SteamCmdRun::ended, this, [this](const RunEnd& end) {
        run_->deleteLater();
        const std::optional<qint64> build = branchBuild(text_, branch_);
        if (build)
            Q_EMIT answered(build, {});
        else if (end.how == RunEnd::How::NotStarted)
            Q_EMIT answered(std::nullopt, end.failure);
        else
            Q_EMIT answered(std::nullopt,
                QStringLiteral("SteamCMD did not tell the build of the branch %1 (exit status %2).")
                    .arg(steamBranchName(branch_))
                    .arg(end.exitStatus));
    });
    run_->start(lock_.handle());
    lock_.release();
}

void SteamBuildQuestion::cancel()
{
    lockPoll_.stop();
    if (run_)
        run_->cancel();
}
