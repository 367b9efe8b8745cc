#include "ui/ServerPort.h"

#include "launch/FolderSettings.h"
#include "ui/Centring.h"
#include "ui/Form1.h"
#include "ui/Forms.h"
#include "ui/MessageBox.h"

#include <QLineEdit>
#include <QPushButton>

#include <array>

namespace {

using K = ControlKind;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Label1",   K::Label,   120,  120, 2655, 255},
    {"Text1",    K::TextBox, 120,  360, 1215, 285, 1},
    {"Command1", K::Button,  120,  840, 1215, 375, 2},
    {"Command2", K::Button,  1560, 840, 1215, 375, 3},
});

constexpr auto loadCaptions = std::to_array<Caption>({
    {"Label1", "Port"},
    {"Command1", "OK"},
    {"Command2", "Cancel"},
});

constexpr auto labels = std::to_array<LabelFor>({
    {"Label1", "Text1"},
});
// clang-format on

// A port in digits, 1 to 65535; nothing for any other text.
std::optional<quint16> portOf(const QString& text)
{
    bool ok = false;
    const uint port = text.toUInt(&ok);
    return isDigits(text) && ok && port >= 1 && port <= 0xFFFF ? std::optional(quint16(port)) : std::nullopt;
}

} // namespace

ServerPort::ServerPort(Forms& registry)
    : Dialog(registry, "Server Port", {2940, 1335}, controls, labels)
{
    setObjectName(QStringLiteral("ServerPort"));
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &ServerPort::Command1_Click);
    connect(control<QPushButton>(this, "Command2"), &QPushButton::clicked, this, &ServerPort::Command2_Click);
}

void ServerPort::Form_Load()
{
    centreOnScreen(this);
    applyCaptions(this, loadCaptions, settings);
    control<QLineEdit>(this, "Text1")->setText(QString::number(serverPort(forms.serverFolder())));
}

// OK: a port that is none is refused, and the dialog stays open.
void ServerPort::Command1_Click()
{
    const QString typed = control<QLineEdit>(this, "Text1")->text();
    const std::optional<quint16> port = portOf(typed);
    if (!port) {
        showFailure(QStringLiteral("The port must be a whole number from 1 to 65535, such as 27015; \"%1\" is not.")
                        .arg(typed));
        return;
    }
    setServerPort(forms.serverFolder(), *port);
    unload();
    if (Form1* main = forms.loaded<Form1>())
        main->portChanged(*port);
}

// Cancel
void ServerPort::Command2_Click()
{
    unload();
}
