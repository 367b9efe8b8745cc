#include "ui/Centring.h"

#include "ui/FirstExposure.h"
#include "ui/Twips.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMargins>
#include <QScreen>
#include <QWidget>

#include <cmath>
#include <optional>

#ifdef QUILLMONT_XCB
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>
#endif

namespace {

// Places the client area so that the given frame around it stands centred on the screen. The
// client area is placed, not the frame: where Qt places a frame depends on the frame it knows of.
void moveToCentre(QWidget* window, const QMargins& frame)
{
    const QRect area = window->screen()->geometry();
    const QSize outer = window->size().grownBy(frame);
    const int left = centredOffset(toTwips(area.width()), toTwips(outer.width()));
    const int top = centredOffset(toTwips(area.height()), toTwips(outer.height()));
    const QPoint client(toPixels(left) + frame.left(), toPixels(top) + frame.top());
    window->setGeometry(QRect(area.topLeft() + client, window->size()));
}

#ifdef QUILLMONT_XCB
template <typename Reply> using XReply = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_intern_atom_cookie_t askForAtom(xcb_connection_t* x, const char* name)
{
    return xcb_intern_atom(x, 0, std::uint16_t(std::strlen(name)), name);
}

xcb_atom_t atomAnswered(xcb_connection_t* x, xcb_intern_atom_cookie_t question)
{
    const XReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(x, question, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

XReply<xcb_get_property_reply_t> property(xcb_connection_t* x, xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    return {xcb_get_property_reply(x, xcb_get_property(x, 0, window, name, type, 0, 1024), nullptr), &std::free};
}

// A window manager that says how it will frame a window tells it before showing the window, when
// asked (_NET_REQUEST_FRAME_EXTENTS): the answer comes as the window's property _NET_FRAME_EXTENTS.
// Qt reads every event of the connection, so the property is looked at until it is there.
std::optional<QMargins> frameFromWindowManager(xcb_connection_t* x, QWidget* window)
{
    // A window manager answers within a millisecond or two, but one on a machine busy with other
    // work took over 100 ms; past this, the window is moved once its frame is known.
    constexpr int answerWithin = 500; // milliseconds
    const auto id = static_cast<xcb_window_t>(window->winId());
    // Asked all at once, so that the X server answers them in one round trip.
    const xcb_intern_atom_cookie_t supportedName = askForAtom(x, "_NET_SUPPORTED");
    const xcb_intern_atom_cookie_t requestName = askForAtom(x, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_intern_atom_cookie_t extentsName = askForAtom(x, "_NET_FRAME_EXTENTS");
    const xcb_query_tree_cookie_t place = xcb_query_tree(x, id);
    const xcb_atom_t supported = atomAnswered(x, supportedName);
    const xcb_atom_t request = atomAnswered(x, requestName);
    const xcb_atom_t extents = atomAnswered(x, extentsName);
    const XReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(x, place, nullptr), &std::free);
    if (!tree)
        return std::nullopt;
    const XReply<xcb_get_property_reply_t> features = property(x, tree->root, supported, XCB_ATOM_ATOM);
    const auto* feature = features ? static_cast<const xcb_atom_t*>(xcb_get_property_value(features.get())) : nullptr;
    if (!features || std::find(feature, feature + features->value_len, request) == feature + features->value_len)
        return std::nullopt;

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(x, 0, tree->root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char*>(&message));
    const QDeadlineTimer deadline(answerWithin);
    do {
        const XReply<xcb_get_property_reply_t> frame = property(x, id, extents, XCB_ATOM_CARDINAL);
        if (frame && frame->format == 32 && frame->value_len == 4) {
            // Left, right, top and bottom, in the screen's own pixels.
            const auto* side = static_cast<const std::uint32_t*>(xcb_get_property_value(frame.get()));
            const qreal ratio = window->devicePixelRatioF();
            return QMargins(
                qRound(side[0] / ratio), qRound(side[2] / ratio), qRound(side[1] / ratio), qRound(side[3] / ratio));
        }
        QThread::usleep(200);
    } while (!deadline.hasExpired());
    return std::nullopt;
}
#endif

} // namespace

QMargins frameOf(const QWidget* window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
        frame.bottom() - client.bottom()};
}

std::optional<QMargins> frameToCome(QWidget* window)
{
#ifdef QUILLMONT_XCB
    // Not every platform that answers for X11 has a connection to it (Qt's offscreen one has none).
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->connection())
        return frameFromWindowManager(x11->connection(), window);
#endif
    Q_UNUSED(window);
    return std::nullopt;
}

int centredOffset(double screenTwips, double windowTwips)
{
    const auto difference = static_cast<long long>(std::nearbyint(screenTwips - windowTwips));
    return static_cast<int>(difference / 2);
}

void centreOnScreen(QWidget* window)
{
    // A window's size is settled by its layout, which otherwise runs only when it is shown.
    window->ensurePolished();
    if (QLayout* layout = window->layout())
        layout->activate();
    const QMargins frame = frameToCome(window).value_or(QMargins());
    moveToCentre(window, frame);
    onFirstExposure(window, [window, frame] {
        if (frameOf(window) != frame)
            moveToCentre(window, frameOf(window));
    });
}
