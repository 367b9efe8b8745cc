#include "keep/Headless.h"
#include "ui/CommandLine.h"
#include "ui/Program.h"

#include <QApplication>

// A verb without a window runs in an application that loads no display's platform.
int main(int argc, char* argv[])
{
    QString serverFolder;
    std::optional<HeadlessRequest> headless;
    if (const std::optional<int> exitCode = takeCommandLine(argc, argv, serverFolder, headless))
        return *exitCode;
    if (headless) {
        QCoreApplication app(argc, argv);
        return runHeadless(*headless);
    }
    QApplication app(argc, argv);
    return runQuillmont(serverFolder, QCoreApplication::applicationDirPath());
}
