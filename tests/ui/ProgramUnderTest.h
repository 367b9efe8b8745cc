#pragma once

#include "TestFiles.h"
#include "settings/ServerSettings.h"
#include "ui/Forms.h"
#include "ui/LookAndFeel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class Form1;

// Quillmont's windows on a program folder of their own in a temporary folder, with tfc/default.tfc
// holding the given bytes (none: no file). Messages to the operator are collected, not shown.
class ProgramUnderTest {
public:
    explicit ProgramUnderTest(const std::optional<QByteArray>& defaultTfc = factoryFullLayout());
    ~ProgramUnderTest();

    // Starts the program as main() does: shows the main window and lets it settle.
    Form1* start();

    QString path(const QString& relative) const { return forms->inProgramFolder(relative); }
    QString takeOnlyMessage();

    QTemporaryDir dir;
    QString folder;
    ServerSettings settings;
    std::unique_ptr<Forms> forms;
    QStringList messages;
};

// A control of a window, found by its name; the test fails at once if it is not there.
template <typename Widget> Widget* child(const QWidget* window, const char* name)
{
    auto* widget = window->findChild<Widget*>(name);
    if (!widget)
        qFatal("%s has no %s", qPrintable(window->objectName()), name);
    return widget;
}

class QCheckBox;
class QLineEdit;
QLineEdit* textBox(const QWidget* window, const char* name);
QCheckBox* checkBox(const QWidget* window, const char* name);
void click(const QWidget* window, const char* button);

// The texts of the main window's eight text boxes, Text1 to Text8.
QStringList mainWindowTexts(const QWidget* main);

// A dialog is left without OK by its Cancel button (the named one) or by its close box.
void addWaysToLeaveWithoutOk();
void leaveWithoutOk(QWidget* dialog, const char* cancelButton);

// default.tfc with the given lines (1 to 52) replaced.
QByteArray settingsFileWith(const QMap<int, QByteArray>& lines);

// Enter and Escape, which no button of ours answers to.
void pressEnterAndEscape(QWidget* window);

// Every label, button and check box is wide enough for its caption in the font in use.
void verifyCaptionsFit(const QWidget* window);

// Lets destroyed windows go, then checks that no window is left over.
void verifyNoWindowLeft();

// The widgets that take focus, in the order Tab moves through them, starting from `first`.
QStringList tabOrderFrom(QWidget* first);

// The application every UI test runs in, with the program's own style and font.
#define QUILLMONT_UI_TEST_MAIN(TestClass)                                                                              \
    int main(int argc, char* argv[])                                                                                   \
    {                                                                                                                  \
        QApplication app(argc, argv);                                                                                  \
        applyLookAndFeel();                                                                                            \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
