#include "ui/InstallServer.h"

#include "install/SteamCmdPlace.h"
#include "keep/ServerUpdate.h"
#include "launch/FolderSettings.h"
#include "ui/Centring.h"
#include "ui/Form1.h"
#include "ui/Forms.h"
#include "ui/MessageBox.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

#include <array>

namespace {

using K = ControlKind;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Label1",       K::Label,       120,  120,  6360, 255},
    {"Label2",       K::Label,       120,  360,  6360, 255},
    {"Label3",       K::Label,       120,  600,  6360, 255},
    {"Label4",       K::Label,       120,  1020, 6360, 255},
    {"Text1",        K::TextBox,     120,  1260, 5055, 285, 1},
    {"Command1",     K::Button,      5265, 1215, 1215, 375, 2},
    {"Label5",       K::Label,       120,  1680, 6360, 765},
    {"Label6",       K::Label,       120,  2520, 6360, 255},
    {"Combo1",       K::ComboBox,    120,  2760, 4455, 315, 3},
    {"Check1",       K::CheckBox,    120,  3180, 4455, 255, 4},
    {"Label7",       K::Label,       120,  3540, 6360, 255},
    {"Command2",     K::Button,      120,  3960, 1935, 375, 5},
    {"ProgressBar1", K::ProgressBar, 120,  4440, 6360, 315},
    {"Label8",       K::Label,       120,  4860, 6360, 510},
    {"Command3",     K::Button,      120,  5520, 1215, 375, 6},
    {"Command4",     K::Button,      5265, 5520, 1215, 375, 7},
});

constexpr auto loadCaptions = std::to_array<Caption>({
    {"Label1", "Server folder"},
    {"Label4", "&SteamCMD"},
    {"Command1", "&Browse..."},
    {"Label6", "B&ranch"},
    {"Check1", "&Validate every file"},
    {"Command2", "&Install or Update"},
    {"Command3", "Show &Log"},
    {"Command4", "Close"},
});

constexpr auto labels = std::to_array<LabelFor>({
    {"Label4", "Text1"},
    {"Label6", "Combo1"},
});
// clang-format on

const QString branchCaptions[]
    = {QStringLiteral("Current"), QStringLiteral("steam_legacy (the build before the 2023 update)")};

std::optional<qint64> installedBuild(const QString& folder)
{
    QFile manifest(QDir(folder).filePath(QStringLiteral("steamapps/appmanifest_90.acf")));
    return manifest.open(QIODevice::ReadOnly) ? manifestBuild(manifest.read(1024 * 1024)) : std::nullopt;
}

Branch chosenBranch(const QWidget* dialog)
{
    return control<QComboBox>(dialog, "Combo1")->currentIndex() == 1 ? Branch::Legacy : Branch::Current;
}

// A path in the home folder as "~/...": shorter, and the same on every account.
QString shownPath(const QString& path)
{
    const QString home = QDir::homePath() + QLatin1Char('/');
    return path.startsWith(home) ? QStringLiteral("~/") + path.mid(home.size()) : path;
}

} // namespace

InstallServer::InstallServer(Forms& registry)
    : Dialog(registry, "Install or Update Server", {6600, 6015}, controls, labels)
{
    setObjectName(QStringLiteral("InstallServer"));
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &InstallServer::Command1_Click);
    connect(control<QPushButton>(this, "Command2"), &QPushButton::clicked, this, &InstallServer::Command2_Click);
    connect(control<QPushButton>(this, "Command3"), &QPushButton::clicked, this, &InstallServer::Command3_Click);
    connect(control<QPushButton>(this, "Command4"), &QPushButton::clicked, this, &InstallServer::Command4_Click);
}

InstallServer::~InstallServer() = default;

void InstallServer::Form_Load()
{
    centreOnScreen(this);
    applyCaptions(this, loadCaptions, settings);
    for (const char* name : {"Label2", "Label5", "Label8"})
        control<QLabel>(this, name)->setWordWrap(true);
    auto* branch = control<QComboBox>(this, "Combo1");
    branch->setEditable(false);
    for (const QString& caption : branchCaptions)
        branch->addItem(caption);
    branch->setCurrentIndex(installBranch(forms.serverFolder()) == branchOption(Branch::Legacy) ? 1 : 0);
    connect(branch, &QComboBox::currentIndexChanged, this, [this](int index) {
        setInstallBranch(forms.serverFolder(), branchOption(index == 1 ? Branch::Legacy : Branch::Current));
        askSteamBuild();
    });
    control<QProgressBar>(this, "ProgressBar1")->setRange(0, 100);
    control<QProgressBar>(this, "ProgressBar1")->setAccessibleName(QStringLiteral("Progress of the current run"));
    control<QProgressBar>(this, "ProgressBar1")->setValue(0);
    control<QLineEdit>(this, "Text1")->setReadOnly(true);
    showFolder();
    findSteamCmd();
    askSteamBuild();
}

void InstallServer::showFolder()
{
    const QString folder = forms.serverFolder();
    control<QLabel>(this, "Label2")->setText(shownPath(folder));
    const std::optional<qint64> build = installedBuild(folder);
    control<QLabel>(this, "Label3")
        ->setText(!missingServerFiles(folder).isEmpty() ? QStringLiteral("It holds no server yet.")
                : build                                 ? QStringLiteral("It holds a server: build %1.").arg(*build)
                                                        : QStringLiteral("It holds a server of an unknown build."));
}

