#include "ui/Program.h"

#include "settings/ServerSettings.h"
#include "ui/FirstExposure.h"
#include "ui/Form1.h"
#include "ui/Forms.h"
#include "ui/LookAndFeel.h"
#include "ui/OneWindowPerFolder.h"
#include "ui/ServerFolder.h"

#include <QApplication>
#include <QTimer>

int runQuillmont(const QString& requestedFolder, const QString& programFolder)
{
    QApplication::setApplicationName(QStringLiteral("Quillmont"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLMONT_VERSION));
    applyLookAndFeel();

    const std::optional<QString> serverFolder = chooseServerFolder(requestedFolder, programFolder);
    if (!serverFolder)
        return 0;
    OneWindowPerFolder oneWindow(*serverFolder);
    switch (oneWindow.claim()) {
    case OneWindowPerFolder::Claim::BroughtForward:
        return 0;
    case OneWindowPerFolder::Claim::InUse:
        return 1;
    case OneWindowPerFolder::Claim::Granted:
        break;
    }

    ServerSettings settings;
    Forms forms(settings, *serverFolder);
    Form1* main = forms.show<Form1>();
    // Posted once the window appears, so that it runs once the window is drawn.
    onFirstExposure(main, [] { QTimer::singleShot(0, &applyProgramIcon); });
    QObject::connect(&oneWindow, &OneWindowPerFolder::windowWanted, main, [main] {
        main->showNormal();
        main->raise();
        main->activateWindow();
        QApplication::alert(main); // where the desktop decides what comes forward, it is asked
    });
    return QApplication::exec();
}
