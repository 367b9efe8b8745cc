#include "ui/CommandLine.h"
#include "ui/Program.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QString serverFolder;
    if (const std::optional<int> exitCode = takeCommandLine(argc, argv, serverFolder))
        return *exitCode;
    QApplication app(argc, argv);
    return runQuillmont(serverFolder, QCoreApplication::applicationDirPath());
}
