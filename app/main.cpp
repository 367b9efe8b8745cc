#include "settings/ServerSettings.h"
#include "ui/Form1.h"
#include "ui/Forms.h"
#include "ui/LookAndFeel.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmont"));
    applyLookAndFeel();

    ServerSettings settings;
    Forms forms(settings, QCoreApplication::applicationDirPath());
    forms.show<Form1>();
    return QApplication::exec();
}
