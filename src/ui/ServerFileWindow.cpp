#include "ui/ServerFileWindow.h"

#include "ui/Centring.h"
#include "ui/FirstExposure.h"
#include "ui/Form1.h"
#include "ui/Forms.h"
#include "ui/WindowPlace.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>

ServerFileWindow::ServerFileWindow(Forms& registry, const char* name, const QString& title)
    : QDialog(nullptr, Qt::Window)
    , forms(registry)
{
    setObjectName(QLatin1StringView(name));
    setWindowTitle(title);
    setSizeGripEnabled(true);
}

// A rejected dialog would only hide: Escape closes the window as its close box does.
void ServerFileWindow::reject()
{
    close();
}

// A dialog's own close would reject it, which would close it again.
void ServerFileWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
}

void ServerFileWindow::placeWindow(const QSize& size)
{
    resize(size);
    const Form1* main = forms.loaded<Form1>();
    if (!main || !main->isVisible() || QGuiApplication::platformName() == QLatin1StringView("wayland")) {
        centreOnScreen(this);
        return;
    }
    ensurePolished();
    layout()->activate();
    const auto place = [this](const QMargins& frame) {
        const Form1* beside = forms.loaded<Form1>();
        if (!beside)
            return;
        const QRect placed = placeBeside(beside->frameGeometry(), beside->statusLineArea(), this->size().grownBy(frame),
            minimumSizeHint().grownBy(frame), screen()->availableGeometry());
        setGeometry(placed.marginsRemoved(frame));
    };
    const QMargins frame = frameToCome(this).value_or(QMargins());
    place(frame);
    // Where the window manager frames it otherwise than it said, it is placed again.
    onFirstExposure(this, [this, frame, place] {
        if (frameOf(this) != frame)
            place(frameOf(this));
    });
}

ServerWatch* ServerFileWindow::watch() const
{
    Form1* main = forms.loaded<Form1>();
    return main ? &main->server() : nullptr;
}

bool ServerFileWindow::serverRuns() const
{
    return watch() && watch()->serverRuns();
}

