#include "keep/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QVariantMap>

DesktopNotifier::DesktopNotifier(const QString& serverFolder, QObject* parent)
    : QObject(parent)
    , folderName_(QDir(serverFolder).dirName())
{
}

// The call goes out without waiting (a proxy object's constructor would ask the service first, and
// wait long for one that does not answer).
void DesktopNotifier::notify(const QString& what)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("Notify"));
    call << QStringLiteral("Quillmont") << shown_ << QStringLiteral("org.quillmont.Quillmont")
         << QStringLiteral("Quillmont: %1").arg(folderName_) << what << QStringList() << QVariantMap() << -1;
    auto* reply = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(reply, &QDBusPendingCallWatcher::finished, this, [this, reply] {
        const QDBusPendingReply<uint> shown = *reply;
        if (shown.isValid())
            shown_ = shown.value();
        reply->deleteLater();
    });
}
