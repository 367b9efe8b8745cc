#include "ui/Form7.h"

#include "settings/ServerSettings.h"
#include "ui/Centring.h"

#include <QPushButton>

#include <array>

namespace {

using K = ControlKind;
using S = ServerSettings;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Check1",   K::CheckBox, 120,  120,  1935, 255, 0},
    {"Check2",   K::CheckBox, 120,  480,  1935, 255, 1},
    {"Check3",   K::CheckBox, 120,  840,  1935, 255, 2},
    {"Check4",   K::CheckBox, 120,  1200, 2415, 255, 3},
    {"Label1",   K::Label,    2280, 0,    1815, 255},
    {"Text1",    K::TextBox,  2280, 240,  735,  285, 4},
    {"Check5",   K::CheckBox, 2280, 600,  1815, 255, 5},
    {"Command1", K::Button,   2760, 1080, 1215, 375, 6},
});

constexpr auto loadCaptions = std::to_array<Caption>({
    {"Label1", "Respawn Delay"},
    {"Text1", nullptr, &S::tfc_respawndelay},
    {"Command1", "OK"},
});

constexpr auto labels = std::to_array<LabelFor>({
    {"Label1", "Text1"},
});

constexpr auto switchesOnOk = std::to_array<Switch>({
    {"Check1", "Auto Teams", &S::tfc_autoteam},
    {"Check2", "Balance Teams", &S::tfc_balance_teams},
    {"Check3", "Balance Scores", &S::tfc_balance_scores},
    {"Check4", "Include Frags in Team Score", &S::tfc_fragscoring},
    {"Check5", "Force Respawn", &S::mp_forcerespawn},
});
// clang-format on

} // namespace

Form7::Form7(Forms& registry)
    : Dialog(registry, "Scoring and Team Settings", {4170, 1605}, controls, labels)
{
    setObjectName(QStringLiteral("Form7"));
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form7::Command1_Click);
}

void Form7::Form_Load()
{
    centreOnScreen(this);
    applyCaptions(this, loadCaptions, settings);
    showSwitches(this, switchesOnOk, settings);
}

void Form7::Command1_Click()
{
    takeSwitches(this, switchesOnOk, settings);
    takeTextBoxes(this, loadCaptions, settings);
    unload();
}
