#include "ui/MessageBox.h"

#include <QLabel>

namespace {

std::function<QMessageBox::StandardButton(QMessageBox&)> messageReader;

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

QMessageBox::StandardButton askToSave(const QString& question)
{
    const QMessageBox::StandardButton answer
        = show(QMessageBox::Question, question, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    return answer == QMessageBox::Save || answer == QMessageBox::Discard ? answer : QMessageBox::Cancel;
}

void interceptMessagesForTests(std::function<QMessageBox::StandardButton(QMessageBox&)> reader)
{
    messageReader = std::move(reader);
}
