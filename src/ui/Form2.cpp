#include "ui/Form2.h"

#include "settings/ServerSettings.h"
#include "ui/Centring.h"
#include "ui/MessageBox.h"

#include <QComboBox>
#include <QPushButton>

#include <array>
#include <optional>

namespace {

using K = ControlKind;
using S = ServerSettings;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Label1",   K::Label,    120,  240,  1215, 255},
    {"Combo1",   K::ComboBox, 960,  120,  1215, 315, 1},
    {"Label2",   K::Label,    120,  720,  1215, 255},
    {"Combo2",   K::ComboBox, 960,  600,  1215, 315, 2},
    {"Label3",   K::Label,    120,  1200, 1215, 255},
    {"Combo3",   K::ComboBox, 960,  1080, 1215, 315, 3},
    {"Label4",   K::Label,    120,  1680, 1215, 255},
    {"Combo4",   K::ComboBox, 960,  1560, 1215, 315, 4},
    {"Label5",   K::Label,    120,  2160, 1215, 255},
    {"Combo5",   K::ComboBox, 960,  2040, 1215, 315, 5},
    {"Label6",   K::Label,    2520, 240,  1215, 255},
    {"Combo6",   K::ComboBox, 3480, 120,  1215, 315, 6},
    {"Label7",   K::Label,    2520, 720,  1215, 255},
    {"Combo7",   K::ComboBox, 3480, 600,  1215, 315, 7},
    {"Label8",   K::Label,    2520, 1200, 1215, 255},
    {"Combo8",   K::ComboBox, 3480, 1080, 1215, 315, 8},
    {"Label9",   K::Label,    2520, 1680, 1215, 255},
    {"Combo9",   K::ComboBox, 3480, 1560, 1215, 315, 9},
    {"Command2", K::Button,   2400, 2040, 1095, 375, 10},
    {"Command1", K::Button,   3720, 2040, 1095, 375, 11},
});

constexpr auto loadCaptions = std::to_array<Caption>({
    {"Label1", "Scout"},
    {"Label2", "Sniper"},
    {"Label3", "Soldier"},
    {"Label4", "DemoMan"},
    {"Label5", "Medic"},
    {"Label6", "HWGuy"},
    {"Label7", "Pyro"},
    {"Label8", "Spy"},
    {"Label9", "Engineer"},
    {"Command1", "Cancel"},
    {"Command2", "OK"},
});

constexpr auto labels = std::to_array<LabelFor>({
    {"Label1", "Combo1"},
    {"Label2", "Combo2"},
    {"Label3", "Combo3"},
    {"Label4", "Combo4"},
    {"Label5", "Combo5"},
    {"Label6", "Combo6"},
    {"Label7", "Combo7"},
    {"Label8", "Combo8"},
    {"Label9", "Combo9"},
});
// clang-format on

constexpr auto classLimits = std::to_array<std::pair<const char*, TextField>>({
    {"Combo1", &S::cr_scout},
    {"Combo2", &S::cr_sniper},
    {"Combo3", &S::cr_soldier},
    {"Combo4", &S::cr_demoman},
    {"Combo5", &S::cr_medic},
    {"Combo6", &S::cr_hwguy},
    {"Combo7", &S::cr_pyro},
    {"Combo8", &S::cr_spy},
    {"Combo9", &S::cr_engineer},
});

constexpr auto listEntries = std::to_array<const char*>({"Unlimited", "None", "1", "2", "3", "4", "5", "6"});

// The limits the list offers, as stored and as shown; any other stored text is shown as it stands.
struct Limit {
    const char* stored;
    const char* shown;
};

constexpr auto knownLimits = std::to_array<Limit>({
    {"-1", "None"},
    {"0", "Unlimited"},
    {"1", "1"},
    {"2", "2"},
    {"3", "3"},
    {"4", "4"},
    {"5", "5"},
    {"6", "6"},
});

QString shownLimit(const QString& stored)
{
    for (const Limit& limit : knownLimits) {
        if (stored == QLatin1StringView(limit.stored))
            return QString::fromLatin1(limit.shown);
    }
    return stored;
}

// What OK stores for a text the operator chose or typed: None and Unlimited by their numbers, a
// number of players in digits as typed; nothing for any other text.
std::optional<QString> storedLimit(const QString& shown)
{
    for (const Limit& limit : knownLimits) {
        if (shown == QLatin1StringView(limit.shown))
            return QString::fromLatin1(limit.stored);
    }
    return isDigits(shown) ? std::optional(shown) : std::nullopt;
}

} // namespace

Form2::Form2(Forms& registry)
    : Dialog(registry, "Class Restrictions", {4950, 2535}, controls, labels)
{
    setObjectName(QStringLiteral("Form2"));
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(control<QPushButton>(this, "Command2"), &QPushButton::clicked, this, &Form2::Command2_Click);
}

void Form2::Form_Load()
{
    centreOnScreen(this);
    applyCaptions(this, loadCaptions, settings);
    for (const auto& [comboName, field] : classLimits) {
        auto* combo = control<QComboBox>(this, comboName);
        for (const char* entry : listEntries)
            combo->addItem(QString::fromLatin1(entry));
        combo->setEditText(shownLimit(settings.*field));
        rememberShown(combo);
    }
}

// Cancel
void Form2::Command1_Click()
{
    unload();
}

// OK: a limit the operator did not touch stays as stored, whatever it holds. A typed text that is
// no limit is refused, and then nothing is written.
void Form2::Command2_Click()
{
    std::array<std::optional<QString>, classLimits.size()> stored;
    for (std::size_t i = 0; i < classLimits.size(); ++i) {
        const auto* combo = control<QComboBox>(this, classLimits.at(i).first);
        if (!touched(combo))
            continue;
        stored.at(i) = storedLimit(combo->currentText());
        if (!stored.at(i)) {
            showFailure(QStringLiteral("%1 must be Unlimited, None or a whole number of players.")
                            .arg(settingName(classLimits.at(i).second)));
            return;
        }
    }
    for (std::size_t i = 0; i < classLimits.size(); ++i) {
        if (stored.at(i))
            settings.*classLimits.at(i).second = *stored.at(i);
    }
    unload();
}
