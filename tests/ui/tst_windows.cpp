#include "ProgramUnderTest.h"
#include "StandIn.h"
#include "launch/FolderSettings.h"
#include "ui/BanDialog.h"
#include "ui/Form1.h"
#include "ui/MessageBox.h"
#include "ui/PlayersModel.h"
#include "ui/ServerConsole.h"
#include "ui/WindowPlace.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QStyleOptionGroupBox>
#include <QTableView>
#include <QUdpSocket>
#include <QWindow>

namespace {

const QRegularExpression controlName("^(Label|Text|Check|Option|Combo|Frame|Command|Line)[0-9]+$");

QList<QWidget*> controlsOf(const QWidget* window)
{
    QList<QWidget*> controls = window->findChildren<QWidget*>();
    controls.removeIf([](const QWidget* widget) { return !controlName.match(widget->objectName()).hasMatch(); });
    return controls;
}

// Where a control draws its caption, and the room it has for it, in the window's coordinates; a
// text box, list, push button or rule draws its own box.
std::optional<std::pair<QRect, QRect>> captionOf(const QWidget* control)
{
    QRect room = control->rect();
    QString text;
    int alignment = Qt::AlignLeft | Qt::AlignVCenter;
    if (auto* label = qobject_cast<const QLabel*>(control)) {
        std::tie(text, alignment) = std::pair(label->text(), int(label->alignment()));
    } else if (auto* frame = qobject_cast<const QGroupBox*>(control)) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = text = frame->title();
        const QRect title
            = frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
        const QPoint offset = frame->mapTo(frame->window(), QPoint());
        return std::pair(
            frame->style()->itemTextRect(frame->fontMetrics(), title, alignment, true, text).translated(offset),
            room.translated(offset));
    } else if (auto* box = qobject_cast<const QAbstractButton*>(control); box && !box->inherits("QPushButton")) {
        QStyleOptionButton option;
        option.initFrom(box);
        room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        text = box->text();
    } else {
        return std::nullopt;
    }
    const QPoint offset = control->mapTo(control->window(), QPoint());
    const QRect drawn = control->style()->itemTextRect(control->fontMetrics(), room, alignment, true, text);
    return std::pair(drawn.translated(offset), room.translated(offset));
}

