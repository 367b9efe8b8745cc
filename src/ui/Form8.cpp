#include "ui/Form8.h"

#include "settings/ServerSettings.h"
#include "ui/Centring.h"

#include <QLabel>
#include <QPushButton>

#include <array>

namespace {

using K = ControlKind;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Label1",   K::Label,  120,  120,  3255, 255},
    {"Label2",   K::Label,  120,  360,  3255, 255},
    {"Label3",   K::Label,  120,  600,  3255, 255},
    {"Label4",   K::Label,  120,  840,  3255, 255},
    {"Command1", K::Button, 1080, 1200, 1215, 375, 1},
});

constexpr auto loadCaptions = std::to_array<Caption>({
    {"Label2", "Settings for a Team Fortress Classic server"},
    {"Label3", "Help: the README that comes with it"},
    {"Label4", "Written in C++ with Qt 6"},
    {"Command1", "OK"},
});
// clang-format on

} // namespace

// The caption's version is the program's own and fixed; the first line shows the settings file's.
Form8::Form8(Forms& registry)
    : Dialog(registry, "About - Ver 0.2", {3420, 1755}, controls)
{
    setObjectName(QStringLiteral("Form8"));
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form8::Command1_Click);
}

void Form8::Form_Load()
{
    centreOnScreen(this);
    control<QLabel>(this, "Label1")->setText(QStringLiteral("Quillmont - Version: ") + settings.file_version);
    applyCaptions(this, loadCaptions, settings);
}

void Form8::Command1_Click()
{
    unload();
}
