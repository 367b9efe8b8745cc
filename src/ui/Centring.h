#pragma once

class QWidget;

// Where a window goes so that it stands centred in a screen, along one axis, in twips: the
// screen's extent less the window's outer extent (frame and caption included), rounded to whole
// twips with halves to even, halved with the remainder dropped. A window larger than the screen
// gets a negative offset.
int centredOffset(double screenTwips, double windowTwips);

// Centres the window on the whole of its screen (not just the work area). Until a window has been
// shown its frame is not known, so this estimates it from the windows shown before and centres
// once more after the first show if the real frame turns out different.
void centreOnScreen(QWidget* window);
