#include "ui/Form10.h"

#include "settings/FactorySettings.h"
#include "ui/Centring.h"
#include "ui/Form1.h"
#include "ui/Forms.h"
#include "ui/MessageBox.h"

#include <QPushButton>

#include <array>

namespace {

using K = ControlKind;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Label1",   K::CentredLabel, 120,  120, 2655, 255},
    {"Command1", K::Button,       120,  720, 1215, 375, 1},
    {"Command2", K::Button,       1560, 720, 1215, 375, 2},
});

constexpr auto loadCaptions = std::to_array<Caption>({
    {"Label1", "This will reset all your settings."},
    {"Command1", "OK"},
    {"Command2", "Cancel"},
});
// clang-format on

} // namespace

Form10::Form10(Forms& registry)
    : Dialog(registry, "Restore Settings", {2940, 1230}, controls)
{
    setObjectName(QStringLiteral("Form10"));
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form10::Command1_Click);
    connect(control<QPushButton>(this, "Command2"), &QPushButton::clicked, this, &Form10::Command2_Click);
}

void Form10::Form_Load()
{
    centreOnScreen(this);
    applyCaptions(this, loadCaptions, settings);
}

// OK: the main window's switches run their own change handlers as they are set.
void Form10::Command1_Click()
{
    applyFactorySettings(settings);
    if (Form1* main = forms.loaded<Form1>())
        main->showRecord();
    showConfirmation(QStringLiteral("Original settings restored."));
    unload();
}

// Cancel
void Form10::Command2_Click()
{
    unload();
}
