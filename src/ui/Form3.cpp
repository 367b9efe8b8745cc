#include "ui/Form3.h"

#include "settings/ServerSettings.h"
#include "ui/Centring.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include <array>

namespace {

using K = ControlKind;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Frame1",   K::Frame,        120,  120,  3735, 975},
    {"Frame2",   K::Frame,        3960, 120,  3735, 975},
    {"Frame3",   K::Frame,        120,  1440, 3735, 975},
    {"Frame4",   K::Frame,        3960, 1440, 3735, 975},
    {"Frame5",   K::Frame,        120,  2760, 3735, 975},
    {"Frame6",   K::Frame,        3960, 2760, 3735, 975},
    {"Option1",  K::OptionButton, 120,  240,  3495, 195, 1,  "Frame1"},
    {"Option2",  K::OptionButton, 120,  480,  3495, 195, 10, "Frame1"},
    {"Option3",  K::OptionButton, 120,  720,  3495, 195, 11, "Frame1"},
    {"Option4",  K::OptionButton, 120,  240,  3375, 195, 2,  "Frame2"},
    {"Option5",  K::OptionButton, 120,  480,  3375, 195, 12, "Frame2"},
    {"Option6",  K::OptionButton, 120,  720,  3255, 195, 13, "Frame2"},
    {"Option7",  K::OptionButton, 120,  240,  3495, 195, 3,  "Frame3"},
    {"Option8",  K::OptionButton, 120,  480,  3495, 195, 15, "Frame3"},
    {"Option9",  K::OptionButton, 120,  720,  3495, 195, 16, "Frame3"},
    {"Option10", K::OptionButton, 120,  240,  3495, 195, 4,  "Frame4"},
    {"Option11", K::OptionButton, 120,  480,  3495, 195, 18, "Frame4"},
    {"Option12", K::OptionButton, 120,  720,  3495, 195, 19, "Frame4"},
    {"Option13", K::OptionButton, 120,  240,  3495, 195, 5,  "Frame5"},
    {"Option14", K::OptionButton, 120,  480,  3495, 195, 21, "Frame5"},
    {"Option15", K::OptionButton, 120,  720,  3495, 195, 22, "Frame5"},
    {"Option16", K::OptionButton, 120,  240,  3495, 195, 6,  "Frame6"},
    {"Option17", K::OptionButton, 120,  480,  3495, 195, 24, "Frame6"},
    {"Option18", K::OptionButton, 120,  720,  3495, 195, 25, "Frame6"},
    {"Command1", K::Button,       4920, 3960, 1215, 375, 7},
    {"Command2", K::Button,       6480, 3960, 1215, 375, 8},
    {"Line1",    K::Rule,         360,  1320, 7080},
    {"Line2",    K::Rule,         360,  2640, 7080},
});
// clang-format on

// One option: the row it records in team_damage_choice (1 no, 2 half, 3 full damage) is its place
// in the frame; `flag` is what it adds to mp_teamplay.
struct Option {
    const char* name;
    const char* caption;
    int flag;
};

// One frame per element of team_damage_choice, first to sixth. In the damage frames "no damage"
// carries the higher flag of the pair; in the mirror frames "full" does. 32 and 64 are never used.
struct DamageFrame {
    const char* name;
    const char* caption;
    std::array<Option, 3> options;
};

// clang-format off
constexpr auto damageFrames = std::to_array<DamageFrame>({
    {"Frame1", "Damage From Direct Fire", {{
        {"Option1", "Teammates Take NO Damage", 4},
        {"Option2", "Teammates Take HALF Damage", 2},
        {"Option3", "Teammates Take FULL Damage", 0}}}},
    {"Frame2", "Damage From Explosive Weapon", {{
        {"Option4", "Teammates Take NO Damage", 16},
        {"Option5", "Teammates Take HALF Damage", 8},
        {"Option6", "Teammates Take FULL Damage", 0}}}},
    {"Frame3", "Armor Damage From Direct Fire", {{
        {"Option7", "Teammates Take NO Armor Damage", 256},
        {"Option8", "Teammates Take HALF Armor Damage", 128},
        {"Option9", "Teammates Take FULL Armor Damage", 0}}}},
    {"Frame4", "Armor Damage From Explosive Weapon", {{
        {"Option10", "Teammates Take NO Armor Damage", 1024},
        {"Option11", "Teammates Take HALF Armor Damage", 512},
        {"Option12", "Teammates Take FULL Armor Damage", 0}}}},
    {"Frame5", "Mirror Damage From Direct Fire", {{
        {"Option13", "Teammates Take NO Mirror Damage", 0},
        {"Option14", "Teammates Take HALF Mirror Damage", 2048},
        {"Option15", "Teammates Take FULL Mirror Damage", 4096}}}},
    {"Frame6", "Mirror Damage From Explosive Weapon", {{
        {"Option16", "Teammates Take NO Mirror Damage", 0},
        {"Option17", "Teammates Take HALF Mirror Damage", 8192},
        {"Option18", "Teammates Take FULL Mirror Damage", 16384}}}},
});
// clang-format on

// Team play itself; no option controls it.
constexpr int teamPlay = 1;

} // namespace

Form3::Form3(Forms& registry)
    : Dialog(registry, "Team Damage Settings", {7830, 4455}, controls)
{
    setObjectName(QStringLiteral("Form3"));
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(control<QPushButton>(this, "Command2"), &QPushButton::clicked, this, &Form3::Command2_Click);
}

void Form3::Form_Load()
{
    centreOnScreen(this);
    control<QPushButton>(this, "Command2")->setText(QStringLiteral("Cancel"));
    control<QPushButton>(this, "Command1")->setText(QStringLiteral("OK"));
    for (const DamageFrame& frame : damageFrames) {
        control<QGroupBox>(this, frame.name)->setTitle(QString::fromLatin1(frame.caption));
        for (const Option& option : frame.options)
            control<QRadioButton>(this, option.name)->setText(QString::fromLatin1(option.caption));
    }
    // A choice outside 1 to 3 leaves its frame with nothing selected.
    for (std::size_t i = 0; i < damageFrames.size(); ++i) {
        const int choice = settings.team_damage_choice.at(i);
        if (choice >= 1 && choice <= 3)
            control<QRadioButton>(this, damageFrames.at(i).options.at(std::size_t(choice - 1)).name)->setChecked(true);
    }
}

// OK: records each frame's choice (a frame with nothing selected keeps its old one) and rebuilds
// mp_teamplay from the selection alone, whatever it held before.
void Form3::Command1_Click()
{
    int teamplay = teamPlay;
    for (std::size_t i = 0; i < damageFrames.size(); ++i) {
        const auto& options = damageFrames.at(i).options;
        for (std::size_t row = 0; row < options.size(); ++row) {
            if (!control<QRadioButton>(this, options.at(row).name)->isChecked())
                continue;
            settings.team_damage_choice.at(i) = qint16(row + 1);
            teamplay += options.at(row).flag;
        }
    }
    settings.mp_teamplay = QString::number(teamplay);
    unload();
}

// Cancel
void Form3::Command2_Click()
{
    unload();
}
