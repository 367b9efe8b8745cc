#include "launch/Maps.h"

#include <QDir>

std::optional<QStringList> mapsOfServer(const QString& serverFolder)
{
    const QDir maps(serverFolder + QStringLiteral("/tfc/maps"));
    if (!maps.exists())
        return std::nullopt;
    const QString extension = QStringLiteral(".bsp");
    QStringList names = maps.entryList({QLatin1Char('*') + extension}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (QString& name : names)
        name.chop(extension.size());
    return names;
}

bool holdsMap(const QStringList& maps, const QString& map)
{
    return maps.contains(map, Qt::CaseInsensitive);
}
