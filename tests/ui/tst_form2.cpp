#include "ProgramUnderTest.h"
#include "settings/FactorySettings.h"
#include "ui/Form2.h"
#include "ui/LookAndFeel.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

namespace {

QComboBox* combo(const QWidget* dialog, int number)
{
    return child<QComboBox>(dialog, qPrintable(QString("Combo%1").arg(number)));
}

} // namespace

class Form2Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

    void storedLimitsShownAndStoredBack_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("storedAfterOk");
        QTest::newRow("no limit") << "0"
                                  << "Unlimited"
                                  << "0";
        QTest::newRow("not allowed") << "-1"
                                     << "None"
                                     << "-1";
        QTest::newRow("one") << "1"
                             << "1"
                             << "1";
        QTest::newRow("six") << "6"
                             << "6"
                             << "6";
        QTest::newRow("seven") << "7"
                               << "Unlimited"
                               << "0";
        QTest::newRow("empty") << ""
                               << "Unlimited"
                               << "0";
        QTest::newRow("leading blank") << " 2"
                                       << "Unlimited"
                                       << "0";
        QTest::newRow("leading zero") << "02"
                                      << "Unlimited"
                                      << "0";
    }

    void storedLimitsShownAndStoredBack()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(QString, storedAfterOk);
        ProgramUnderTest program;
        applyFactorySettings(program.settings);
        program.settings.cr_medic = stored;
        Form2* dialog = program.forms->show<Form2>();
        QCOMPARE(combo(dialog, 5)->currentText(), shown);
        QCOMPARE(combo(dialog, 1)->currentText(), "Unlimited");
        QCOMPARE(combo(dialog, 5)->count(), 8);
        QCOMPARE(combo(dialog, 5)->itemText(1), "None");

        click(dialog, "Command2");
        ServerSettings expected;
        applyFactorySettings(expected);
        expected.cr_medic = storedAfterOk;
        QCOMPARE(program.settings, expected);
    }

    void typedLimits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("None") << "None"
                              << "-1";
        QTest::newRow("5") << "5"
                           << "5";
        QTest::newRow("7") << "7"
                           << "0";
        QTest::newRow("lower case none") << "none"
                                         << "0";
        QTest::newRow("not completed") << "Non"
                                       << "0";
        QTest::newRow("trailing blank") << "Unlimited "
                                        << "0";
        QTest::newRow("empty") << ""
                               << "0";
    }

    void typedLimits()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        ProgramUnderTest program;
        program.settings.cr_spy = "3";
        Form2* dialog = program.forms->show<Form2>();
        QLineEdit* edit = combo(dialog, 8)->lineEdit();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(combo(dialog, 8)->count(), 8);
        QVERIFY(dialog->isVisible());

        click(dialog, "Command2");
        QCOMPARE(program.settings.cr_spy, stored);
        QCOMPARE(program.settings.cr_scout, "0");
    }

    void cancelAndCloseBoxChangeNothing_data() { addWaysToLeaveWithoutOk(); }

    void cancelAndCloseBoxChangeNothing()
    {
        ProgramUnderTest program;
        program.settings.cr_pyro = "7";
        const ServerSettings before = program.settings;
        Form2* dialog = program.forms->show<Form2>();
        combo(dialog, 7)->setCurrentIndex(1);
        combo(dialog, 2)->setEditText("4");
        pressEnterAndEscape(dialog);
        QVERIFY(dialog->isVisible());
        leaveWithoutOk(dialog, "Command1");
        QCOMPARE(program.settings, before);
    }

    void openingAgainKeepsPendingEditsAndReloadsAfterOk()
    {
        ProgramUnderTest program;
        applyFactorySettings(program.settings);
        Form2* dialog = program.forms->show<Form2>();
        combo(dialog, 3)->setCurrentIndex(4);
        QCOMPARE(program.forms->show<Form2>(), dialog);
        QCOMPARE(combo(dialog, 3)->currentText(), "3");
        QCOMPARE(program.settings.cr_soldier, "0");

        click(dialog, "Command2");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(combo(program.forms->show<Form2>(), 3)->currentText(), "3");
    }
};

QUILLMONT_UI_TEST_MAIN(Form2Test)
#include "tst_form2.moc"
