#include "ProgramUnderTest.h"
#include "ui/Centring.h"
#include "ui/LookAndFeel.h"

#include <QApplication>
#include <QScreen>
#include <QTest>

class CentringTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void offset_data()
    {
        QTest::addColumn<double>("screen");
        QTest::addColumn<double>("window");
        QTest::addColumn<int>("offset");
        QTest::newRow("999 wider") << 9999.0 << 9000.0 << 499;
        QTest::newRow("301 narrower") << 9000.0 << 9301.0 << -150;
        QTest::newRow("equal") << 9000.0 << 9000.0 << 0;
        QTest::newRow("half rounds down to even") << 2.5 << 0.0 << 1;
        QTest::newRow("half rounds up to even") << 3.5 << 0.0 << 2;
        QTest::newRow("one half rounds to zero") << 0.5 << 0.0 << 0;
        QTest::newRow("negative half to even") << 0.0 << 2.5 << -1;
        QTest::newRow("negative half up to even") << 0.0 << 3.5 << -2;
        QTest::newRow("below a half") << 5.49 << 0.0 << 2;
        QTest::newRow("above a half") << 5.51 << 0.0 << 3;
        QTest::newRow("odd truncates toward zero") << 0.0 << 7.0 << -3;
    }

    void offset()
    {
        QFETCH(double, screen);
        QFETCH(double, window);
        QFETCH(int, offset);
        QCOMPARE(centredOffset(screen, window), offset);
    }

    void windowLargerThanTheScreen()
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QWidget window;
        window.setFixedSize(screen.width() + 40, screen.height() + 20);
        centreOnScreen(&window);
        QCOMPARE(window.pos(), screen.topLeft() + QPoint(-20, -10));
    }
};

QUILLMONT_UI_TEST_MAIN(CentringTest)
#include "tst_centring.moc"
