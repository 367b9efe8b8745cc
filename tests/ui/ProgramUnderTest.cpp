#include "ProgramUnderTest.h"

#include "ui/Form1.h"
#include "ui/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

ProgramUnderTest::ProgramUnderTest(const std::optional<QByteArray>& defaultTfc)
    : folder(dir.filePath("Half-Life Server"))
{
    QDir().mkpath(folder + "/tfc");
    if (defaultTfc)
        writeBytes(folder + "/tfc/default.tfc", *defaultTfc);
    forms = std::make_unique<Forms>(settings, folder);
    interceptMessagesForTests([this](const QString& text) { messages.append(text); });
}

ProgramUnderTest::~ProgramUnderTest()
{
    forms.reset();
    interceptMessagesForTests({});
}

Form1* ProgramUnderTest::start()
{
    Form1* form = forms->show<Form1>();
    QCoreApplication::processEvents();
    return form;
}

QString ProgramUnderTest::takeOnlyMessage()
{
    if (messages.size() != 1)
        qWarning() << "expected one message, got" << messages;
    return messages.size() == 1 ? messages.takeFirst() : QString();
}

void verifyCaptionsFit(const QWidget* window)
{
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->objectName()));
    }
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        const int textWidth = button->fontMetrics().horizontalAdvance(button->text());
        QVERIFY2(button->sizeHint().width() <= button->width() || textWidth + 12 <= button->width(),
                 qPrintable(button->objectName()));
    }
    for (const QGroupBox* frame : window->findChildren<QGroupBox*>()) {
        QVERIFY2(frame->fontMetrics().horizontalAdvance(frame->title()) + 16 <= frame->width(),
                 qPrintable(frame->objectName()));
    }
}

void verifyNoWindowLeft()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(QApplication::topLevelWidgets(), QWidgetList());
}

QStringList tabOrderFrom(QWidget* first)
{
    QStringList order{first->objectName()};
    for (QWidget* next = first->nextInFocusChain(); next != first; next = next->nextInFocusChain()) {
        if (next->focusPolicy() & Qt::TabFocus && !next->objectName().isEmpty()
            && !next->objectName().startsWith("qt_"))
            order.append(next->objectName());
    }
    return order;
}
