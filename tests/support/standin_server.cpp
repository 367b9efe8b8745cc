// Takes the place of the dedicated server in the demo folder and in tests. It reports what it was
// started with, and the settings it finds in tfc/server.cfg, to its standard output and to
// standin-report.txt in its working folder, then says on its standard error that it ends.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QByteArray text = "Stand-in dedicated server\nprogram: " + arguments.first().toUtf8() + '\n';
    text += "working folder: " + QDir::currentPath().toUtf8() + '\n';
    for (qsizetype i = 1; i < arguments.size(); ++i)
        text += "argument " + QByteArray::number(i) + ": " + arguments.at(i).toUtf8() + '\n';
    QFile config(QStringLiteral("tfc/server.cfg"));
    const bool read = config.open(QIODevice::ReadOnly);
    for (const QByteArray& line : (read ? config.readAll() : QByteArray()).split('\n')) {
        if (!line.trimmed().isEmpty() && !line.startsWith("//"))
            text += "server.cfg: " + line.trimmed() + '\n';
    }
    text += read ? "" : "tfc/server.cfg: " + config.errorString().toUtf8() + '\n';
    std::fputs(text.constData(), stdout);
    std::fflush(stdout);
    std::fputs("Stand-in dedicated server ends.\n", stderr);
    QSaveFile report(QStringLiteral("standin-report.txt"));
    return report.open(QIODevice::WriteOnly) && report.write(text) == text.size() && report.commit() ? 0 : 1;
}
