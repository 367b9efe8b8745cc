#include "AtSpiReader.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QTest>

namespace {

// A program that stops answering fails a call, and the test with it, instead of stopping it.
constexpr int callTimeout = 5000;

const QString registryService = "org.a11y.atspi.Registry";

// The session bus names the accessibility bus; a program that is not connected to it shows no
// screen reader anything.
QDBusConnection accessibilityBus(QString& failure)
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"), QDBus::Block,
        callTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        failure = "The session bus names no accessibility bus: " + reply.errorMessage();
        return QDBusConnection("none");
    }
    const QString address = reply.arguments().value(0).toString();
    QDBusConnection bus = QDBusConnection::connectToBus(address, "accessibility");
    if (!bus.isConnected())
        failure = "Cannot connect to the accessibility bus " + address + ": " + bus.lastError().message();
    return bus;
}

} // namespace

AtSpiReader::AtSpiReader()
    : bus(accessibilityBus(failure))
{
}

void AtSpiReader::listenForNameChanges()
{
    // Qt D-Bus takes a slot for signals from other programs by its name only.
    if (!bus.connect(QString(), QString(), "org.a11y.atspi.Event.Object", "PropertyChange", this,
            SLOT(propertyChanged(QDBusMessage))))
        failure = "Cannot listen on the accessibility bus: " + bus.lastError().message();
    // The registry tells every program, as it does for a screen reader.
    call({registryService, QDBusObjectPath("/org/a11y/atspi/registry")}, "org.a11y.atspi.Registry", "RegisterEvent",
        {"object:property-change:accessible-name"});
}

std::optional<Accessible> AtSpiReader::program(const QString& wanted)
{
    for (const Accessible& shown : children({registryService, QDBusObjectPath("/org/a11y/atspi/accessible/root")})) {
        if (name(shown) == wanted)
            return shown;
    }
    return std::nullopt;
}

std::optional<Accessible> AtSpiReader::find(const Accessible& top, const QString& wantedRole, const QString& wantedName)
{
    if (role(top) == wantedRole && name(top) == wantedName)
        return top;
    for (const Accessible& child : children(top)) {
        if (std::optional<Accessible> found = find(child, wantedRole, wantedName))
            return found;
    }
    return std::nullopt;
}

QList<Accessible> AtSpiReader::children(const Accessible& object)
{
    const QDBusMessage reply = call(object, "org.a11y.atspi.Accessible", "GetChildren");
    QList<Accessible> found;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return found;
    const auto list = reply.arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        Accessible child;
        list.beginStructure();
        list >> child.program >> child.path;
        list.endStructure();
        found << child;
    }
    list.endArray();
    return found;
}

QString AtSpiReader::name(const Accessible& object)
{
    return property(object, "org.a11y.atspi.Accessible", "Name").toString();
}

QString AtSpiReader::description(const Accessible& object)
{
    return property(object, "org.a11y.atspi.Accessible", "Description").toString();
}

QString AtSpiReader::role(const Accessible& object)
{
    return call(object, "org.a11y.atspi.Accessible", "GetRoleName").arguments().value(0).toString();
}

bool AtSpiReader::act(const Accessible& object, const QString& action)
{
    const int count = property(object, "org.a11y.atspi.Action", "NActions").toInt();
    for (int index = 0; index < count; ++index) {
        if (call(object, "org.a11y.atspi.Action", "GetName", {index}).arguments().value(0).toString() == action)
            return call(object, "org.a11y.atspi.Action", "DoAction", {index}).arguments().value(0).toBool();
    }
    return false;
}

bool AtSpiReader::waitForName(
    const Accessible& object, const QRegularExpression& expected, std::chrono::milliseconds within)
{
    return QTest::qWaitFor(
        [&] {
            const QStringList names = namesAnnounced(object);
            return !names.isEmpty() && expected.match(names.last()).hasMatch();
        },
        int(within.count()));
}

QStringList AtSpiReader::namesAnnounced(const Accessible& object) const
{
    QStringList names;
    for (const auto& [from, name] : announced) {
        if (from.program == object.program && from.path == object.path)
            names << name;
    }
    return names;
}

void AtSpiReader::propertyChanged(const QDBusMessage& signal)
{
    // The new name is read as the change is announced, as a screen reader reads it: what comes with
    // the announcement is not the name in every Qt.
    if (signal.arguments().value(0).toString() == "accessible-name") {
        const Accessible changed{signal.service(), QDBusObjectPath(signal.path())};
        announced.append({changed, name(changed)});
    }
}

QDBusMessage AtSpiReader::call(
    const Accessible& object, const QString& interface, const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(object.program, object.path.path(), interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus.call(message, QDBus::Block, callTimeout);
    if (reply.type() == QDBusMessage::ErrorMessage)
        failure = interface + '.' + method + " on " + object.path.path() + " of " + object.program + ": "
            + reply.errorMessage();
    return reply;
}

QVariant AtSpiReader::property(const Accessible& object, const QString& interface, const QString& propertyName)
{
    return call(object, "org.freedesktop.DBus.Properties", "Get", {interface, propertyName})
        .arguments()
        .value(0)
        .value<QDBusVariant>()
        .variant();
}
