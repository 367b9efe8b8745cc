#include "ProgramUnderTest.h"
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

#include <QPushButton>

using Opener = QWidget* (*)(Forms&);
Q_DECLARE_METATYPE(Opener)

namespace {

template <typename F> QWidget* open(Forms& forms)
{
    return forms.show<F>();
}

} // namespace

// What every window shares: its caption and client size in twips, no owner, the program's icon,
// captions that fit, and no button that Enter or Escape would press.
class WindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

    void everyWindow_data()
    {
        QTest::addColumn<Opener>("open");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("clientTwips");
        QTest::newRow("Form2") << &open<Form2> << "Class Restrictions" << QSize(4950, 2535);
        QTest::newRow("Form3") << &open<Form3> << "Team Damage Settings" << QSize(7830, 4455);
        QTest::newRow("Form4") << &open<Form4> << "Default Settings" << QSize(4335, 1950);
        QTest::newRow("Form5") << &open<Form5> << "Cheats" << QSize(1950, 1365);
        QTest::newRow("Form6") << &open<Form6> << "Game Physics" << QSize(2835, 3180);
        QTest::newRow("Form7") << &open<Form7> << "Scoring and Team Settings" << QSize(4170, 1605);
        QTest::newRow("Form8") << &open<Form8> << "About - Ver 0.2" << QSize(3420, 1755);
        QTest::newRow("Form9") << &open<Form9> << "Save As..." << QSize(3390, 1575);
        QTest::newRow("Form10") << &open<Form10> << "Restore Settings" << QSize(2940, 1230);
    }

    void everyWindow()
    {
        QFETCH(Opener, open);
        QFETCH(QString, caption);
        QFETCH(QSize, clientTwips);
        ProgramUnderTest program;
        Form1* main = program.start();
        const ServerSettings before = program.settings;
        QWidget* dialog = open(*program.forms);
        QCOMPARE(dialog->windowTitle(), caption);
        QCOMPARE(dialog->size() * 15, clientTwips);
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QVERIFY(dialog->parentWidget() == nullptr);
        QVERIFY(main->isVisible());
        // The program's icon, drawn for a title bar and for a task switcher.
        QVERIFY(dialog->windowIcon().availableSizes().contains(QSize(16, 16)));
        QVERIFY(dialog->windowIcon().availableSizes().contains(QSize(256, 256)));
        verifyCaptionsFit(dialog);
        for (const QPushButton* button : dialog->findChildren<QPushButton*>())
            QVERIFY(!button->isDefault() && !button->autoDefault());
        pressEnterAndEscape(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(program.messages, QStringList());
        if (dialog->objectName() != "Form4" && dialog->objectName() != "Form9") // these two take the text boxes
            QCOMPARE(program.settings, before);
    }

    void controlsStandWhereTheTablesPutThem()
    {
        ProgramUnderTest program;
        Form1* main = program.start();
        QCOMPARE(main->windowTitle(), "Quillmont");
        QCOMPARE(main->centralWidget()->size() * 15, QSize(4335, 3735));
        QCOMPARE(main->minimumSize(), main->maximumSize());
        verifyCaptionsFit(main);
        QCOMPARE(child<QWidget>(main, "Text5")->geometry(), QRect(192, 62, 57, 19));
        QCOMPARE(child<QWidget>(main, "Text6")->parentWidget()->objectName(), "Frame1");
        QCOMPARE(child<QWidget>(main, "Text6")->geometry(), QRect(8, 32, 57, 19));
        QCOMPARE(tabOrderFrom(child<QWidget>(main, "Text1")),
            (QStringList{"Text1", "Text2", "Text4", "Text3", "Check1", "Check3", "Check6", "Check7", "Text6", "Text7",
                "Command1", "Command2", "Command3", "Text5", "Text8"}));

        QWidget* damage = program.forms->show<Form3>();
        QCOMPARE(child<QWidget>(damage, "Option6")->geometry(), QRect(8, 48, 217, 13));
        QCOMPARE(child<QWidget>(damage, "Line2")->geometry().topLeft(), QPoint(24, 176));
        QCOMPARE(tabOrderFrom(child<QWidget>(damage, "Option1")),
            (QStringList{"Option1", "Option4", "Option7", "Option10", "Option13", "Option16", "Command1", "Command2",
                "Option2", "Option3", "Option5", "Option6", "Option8", "Option9", "Option11", "Option12", "Option14",
                "Option15", "Option17", "Option18"}));
        QWidget* physics = program.forms->show<Form6>();
        QCOMPARE(tabOrderFrom(child<QWidget>(physics, "Text1")),
            (QStringList{"Text1", "Text4", "Text5", "Check1", "Check3", "Check4", "Text2", "Text3", "Command1"}));
        QVERIFY(!physics->findChild<QWidget*>("Check2"));
    }
};

QUILLMONT_UI_TEST_MAIN(WindowsTest)
#include "tst_windows.moc"
