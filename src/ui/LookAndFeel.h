#pragma once

// The windows are laid out to the pixel, so they get one style and one font everywhere, whatever
// the desktop's own settings would make of them; and they all show the program's icon.
void applyLookAndFeel();
