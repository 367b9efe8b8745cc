#include "ui/MessageBox.h"

#include <QInputDialog>
#include <QLabel>

#include <limits>

namespace {

std::function<QMessageBox::StandardButton(QMessageBox&)> messageReader;
std::function<std::optional<int>(const QString&)> numberReader;

QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, QStringLiteral("Quillmont"), text, buttons);
    box.setTextFormat(Qt::PlainText); // a file's or the operator's text is shown as it stands
    if (messageReader)
        return messageReader(box);
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

void showConfirmation(const QString& text)
{
    show(QMessageBox::Information, text, QMessageBox::Ok);
}

void showFailure(const QString& text)
{
    show(QMessageBox::Warning, text, QMessageBox::Ok);
}

bool askOperator(const QString& question)
{
    return show(QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void interceptMessagesForTests(std::function<QMessageBox::StandardButton(QMessageBox&)> reader)
{
    messageReader = std::move(reader);
}

std::optional<int> askNumber(const QString& question, int lowest)
{
    if (numberReader)
        return numberReader(question);
    QInputDialog box;
    box.setWindowTitle(QStringLiteral("Quillmont"));
    box.setInputMode(QInputDialog::IntInput);
    box.setIntRange(lowest, std::numeric_limits<int>::max());
    box.setLabelText(question);
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.intValue();
}

void interceptNumbersForTests(std::function<std::optional<int>(const QString& question)> reader)
{
    numberReader = std::move(reader);
}
