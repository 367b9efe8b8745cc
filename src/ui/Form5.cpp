#include "ui/Form5.h"

#include "settings/ServerSettings.h"
#include "ui/Centring.h"

#include <QCheckBox>
#include <QPushButton>

#include <array>

namespace {

using K = ControlKind;
using S = ServerSettings;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Check1",   K::CheckBox, 240, 120, 1695, 255, 0},
    {"Check2",   K::CheckBox, 240, 480, 1695, 255, 1},
    {"Command1", K::Button,   360, 840, 1215, 375, 2},
});

constexpr auto loadCaptions = std::to_array<Caption>({
    {"Command1", "OK"},
});

constexpr auto switchesOnOk = std::to_array<Switch>({
    {"Check1", "Allow Cheat Codes", &S::sv_cheats},
    {"Check2", "Allow Clipping", &S::sv_clipmode},
});
// clang-format on

} // namespace

Form5::Form5(Forms& registry)
    : Dialog(registry, "Cheats", {1950, 1365}, controls)
{
    setObjectName(QStringLiteral("Form5"));
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form5::Command1_Click);
}

void Form5::Form_Load()
{
    centreOnScreen(this);
    applyCaptions(this, loadCaptions, settings);
    showSwitches(this, switchesOnOk, settings);
}

void Form5::Command1_Click()
{
    takeSwitches(this, switchesOnOk, settings);
    unload();
}
