// Draws the icons of Quillmont's messages, information, warning and question, at 32 pixels and at
// 64 for a screen scaled twice: the program shows its own, sharp at either scale whether or not
// the desktop has an icon theme. Drawn in a 32-unit square, scaled.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>

namespace {

const QColor outline(0x17, 0x34, 0x5a);
const QColor blue(0x2f, 0x6a, 0xb0);
const QColor amber(0xff, 0xb0, 0x1c);
const QColor white(0xff, 0xff, 0xff);

enum class Kind { Information, Warning, Question };

void drawDisc(QPainter& painter)
{
    painter.setPen(QPen(outline, 1));
    painter.setBrush(blue);
    painter.drawEllipse(QRectF(1.5, 1.5, 29, 29));
}

// A mark's stem and dot, drawn as shapes so that no font decides how they look.
void drawInformation(QPainter& painter)
{
    drawDisc(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(white);
    painter.drawEllipse(QRectF(13.5, 6, 5, 5));
    painter.drawRoundedRect(QRectF(14, 13, 4, 13), 1, 1);
}

void drawWarning(QPainter& painter)
{
    QPainterPath triangle;
    triangle.moveTo(16, 2);
    triangle.lineTo(30.5, 28.5);
    triangle.lineTo(1.5, 28.5);
    triangle.closeSubpath();
    painter.setPen(QPen(outline, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(amber);
    painter.drawPath(triangle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(outline);
    QPainterPath stem; // a little narrower towards its foot
    stem.moveTo(14, 10);
    stem.lineTo(18, 10);
    stem.lineTo(17.25, 20);
    stem.lineTo(14.75, 20);
    stem.closeSubpath();
    painter.drawPath(stem);
    painter.drawEllipse(QRectF(14, 22, 4, 4));
}

void drawQuestion(QPainter& painter)
{
    drawDisc(painter);
    QPainterPath hook; // the upper bow, curving down into the stem
    hook.moveTo(11, 11.5);
    hook.cubicTo(11, 5.5, 21, 5.5, 21, 11.5);
    hook.cubicTo(21, 15, 16, 15, 16, 19.5);
    painter.setPen(QPen(white, 3.5, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(hook);
    painter.setPen(Qt::NoPen);
    painter.setBrush(white);
    painter.drawEllipse(QRectF(14, 22, 4, 4));
}

QImage draw(Kind kind, int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    switch (kind) {
    case Kind::Information:
        drawInformation(painter);
        break;
    case Kind::Warning:
        drawWarning(painter);
        break;
    case Kind::Question:
        drawQuestion(painter);
        break;
    }
    return image;
}

bool save(const QImage& image, const QString& path)
{
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "draw_message_icons: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: draw_message_icons ICON_FOLDER DOCS_FOLDER\n");
        return 2;
    }
    const QString icons = QString::fromLocal8Bit(argv[1]);
    const QString docs = QString::fromLocal8Bit(argv[2]);
    const std::pair<Kind, const char*> kinds[]
        = {{Kind::Information, "information"}, {Kind::Warning, "warning"}, {Kind::Question, "question"}};
    // For review: each icon at both sizes, enlarged four times pixel for pixel, on white.
    QImage review(3 * 4 * (32 + 64 + 16), 4 * 64, QImage::Format_ARGB32);
    review.fill(Qt::white);
    QPainter reviewPainter(&review);
    bool ok = true;
    int left = 0;
    for (const auto& [kind, name] : kinds) {
        for (int size : {32, 64}) {
            const QImage icon = draw(kind, size);
            ok = save(icon, icons + QStringLiteral("/message-%1-%2.png").arg(QLatin1StringView(name)).arg(size)) && ok;
            reviewPainter.drawImage(left, 0, icon.scaled(4 * size, 4 * size));
            left += 4 * (size + 8);
        }
    }
    reviewPainter.end();
    ok = save(review, docs + QStringLiteral("/message-icons.png")) && ok;
    return ok ? 0 : 1;
}
