#include "ProgramUnderTest.h"
#include "ui/Centring.h"
#include "ui/Form1.h"
#include "ui/Form10.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/Form5.h"
#include "ui/Form6.h"
#include "ui/Form7.h"
#include "ui/Form8.h"
#include "ui/Form9.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QStyleOptionGroupBox>

namespace {

using Opener = QWidget* (*)(Forms&);

template <typename F> QWidget* open(Forms& forms)
{
    return forms.show<F>();
}

const QMap<QString, Opener> openers{{"Form1", &open<Form1>}, {"Form2", &open<Form2>}, {"Form3", &open<Form3>},
    {"Form4", &open<Form4>}, {"Form5", &open<Form5>}, {"Form6", &open<Form6>}, {"Form7", &open<Form7>},
    {"Form8", &open<Form8>}, {"Form9", &open<Form9>}, {"Form10", &open<Form10>}};

// Opens a window as the operator sees it: shown, active, settled.
QWidget* openWindow(ProgramUnderTest& program, const QString& form)
{
    QWidget* window = openers.value(form)(*program.forms);
    if (!QTest::qWaitForWindowActive(window))
        qWarning() << form << "did not become active";
    QCoreApplication::processEvents();
    return window;
}

// The client area controls stand in: a dialog itself, the main window's central widget.
QWidget* clientArea(QWidget* window)
{
    auto* main = qobject_cast<QMainWindow*>(window);
    return main ? main->centralWidget() : window;
}

const QRegularExpression controlName("^(Label|Text|Check|Option|Combo|Frame|Command|Line)[0-9]+$");

QList<QWidget*> controlsOf(const QWidget* window)
{
    QList<QWidget*> controls;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (controlName.match(widget->objectName()).hasMatch())
            controls.append(widget);
    }
    return controls;
}

// Where a control draws its caption, in the window's coordinates, and the room it has for it.
struct DrawnCaption {
    QRect drawn;
    QRect room;
};

std::optional<DrawnCaption> captionOf(const QWidget* control)
{
    const QStyle* style = control->style();
    const QFontMetrics metrics = control->fontMetrics();
    QRect room;
    QString text;
    int alignment = Qt::AlignLeft | Qt::AlignVCenter;
    if (auto* label = qobject_cast<const QLabel*>(control)) {
        room = label->contentsRect();
        text = label->text();
        alignment = int(label->alignment());
    } else if (auto* frame = qobject_cast<const QGroupBox*>(control)) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect title = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
        const QPoint offset = frame->mapTo(frame->window(), QPoint());
        return DrawnCaption{style->itemTextRect(metrics, title, alignment, true, frame->title()).translated(offset),
            frame->rect().translated(offset)};
    } else if (auto* button = qobject_cast<const QAbstractButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const bool pushButton = button->inherits("QPushButton");
        room = pushButton ? style->subElementRect(QStyle::SE_PushButtonContents, &option, button)
                          : style->subElementRect(QStyle::SE_CheckBoxContents, &option, button);
        text = button->text();
        if (pushButton)
            alignment = Qt::AlignCenter;
    } else {
        return std::nullopt;
    }
    const QRect drawn = style->itemTextRect(metrics, room, alignment, true, text);
    const QPoint offset = control->mapTo(control->window(), QPoint());
    return DrawnCaption{drawn.translated(offset), room.translated(offset)};
}

