#pragma once

#include <QRect>

// Where a window goes beside another, in screen coordinates, frames included: to the right of it
// when the screen has room there, else to its left, else below it; otherwise wherever it covers
// least of the other window, and never the part of it that must stay seen (its status line), made
// smaller for that, down to `smallest`, when it must.
QRect placeBeside(
    const QRect& other, const QRect& keepSeen, const QSize& size, const QSize& smallest, const QRect& screen);

// A window's place moved, and if need be shrunk, into the screen.
QRect clampedTo(const QRect& window, const QRect& screen);
