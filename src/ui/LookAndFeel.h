#pragma once

// The windows are laid out to the pixel, so they get one style and one font everywhere, whatever
// the desktop's own settings would make of them; and messages show the program's own icons, sharp
// at a scale of 1 or 2 with or without an icon theme.
void applyLookAndFeel();

// Every window shows the program's icon, at each size a desktop may take. Reading them all takes
// longer than drawing the main window, so the program gives it once that window is drawn.
void applyProgramIcon();
