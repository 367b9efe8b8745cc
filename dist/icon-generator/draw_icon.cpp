// Draws Quillmont's icon: a rack of three server units, each a slider set to its own value.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cstdio>

namespace {

const QColor outline(0x17, 0x34, 0x5a);
const QColor bay(0x2f, 0x6a, 0xb0);
const QColor track(0xe8, 0xf0, 0xf8);
const QColor knobEdge(0x7a, 0x3a, 0x00);
const QColor knob(0xff, 0xa0, 0x1c);
const QColor lamp(0x4c, 0xe0, 0x5c);

void fill(QPainter& painter, const QRectF& rect, const QColor& colour, double radius = 0)
{
    painter.setBrush(colour);
    painter.drawRoundedRect(rect, radius, radius);
}

QImage draw(int size)
{
    // The 16-pixel icon, which the others follow: a 1-pixel frame around three 3-pixel bays, on
    // 2-pixel feet. Every edge falls on a whole pixel, so the small sizes stay sharp without
    // hand-drawn copies.
    const bool small = size < 32;
    // Up to 32 pixels a rounded corner is only a blurred pixel, so those sizes stay square.
    const bool square = size <= 32;
    const int frame = std::max(1, size / 32);
    const int bayHeight = (size * 13 / 16 - 4 * frame) / 3;
    const int cabinetHeight = 4 * frame + 3 * bayHeight;
    const int feet = size / 8;
    const int top = (size - cabinetHeight - feet) / 2;
    const int side = size / 16;
    const QRect cabinet(side, top, size - 2 * side, cabinetHeight);
    const double settings[] = {0.85, 0.15, 0.55};

    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, !square);
    painter.setPen(Qt::NoPen);
    const int footWidth = std::max(2, size / 8);
    for (int x : {cabinet.left() + side, cabinet.right() + 1 - side - footWidth})
        fill(painter, QRect(x, cabinet.bottom() - frame, footWidth, feet + frame + 1), outline, square ? 0 : frame);
    fill(painter, cabinet, outline, square ? 0 : size / 16.0);
    for (int row = 0; row < 3; ++row) {
        const QRect bayRect(cabinet.left() + frame, cabinet.top() + frame + row * (bayHeight + frame),
            cabinet.width() - 2 * frame, bayHeight);
        fill(painter, bayRect, bay, square ? 0 : size / 16.0 - frame);
        const int lampSize = small ? 1 : bayHeight / 3;
        const int lampLeft = bayRect.left() + (small ? 1 : bayHeight / 3);
        const QRect lampRect(lampLeft, bayRect.top() + (bayHeight - lampSize) / 2, lampSize, lampSize);
        // Too few pixels make a circle look like a cross, so a small lamp stays square.
        fill(painter, lampRect, lamp, lampSize >= 6 ? lampSize / 2.0 : 0);
        int trackHeight = std::max(1, bayHeight / 5);
        trackHeight += (bayHeight - trackHeight) % 2;
        const int trackLeft = lampRect.right() + 1 + (small ? 1 : bayHeight / 3);
        const QRect trackRect(trackLeft, bayRect.top() + (bayHeight - trackHeight) / 2,
            bayRect.right() - (small ? 1 : bayHeight / 3) - trackLeft, trackHeight);
        fill(painter, trackRect, track, trackHeight >= 4 ? trackHeight / 2.0 : 0);
        const int knobWidth = small ? (bayHeight + 1) / 2 : bayHeight / 2;
        const int knobInset = small ? 0 : bayHeight / 8;
        const QRect knobRect(trackRect.left() + int(settings[row] * (trackRect.width() - knobWidth) + 0.5),
            bayRect.top() + knobInset, knobWidth, bayHeight - 2 * knobInset);
        // A narrow knob has no room for an edge and an inside, so it is all knob colour.
        const int knobFrame = knobWidth >= 6 ? frame : 0;
        fill(painter, knobRect, knobEdge, knobFrame);
        fill(painter, knobRect.adjusted(knobFrame, knobFrame, -knobFrame, -knobFrame), knob);
    }
    return image;
}

bool save(const QImage& image, const QString& path)
{
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "draw_icon: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: draw_icon ICON_FOLDER DOCS_FOLDER\n");
        return 2;
    }
    const QString icons = QString::fromLocal8Bit(argv[1]);
    const QString docs = QString::fromLocal8Bit(argv[2]);
    bool ok = true;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        ok = save(draw(size), icons + QStringLiteral("/quillmont-%1.png").arg(size)) && ok;
    // The small renders for review are enlarged pixel for pixel, so every pixel can be seen.
    ok = save(draw(16).scaled(128, 128), docs + QStringLiteral("/icon-16.png")) && ok;
    ok = save(draw(48).scaled(192, 192), docs + QStringLiteral("/icon-48.png")) && ok;
    ok = save(draw(256), docs + QStringLiteral("/icon-256.png")) && ok;
    return ok ? 0 : 1;
}
