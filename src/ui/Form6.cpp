#include "ui/Form6.h"

#include "settings/ServerSettings.h"
#include "ui/Centring.h"

#include <QPushButton>

#include <array>

namespace {

using K = ControlKind;
using S = ServerSettings;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Label1",   K::Label,    120,  120,  1215, 255},
    {"Text1",    K::TextBox,  120,  360,  735,  285,  0},
    {"Label4",   K::Label,    120,  840,  1215, 255},
    {"Text4",    K::TextBox,  120,  1080, 735,  285,  1},
    {"Label5",   K::Label,    120,  1560, 1215, 255},
    {"Text5",    K::TextBox,  120,  1800, 735,  285,  2},
    {"Frame1",   K::Frame,    1560, 240,  1095, 1815},
    {"Label2",   K::Label,    120,  360,  855,  255, noFocus, "Frame1"},
    {"Text2",    K::TextBox,  120,  600,  735,  285,  7,  "Frame1"},
    {"Label3",   K::Label,    120,  1080, 735,  255, noFocus, "Frame1"},
    {"Text3",    K::TextBox,  120,  1320, 735,  285,  8,  "Frame1"},
    {"Check1",   K::CheckBox, 120,  2280, 2175, 255,  4},
    {"Check3",   K::CheckBox, 120,  2520, 1215, 255,  5},
    {"Check4",   K::CheckBox, 120,  2760, 1215, 255,  6},
    {"Command1", K::Button,   1440, 2640, 1215, 375,  9},
});

// The text boxes are copied back on OK, in this order too.
constexpr auto loadCaptions = std::to_array<Caption>({
    {"Frame1", "Decals"},
    {"Command1", "OK"},
    {"Label1", "Gravity"},
    {"Text1", nullptr, &S::sv_gravity},
    {"Label2", "Frequency"},
    {"Text2", nullptr, &S::decalfrequency},
    {"Label3", "Limit"},
    {"Text3", nullptr, &S::mp_decals},
    {"Label4", "Client Trace"},
    {"Text4", nullptr, &S::sv_clienttrace},
    {"Label5", "Max Speed"},
    {"Text5", nullptr, &S::sv_maxspeed},
});

constexpr auto labels = std::to_array<LabelFor>({
    {"Label1", "Text1"},
    {"Label2", "Text2"},
    {"Label3", "Text3"},
    {"Label4", "Text4"},
    {"Label5", "Text5"},
});

// Written at every change of state, the load step's included: OK does not touch them, and closing
// the window does not take them back.
constexpr auto switchesAtOnce = std::to_array<Switch>({
    {"Check1", "Realistic Fall Damage", &S::mp_falldamage},
    {"Check3", "Foot Steps", &S::mp_footsteps},
    {"Check4", "Auto Aim", &S::sv_aim},
});
// clang-format on

} // namespace

Form6::Form6(Forms& registry)
    : Dialog(registry, "Game Physics", {2835, 3180}, controls, labels)
{
    setObjectName(QStringLiteral("Form6"));
    writeSwitchesOnChange(this, switchesAtOnce, settings);
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form6::Command1_Click);
}

void Form6::Form_Load()
{
    centreOnScreen(this);
    applyCaptions(this, loadCaptions, settings);
    showSwitches(this, switchesAtOnce, settings);
}

void Form6::Command1_Click()
{
    takeTextBoxes(this, loadCaptions, settings);
    unload();
}
