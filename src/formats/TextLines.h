#pragma once

#include "formats/Failure.h"
#include "settings/ServerSettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Every file Quillmont writes is 8-bit text in the system's code page, one item per line, each line
// ended by CR LF.
inline constexpr QByteArrayView lineEnd = "\r\n";

QByteArray toFileText(const QString& text);
QString fromFileText(QByteArrayView bytes);

// A line break inside a value would split its line and shift, or add, every line after it.
bool holdsLineBreak(const QString& value);
Failure lineBreakRefused(const QString& path, TextField field);

// Hand-edited files may end their lines in CR LF, LF or CR alone; a last line without an ending
// still counts.
QList<QByteArrayView> splitLines(QByteArrayView bytes);
