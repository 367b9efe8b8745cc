#include "ui/FirstExposure.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

// Watches the window system's window of a widget; goes with the widget.
class FirstExposure : public QObject {
public:
    FirstExposure(QWidget* window, std::function<void()> step)
        : QObject(window)
        , step_(std::move(step))
    {
        window->windowHandle()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            deleteLater();
            step_();
        }
        return false;
    }

private:
    std::function<void()> step_;
};

} // namespace

void onFirstExposure(QWidget* window, std::function<void()> step)
{
    window->winId(); // makes the window system's window, whose exposure is watched
    if (window->windowHandle()->isExposed())
        step();
    else
        new FirstExposure(window, std::move(step));
}