void InstallServer::findSteamCmd()
{
    steamCmd_ = ::findSteamCmd(chosenSteamCmd(), qEnvironmentVariable("PATH"), QDir::homePath());
    control<QLineEdit>(this, "Text1")->setText(shownPath(steamCmd_));
    control<QLabel>(this, "Label5")->setText(steamCmd_.isEmpty() ? howToGetSteamCmd() : QString());
    control<QPushButton>(this, "Command2")->setEnabled(!steamCmd_.isEmpty() && !update_);
}

// Steam's build is asked only of a server there is, with a SteamCMD there is.
void InstallServer::askSteamBuild()
{
    auto* line = control<QLabel>(this, "Label7");
    const std::optional<qint64> installed = installedBuild(forms.serverFolder());
    if (steamCmd_.isEmpty() || !missingServerFiles(forms.serverFolder()).isEmpty() || !installed || update_) {
        line->clear();
        return;
    }
    delete question_;
    question_ = new SteamBuildQuestion(steamCmd_, chosenBranch(this),
        steamCmdLockPath(qEnvironmentVariable("XDG_STATE_HOME"), QDir::homePath()), this);
    line->setText(QStringLiteral("Installed: build %1. Asking Steam for its build…").arg(*installed));
    connect(question_, &SteamBuildQuestion::waiting, line, &QLabel::setText);
    connect(question_, &SteamBuildQuestion::answered, this,
        [this, line, installed](std::optional<qint64> build, const QString& why) {
            question_->deleteLater();
            if (!build)
                line->setText(
                    QStringLiteral("Installed: build %1. Steam could not be asked: %2").arg(*installed).arg(why));
            else if (*build == *installed)
                line->setText(QStringLiteral("Installed: build %1. On Steam: up to date.").arg(*installed));
            else
                line->setText(QStringLiteral("Installed: build %1. On Steam: build %2.").arg(*installed).arg(*build));
        });
    question_->ask();
}

// Browse: the SteamCMD program, remembered.
void InstallServer::Command1_Click()
{
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("SteamCMD"), QDir::homePath());
    if (chosen.isEmpty())
        return;
    setChosenSteamCmd(chosen);
    findSteamCmd();
    askSteamBuild();
}

// Install or Update: asked first where the folder or a running server needs it.
void InstallServer::Command2_Click()
{
    const QString folder = forms.serverFolder();
    if (const std::optional<QString> reason = cannotInstallInto(folder)) {
        showFailure(*reason);
        return;
    }
    if (const std::optional<QString> concern = installConcern(folder);
        concern && !askOperator(*concern + QStringLiteral(" Install all the same?")))
        return;
    Form1* main = forms.loaded<Form1>();
    if (!main) {
        showFailure(QStringLiteral("The main window is not open."));
        return;
    }
    ServerWatch& watch = main->server();
    const InstallRequest request{folder, steamCmd_, chosenBranch(this), control<QCheckBox>(this, "Check1")->isChecked(),
        QDir::homePath(), qEnvironmentVariable("XDG_STATE_HOME")};
    auto* update = new ServerUpdate(request, watch, this);
    if (const std::optional<QString> refused = update->refusal()) {
        delete update;
        showFailure(*refused);
        return;
    }
    if (watch.serverRuns()
        && !askOperator(
            QStringLiteral("The server is running. Stop it for the update and start it again afterwards?"))) {
        delete update;
        return;
    }
    if (question_)
        question_->cancel();
    update_ = update;
    auto* line = control<QLabel>(this, "Label8");
    connect(update, &ServerUpdate::said, line, &QLabel::setText);
    connect(update, &ServerUpdate::progressed, control<QProgressBar>(this, "ProgressBar1"), &QProgressBar::setValue);
    connect(update, &ServerUpdate::ended, this, &InstallServer::ended);
    control<QPushButton>(this, "Command2")->setEnabled(false);
    control<QPushButton>(this, "Command4")->setText(QStringLiteral("Cancel"));
    update->start();
}

void InstallServer::ended(bool, const QString& message)
{
    update_->deleteLater();
    update_ = nullptr;
    control<QLabel>(this, "Label8")->setText(message);
    control<QPushButton>(this, "Command4")->setText(QStringLiteral("Close"));
    if (afterEnd_) {
        const std::function<void()> then = std::exchange(afterEnd_, nullptr);
        then();
        return;
    }
    showFolder();
    findSteamCmd();
    askSteamBuild();
}

// Show Log: SteamCMD's output of every run, in the desktop's viewer.
void InstallServer::Command3_Click()
{
    const QString log = steamCmdLogOf(forms.serverFolder());
    if (!QFile::exists(log)) {
        showFailure(QStringLiteral("SteamCMD has not run for %1 yet: there is no %2.").arg(forms.serverFolder(), log));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(log));
}

// Close, or Cancel while SteamCMD runs.
void InstallServer::Command4_Click()
{
    if (update_) {
        update_->cancel();
        return;
    }
    unload();
}

// Closing while SteamCMD runs cancels the update first, when the operator wants it so.
void InstallServer::closeEvent(QCloseEvent* event)
{
    if (!update_) {
        Dialog::closeEvent(event);
        return;
    }
    event->ignore();
    if (askOperator(QStringLiteral("SteamCMD is running. Cancel the update and close?")))
        cancelThen([this] { unload(); });
}

void InstallServer::cancelThen(std::function<void()> then)
{
    afterEnd_ = std::move(then);
    update_->cancel();
}
