#pragma once

#include "settings/ServerSettings.h"

#include <QWidget>

#include <initializer_list>
#include <span>

class QLabel;
class QPushButton;

// What a control is; each kind maps to one Qt widget.
enum class ControlKind {
    Label, // QLabel, left-aligned
    CentredLabel, // QLabel, centred
    TextBox, // QLineEdit, single line, no limit
    CheckBox, // QCheckBox
    Button, // QPushButton, never a default button
    Frame, // QGroupBox; its option buttons form one exclusive group
    OptionButton, // QRadioButton
    ComboBox, // editable QComboBox that neither adds typed text to its list nor completes it
    Rule, // horizontal line
    ProgressBar, // QProgressBar, from 0 to 100, its percentage shown
};

// Labels, frames and rules take no focus, so they have no place in the tab order.
inline constexpr int noFocus = -1;

// One control of a window as designed: its name, kind, position and size in twips relative to its
// container, its place in the tab order, and the frame it sits in (none: the window's client area).
struct Control {
    const char* name;
    ControlKind kind;
    int left;
    int top;
    int width;
    int height = 0; // a rule has none
    int tab = noFocus;
    const char* frame = nullptr;
};

// Creates the controls of a table on `client`, frames before the controls inside them, each
// under its own name, and sets the tab order.
void buildControls(QWidget* client, std::span<const Control> controls);

// A label and the text box or list it names, so that its mnemonic and a screen reader find it.
struct LabelFor {
    const char* label;
    const char* control;
};

void labelControls(QWidget* form, std::span<const LabelFor> labels);

// A caption for a control, or for a text box the record field whose text it shows.
struct Caption {
    const char* control;
    const char* text = nullptr;
    TextField field = nullptr;
};

// Sets captions and text box texts in the order of the list.
void applyCaptions(QWidget* form, std::span<const Caption> captions, const ServerSettings& settings);

// A control of a window by its name. A name that no control has is a fault in the program's own
// tables, in every build.
template <typename Widget> Widget* control(const QWidget* form, const char* name)
{
    auto* widget = form->findChild<Widget*>(QLatin1StringView(name));
    if (!widget)
        qFatal("%s has no control %s of that kind", qPrintable(form->objectName()), name);
    return widget;
}

// Whether typed text is a whole number written in ASCII digits, one or more of them.
bool isDigits(const QString& text);

// Copies the text of every text box in the list into its field, verbatim.
void takeTextBoxes(const QWidget* form, std::span<const Caption> captions, ServerSettings& settings);

// A check box for an on/off setting, which holds "1" or "0". A box shows checked only for exactly
// "1"; any other text leaves it unchecked without complaint, and stays until the box changes.
struct Switch {
    const char* checkBox;
    const char* caption;
    TextField field;
};

// Sets each box's caption, then its state from its field.
void showSwitches(QWidget* form, std::span<const Switch> switches, const ServerSettings& settings);

// Writes "1" or "0" into the field of each box the operator touched; a box whose state is the one
// it was shown in keeps its field as it stands, whatever text that is.
void takeSwitches(const QWidget* form, std::span<const Switch> switches, ServerSettings& settings);

// A control remembers the state or text it was shown with, so that OK can leave alone what the
// operator did not touch.
void rememberShown(QWidget* control);
bool touched(const QWidget* control);

// Writes each box's field at every change of its state, including a change the program makes.
void writeSwitchesOnChange(QWidget* form, std::span<const Switch> switches, ServerSettings& settings);

// Tab goes from each of the widgets to the next, in the order given.
void chainTabOrder(std::initializer_list<QWidget*> widgets);

// Controls named for the tests and the screen reader: a label that names its control, and buttons
// that Enter in a text box does not press.
QLabel* labelFor(QWidget* control, const char* name, const QString& caption);
QPushButton* buttonNamed(QWidget* parent, const char* name, const QString& caption);
template <typename Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1StringView(name));
    return widget;
}
