#include "launch/Maps.h"

#include <QDir>

std::optional<QStringList> mapsOfServer(const QString& serverFolder)
{
    const QDir maps(serverFolder + QStringLiteral("/tfc/maps"));
    if (!maps.exists())
        return std::nullopt;
    // Picked by hand: a name filter would bring in the regular expression engine, which costs
    // more memory than the rest of the start-up's reading.
    const QString extension = QStringLiteral(".bsp");
    QStringList names;
    for (const QString& file : maps.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        if (file.endsWith(extension, Qt::CaseInsensitive))
            names << file.chopped(extension.size());
    }
    return names;
}

bool holdsMap(const QStringList& maps, const QString& map)
{
    return maps.contains(map, Qt::CaseInsensitive);
}
