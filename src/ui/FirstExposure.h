#pragma once

#include <functional>

class QWidget;

// Runs the step once, when the window first appears on the screen: after a window manager has
// framed it, which it does before it shows it, and before the window is first drawn. A window that
// some platforms put on the screen as soon as it is shown may be there already: then at once.
void onFirstExposure(QWidget* window, std::function<void()> step);
