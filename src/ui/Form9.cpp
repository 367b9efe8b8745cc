#include "ui/Form9.h"

#include "formats/SettingsFile.h"
#include "ui/Centring.h"
#include "ui/Form1.h"
#include "ui/Forms.h"
#include "ui/MessageBox.h"

#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <array>

namespace {

using K = ControlKind;

// clang-format off
constexpr auto controls = std::to_array<Control>({
    {"Label1",   K::Label,   120,  0,    2535, 255},
    {"Text1",    K::TextBox, 120,  240,  2655, 285, 1},
    {"Label2",   K::Label,   120,  720,  3135, 255},
    {"Command1", K::Button,  600,  1080, 1215, 375, 2},
    {"Command2", K::Button,  2040, 1080, 1215, 375, 3},
});

constexpr auto loadCaptions = std::to_array<Caption>({
    {"Label1", "Enter File Name"},
    {"Text1", "Default"},
    {"Label2", "File name extentions are added automaticly."},
    {"Command1", "Save"},
    {"Command2", "Cancel"},
});

constexpr auto labels = std::to_array<LabelFor>({
    {"Label1", "Text1"},
});
// clang-format on

// The file must land in the server folder: a name is refused if it holds a path separator or a
// character the file system would not take.
bool fitForFileName(const QString& name)
{
    QString refused = QStringLiteral("/\\");
    refused.append(QChar(0));
#ifdef Q_OS_WIN
    refused.append(QStringLiteral("<>:\"|?*"));
    for (char16_t c = 1; c < 32; ++c)
        refused.append(QChar(c));
#endif
    return std::none_of(name.begin(), name.end(), [&refused](QChar c) { return refused.contains(c); });
}

} // namespace

Form9::Form9(Forms& registry)
    : Dialog(registry, "Save As...", {3390, 1575}, controls, labels)
{
    setObjectName(QStringLiteral("Form9"));
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form9::Command1_Click);
    connect(control<QPushButton>(this, "Command2"), &QPushButton::clicked, this, &Form9::Command2_Click);
}

void Form9::Form_Load()
{
    centreOnScreen(this);
    applyCaptions(this, loadCaptions, settings);
    if (Form1* main = forms.loaded<Form1>())
        main->takeSaveAsBoxes();
}

// Save: the name is used as typed, an empty one included, and an existing file is replaced.
void Form9::Command1_Click()
{
    const QString name = control<QLineEdit>(this, "Text1")->text();
    if (!fitForFileName(name)) {
        showFailure(QStringLiteral("Cannot save the settings as \"%1\": a file name cannot hold / or \\ or "
                                   "characters the file system refuses. The file goes into the server folder.")
                        .arg(name));
        return;
    }
    const Form1* main = forms.loaded<Form1>();
    const MainWindowSwitches switches = main ? main->switches() : MainWindowSwitches{};
    const QString path = forms.inServerFolder(name + QStringLiteral(".TFC"));
    if (forms.tellSaved(writeSaveAsLayout(path, settings, switches, forms.fileEncoding()),
            QStringLiteral("File ") + name + QStringLiteral(".tfc saved.")))
        hide();
}

// Cancel
void Form9::Command2_Click()
{
    hide();
}
