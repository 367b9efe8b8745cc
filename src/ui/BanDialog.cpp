#include "ui/BanDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int usualLength = 60;

std::function<std::optional<int>(const BanDialog&)> lengthReader;

QLabel* plainLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText); // a name is shown as it stands
    label->setWordWrap(true);
    return label;
}

} // namespace

BanDialog::BanDialog(const QString& question, std::function<QString(int minutes)> commandsFor, const QString& kept)
    : commandsFor_(std::move(commandsFor))
    , lengths_(new QButtonGroup(this))
    , question_(plainLabel(this))
    , commands_(plainLabel(this))
    , kept_(plainLabel(this))
{
    setObjectName(QStringLiteral("BanDialog"));
    setWindowTitle(QStringLiteral("Ban"));
    question_->setText(question);
    kept_->setText(kept);
    auto* layout = new QVBoxLayout(this);
    // As wide as a few lines of text need, and as tall as the wrapped lines then are.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    for (QLabel* label : {question_, commands_, kept_})
        label->setFixedWidth(fontMetrics().averageCharWidth() * 60);
    layout->addWidget(question_);
    for (const BanLength& length : banLengths) {
        auto* choice = new QRadioButton(QString::fromUtf8(length.caption), this);
        lengths_->addButton(choice, length.minutes);
        choice->setChecked(length.minutes == usualLength);
        layout->addWidget(choice);
    }
    layout->addWidget(commands_);
    layout->addWidget(kept_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Ban"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(lengths_, &QButtonGroup::idToggled, this, &BanDialog::showCommands);
    showCommands();
}

int BanDialog::minutes() const
{
    return lengths_->checkedId();
}

QStringList BanDialog::texts() const
{
    return {question_->text(), commands_->text(), kept_->text()};
}

void BanDialog::showCommands()
{
    commands_->setText(QStringLiteral("Quillmont sends: ") + commandsFor_(minutes()));
}

std::optional<int> askBanLength(
    const QString& question, const std::function<QString(int minutes)>& commandsFor, const QString& kept)
{
    BanDialog dialog(question, commandsFor, kept);
    if (lengthReader)
        return lengthReader(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.minutes();
}

void interceptBanLengthsForTests(std::function<std::optional<int>(const BanDialog&)> reader)
{
    lengthReader = std::move(reader);
}
