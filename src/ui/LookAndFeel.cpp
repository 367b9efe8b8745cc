#include "ui/LookAndFeel.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QProxyStyle>
#include <QStyleFactory>

namespace {

// Check boxes and option buttons are 13 pixels high in the layouts; Fusion's indicators are drawn
// a little smaller so that they fit whole, with the caption close beside them.
class CompactIndicators : public QProxyStyle {
public:
    CompactIndicators()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }

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
};

} // namespace

void applyLookAndFeel()
{
    QApplication::setStyle(new CompactIndicators);
    // Liberation Sans has the widths of the classic Windows sans-serif the layouts were drawn for;
    // a touch narrower still, the longest captions fit their controls.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setStretch(95);
    QApplication::setFont(font);

    // The resources of a static library are linked in only when asked for by name.
    Q_INIT_RESOURCE(icons);
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/quillmont-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
}
