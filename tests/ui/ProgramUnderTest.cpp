#include "ProgramUnderTest.h"

#include "ui/Form1.h"
#include "ui/LookAndFeel.h"
#include "ui/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>

namespace {

// Put in front of the test library's own handler, which is there only once the tests run.
void hideOffscreenNotices()
{
    static const QtMessageHandler shown
        = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
              if (!text.startsWith("This plugin does not support"))
                  shown(type, context, text);
          });
}

} // namespace

ProgramUnderTest::ProgramUnderTest(const std::optional<QByteArray>& defaultTfc)
    : folder(dir.filePath("Half-Life Server"))
{
    hideOffscreenNotices();
    QDir().mkpath(folder + "/tfc");
    if (defaultTfc)
        writeBytes(folder + "/tfc/default.tfc", *defaultTfc);
    forms = std::make_unique<Forms>(settings, folder);
    interceptMessagesForTests([this](const QMessageBox& box) {
        static const QMap<QMessageBox::Icon, QString> kinds{{QMessageBox::Information, "Information"},
            {QMessageBox::Warning, "Warning"}, {QMessageBox::Question, "Question"}};
        messages.append(kinds.value(box.icon(), "No icon") + ": " + box.text());
        const bool asText = box.windowTitle() == "Quillmont" && box.textFormat() == Qt::PlainText;
        return asText ? (box.icon() == QMessageBox::Question ? answer : QMessageBox::Ok) : QMessageBox::NoButton;
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

QString stateOf(const QWidget* window, const QString& control)
{
    QWidget* widget = child(window, control);
    if (auto* box = qobject_cast<QLineEdit*>(widget))
        return box->text();
    if (auto* list = qobject_cast<QComboBox*>(widget))
        return list->currentText();
    return qobject_cast<QAbstractButton*>(widget)->isChecked() ? "on" : "off";
}

void operate(const QWidget* window, const QString& controlAndState)
{
    const QString control = controlAndState.section('=', 0, 0);
    const QString state = controlAndState.section('=', 1);
    QWidget* widget = child(window, control);
    QLineEdit* box = qobject_cast<QLineEdit*>(widget);
    if (auto* list = qobject_cast<QComboBox*>(widget))
        box = list->lineEdit();
    if (box) {
        box->setFocus(Qt::MouseFocusReason);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        // Key by key where the test library has keys for the characters.
        if (std::all_of(state.begin(), state.end(), [](QChar c) { return c.unicode() < 0x80; }))
            QTest::keyClicks(box, state);
        else
            box->insert(state);
        QTest::keyClick(box, Qt::Key_Return);
    } else if (stateOf(window, control) != state) {
        QTest::mouseClick(widget, Qt::LeftButton);
    }
}

void click(const QWidget* window, const QString& button)
{
    child<QAbstractButton>(window, button)->click();
}

void verifyNoWindowLeft()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(QApplication::topLevelWidgets(), QWidgetList());
}

void prepareUiTests()
{
    applyLookAndFeel();
    QApplication::setCursorFlashTime(0);
}
