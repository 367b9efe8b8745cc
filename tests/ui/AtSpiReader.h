#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QRegularExpression>

#include <chrono>
#include <optional>

// An object a program shows screen readers: the program's name on the accessibility bus and the
// object's path there.
struct Accessible {
    QString program;
    QDBusObjectPath path;
};

// Reads the programs on the session's accessibility bus over AT-SPI, as a screen reader does:
// their objects by role and name, each one's name, description and role, its actions, and each
// change of name they announce, with the name read as it comes. Every call waits a few seconds at
// most.
class AtSpiReader : public QObject {
    Q_OBJECT

public:
    // Connects to the accessibility bus that the session bus names.
    AtSpiReader();

    // Why the connection or the last call failed; empty while nothing did.
    QString failure;

    // Has the programs announce each object's change of name, as they do only for screen readers
    // that asked for it.
    void listenForNameChanges();

    // The program of that name, if it shows itself.
    std::optional<Accessible> program(const QString& name);
    // The first object of the role ("label", "push button", ...) and name at or under `top`.
    std::optional<Accessible> find(const Accessible& top, const QString& role, const QString& name);
    QList<Accessible> children(const Accessible& object);
    QString name(const Accessible& object);
    QString description(const Accessible& object);
    QString role(const Accessible& object);
    // Does the action of that name ("Press"); false when the object has none.
    bool act(const Accessible& object, const QString& action);

    // Waits, `within` at most, for the object's last announced name to be one that `expected` matches.
    bool waitForName(const Accessible& object, const QRegularExpression& expected, std::chrono::milliseconds within);
    // The names the object has announced, as read when each change came, in order.
    QStringList namesAnnounced(const Accessible& object) const;

private Q_SLOTS:
    void propertyChanged(const QDBusMessage& signal);

private:
    QDBusMessage call(
        const Accessible& object, const QString& interface, const QString& method, const QVariantList& arguments = {});
    QVariant property(const Accessible& object, const QString& interface, const QString& propertyName);

    QDBusConnection bus;
    QList<std::pair<Accessible, QString>> announced;
};
