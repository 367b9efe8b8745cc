#include "ui/MessageBox.h"

#include <QMessageBox>

namespace {

std::function<void(const QString&)> messageReader;

} // namespace

void tellOperator(const QString& text)
{
    if (messageReader) {
        messageReader(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quillmont"), text, QMessageBox::Ok);
    box.exec();
}

void interceptMessagesForTests(std::function<void(const QString&)> reader)
{
    messageReader = std::move(reader);
}
