#include "ui/MessageBox.h"

#include <QMessageBox>

namespace {

std::function<void(const QMessageBox&)> messageReader;

} // namespace

void tellOperator(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quillmont"), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText); // a file's or the operator's text is shown as it stands
    if (messageReader)
        messageReader(box);
    else
        box.exec();
}

void interceptMessagesForTests(std::function<void(const QMessageBox&)> reader)
{
    messageReader = std::move(reader);
}
