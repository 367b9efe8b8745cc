#include "ui/LookAndFeel.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <qdrawutil.h>

namespace {

// Fusion, fitted to layouts drawn for the classic Windows look.
class ClassicLayouts : public QProxyStyle {
public:
    ClassicLayouts()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }

    // A frame's border runs through the middle of its caption, as the layouts expect: Fusion's
    // caption above the border would put the border through the first row inside.
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
        const QWidget* widget) const override
    {
        const auto* frame = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (!frame)
            return QProxyStyle::subControlRect(control, option, part, widget);
        // The height the caption is drawn at, a pixel more than the font's own.
        const int captionHeight = frame->fontMetrics.boundingRect(QRect(), Qt::TextSingleLine, frame->text).height();
        switch (part) {
        case SC_GroupBoxLabel:
            return {captionIndent, 0, frame->fontMetrics.horizontalAdvance(frame->text), captionHeight};
        case SC_GroupBoxFrame:
            return frame->rect.adjusted(0, captionHeight / 2, 0, 0);
        default:
            return QProxyStyle::subControlRect(control, option, part, widget);
        }
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
        const QWidget* widget) const override
    {
        const auto* frame = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (!frame) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        // The border, with a gap where the caption stands, then the caption.
        QRect gap = subControlRect(control, option, SC_GroupBoxLabel, widget);
        gap.setLeft(gap.left() - captionGap);
        gap.setRight(gap.right() + captionGap);
        QStyleOptionGroupBox part(*frame);
        part.subControls = SC_GroupBoxFrame;
        painter->save();
        painter->setClipRegion(QRegion(frame->rect) - gap);
        QProxyStyle::drawComplexControl(control, &part, painter, widget);
        painter->restore();
        part.subControls = SC_GroupBoxLabel;
        QProxyStyle::drawComplexControl(control, &part, painter, widget);
    }

    // Fusion's own frame would add room for a caption above it again: an etched line instead.
    void drawPrimitive(
        PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override
    {
        if (element == PE_FrameGroupBox)
            qDrawShadeRect(painter, option->rect, option->palette, true);
        else
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    // Check boxes and option buttons are 13 pixels high in the layouts; their indicators are drawn
    // a little smaller so that they fit whole, with the caption close beside them.
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight:
            return 12;
        case PM_CheckBoxLabelSpacing:
        case PM_RadioButtonLabelSpacing:
            return 4;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    // Qt's own message icons come from the desktop's icon theme, or else are small pictures that a
    // scale of 2 blurs: these are drawn for both scales.
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const override
    {
        const char* kind = icon == SP_MessageBoxInformation ? "information"
            : icon == SP_MessageBoxWarning                  ? "warning"
            : icon == SP_MessageBoxQuestion                 ? "question"
                                                            : nullptr;
        if (!kind)
            return QProxyStyle::standardIcon(icon, option, widget);
        QIcon drawn;
        for (int size : {32, 64})
            drawn.addFile(QStringLiteral(":/icons/message-%1-%2.png").arg(QLatin1StringView(kind)).arg(size));
        return drawn;
    }

private:
    static constexpr int captionIndent = 8;
    static constexpr int captionGap = 2;
};

} // namespace

void applyLookAndFeel()
{
    QApplication::setStyle(new ClassicLayouts);
    // Liberation Sans has the widths of the classic Windows sans-serif the layouts were drawn for;
    // a touch narrower still, the longest captions fit their controls.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setStretch(95);
    QApplication::setFont(font);

    // The resources of a static library are linked in only when asked for by name.
    Q_INIT_RESOURCE(icons);
}

void applyProgramIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/quillmont-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
}
