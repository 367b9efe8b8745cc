#pragma once

#include <QObject>
#include <QString>

// Tells the operator what happened to a folder's server through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), naming the folder; each new notice of the
// folder replaces the one before. Nothing waits for the service, and where none answers nothing
// fails: the notice is only not shown.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifier(const QString& serverFolder, QObject* parent = nullptr);

    void notify(const QString& what);

private:
    const QString folderName_;
    // The service's number for the last notice shown, which the next one replaces; 0: none.
    uint shown_ = 0;
};
