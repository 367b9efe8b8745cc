#pragma once

#include "formats/Failure.h"
#include "formats/SafeSave.h"
#include "formats/TextEncoding.h"
#include "settings/ServerSettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// Every file Quillmont writes is 8-bit text, one item per line, each line ended by CR LF.
inline constexpr QByteArrayView lineEnd = "\r\n";

// Hand-edited files may end their lines in CR LF, LF or CR alone; a last line without an ending
// still counts.
QList<QByteArrayView> splitLines(QByteArrayView bytes);

// Reads a plain file, at most one byte more than `limit`, so that a caller can tell one that is too
// large however large it is. A pipe would keep the reader waiting for a writer, and a device might
// never end: anything but a plain file is refused.
[[nodiscard]] std::optional<Failure> readPlainFile(const QString& path, qint64 limit, QByteArray& contents);

// Reads a file of the server's that the operator may not have made yet, and Quillmont makes at its
// first save: a file that does not exist holds no bytes. One larger than `limit` is refused, named
// as `kind` ("a map cycle").
[[nodiscard]] std::optional<Failure> readServerFile(
    const QString& path, qint64 limit, const QString& kind, QByteArray& contents);

// The lines of a text as the game server reads them, each with its line end: a line ends at LF
// alone, a CR before it being a blank; the last line may have none.
QList<QByteArrayView> linesWithEnds(QByteArrayView bytes);

// The line end a file uses, from its first line; CR LF, as Quillmont writes, in a file of one line.
QByteArrayView lineEndOf(QByteArrayView bytes);

bool holdsLineBreak(const QString& value);

// Whether a character is a control character (00 to 1F, and 7F), and how messages name one: "a
// line break", "a tab", "U+000B".
bool isControlCharacter(char16_t c);
QString controlCharacterName(char16_t c);

// Why the file at `path` cannot be written: a setting's value cannot stand in it, for `reason`,
// which follows the setting's name ("holds a line break, …").
Failure valueRefused(const QString& path, TextField field, const QString& reason);

// A value with a character that the file's set cannot hold would come out as something else.
Failure cannotHold(const QString& path, TextField field, TextEncoding encoding);

// server.cfg and both settings layouts hold the remote console password, unless it is empty.
SafeSave::Contents contentsOf(const ServerSettings& settings);
