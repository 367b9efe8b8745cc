#include "ui/Controls.h"

#include "ui/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <vector>

namespace {

QWidget* createControl(ControlKind kind, QWidget* parent)
{
    switch (kind) {
    case ControlKind::Label:
        return new QLabel(parent);
    case ControlKind::CentredLabel: {
        auto* label = new QLabel(parent);
        label->setAlignment(Qt::AlignCenter);
        return label;
    }
    case ControlKind::TextBox:
        return new QLineEdit(parent);
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
    case ControlKind::Rule: {
        auto* rule = new QFrame(parent);
        rule->setFrameShape(QFrame::HLine);
        rule->setFrameShadow(QFrame::Sunken);
        return rule;
    }
    }
    Q_UNREACHABLE();
    return nullptr;
}

QString switchText(bool checked)
{
    return checked ? QStringLiteral("1") : QStringLiteral("0");
}

bool takesFocus(ControlKind kind)
{
    return kind != ControlKind::Label && kind != ControlKind::CentredLabel && kind != ControlKind::Frame
        && kind != ControlKind::Rule;
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
    std::stable_sort(
        focusOrder.begin(), focusOrder.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);
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
            Q_ASSERT_X(false, "applyCaptions", caption.control);
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
    }
}

void takeSwitches(const QWidget* form, std::span<const Switch> switches, ServerSettings& settings)
{
    for (const Switch& item : switches)
        settings.*item.field = switchText(control<QCheckBox>(form, item.checkBox)->isChecked());
}

void writeSwitchesOnChange(QWidget* form, std::span<const Switch> switches, ServerSettings& settings)
{
    for (const Switch& item : switches) {
        QObject::connect(control<QCheckBox>(form, item.checkBox), &QCheckBox::toggled, form,
            [&settings, field = item.field](bool checked) { settings.*field = switchText(checked); });
    }
}
