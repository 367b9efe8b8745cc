#pragma once

#include <QByteArrayList>
#include <QString>

#include <optional>

// A socket named after a server folder in the user's runtime folder, which Qt makes sure is theirs
// alone (mode 0700), so that no other account can take its name first: `prefix` and a hash of the
// folder, which may be long and hold "/". None where that would make too long a path.
std::optional<QString> runtimeSocketPath(const QString& prefix, const QString& serverFolder);

// The socket by which `quillmont --keep` tells the windows and the other verbs of the folder how
// its server is, and takes their stops and starts.
std::optional<QString> keeperSocketPath(const QString& serverFolder);

// What goes over it, a line at a time: the keeper's "keeper PID", "state NUMBER WORDS STATUS" and
// "failed MESSAGE"; the others' "stop", "start MAXPLAYERS MAP" and "password HEX" (empty: none).
// Each field percent-encoded, so that no byte of a map or a message can break a line.
QByteArray keeperLine(const QByteArrayList& fields);
QByteArrayList keeperFields(const QByteArray& line);

// A line is far shorter; a peer that sends more without a line end is not listened to.
inline constexpr qsizetype longestKeeperLine = 64 * 1024;
