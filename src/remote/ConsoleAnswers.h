#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// What the remote console answers to a setting's name alone: "NAME" is "VALUE", the name as the
// server registered it, in any case. The value is nothing when the output is no such answer for
// `setting`.
std::optional<QByteArray> settingValueIn(QByteArrayView setting, QByteArrayView output);

// Whether `exec FILE` answered that it could not run the file: it is missing, its name is refused,
// or it is too large for the engine's buffer.
bool execFailedIn(QByteArrayView output);
