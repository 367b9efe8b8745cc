#include "StandIn.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QUdpSocket>

#include <csignal>
#include <unistd.h>

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

void endServersIn(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty()) // no folder: no process works in it, and an unreadable one's is "" too
        return;
    for (const QString& process : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFileInfo("/proc/" + process + "/cwd").symLinkTarget() == canonical)
            kill(process.toInt(), SIGKILL);
    }
}

StandIn::StandIn(const Case& given, quint16 port)
    : log(textOf(given, "log"))
{
    QDir(dir.path()).mkpath("tfc/maps");
    writeBytes(dir.filePath("tfc/maps/well.bsp"), "");
    writeBytes(dir.filePath("tfc/server.cfg"),
        "hostname \"My Server\"\r\nrcon_password \"" + given.value("rcon_password", "secret") + "\"\r\n"
            + given.value("config").replace('|', "\r\n"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("STANDIN_LIFETIME_MS", "20000");
    for (const QString& variable : listOf(given, "serves").join(' ').split(' ', Qt::SkipEmptyParts))
        environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir.path());
    if (!log.isEmpty())
        process.setStandardOutputFile(log, QIODevice::Append);
    process.setChildProcessModifier([] { setsid(); }); // a group of its own, restarted servers included
    const QString arguments
        = given.contains("arguments") ? textOf(given, "arguments") : "-game tfc -port <port> +map 2fort -maxplayers 16";
    process.start(STANDIN_SERVER_PATH, QString(arguments).replace("<port>", QString::number(port)).split(' '));
    group = pid_t(process.processId());
    static const QRegularExpression serving("Server IP address ([0-9.]+):");
    QRegularExpressionMatch match;
    const auto waitForOutput = [this] {
        if (log.isEmpty())
            return process.waitForReadyRead(5000);
        QThread::msleep(10);
        return process.state() != QProcess::NotRunning;
    };
    for (int wait = 0;
         !(match = serving.match(QString::fromUtf8(printed()))).hasMatch() && wait < 500 && waitForOutput(); ++wait) { }
    address = {QHostAddress(match.captured(1)), port};
}

StandIn::~StandIn()
{
    if (group > 0)
        kill(-group, SIGKILL);
    process.waitForFinished();
}

QByteArray StandIn::printed()
{
    if (!log.isEmpty())
        return output = QFile::exists(log) ? readBytes(log) : QByteArray();
    output += process.readAllStandardOutput();
    return output;
}

qsizetype StandIn::linesStartingWith(const QByteArray& start)
{
    const QByteArrayList lines = printed().split('\n');
    return std::count_if(lines.begin(), lines.end(), [&](const QByteArray& line) { return line.startsWith(start); });
}
