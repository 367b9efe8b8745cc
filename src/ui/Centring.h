#pragma once

#include <QMargins>

#include <optional>

class QWidget;

// The frame around a window's client area, as the window system has it now.
QMargins frameOf(const QWidget* window);

// The frame a window will get when shown, where the window system tells it beforehand (X11's
// window managers do, when asked).
std::optional<QMargins> frameToCome(QWidget* window);

// Where a window goes so that it stands centred in a screen, along one axis, in twips: the
// screen's extent less the window's outer extent (frame and caption included), rounded to whole
// twips with halves to even, halved with the remainder dropped. A window larger than the screen
// gets a negative offset.
int centredOffset(double screenTwips, double windowTwips);

// Centres a window that is about to be shown on the whole of its screen (not just the work area),
// frame included. A window manager frames a window only when it shows it; where it tells the frame
// beforehand (X11), the window appears centred at once; otherwise, and when the frame turns out
// different, it is centred once more as soon as it appears.
void centreOnScreen(QWidget* window);
