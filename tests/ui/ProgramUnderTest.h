#pragma once

#include "TestFiles.h"
#include "settings/ServerSettings.h"
#include "ui/Forms.h"

#include <QTemporaryDir>

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
