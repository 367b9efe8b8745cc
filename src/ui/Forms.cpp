#include "ui/Forms.h"

#include "formats/SettingsFile.h"
#include "ui/MessageBox.h"

#include <QEvent>

Forms::Forms(ServerSettings& settings, QString serverFolder)
    : settings_(settings)
    , serverFolder_(std::move(serverFolder))
{
}

Forms::~Forms()
{
    for (QPointer<QWidget>& window : windows_)
        delete window.data();
}

// Joined by hand: QDir would take a name that starts with ":" for one of Qt's resources.
QString Forms::inServerFolder(const QString& relativePath) const
{
    const QChar separator = QLatin1Char('/');
    if (serverFolder_.endsWith(separator))
        return serverFolder_ + relativePath;
    return serverFolder_ + separator + relativePath;
}

bool Forms::tellSaved(const SaveOutcome& outcome, const QString& confirmation)
{
    if (const Failure* failure = failureOf(outcome)) {
        showFailure(failure->message);
        return false;
    }
    const Saved& saved = std::get<Saved>(outcome);
    QStringList told{confirmation};
    if (saved.readableByOthers && !toldReadable_.contains(*saved.readableByOthers)) {
        toldReadable_.insert(*saved.readableByOthers);
        told << *saved.readableByOthers;
    }
    if (saved.notDurable)
        told << *saved.notDurable;
    told.size() == 1 ? showConfirmation(confirmation) : showFailure(told.join(QStringLiteral("\n\n")));
    return true;
}

bool Forms::saveDefaults()
{
    if (!tellSaved(writeFullLayout(inServerFolder(defaultSettingsFile), settings_, fileEncoding_),
            QStringLiteral("DEFAULT.TFC file saved.")))
        return false;
    keepDefaults(fullLayoutBytes(settings_, fileEncoding_));
    return true;
}

void Forms::unload(QWidget* window)
{
    window->close();
}

void Forms::unloadAll()
{
    for (QPointer<QWidget>& window : windows_) {
        if (window)
            unload(window);
    }
}

// Closing a window by any path, its own close box included, unloads it: it is forgotten at once,
// so that the next showing loads it afresh, and destroyed once its event handling has finished.
bool Forms::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Close)
        return false;
    // The window's own close handling comes first: a window that refuses to close (the main window
    // when the operator cancels, Install or Update Server while SteamCMD runs) stays loaded.
    watched->event(event);
    if (!event->isAccepted())
        return true;
    for (QPointer<QWidget>& window : windows_) {
        if (window == watched) {
            window->deleteLater();
            window.clear();
        }
    }
    return true;
}

void Forms::bringToFront(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}
