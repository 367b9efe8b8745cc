#pragma once

#include "OwnNetwork.h"
#include "TestFiles.h"
#include "settings/ServerSettings.h"
#include "ui/Forms.h"
#include "ui/LookAndFeel.h"

#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class Form1;

// Quillmont's windows on a server folder of their own in a temporary folder, with tfc/default.tfc
// holding the given bytes (none: no file), and a server port of their own that nothing uses. Messages to the operator
// are collected, not shown, as their icon and text ("Warning: Cannot write ..."); questions get the preset answer
// (the Ban dialog shows as "Ban: " and its texts, and gets `number` for its minutes).
class ProgramUnderTest {
public:
    explicit ProgramUnderTest(const std::optional<QByteArray>& defaultTfc = factoryFullLayout());
    ~ProgramUnderTest();

    // Starts the program as it starts: shows the main window and lets it settle.
    Form1* start();
    // Closes Quillmont, as its end or a crash leaves the folder, and starts it again there.
    Form1* reopen();
    // Opens a window by its name, "Form1" to "Form10", as its menu entry does, and lets it settle.
    QWidget* open(const QString& form);

    QString path(const QString& relative) const { return folder + '/' + relative; }

    QTemporaryDir dir;
    QString folder;
    ServerSettings settings;
    std::unique_ptr<Forms> forms;
    QStringList messages;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    std::optional<int> number; // the minutes chosen in the Ban dialog; nothing: Cancel
};

// A control of a window, found by its name; the test stops at once if it is not there.
template <typename Widget = QWidget> Widget* child(const QWidget* window, const QString& name)
{
    auto* widget = window->findChild<Widget*>(name);
    if (!widget)
        qFatal("%s has no %s", qPrintable(window->objectName()), qPrintable(name));
    return widget;
}

// The controls' states as "Name=state", for each "Name=..." given: a text box's, list's or label's
// text, "on" or "off" for a check box or an option button; "Name[]=" gives a list's entries.
QStringList statesOf(const QWidget* window, const QStringList& controls);

// Works each control as the operator would, from "Name=state": types a text box's or list's
// text, clicks a check box or option button into the state.
void operate(const QWidget* window, const QStringList& controlsAndStates);

void click(const QWidget* window, const QString& button);

// Lets destroyed windows go, then checks that no window is left over.
void verifyNoWindowLeft();

// The application every UI test runs in: a network of its own where it may have one, the program's
// own look and icon, a cursor that does not blink, and a settings file of its own, so that test programs running side
// by side, and their runs one after another, never see each other's ports and histories.
#define QUILLMONT_UI_TEST_MAIN(TestClass)                                                                              \
    int main(int argc, char* argv[])                                                                                   \
    {                                                                                                                  \
        useNetworkOfOwn();                                                                                             \
        QApplication app(argc, argv);                                                                                  \
        QStandardPaths::setTestModeEnabled(true);                                                                      \
        const QTemporaryDir settingsFolder;                                                                            \
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());                         \
        applyLookAndFeel();                                                                                            \
        applyProgramIcon();                                                                                            \
        QApplication::setCursorFlashTime(0);                                                                           \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
