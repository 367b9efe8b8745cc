#include "ui/Controls.h"

#include "ui/Twips.h"

#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

// A label shows its text as it stands, a file's or the operator's too, and at the top of its box
// like the layouts' labels.
QLabel* plainLabel(Qt::Alignment alignment, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment);
    return label;
}

// A rule is a line, not a frame around anything; a screen reader should meet it as a separator.
QAccessibleInterface* ruleForScreenReaders(const QString& className, QObject* object)
{
    auto* frame = qobject_cast<QFrame*>(object);
    if (className != QLatin1StringView("QFrame") || !frame || frame->frameShape() != QFrame::HLine)
        return nullptr;
    return new QAccessibleWidget(frame, QAccessible::Separator);
}

QFrame* createRule(QWidget* parent)
{
    static const bool accessible = (QAccessible::installFactory(ruleForScreenReaders), true);
    Q_UNUSED(accessible);
    auto* rule = new QFrame(parent);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    return rule;
}

QWidget* createControl(ControlKind kind, QWidget* parent)
{
    switch (kind) {
    case ControlKind::Label:
        return plainLabel(Qt::AlignLeft | Qt::AlignTop, parent);
    case ControlKind::CentredLabel:
        return plainLabel(Qt::AlignHCenter | Qt::AlignTop, parent);
    case ControlKind::TextBox: {
        // Values of any length pass through untouched; QLineEdit would cut them at 32767.
        auto* box = new QLineEdit(parent);
        box->setMaxLength(std::numeric_limits<int>::max());
        return box;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(parent);
    case ControlKind::Button: {
        auto* button = new QPushButton(parent);
        button->setAutoDefault(false);
        return button;
    }
    case ControlKind::Frame:
        return new QGroupBox(parent);
    case ControlKind::OptionButton:
        return new QRadioButton(parent);
    case ControlKind::ComboBox: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        return combo;
    }
    case ControlKind::Rule:
        return createRule(parent);
    case ControlKind::ProgressBar:
        return new QProgressBar(parent);
    }
    Q_UNREACHABLE();
    return nullptr;
}

// What a control shows: a box's state, a list's or text box's text.
QVariant shownState(const QWidget* control)
{
    if (auto* box = qobject_cast<const QAbstractButton*>(control))
        return box->isChecked();
    if (auto* list = qobject_cast<const QComboBox*>(control))
        return list->currentText();
    return qobject_cast<const QLineEdit*>(control)->text();
}

const char* const shownOnLoad = "shownOnLoad";

QString switchText(bool checked)
{
    return checked ? QStringLiteral("1") : QStringLiteral("0");
}

bool takesFocus(ControlKind kind)
{
    return kind != ControlKind::Label && kind != ControlKind::CentredLabel && kind != ControlKind::Frame
        && kind != ControlKind::Rule && kind != ControlKind::ProgressBar;
}

} // namespace

void buildControls(QWidget* client, std::span<const Control> controls)
{
    std::vector<std::pair<int, QWidget*>> focusOrder;
    for (const Control& designed : controls) {
        QWidget* container = designed.frame ? control<QGroupBox>(client, designed.frame) : client;
        QWidget* widget = createControl(designed.kind, container);
        widget->setObjectName(QLatin1StringView(designed.name));
        QRect geometry = twipsRect(designed.left, designed.top, designed.width, designed.height);
        if (designed.kind == ControlKind::Rule)
            geometry.setHeight(2); // a rule is a line along its top edge
        widget->setGeometry(geometry);
        if (takesFocus(designed.kind))
            focusOrder.emplace_back(designed.tab, widget);
        else
            widget->setFocusPolicy(Qt::NoFocus);
    }
    std::sort(focusOrder.begin(), focusOrder.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto shared = std::adjacent_find(
        focusOrder.begin(), focusOrder.end(), [](const auto& a, const auto& b) { return a.first == b.first; });
    if (shared != focusOrder.end())
        qFatal("two controls share place %d in the tab order", shared->first);
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);
    // The window opens with the focus on the first control of the tab order.
    if (!focusOrder.empty())
        focusOrder.front().second->setFocus();
}

void labelControls(QWidget* form, std::span<const LabelFor> labels)
{
    for (const LabelFor& pair : labels)
        control<QLabel>(form, pair.label)->setBuddy(control<QWidget>(form, pair.control));
}

void applyCaptions(QWidget* form, std::span<const Caption> captions, const ServerSettings& settings)
{
    for (const Caption& caption : captions) {
        QWidget* widget = control<QWidget>(form, caption.control);
        const QString text = caption.field ? settings.*caption.field : QString::fromLatin1(caption.text);
        if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText(text);
        else if (auto* box = qobject_cast<QLineEdit*>(widget))
            box->setText(text);
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            button->setText(text);
        else if (auto* frame = qobject_cast<QGroupBox*>(widget))
            frame->setTitle(text);
        else
            qFatal("%s takes no caption", caption.control);
    }
}

void takeTextBoxes(const QWidget* form, std::span<const Caption> captions, ServerSettings& settings)
{
    for (const Caption& caption : captions) {
        if (caption.field)
            settings.*caption.field = control<QLineEdit>(form, caption.control)->text();
    }
}

void showSwitches(QWidget* form, std::span<const Switch> switches, const ServerSettings& settings)
{
    for (const Switch& item : switches) {
        auto* box = control<QCheckBox>(form, item.checkBox);
        box->setText(QString::fromLatin1(item.caption));
        box->setChecked(settings.*item.field == QLatin1StringView("1"));
        rememberShown(box);
    }
}

void takeSwitches(const QWidget* form, std::span<const Switch> switches, ServerSettings& settings)
{
    for (const Switch& item : switches) {
        const auto* box = control<QCheckBox>(form, item.checkBox);
        if (touched(box))
            settings.*item.field = switchText(box->isChecked());
    }
}

bool isDigits(const QString& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

void rememberShown(QWidget* control)
{
    control->setProperty(shownOnLoad, shownState(control));
}

bool touched(const QWidget* control)
{
    return control->property(shownOnLoad) != shownState(control);
}

void writeSwitchesOnChange(QWidget* form, std::span<const Switch> switches, ServerSettings& settings)
{
    for (const Switch& item : switches) {
        QObject::connect(control<QCheckBox>(form, item.checkBox), &QCheckBox::toggled, form,
            [&settings, field = item.field](bool checked) { settings.*field = switchText(checked); });
    }
}

void chainTabOrder(std::initializer_list<QWidget*> widgets)
{
    for (auto it = widgets.begin(); it + 1 < widgets.end(); ++it)
        QWidget::setTabOrder(*it, *(it + 1));
}

QLabel* labelFor(QWidget* control, const char* name, const QString& caption)
{
    auto* label = named(new QLabel(caption, control->parentWidget()), name);
    label->setBuddy(control);
    control->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    return label;
}

QPushButton* buttonNamed(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = named(new QPushButton(caption, parent), name);
    button->setAutoDefault(false);
    return button;
}