// Where each window's frame stood when the window first appeared on the screen.
class FirstAppearances : public QObject {
public:
    QMap<QObject*, QRect> frames;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && !frames.contains(watched))
            frames[watched] = static_cast<QWindow*>(watched)->frameGeometry();
        return false;
    }
};

} // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

    // Each window as the operator sees it, pixel for pixel. After a deliberate change of a
    // window, scripts/record-windows records the references anew; look at each before committing.
    void looksAsReviewed_data() { addCases("window-pictures.txt"); }

    void looksAsReviewed()
    {
        QFETCH(Case, given);
        const bool scaled = qgetenv("QT_SCALE_FACTOR") == "2";
        if (scaled && given.value("2x") != "yes")
            QSKIP("reviewed at 1x only");
        ProgramUnderTest program(settingsFileWith(lines(given.value("tfc"))));
        if (given.contains("port"))
            setServerPort(program.folder, given.value("port").toUShort());
        if (given.contains("log"))
            writeBytes(program.path("server-console.log"), given.value("log").replace('|', '\n') + '\n');
        for (const QByteArray& file : given.value("files").split(';')) {
            const QString path = program.path(file.left(file.indexOf('=')));
            if (!file.isEmpty() && QDir().mkpath(QFileInfo(path).path()))
                writeBytes(path, file.mid(file.indexOf('=') + 1).replace('|', '\n'));
        }
        std::optional<StandIn> server;
        if (given.contains("serves")) {
            QVERIFY2(
                QUdpSocket().bind(QHostAddress::LocalHost, serverPort(program.folder), QUdpSocket::DontShareAddress),
                "the server port is in use, and the test has no network of its own: run it as root");
            server.emplace(Case{{"serves", given.value("serves")}}, serverPort(program.folder));
            writeBytes(program.path("tfc/server.cfg"), "rcon_password \"secret\"\r\n");
        }
        // SteamCMD: the stand-in, in a home folder that is the test's own, and Steam's build the one given.
        const QByteArray homeBefore = qgetenv("HOME");
        const auto restoreHome = qScopeGuard([&] {
            qputenv("HOME", homeBefore);
            for (const char* variable : {"XDG_STATE_HOME", "STEAMCMD_STEAM_BUILD", "STEAMCMD_GATE"})
                qunsetenv(variable);
        });
        if (given.contains("steamcmd")) {
            const QDir home(program.dir.path());
            home.mkpath("steamcmd");
            QVERIFY(QFile::copy(TEST_SOURCE "/support/standin_steamcmd.py", home.filePath("steamcmd/steamcmd.sh")));
            qputenv("HOME", QFile::encodeName(home.path()));
            qputenv("XDG_STATE_HOME", QFile::encodeName(home.filePath("state")));
            qputenv("STEAMCMD_STEAM_BUILD", given.value("steamcmd"));
            qputenv("STEAMCMD_GATE", QFile::encodeName(home.filePath("gate")));
        }
        if (given.contains("installed")) {
            for (const char* file : {"hlds_run", "hlds_linux", "tfc/liblist.gam"})
                writeBytes(program.path(file), "");
            QDir(program.folder).mkpath("steamapps");
            writeBytes(program.path("steamapps/appmanifest_90.acf"),
                "\"AppState\"\n{\n\t\"buildid\"\t\t\"" + given.value("installed") + "\"\n}\n");
        }
        Form1* main = program.start();
        QImage actual;
        if (given.contains("ban")) {
            BanDialog dialog(
                textOf(given, "ban"),
                [](int minutes) { return QString("banid %1 STEAM_0:1:20481001 kick").arg(minutes); },
                textOf(given, "text"));
            actual = dialog.grab().toImage();
        } else if (given.contains("menu")) { // a menu of the main window, open
            auto* menu = child<QMenu>(main, textOf(given, "menu"));
            menu->popup(main->mapToGlobal(QPoint()));
            if (QTest::qWaitForWindowExposed(menu))
                actual = menu->grab().toImage();
            menu->hide();
        } else if (given.contains("message")) { // a message as the operator sees it, text and icon
            interceptMessagesForTests([&actual](QMessageBox& box) {
                box.show();
                if (QTest::qWaitForWindowExposed(&box))
                    actual = box.grab().toImage();
                return QMessageBox::Ok;
            });
            const QString kind = textOf(given, "message"), text = textOf(given, "text");
            kind == "Warning"        ? showFailure(text)
                : kind == "Question" ? void(askOperator(text))
                                     : showConfirmation(text);
        } else {
            QWidget* window = program.open(textOf(given, "form"));
            if (given.contains("size")) // a window the screen of the tests is too small for at twice the scale
                window->resize(
                    given.value("size").split('x').first().toInt(), given.value("size").split('x').last().toInt());
            // With the players' details, once `status` has given them.
            const auto* players = window->findChild<QTableView*>("playersTable");
            QTRY_VERIFY(!server
                || (players->model()->rowCount() > 0
                    && !players->model()
                            ->index(players->model()->rowCount() - 1, PlayersModel::UserId)
                            .data()
                            .isNull()));
            // A button clicked, and the window taken once a label says what is awaited.
            if (given.contains("click"))
                child<QPushButton>(window, textOf(given, "click"))->click();
            if (given.contains("until"))
                QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(window, textOf(given, "until").section(' ', 0, 0))
                                             ->text()
                                             .contains(textOf(given, "until").section(' ', 1)),
                    20000);
            actual = window->grab().toImage();
            if (given.contains("click")) { // the run let go on to its end
                writeBytes(program.dir.filePath("gate"), "");
                QTRY_COMPARE_WITH_TIMEOUT(child<QPushButton>(window, "Command4")->text(), QString("Close"), 20000);
            }
        }
        actual.convertTo(QImage::Format_RGB32);
        const QString name = QString(QTest::currentDataTag()).replace(' ', '-') + (scaled ? "@2x" : "");
        const QString reference = TEST_DATA "/windows/" + name + ".png";
        if (qEnvironmentVariableIsSet("QUILLMONT_RECORD_WINDOWS"))
            QVERIFY(actual.save(reference));
        const QImage expected = QImage(reference).convertToFormat(QImage::Format_RGB32);
        if (actual == expected)
            return;
        const QString mismatches = QT_TESTCASE_BUILDDIR "/window-mismatches/";
        QDir().mkpath(mismatches);
        actual.save(mismatches + name + ".actual.png");
        for (int y = 0; y < actual.height(); ++y) { // the differing pixels in red
            for (int x = 0; x < actual.width(); ++x)
                actual.setPixel(
                    x, y, expected.pixel(x, y) == actual.pixel(x, y) ? qRgb(255, 255, 255) : qRgb(255, 0, 0));
        }
        actual.save(mismatches + name + ".difference.png");
        QFAIL(qPrintable("differs from " + reference + "; see " + mismatches));
    }

    // Every window against its design: caption, client area, each control's container, place,
    // size and name for a screen reader, and the order Tab takes from the control that has the
    // focus first. And whatever the design: controls within their containers, captions whole and
    // clear of other controls, the window centred on the screen.
    void standsAsDesigned_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QStringList>("design");
        QMap<QString, QStringList> designs;
        for (const QString& line :
            QString::fromUtf8(readBytes(TEST_DATA "/layout.txt")).split('\n', Qt::SkipEmptyParts))
            designs[line.section(' ', 0, 0)] << line.section(' ', 1);
        designs.remove("#");
        for (auto it = designs.begin(); it != designs.end(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.key() << it.value();
    }

    void standsAsDesigned()
    {
        QFETCH(QString, form);
        QFETCH(QStringList, design);
        ProgramUnderTest program;
        FirstAppearances appearances; // seen before the windows see them
        QApplication::instance()->installEventFilter(&appearances);
        QWidget* window = program.open(form);
        auto* main = qobject_cast<QMainWindow*>(window);
        QWidget* client = main ? main->centralWidget() : window;
        const QStringList area = design.takeFirst().split(' ');
        QCOMPARE(window->windowTitle(), area.mid(3).join(' '));
        QCOMPARE(client->size(), QSize(area[1].toInt(), area[2].toInt()) / 15);
        QVERIFY(window->minimumSize() == window->maximumSize() && window->windowIcon().availableSizes().size() == 7);
        QCOMPARE(window->objectName() + (window->parentWidget() ? " owned" : ""), form);
        QCOMPARE(
            QAccessible::queryAccessibleInterface(window)->role(), main ? QAccessible::Window : QAccessible::Dialog);
        // Centred, frame included: the space left below and right of it exceeds the space above
        // and left of it by the odd pixel at most.
        const QRect frame = window->frameGeometry(), screen = window->screen()->geometry();
        const QPoint spare = (screen.bottomRight() - frame.bottomRight()) - (frame.topLeft() - screen.topLeft());
        QVERIFY2(spare.x() >= 0 && spare.x() <= 1 && spare.y() >= 0 && spare.y() <= 1,
            qPrintable(QString("%1,%2 more space after than before").arg(spare.x()).arg(spare.y())));
        // On X11 a window manager tells the frame before it shows the window (openbox does), so the
        // window appears where it stays.
        if (QGuiApplication::platformName() == "xcb")
            QCOMPARE(appearances.frames.value(window->windowHandle()), window->frameGeometry());

        QMap<int, QString> tabOrder;
        for (const QString& line : design) {
            const QStringList column = line.split(' ');
            QWidget* control = child(window, column[0]);
            QCOMPARE(control->parentWidget() == client ? form : control->parentWidget()->objectName(), column[1]);
            QCOMPARE(control->pos(), QPoint(column[2].toInt(), column[3].toInt()) / 15);
            QCOMPARE(control->width(), column[4].toInt() / 15);
            QCOMPARE(control->height(), column[5] == "0" ? 2 : column[5].toInt() / 15); // a rule is a line
            const QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(control);
            QVERIFY2(reader->role() == (column[5] == "0" ? QAccessible::Separator : reader->role())
                    && reader->role() != QAccessible::Border,
                qPrintable(column[0] + " is an unnamed frame to a screen reader"));
            if (control->focusPolicy() & Qt::TabFocus)
                tabOrder[column[6].toInt()] = column[0];
            QString label; // a frame around a control labels it too
            for (const auto& [labelling, relation] : reader->relations(QAccessible::Label))
                label += labelling->object()->inherits("QLabel") ? labelling->text(QAccessible::Name) : "";
            QCOMPARE(label, column.mid(7).join(' '));
            if (control->inherits("QLineEdit"))
                QCOMPARE(reader->text(QAccessible::Name), label);
        }
        QCOMPARE(controlsOf(window).size(), design.size()); // and nothing else

        QStringList tabbed;
        QWidget* next = QApplication::focusWidget();
        do {
            if (next->focusPolicy() & Qt::TabFocus && controlName.match(next->objectName()).hasMatch())
                tabbed << next->objectName();
        } while ((next = next->nextInFocusChain()) != QApplication::focusWidget());
        QCOMPARE(tabbed, tabOrder.values());

        const QList<QWidget*> controls = controlsOf(window);
        for (const QWidget* control : controls) {
            const QString name = control->objectName();
            QVERIFY2(control->parentWidget()->rect().contains(control->geometry()), qPrintable(name));
            const auto caption = captionOf(control);
            QVERIFY2(!caption || caption->second.contains(caption->first), qPrintable(name + " cuts its caption"));
            for (const QWidget* other : controls) {
                // A label shows nothing but its text; other controls, their whole box.
                const auto shown = qobject_cast<const QLabel*>(other)
                    ? captionOf(other)->first
                    : QRect(other->mapTo(window, QPoint()), other->size());
                QVERIFY2(
                    !caption || other == control || other->isAncestorOf(control) || !shown.intersects(caption->first),
                    qPrintable(name + "'s caption covers " + other->objectName()));
            }
        }
    }

    // Where a window goes beside another, on a screen of 1000 by 700: right, left, below; else where
    // it covers least of the other, never its status line.
    void placedBeside_data()
    {
        QTest::addColumn<QRect>("other");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("smallest");
        QTest::addColumn<QRect>("placed");
        const auto add = [](const char* name, QRect other, QSize size, QSize smallest, QRect placed) {
            QTest::newRow(name) << other << size << smallest << placed;
        };
        add("room on the right", {100, 100, 300, 300}, {400, 300}, {300, 200}, {400, 100, 400, 300});
        add("room on the left only", {600, 50, 300, 300}, {500, 300}, {300, 200}, {100, 50, 500, 300});
        add("room below only", {300, 0, 400, 300}, {500, 350}, {300, 200}, {300, 300, 500, 350});
        add("no room: over the top, off the status line", {250, 100, 500, 500}, {600, 450}, {300, 200},
            {0, 0, 600, 450});
        add("no room, the status line kept at the bottom", {250, 150, 500, 550}, {900, 600}, {300, 200},
            {0, 0, 900, 600});
        add("too large: made smaller, above the status line", {250, 150, 500, 400}, {900, 600}, {300, 200},
            {100, 0, 900, 530});
        add("too large even when smaller: below it", {250, 150, 500, 400}, {900, 600}, {300, 600},
            {100, 100, 900, 600});
    }

    void placedBeside()
    {
        QFETCH(QRect, other);
        QFETCH(QSize, size);
        QFETCH(QSize, smallest);
        QFETCH(QRect, placed);
        const QRect statusLine(other.left(), other.bottom() - 19, other.width(), 20);
        QCOMPARE(placeBeside(other, statusLine, size, smallest, QRect(0, 0, 1000, 700)), placed);
    }

    // The console as it first opens, framed by a window manager: on the screen, and never over the
    // main window's status line.
    void consoleBesideMain()
    {
        ProgramUnderTest program;
        const auto* main = program.start();
        const QWidget* console = program.open("ServerConsole");
        QTRY_VERIFY(console->screen()->availableGeometry().contains(console->frameGeometry())
            && !console->frameGeometry().intersects(main->statusLineArea()));
        program.forms->unloadAll();
    }
};

QUILLMONT_UI_TEST_MAIN(WindowsTest)
#include "tst_windows.moc"
