#include "ui/WindowPlace.h"

#include <QList>

#include <algorithm>

namespace {

qint64 overlap(const QRect& a, const QRect& b)
{
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

} // namespace

QRect placeBeside(
    const QRect& other, const QRect& keepSeen, const QSize& size, const QSize& smallest, const QRect& screen)
{
    const QRect right(QPoint(other.right() + 1, other.top()), size);
    const QRect left(QPoint(other.left() - size.width(), other.top()), size);
    const QRect below(QPoint(other.left(), other.bottom() + 1), size);
    for (const QRect& beside : {right, left, below}) {
        if (screen.contains(beside))
            return beside;
    }
    // Every corner and edge of the screen, and the places beside the other window moved into it.
    QList<QRect> candidates;
    for (const int x : {screen.left(), screen.right() + 1 - size.width(), right.left(), left.left(), other.left()}) {
        for (const int y : {screen.top(), screen.bottom() + 1 - size.height(), below.top(), other.top()})
            candidates << clampedTo(QRect(QPoint(x, y), size), screen);
    }
    candidates.removeIf([&](const QRect& place) { return place.intersects(keepSeen); });
    if (!candidates.isEmpty())
        return *std::min_element(candidates.begin(), candidates.end(),
            [&](const QRect& a, const QRect& b) { return overlap(a, other) < overlap(b, other); });
    // Too large for any place that leaves the status line seen: as large as the room above, below,
    // left or right of the status line allows.
    const QList<QRect> rooms{QRect(screen.topLeft(), QPoint(screen.right(), keepSeen.top() - 1)),
        QRect(QPoint(screen.left(), keepSeen.bottom() + 1), screen.bottomRight()),
        QRect(screen.topLeft(), QPoint(keepSeen.left() - 1, screen.bottom())),
        QRect(QPoint(keepSeen.right() + 1, screen.top()), screen.bottomRight())};
    QRect best = clampedTo(below, screen);
    qint64 bestArea = 0;
    for (const QRect& room : rooms) {
        const QSize fits = size.boundedTo(room.size());
        const qint64 area = qint64(fits.width()) * fits.height();
        if (fits.width() >= smallest.width() && fits.height() >= smallest.height() && area > bestArea) {
            best = clampedTo(QRect(QPoint(other.left(), room.bottom() + 1 - fits.height()), fits), room);
            bestArea = area;
        }
    }
    return best;
}

QRect clampedTo(const QRect& window, const QRect& screen)
{
    const QSize size = window.size().boundedTo(screen.size());
    const int x = std::clamp(window.left(), screen.left(), screen.right() + 1 - size.width());
    const int y = std::clamp(window.top(), screen.top(), screen.bottom() + 1 - size.height());
    return QRect(QPoint(x, y), size);
}
