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

QRect placeBeside(const QRect& other, const QRect& keepSeen, const QSize& size, const QRect& screen)
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
    if (candidates.isEmpty())
        return clampedTo(below, screen);
    return *std::min_element(candidates.begin(), candidates.end(),
        [&](const QRect& a, const QRect& b) { return overlap(a, other) < overlap(b, other); });
}

QRect clampedTo(const QRect& window, const QRect& screen)
{
    const QSize size = window.size().boundedTo(screen.size());
    const int x = std::clamp(window.left(), screen.left(), screen.right() + 1 - size.width());
    const int y = std::clamp(window.top(), screen.top(), screen.bottom() + 1 - size.height());
    return QRect(QPoint(x, y), size);
}
