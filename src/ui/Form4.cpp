#include "ui/Form4.h"

#include "formats/SettingsFile.h"
#include "ui/Centring.h"
#include "ui/Form1.h"
#include "ui/Form10.h"
#include "ui/Forms.h"

#include <QPushButton>

#include <array>

namespace {

using K = ControlKind;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Label1",   K::CentredLabel, 120,  120,  4095, 255},
    {"Label2",   K::CentredLabel, 120,  360,  4095, 255},
    {"Label3",   K::CentredLabel, 120,  720,  4095, 255},
    {"Label4",   K::CentredLabel, 120,  960,  4095, 255},
    {"Command3", K::Button,       120,  1440, 1215, 375, 4},
    {"Command1", K::Button,       1560, 1440, 1215, 375, 1},
    {"Command2", K::Button,       3000, 1440, 1215, 375, 2},
});

constexpr auto loadCaptions = std::to_array<Caption>({
    {"Label1", "If you save these settings they will be loaded"},
    {"Label2", "each time you start this program by default."},
    {"Label3", "If you wish you can restore the original default"},
    {"Label4", "with the 'Restore' button.  Then you can save."},
    {"Command1", "Save"},
    {"Command2", "Cancel"},
    {"Command3", "Restore"},
});
// clang-format on

} // namespace

Form4::Form4(Forms& registry)
    : Dialog(registry, "Default Settings", {4335, 1950}, controls)
{
    setObjectName(QStringLiteral("Form4"));
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(control<QPushButton>(this, "Command2"), &QPushButton::clicked, this, &Form4::Command2_Click);
    connect(control<QPushButton>(this, "Command3"), &QPushButton::clicked, this, &Form4::Command3_Click);
}

void Form4::Form_Load()
{
    centreOnScreen(this);
    applyCaptions(this, loadCaptions, settings);
    if (Form1* main = forms.loaded<Form1>())
        main->takeMainScreenBoxes();
}

// Save: saves what the main window shows now, at every press, though the dialog stays loaded. A
// save that fails leaves the old file as it was and the dialog open.
void Form4::Command1_Click()
{
    if (Form1* main = forms.loaded<Form1>())
        main->takeMainScreenBoxes();
    if (forms.saveDefaults())
        hide();
}

// Cancel
void Form4::Command2_Click()
{
    hide();
}

// Restore
void Form4::Command3_Click()
{
    forms.show<Form10>();
}