QImage differenceImage(const QImage& expected, const QImage& actual)
{
    QImage difference(expected.size().expandedTo(actual.size()), QImage::Format_RGB32);
    for (int y = 0; y < difference.height(); ++y) {
        for (int x = 0; x < difference.width(); ++x) {
            const bool same = expected.valid(x, y) && actual.valid(x, y) && expected.pixel(x, y) == actual.pixel(x, y);
            const int grey = expected.valid(x, y) ? 128 + qGray(expected.pixel(x, y)) / 2 : 255;
            difference.setPixel(x, y, same ? qRgb(grey, grey, grey) : qRgb(255, 0, 0));
        }
    }
    return difference;
}

} // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

    // Each window as the operator sees it, pixel for pixel. After a deliberate change of a
    // window, scripts/record-windows records the references anew; look at each before committing.
    void looksAsReviewed_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QByteArray>("settingsFile");
        QTest::addColumn<bool>("at2x");
        const QByteArray factory = factoryFullLayout();
        const QByteArray unusual = settingsFileWith({{2, "<b>0.3</b>"}, {4, "Caf\xe9 \x80 \x92 <i>x</i> & y"},
            {5, QByteArray(300, 'r')}, {7, "a\tb"}, {8, " 12 "}, {12, "1"}, {13, "2"}, {14, ""}, {15, "1"}});
        QTest::newRow("Form1") << "Form1" << factory << true;
        QTest::newRow("Form1 unusual") << "Form1" << unusual << false;
        for (const char* form : {"Form2", "Form4", "Form5", "Form6", "Form7", "Form9", "Form10"})
            QTest::newRow(form) << form << factory << false;
        QTest::newRow("Form3") << "Form3" << factory << true;
        QTest::newRow("Form8 unusual") << "Form8" << unusual << false;
    }

    void looksAsReviewed()
    {
        QFETCH(QString, form);
        QFETCH(QByteArray, settingsFile);
        QFETCH(bool, at2x);
        const qreal scale = qgetenv("QT_SCALE_FACTOR").toDouble();
        if (scale == 2 && !at2x)
            QSKIP("reviewed at 1x only");
        ProgramUnderTest program(settingsFile);
        program.start();
        const QImage actual = openWindow(program, form)->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QString name = QString(QTest::currentDataTag()).replace(' ', '-') + (scale == 2 ? "@2x" : "");
        const QString reference = TEST_DATA "/windows/" + name + ".png";
        if (qEnvironmentVariableIsSet("QUILLMONT_RECORD_WINDOWS"))
            QVERIFY(actual.save(reference));
        const QImage expected = QImage(reference).convertToFormat(QImage::Format_RGB32);
        if (actual != expected) {
            const QString mismatches = QT_TESTCASE_BUILDDIR "/window-mismatches/";
            QDir().mkpath(mismatches);
            actual.save(mismatches + name + ".actual.png");
            differenceImage(expected, actual).save(mismatches + name + ".difference.png");
            QFAIL(qPrintable("differs from " + reference + "; see " + mismatches));
        }
    }

    // Every window against its design: caption, client area, each control's container, place and
    // size, and the order Tab takes through the controls from the one that has the focus first.
    void standsAsDesigned_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QStringList>("design");
        QFile file(TEST_DATA "/layout.txt");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QMap<QString, QStringList> designs;
        for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
            if (!line.isEmpty() && !line.startsWith('#'))
                designs[line.section(' ', 0, 0)].append(line.section(' ', 1));
        }
        for (auto it = designs.begin(); it != designs.end(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.key() << it.value();
    }

    void standsAsDesigned()
    {
        QFETCH(QString, form);
        QFETCH(QStringList, design);
        ProgramUnderTest program;
        QWidget* window = openWindow(program, form);
        const QStringList area = design.takeFirst().split(' ');
        QCOMPARE(window->windowTitle(), area.mid(3).join(' '));
        QCOMPARE(clientArea(window)->size(), QSize(area[1].toInt(), area[2].toInt()) / 15);
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(window->parentWidget() == nullptr);
        QVERIFY(qAbs(window->frameGeometry().center().x() - window->screen()->geometry().center().x()) <= 1);
        QVERIFY(qAbs(window->frameGeometry().center().y() - window->screen()->geometry().center().y()) <= 1);

        QMap<int, QString> tabOrder;
        QStringList designed;
        for (const QString& line : design) {
            const QStringList column = line.split(' ');
            QWidget* control = child(window, column[0]);
            designed << column[0];
            const QRect place(
                column[2].toInt() / 15, column[3].toInt() / 15, column[4].toInt() / 15, column[5].toInt() / 15);
            QCOMPARE(control->parentWidget() == clientArea(window) ? form : control->parentWidget()->objectName(),
                column[1]);
            QCOMPARE(control->pos(), place.topLeft());
            QCOMPARE(control->width(), place.width());
            if (place.height() > 0) // a rule is a line
                QCOMPARE(control->height(), place.height());
            if (control->focusPolicy() & Qt::TabFocus)
                tabOrder[column[6].toInt()] = column[0];
        }
        QStringList built;
        for (const QWidget* control : controlsOf(window))
            built << control->objectName();
        std::sort(built.begin(), built.end());
        std::sort(designed.begin(), designed.end());
        QCOMPARE(built, designed);

        QStringList tabbed{QApplication::focusWidget()->objectName()};
        for (QWidget* next = QApplication::focusWidget()->nextInFocusChain(); next != QApplication::focusWidget();
             next = next->nextInFocusChain()) {
            if (next->focusPolicy() & Qt::TabFocus && controlName.match(next->objectName()).hasMatch())
                tabbed << next->objectName();
        }
        QCOMPARE(tabbed, tabOrder.values());
    }

    // What every window must be whatever its design: controls within their containers, captions
    // whole, and no caption drawn over another control.
    void keepsItsCaptionsClear_data() { standsAsDesigned_data(); }

    void keepsItsCaptionsClear()
    {
        QFETCH(QString, form);
        ProgramUnderTest program;
        QWidget* window = openWindow(program, form);
        const QList<QWidget*> controls = controlsOf(window);
        for (const QWidget* control : controls) {
            const QString name = control->objectName();
            QVERIFY2(control->parentWidget()->rect().contains(control->geometry()), qPrintable(name));
            const std::optional<DrawnCaption> caption = captionOf(control);
            if (!caption)
                continue;
            QVERIFY2(caption->room.contains(caption->drawn),
                qPrintable(name + " cuts its caption "
                    + QString("%1,%2 %3x%4 in %5,%6 %7x%8")
                          .arg(caption->drawn.x())
                          .arg(caption->drawn.y())
                          .arg(caption->drawn.width())
                          .arg(caption->drawn.height())
                          .arg(caption->room.x())
                          .arg(caption->room.y())
                          .arg(caption->room.width())
                          .arg(caption->room.height())));
            // A label shows nothing but its text; other controls, their whole box.
            for (const QWidget* other : controls) {
                const QRect place = qobject_cast<const QLabel*>(other)
                    ? captionOf(other)->drawn
                    : QRect(other->mapTo(window, QPoint()), other->size());
                if (other != control && !other->isAncestorOf(control))
                    QVERIFY2(!place.intersects(caption->drawn),
                        qPrintable(name + "'s caption covers " + other->objectName()));
            }
        }
    }

    // A screen reader names each text box and list after the label beside it.
    void namedForScreenReaders_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QStringList>("names");
        // clang-format off
        QTest::newRow("Form1") << "Form1" << QStringList{"Text1=Server Name", "Text2=Remote Console Password", "Text3=Time Limit",
            "Text4=Server Password", "Text5=Max Players", "Text6=Max Data", "Text7=Min Data", "Text8=Start Map"};
        QTest::newRow("Form2") << "Form2" << QStringList{"Combo1=Scout", "Combo2=Sniper", "Combo3=Soldier", "Combo4=DemoMan",
            "Combo5=Medic", "Combo6=HWGuy", "Combo7=Pyro", "Combo8=Spy", "Combo9=Engineer"};
        QTest::newRow("Form6") << "Form6" << QStringList{"Text1=Gravity", "Text2=Frequency", "Text3=Limit", "Text4=Client Trace", "Text5=Max Speed"};
        QTest::newRow("Form7") << "Form7" << QStringList{"Text1=Respawn Delay"};
        QTest::newRow("Form9") << "Form9" << QStringList{"Text1=Enter File Name"};
        // clang-format on
    }

    void namedForScreenReaders()
    {
        QFETCH(QString, form);
        QFETCH(QStringList, names);
        ProgramUnderTest program;
        QWidget* window = openWindow(program, form);
        QStringList named;
        for (QWidget* control : controlsOf(window)) {
            if (!control->inherits("QLineEdit") && !control->inherits("QComboBox"))
                continue;
            const QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(control);
            QString label; // a frame around a control labels it too
            for (const auto& [labelling, relation] : reader->relations(QAccessible::Label))
                label += labelling->object()->inherits("QLabel") ? labelling->text(QAccessible::Name) : "";
            named << control->objectName() + "=" + label;
            if (control->inherits("QLineEdit"))
                QCOMPARE(reader->text(QAccessible::Name), named.last().section('=', 1));
        }
        named.sort();
        names.sort();
        QCOMPARE(named, names);
    }

    void centringArithmetic_data()
    {
        QTest::addColumn<double>("screen");
        QTest::addColumn<double>("window");
        QTest::addColumn<int>("offset");
        QTest::newRow("999 wider") << 9999.0 << 9000.0 << 499;
        QTest::newRow("301 narrower") << 9000.0 << 9301.0 << -150;
        QTest::newRow("half rounds down to even") << 2.5 << 0.0 << 1;
        QTest::newRow("half rounds up to even") << 3.5 << 0.0 << 2;
        QTest::newRow("above a half") << 5.51 << 0.0 << 3;
        QTest::newRow("negative half to even") << 0.0 << 2.5 << -1;
    }

    void centringArithmetic()
    {
        QFETCH(double, screen);
        QFETCH(double, window);
        QFETCH(int, offset);
        QCOMPARE(centredOffset(screen, window), offset);
    }
};

QUILLMONT_UI_TEST_MAIN(WindowsTest)
#include "tst_windows.moc"
