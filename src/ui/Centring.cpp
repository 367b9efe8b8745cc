#include "ui/Centring.h"

#include "ui/Twips.h"

#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cmath>

namespace {

// The frame the window system gave the last window shown, the best guess for the next.
QMargins lastFrameSeen;

QSize outerSize(const QWidget* window)
{
    if (window->isVisible())
        return window->frameGeometry().size();
    return window->size().grownBy(lastFrameSeen);
}

void moveToCentre(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen->geometry();
    const QSize outer = outerSize(window);
    const int left = centredOffset(toTwips(area.width()), toTwips(outer.width()));
    const int top = centredOffset(toTwips(area.height()), toTwips(outer.height()));
    window->move(area.topLeft() + QPoint(toPixels(left), toPixels(top)));
}

// Once the window is shown, learns the real frame, and centres again if the estimate was off.
void recentreWhenShown(QWidget* window)
{
    // Posted now, this runs after the window has been shown and the window system has given it a
    // frame.
    QTimer::singleShot(0, window, [window, estimate = outerSize(window)] {
        const QRect frame = window->frameGeometry();
        const QRect client = window->geometry();
        lastFrameSeen = QMargins(client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom());
        if (frame.size() != estimate)
            moveToCentre(window);
    });
}

} // namespace

int centredOffset(double screenTwips, double windowTwips)
{
    const auto difference = static_cast<long long>(std::nearbyint(screenTwips - windowTwips));
    return static_cast<int>(difference / 2);
}

void centreOnScreen(QWidget* window)
{
    moveToCentre(window);
    if (!window->isVisible())
        recentreWhenShown(window);
}
