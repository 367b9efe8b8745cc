#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

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

QByteArray crlfLines(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

QByteArray factoryFullLayout()
{
    return QByteArrayLiteral("--- Quillmont Configuration File Version:\r\n"
                             "0.3\r\n"
                             "--- Main Screen\r\n"
                             "Team Fortress Classic\r\n"
                             "\r\n"
                             "\r\n"
                             "30\r\n"
                             "12\r\n"
                             "2fort\r\n"
                             "0\r\n"
                             "0\r\n"
                             "0\r\n"
                             "0\r\n"
                             "0\r\n"
                             "0\r\n"
                             "--- Cheats\r\n"
                             "0\r\n"
                             "0\r\n"
                             "--- Game Physics\r\n"
                             "800\r\n"
                             "3.5\r\n"
                             "500\r\n"
                             "30\r\n"
                             "300\r\n"
                             "0\r\n"
                             "1\r\n"
                             "0\r\n"
                             "--- Team Damage Settings\r\n"
                             "21\r\n"
                             " 1 \r\n"
                             " 1 \r\n"
                             " 3 \r\n"
                             " 3 \r\n"
                             " 1 \r\n"
                             " 1 \r\n"
                             "--- Class Restriction\r\n"
                             "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"
                             "--- Scoring and Team Settings\r\n"
                             "0\r\n"
                             "0\r\n"
                             "0\r\n"
                             "0\r\n"
                             "0\r\n"
                             "0.0\r\n");
}

void makeReadOnly(const QString& path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}
