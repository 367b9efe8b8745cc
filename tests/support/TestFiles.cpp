#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

QString messageOf(const std::optional<Failure>& failure)
{
    return failure ? failure->message : QString();
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

void makeReadOnly(const QString& path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}
