#pragma once

#include <QStringList>

#include <optional>

// The maps the server has, from the .bsp files in tfc/maps of the server folder (names without
// .bsp, in any case); nothing when there is no tfc/maps.
std::optional<QStringList> mapsOfServer(const QString& serverFolder);

// Whether the start map is one of them, in any case.
bool holdsMap(const QStringList& maps, const QString& map);
