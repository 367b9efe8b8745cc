#pragma once

#include "formats/Failure.h"
#include "formats/SafeSave.h"

#include <QMap>
#include <QStringList>

#include <optional>

// A failure's message, or "" when there was none; of a save, what it tells beyond "saved" too.
QString messageOf(const std::optional<Failure>& failure);
QString messageOf(const SaveOutcome& outcome);

// A file's permission bits, as "0644"; "none" when there is no file.
QString modeOf(const QString& path);

QByteArray readBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);

// A file of ours, by default.tfc's factory bytes, with the given lines (counted from 1) replaced.
QByteArray withLines(const QByteArray& file, const QMap<int, QByteArray>& lines);
QByteArray factoryFullLayout();
QByteArray settingsFileWith(const QMap<int, QByteArray>& lines);

// Lines of a file by their number, from "4=Name|5=Rcon".
QMap<int, QByteArray> lines(const QByteArray& numbered);

// The cases of a file in tests/data: blocks separated by blank lines, each its name on the first
// line, then "key value" lines; in names and values "%" and two hex digits stand for that byte.
// The name is under the key "".
using Case = QMap<QByteArray, QByteArray>;
QList<Case> readCases(const QString& file);
// Makes them the rows of a test's data, in the column "given".
void addCases(const QString& file);
// A value of a case as text, from its UTF-8.
QString textOf(const Case& given, const QByteArray& key);
// A value of a case as a list of texts, joined by "|".
QStringList listOf(const Case& given, const QByteArray& key);

// Has the save steps given as "step=code" fail with those codes, as SafeSave::failSteps does.
void failSaveSteps(const QStringList& steps);

// Clears every write permission bit, the way an operator marks a file read-only.
void makeReadOnly(const QString& path);

// Files in a folder, hidden ones too, so that a left-over temporary file shows.
QStringList filesIn(const QString& folder);

// The memory this process has resident now, in KiB.
double kilobytesResident();
