#include "ui/RestartDaily.h"

#include "launch/FolderSettings.h"
#include "ui/Centring.h"
#include "ui/Forms.h"
#include "ui/MessageBox.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <array>

namespace {

using K = ControlKind;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Check1",   K::CheckBox, 120,  120,  2655, 255, 1},
    {"Label1",   K::Label,    120,  480,  2655, 255},
    {"Text1",    K::TextBox,  120,  720,  1215, 285, 2},
    {"Command1", K::Button,   120,  1200, 1215, 375, 3},
    {"Command2", K::Button,   1560, 1200, 1215, 375, 4},
});

constexpr auto loadCaptions = std::to_array<Caption>({
    {"Check1", "Restart the server daily"},
    {"Label1", "At (HH:MM, local time)"},
    {"Command1", "OK"},
    {"Command2", "Cancel"},
});

constexpr auto labels = std::to_array<LabelFor>({
    {"Label1", "Text1"},
});
// clang-format on

// The players are told five minutes before: until the operator chooses, the small hours.
const QTime suggested(4, 0);

// A time of day as "HH:MM" on the 24-hour clock; nothing for any other text.
std::optional<QTime> timeOf(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^\\d\\d:\\d\\d$"));
    const QTime time = QTime::fromString(text, QStringLiteral("HH:mm"));
    return form.match(text).hasMatch() && time.isValid() ? std::optional(time) : std::nullopt;
}

} // namespace

RestartDaily::RestartDaily(Forms& registry)
    : Dialog(registry, "Restart Daily", {2940, 1695}, controls, labels)
{
    setObjectName(QStringLiteral("RestartDaily"));
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &RestartDaily::Command1_Click);
    connect(control<QPushButton>(this, "Command2"), &QPushButton::clicked, this, &RestartDaily::Command2_Click);
}

void RestartDaily::Form_Load()
{
    centreOnScreen(this);
    applyCaptions(this, loadCaptions, settings);
    const std::optional<QTime> at = dailyRestart(forms.serverFolder());
    control<QCheckBox>(this, "Check1")->setChecked(at.has_value());
    control<QLineEdit>(this, "Text1")->setText(at.value_or(suggested).toString(QStringLiteral("HH:mm")));
}

// OK: a time that is none is refused, and the dialog stays open.
void RestartDaily::Command1_Click()
{
    const QString typed = control<QLineEdit>(this, "Text1")->text();
    const std::optional<QTime> at = timeOf(typed);
    const bool daily = control<QCheckBox>(this, "Check1")->isChecked();
    if (daily && !at) {
        showFailure(QStringLiteral("The time must be hours and minutes on the 24-hour clock, such as 04:30; \"%1\" is "
                                   "not.")
                        .arg(typed));
        return;
    }
    setDailyRestart(forms.serverFolder(), daily ? at : std::nullopt);
    unload();
}

// Cancel
void RestartDaily::Command2_Click()
{
    unload();
}
