#include "ProgramUnderTest.h"

#include "launch/FolderSettings.h"
#include "ui/BanDialog.h"
#include "ui/BansWindow.h"
#include "ui/Form1.h"
#include "ui/Form10.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/Form5.h"
#include "ui/Form6.h"
#include "ui/Form7.h"
#include "ui/Form8.h"
#include "ui/Form9.h"
#include "ui/InstallServer.h"
#include "ui/MapCycleWindow.h"
#include "ui/MessageBox.h"
#include "ui/MotdWindow.h"
#include "ui/RestartDaily.h"
#include "ui/ServerConsole.h"
#include "ui/ServerPort.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QUdpSocket>

namespace {

template <typename F> QWidget* show(Forms& forms)
{
    return forms.show<F>();
}

} // namespace

ProgramUnderTest::ProgramUnderTest(const std::optional<QByteArray>& defaultTfc)
    : folder(dir.filePath("Half-Life Server"))
{
    QDir().mkpath(folder + "/tfc");
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    setServerPort(folder, probe.localPort());
    if (defaultTfc) {
        writeBytes(folder + "/tfc/default.tfc", *defaultTfc);
        QFile::setPermissions(folder + "/tfc/default.tfc", QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    forms = std::make_unique<Forms>(settings, folder);
    interceptMessagesForTests([this](const QMessageBox& box) {
        static const QMap<QMessageBox::Icon, QString> kinds{{QMessageBox::Information, "Information"},
            {QMessageBox::Warning, "Warning"}, {QMessageBox::Question, "Question"}};
        const bool asItStands = box.windowTitle() == "Quillmont" && box.textFormat() == Qt::PlainText;
        messages.append(
            (asItStands ? "" : "Not as it stands: ") + kinds.value(box.icon(), "No icon") + ": " + box.text());
        return box.icon() == QMessageBox::Question ? answer : QMessageBox::Ok;
    });
    interceptBanLengthsForTests([this](const BanDialog& dialog) {
        messages.append("Ban: " + dialog.texts().join(" / "));
        return number;
    });
}

ProgramUnderTest::~ProgramUnderTest()
{
    forms.reset();
    interceptMessagesForTests({});
    interceptBanLengthsForTests({});
}

Form1* ProgramUnderTest::start()
{
    return static_cast<Form1*>(open("Form1"));
}

Form1* ProgramUnderTest::reopen()
{
    forms.reset();
    settings = {};
    forms = std::make_unique<Forms>(settings, folder);
    return start();
}

QWidget* ProgramUnderTest::open(const QString& form)
{
    static const QMap<QString, QWidget* (*)(Forms&)> openers{{"Form1", &show<Form1>}, {"Form2", &show<Form2>},
        {"Form3", &show<Form3>}, {"Form4", &show<Form4>}, {"Form5", &show<Form5>}, {"Form6", &show<Form6>},
        {"Form7", &show<Form7>}, {"Form8", &show<Form8>}, {"Form9", &show<Form9>}, {"Form10", &show<Form10>},
        {"ServerPort", &show<ServerPort>}, {"ServerConsole", &show<ServerConsole>},
        {"RestartDaily", &show<RestartDaily>}, {"MapCycleWindow", &show<MapCycleWindow>},
        {"MotdWindow", &show<MotdWindow>}, {"BansWindow", &show<BansWindow>},
        {"InstallServer", &show<InstallServer>}};
    QWidget* window = openers.value(form)(*forms);
    if (!QTest::qWaitForWindowActive(window))
        qWarning() << form << "did not become active";
    QCoreApplication::processEvents();
    return window;
}

QStringList statesOf(const QWidget* window, const QStringList& controls)
{
    QStringList states;
    for (const QString& control : controls) {
        const QString name = control.section('=', 0, 0);
        QWidget* widget = child(window, name.endsWith("[]") ? name.chopped(2) : name);
        if (name.endsWith("[]")) {
            QStringList entries; // a list's entries, "Combo1[]=Unlimited,None,..."
            for (int entry = 0; entry < child<QComboBox>(window, name.chopped(2))->count(); ++entry)
                entries << child<QComboBox>(window, name.chopped(2))->itemText(entry);
            states << name + '=' + entries.join(',');
        } else if (auto* list = qobject_cast<QComboBox*>(widget))
            states << name + '=' + list->currentText();
        else if (auto* box = qobject_cast<QLineEdit*>(widget))
            states << name + '=' + box->text();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            states << name + '=' + label->text();
        else
            states << name + '=' + (qobject_cast<QAbstractButton*>(widget)->isChecked() ? "on" : "off");
    }
    return states;
}

void operate(const QWidget* window, const QStringList& controlsAndStates)
{
    for (const QString& controlAndState : controlsAndStates) {
        const QString state = controlAndState.section('=', 1);
        if (controlAndState.section('=', 0, 0).endsWith("[]"))
            continue; // a list's entries are only looked at
        QWidget* widget = child(window, controlAndState.section('=', 0, 0));
        QLineEdit* box = qobject_cast<QLineEdit*>(widget);
        if (auto* list = qobject_cast<QComboBox*>(widget))
            box = list->lineEdit();
        if (!box) {
            if (statesOf(window, {controlAndState}) != QStringList{controlAndState})
                QTest::mouseClick(widget, Qt::LeftButton);
            continue;
        }
        box->setFocus(Qt::MouseFocusReason);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        // Key by key where the test library has keys for the characters.
        if (std::all_of(state.begin(), state.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; }))
            QTest::keyClicks(box, state);
        else
            box->insert(state);
        QTest::keyClick(box, Qt::Key_Return);
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
