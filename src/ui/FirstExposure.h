#pragma once

#include <functional>

class QWidget;

// Runs the step once, when the window first appears on the screen: after a window manager has
// framed it, which it does before it shows it, and before the window is first drawn.
void onFirstExposure(QWidget* window, std::function<void()> step);
