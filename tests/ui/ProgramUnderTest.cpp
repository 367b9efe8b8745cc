#include "ProgramUnderTest.h"

#include "ui/Form1.h"
#include "ui/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

ProgramUnderTest::ProgramUnderTest(const std::optional<QByteArray>& defaultTfc)
    : folder(dir.filePath("Half-Life Server"))
{
    QDir().mkpath(folder + "/tfc");
    if (defaultTfc)
        writeBytes(folder + "/tfc/default.tfc", *defaultTfc);
    forms = std::make_unique<Forms>(settings, folder);
    interceptMessagesForTests([this](const QMessageBox& box) {
        QCOMPARE(box.windowTitle(), "Quillmont");
        QCOMPARE(box.textFormat(), Qt::PlainText);
        messages.append(box.text());
    });
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

QLineEdit* textBox(const QWidget* window, const char* name)
{
    return child<QLineEdit>(window, name);
}

QCheckBox* checkBox(const QWidget* window, const char* name)
{
    return child<QCheckBox>(window, name);
}

void addWaysToLeaveWithoutOk()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Cancel") << false;
    QTest::newRow("close box") << true;
}

void leaveWithoutOk(QWidget* dialog, const char* cancelButton)
{
    QFETCH(bool, closeBox);
    if (closeBox)
        dialog->close();
    else
        click(dialog, cancelButton);
}

QStringList mainWindowTexts(const QWidget* main)
{
    QStringList texts;
    for (int box = 1; box <= 8; ++box)
        texts << textBox(main, qPrintable(QString("Text%1").arg(box)))->text();
    return texts;
}

void click(const QWidget* window, const char* button)
{
    child<QAbstractButton>(window, button)->click();
}

QByteArray settingsFileWith(const QMap<int, QByteArray>& lines)
{
    QList<QByteArray> all = factoryFullLayout().split('\n');
    for (auto it = lines.begin(); it != lines.end(); ++it)
        all[it.key() - 1] = it.value() + '\r';
    return all.join('\n');
}

void pressEnterAndEscape(QWidget* window)
{
    QTest::keyClick(window, Qt::Key_Return);
    QTest::keyClick(window, Qt::Key_Enter);
    QTest::keyClick(window, Qt::Key_Escape);
    QCoreApplication::processEvents();
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
