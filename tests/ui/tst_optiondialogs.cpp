#include "ProgramUnderTest.h"
#include "settings/FactorySettings.h"
#include "ui/Form1.h"
#include "ui/Form5.h"
#include "ui/Form6.h"
#include "ui/Form7.h"
#include "ui/Form8.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace {

ServerSettings factory()
{
    ServerSettings settings;
    applyFactorySettings(settings);
    return settings;
}

} // namespace

class OptionDialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

    void physicsSwitchesKeepTheirTextUntilChanged_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("checked");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("2") << "2" << false;
        QTest::newRow("blank and 1") << " 1" << false;
        QTest::newRow("1.0") << "1.0" << false;
    }

    void physicsSwitchesKeepTheirTextUntilChanged()
    {
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        ProgramUnderTest program;
        program.settings.mp_falldamage = stored;
        program.settings.mp_footsteps = stored;
        program.settings.sv_aim = "1";
        Form6* dialog = program.forms->show<Form6>();
        QCOMPARE(checkBox(dialog, "Check1")->isChecked(), checked);
        QCOMPARE(checkBox(dialog, "Check4")->isChecked(), true);
        QCOMPARE(program.settings.mp_falldamage, stored);
        QCOMPARE(program.settings.sv_aim, "1");

        QTest::mouseClick(checkBox(dialog, "Check1"), Qt::LeftButton);
        QCOMPARE(program.settings.mp_falldamage, checked ? "0" : "1");
        QTest::keyClick(checkBox(dialog, "Check1"), Qt::Key_Space);
        QCOMPARE(program.settings.mp_falldamage, checked ? "1" : "0");
        QCOMPARE(program.settings.mp_footsteps, stored);
        dialog->close();
    }

    void physicsOkTakesTheTextsAsTyped()
    {
        ProgramUnderTest program;
        applyFactorySettings(program.settings);
        Form6* dialog = program.forms->show<Form6>();
        QCOMPARE(textBox(dialog, "Text1")->text(), "800");
        QCOMPARE(textBox(dialog, "Text4")->text(), "3.5");
        textBox(dialog, "Text1")->setText("abc");
        textBox(dialog, "Text2")->clear();
        textBox(dialog, "Text3")->setText(" 250 ");
        textBox(dialog, "Text4")->setText("2");
        textBox(dialog, "Text5")->setText("320");
        QCOMPARE(program.forms->show<Form6>(), dialog);
        QCOMPARE(textBox(dialog, "Text1")->text(), "abc");

        click(dialog, "Command1");
        ServerSettings expected = factory();
        expected.sv_gravity = "abc";
        expected.decalfrequency = "";
        expected.mp_decals = " 250 ";
        expected.sv_clienttrace = "2";
        expected.sv_maxspeed = "320";
        QCOMPARE(program.settings, expected);
        QCOMPARE(program.forms->loaded<Form6>(), nullptr);
    }

    void physicsCloseBoxKeepsSwitchesButNotTexts()
    {
        ProgramUnderTest program;
        applyFactorySettings(program.settings);
        program.settings.sv_aim = "1";
        Form6* dialog = program.forms->show<Form6>();
        checkBox(dialog, "Check4")->click();
        textBox(dialog, "Text1")->setText("100");
        dialog->close();
        ServerSettings expected = factory();
        expected.sv_aim = "0";
        QCOMPARE(program.settings, expected);
    }

    void scoringCopiesEverythingOnOkOnly_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("afterOk");
        QTest::newRow("1") << "1" << true << "1";
        QTest::newRow("0") << "0" << false << "0";
        QTest::newRow("empty") << "" << false << "0";
        QTest::newRow("2") << "2" << false << "0";
    }

    void scoringCopiesEverythingOnOkOnly()
    {
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        QFETCH(QString, afterOk);
        ProgramUnderTest program;
        for (QString* field :
            {&program.settings.tfc_autoteam, &program.settings.tfc_balance_teams, &program.settings.tfc_balance_scores,
                &program.settings.tfc_fragscoring, &program.settings.mp_forcerespawn})
            *field = stored;
        program.settings.tfc_respawndelay = "10";
        Form7* dialog = program.forms->show<Form7>();
        for (const char* name : {"Check1", "Check2", "Check3", "Check4", "Check5"})
            QCOMPARE(checkBox(dialog, name)->isChecked(), checked);
        QCOMPARE(textBox(dialog, "Text1")->text(), "10");

        checkBox(dialog, "Check2")->click();
        QCOMPARE(program.settings.tfc_balance_teams, stored);
        textBox(dialog, "Text1")->clear();
        click(dialog, "Command1");
        QCOMPARE(program.settings.tfc_autoteam, afterOk);
        QCOMPARE(program.settings.tfc_balance_teams, checked ? "0" : "1");
        QCOMPARE(program.settings.mp_forcerespawn, afterOk);
        QCOMPARE(program.settings.tfc_respawndelay, "");
    }

    void scoringCloseBoxKeepsTheRecord()
    {
        ProgramUnderTest program;
        applyFactorySettings(program.settings);
        Form7* dialog = program.forms->show<Form7>();
        checkBox(dialog, "Check1")->click();
        textBox(dialog, "Text1")->setText("5");
        dialog->close();
        QCOMPARE(program.settings, factory());
    }

    void cheatsNeverShowTheRecord()
    {
        ProgramUnderTest program;
        applyFactorySettings(program.settings);
        program.settings.sv_cheats = "1";
        program.settings.sv_clipmode = "1";
        Form5* dialog = program.forms->show<Form5>();
        QVERIFY(!checkBox(dialog, "Check1")->isChecked());
        QVERIFY(!checkBox(dialog, "Check2")->isChecked());
        QCOMPARE(checkBox(dialog, "Check1")->text(), "Allow Cheat Codes");
        dialog->close();
        QCOMPARE(program.settings.sv_cheats, "1");

        dialog = program.forms->show<Form5>();
        checkBox(dialog, "Check2")->click();
        click(dialog, "Command1");
        QCOMPARE(program.settings.sv_cheats, "0");
        QCOMPARE(program.settings.sv_clipmode, "1");

        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        dialog = program.forms->show<Form5>();
        QVERIFY(!checkBox(dialog, "Check2")->isChecked());
        click(dialog, "Command1");
        QCOMPARE(program.settings.sv_clipmode, "0");
    }

    void aboutShowsTheSettingsFileVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::newRow("0.3") << "0.3";
        QTest::newRow("empty") << "";
        QTest::newRow("as it stands") << "<b>0.3</b>";
    }

    void aboutShowsTheSettingsFileVersion()
    {
        QFETCH(QString, version);
        ProgramUnderTest program;
        program.settings.file_version = version;
        const ServerSettings before = program.settings;
        Form8* dialog = program.forms->show<Form8>();
        QCOMPARE(child<QLabel>(dialog, "Label1")->text(), "Quillmont - Version: " + version);
        QCOMPARE(child<QLabel>(dialog, "Label1")->textFormat(), Qt::PlainText);
        click(dialog, "Command1");
        QCOMPARE(program.forms->loaded<Form8>(), nullptr);
        QCOMPARE(program.settings, before);
    }

    void writeConfigTakesWhatEachDialogConfirmed()
    {
        ProgramUnderTest program;
        Form1* main = program.start();
        Form6* physics = program.forms->show<Form6>();
        textBox(physics, "Text1")->setText("600");
        checkBox(physics, "Check3")->click();
        click(physics, "Command1");
        Form7* scoring = program.forms->show<Form7>();
        checkBox(scoring, "Check4")->click();
        textBox(scoring, "Text1")->setText("2.5");
        click(scoring, "Command1");
        Form5* cheats = program.forms->show<Form5>();
        checkBox(cheats, "Check1")->click();
        click(cheats, "Command1");
        Form6* pending = program.forms->show<Form6>();
        textBox(pending, "Text5")->setText("1000"); // not confirmed: stays out of the file

        click(main, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Configuration saved to server.cfg");
        const QList<QByteArray> lines = readBytes(program.path("tfc/server.cfg")).split('\n');
        QCOMPARE(lines[16], "sv_cheats 1\r");
        QCOMPARE(lines[17], "sv_clipmode 0\r");
        QCOMPARE(lines[20], "sv_gravity 600\r");
        QCOMPARE(lines[22], "sv_maxspeed 500\r");
        QCOMPARE(lines[26], "mp_footsteps 0\r");
        QCOMPARE(lines[47], "tfc_fragscoring 1\r");
        QCOMPARE(lines[49], "tfc_respawndelay 2.5\r");
    }
};

QUILLMONT_UI_TEST_MAIN(OptionDialogsTest)
#include "tst_optiondialogs.moc"
