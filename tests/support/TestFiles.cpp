#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>
#include <utility>

QString messageOf(const std::optional<Failure>& failure)
{
    return failure ? failure->message : QString();
}

QString messageOf(const SaveOutcome& outcome)
{
    if (const Failure* failure = failureOf(outcome))
        return failure->message;
    QStringList told;
    for (const std::optional<QString>& warning :
        {std::get<Saved>(outcome).readableByOthers, std::get<Saved>(outcome).notDurable})
        told << warning.value_or("");
    return told.join("\n\n").trimmed();
}

QString modeOf(const QString& path)
{
    struct stat status { };
    if (lstat(QFile::encodeName(path).constData(), &status) != 0)
        return "none";
    return QString::number(status.st_mode & 07777, 8).rightJustified(4, '0');
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray factoryFullLayout()
{
    return readBytes(TEST_DATA "/factory-default.tfc");
}

QByteArray withLines(const QByteArray& file, const QMap<int, QByteArray>& lines)
{
    QList<QByteArray> all = file.split('\n');
    for (auto it = lines.begin(); it != lines.end(); ++it)
        all[it.key() - 1] = it.value() + '\r';
    return all.join('\n');
}

QByteArray settingsFileWith(const QMap<int, QByteArray>& lines)
{
    return withLines(factoryFullLayout(), lines);
}

QMap<int, QByteArray> lines(const QByteArray& numbered)
{
    QMap<int, QByteArray> byNumber;
    for (const QByteArray& line : numbered.split('|'))
        byNumber.insert(line.left(line.indexOf('=')).toInt(), line.mid(line.indexOf('=') + 1));
    byNumber.remove(0);
    return byNumber;
}

QList<Case> readCases(const QString& file)
{
    QList<Case> cases;
    bool between = true;
    for (const QByteArray& line : readBytes(TEST_DATA "/" + file).split('\n')) {
        const qsizetype blank = line.contains(' ') ? line.indexOf(' ') : line.size();
        if (line.startsWith('#'))
            continue;
        if (line.isEmpty())
            between = true;
        else if (std::exchange(between, false))
            cases.emplaceBack().insert({}, QByteArray::fromPercentEncoding(line));
        else
            cases.last().insert(line.left(blank), QByteArray::fromPercentEncoding(line.mid(blank + 1)));
    }
    return cases;
}

void addCases(const QString& file)
{
    QTest::addColumn<Case>("given");
    for (const Case& given : readCases(file))
        QTest::newRow(given.value({}).constData()) << given;
}

QString textOf(const Case& given, const QByteArray& key)
{
    return QString::fromUtf8(given.value(key));
}

QStringList listOf(const Case& given, const QByteArray& key)
{
    return textOf(given, key).split('|', Qt::SkipEmptyParts);
}

void failSaveSteps(const QStringList& steps)
{
    QMap<QByteArray, int> failing;
    for (const QString& step : steps)
        failing[step.section('=', 0, 0).toUtf8()] = step.section('=', 1).toInt();
    SafeSave::failSteps(failing);
}

void makeReadOnly(const QString& path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

double kilobytesResident()
{
    for (const QByteArray& line : readBytes(QStringLiteral("/proc/self/status")).split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble();
    }
    qFatal("/proc/self/status tells no resident memory");
}
