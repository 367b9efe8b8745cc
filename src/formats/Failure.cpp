#include "formats/Failure.h"

#include <QDir>

Failure Failure::cannotRead(const QString& path, const QString& reason)
{
    return {QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(path), reason)};
}

Failure Failure::cannotWrite(const QString& path, const QString& reason)
{
    return {QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason)};
}
