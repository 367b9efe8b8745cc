// Takes the place of the dedicated server in the demo folder and in tests. It reports what it was
// started with to standard output and to standin-report.txt in its working folder, then ends.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

QByteArray report(const QStringList& arguments)
{
    QByteArray text = "Stand-in dedicated server\n";
    text += "program: " + arguments.first().toUtf8() + '\n';
    text += "working folder: " + QDir::currentPath().toUtf8() + '\n';
    for (qsizetype i = 1; i < arguments.size(); ++i)
        text += "argument " + QByteArray::number(i) + ": " + arguments.at(i).toUtf8() + '\n';

    QFile config(QStringLiteral("tfc/server.cfg"));
    if (!config.open(QIODevice::ReadOnly)) {
        text += "tfc/server.cfg: " + config.errorString().toUtf8() + '\n';
        return text;
    }
    const QList<QByteArray> lines = config.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QByteArray setting = line.trimmed();
        if (!setting.isEmpty() && !setting.startsWith("//"))
            text += "server.cfg: " + setting + '\n';
    }
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray text = report(QCoreApplication::arguments());
    QFile out;
    if (out.open(stdout, QIODevice::WriteOnly))
        out.write(text);
    QSaveFile file(QStringLiteral("standin-report.txt"));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return 1;
    return 0;
}
