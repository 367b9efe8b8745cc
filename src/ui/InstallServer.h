#pragma once

#include "ui/Dialog.h"

#include <QPointer>

#include <functional>

class ServerUpdate;
class SteamBuildQuestion;

// Install or Update Server: installs the folder's server with SteamCMD, or updates it, and shows the
// runs' progress; tells the build installed and Steam's.
class InstallServer : public Dialog {
public:
    static constexpr int number = 13;

    explicit InstallServer(Forms& forms);
    ~InstallServer() override;

    void Form_Load();

    bool running() const { return update_ != nullptr; }
    // Cancels the update, and once it has ended (a server stopped for it started again) does `then`.
    void cancelThen(std::function<void()> then);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showFolder();
    void findSteamCmd();
    void askSteamBuild();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void ended(bool succeeded, const QString& message);

    QString steamCmd_;
    QPointer<ServerUpdate> update_;
    QPointer<SteamBuildQuestion> question_;
    std::function<void()> afterEnd_;
};
