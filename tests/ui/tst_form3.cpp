#include "ProgramUnderTest.h"
#include "settings/FactorySettings.h"
#include "ui/Form1.h"
#include "ui/Form3.h"
#include "ui/LookAndFeel.h"

#include <QApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QTest>

using Choices = std::array<qint16, 6>;
Q_DECLARE_METATYPE(Choices)

namespace {

// The selected option of each frame, or "-" for none.
QStringList selection(const QWidget* dialog)
{
    QStringList selected;
    for (int frame = 1; frame <= 6; ++frame) {
        const auto options
            = child<QGroupBox>(dialog, qPrintable(QString("Frame%1").arg(frame)))->findChildren<QRadioButton*>();
        QString checked = "-";
        for (const QRadioButton* option : options) {
            if (option->isChecked())
                checked = option->objectName();
        }
        selected << checked;
    }
    return selected;
}

void select(const QWidget* dialog, const QStringList& options)
{
    for (const QString& option : options)
        QTest::mouseClick(child<QRadioButton>(dialog, qPrintable(option)), Qt::LeftButton);
}

} // namespace

class Form3Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowLeft(); }

    void loadShowsTheRecordedChoices()
    {
        ProgramUnderTest program;
        program.settings.team_damage_choice = {2, 3, 1, 0, 7, -1};
        program.settings.mp_teamplay = "97";
        Form3* dialog = program.forms->show<Form3>();
        QCOMPARE(selection(dialog), (QStringList{"Option2", "Option6", "Option7", "-", "-", "-"}));
    }

    void ok_data()
    {
        QTest::addColumn<Choices>("before");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<Choices>("after");
        QTest::addColumn<QString>("teamplay");
        const Choices none{0, 0, 0, 0, 0, 0};
        QTest::newRow("factory choices") << none
                                         << QStringList{"Option1", "Option4", "Option9", "Option12", "Option13",
                                                "Option16"}
                                         << Choices{1, 1, 3, 3, 1, 1} << "21";
        QTest::newRow("full damage, no mirror")
            << none << QStringList{"Option3", "Option6", "Option9", "Option12", "Option13", "Option16"}
            << Choices{3, 3, 3, 3, 1, 1} << "1";
        QTest::newRow("half everywhere") << none
                                         << QStringList{"Option2", "Option5", "Option8", "Option11", "Option14",
                                                "Option17"}
                                         << Choices{2, 2, 2, 2, 2, 2} << "10891";
        QTest::newRow("largest") << none
                                 << QStringList{"Option1", "Option4", "Option7", "Option10", "Option15", "Option18"}
                                 << Choices{1, 1, 1, 1, 3, 3} << "21781";
        QTest::newRow("nothing selected") << none << QStringList{} << none << "1";
        QTest::newRow("choices outside 1 to 3 are kept")
            << Choices{7, -1, 3, 3, 1, 1} << QStringList{} << Choices{7, -1, 3, 3, 1, 1} << "1";
        QTest::newRow("changed from the loaded choices")
            << Choices{1, 1, 3, 3, 1, 1} << QStringList{"Option2", "Option18"} << Choices{2, 1, 3, 3, 1, 3} << "16403";
    }

    void ok()
    {
        QFETCH(Choices, before);
        QFETCH(QStringList, clicks);
        QFETCH(Choices, after);
        QFETCH(QString, teamplay);
        ProgramUnderTest program;
        program.settings.team_damage_choice = before;
        program.settings.mp_teamplay = "97";
        Form3* dialog = program.forms->show<Form3>();
        select(dialog, clicks);

        click(dialog, "Command1");
        QCOMPARE(program.settings.team_damage_choice, after);
        QCOMPARE(program.settings.mp_teamplay, teamplay);
        QCOMPARE(program.forms->loaded<Form3>(), nullptr);
    }

    void cancelAndCloseBoxChangeNothing_data() { addWaysToLeaveWithoutOk(); }

    void cancelAndCloseBoxChangeNothing()
    {
        ProgramUnderTest program;
        applyFactorySettings(program.settings);
        const ServerSettings before = program.settings;
        Form3* dialog = program.forms->show<Form3>();
        select(dialog, {"Option2", "Option6", "Option18"});
        pressEnterAndEscape(dialog);
        QVERIFY(dialog->isVisible());
        leaveWithoutOk(dialog, "Command2");
        QCOMPARE(program.settings, before);
        QCOMPARE(program.forms->loaded<Form3>(), nullptr);
    }

    void openingAgainKeepsPendingChoicesUntilClosed()
    {
        ProgramUnderTest program;
        program.settings.team_damage_choice = {1, 1, 3, 3, 1, 1};
        Form3* dialog = program.forms->show<Form3>();
        select(dialog, {"Option3"});
        QCOMPARE(program.forms->show<Form3>(), dialog);
        QCOMPARE(selection(dialog)[0], "Option3");

        click(dialog, "Command1");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Form3* reopened = program.forms->show<Form3>();
        QCOMPARE(
            selection(reopened), (QStringList{"Option3", "Option4", "Option9", "Option12", "Option13", "Option16"}));
    }

    void writeConfigTakesTheNewTeamplay()
    {
        ProgramUnderTest program;
        Form1* main = program.start();
        Form3* dialog = program.forms->show<Form3>();
        select(dialog, {"Option2", "Option15"});
        click(dialog, "Command1");
        click(main, "Command1");
        QCOMPARE(program.takeOnlyMessage(), "Configuration saved to server.cfg");
        QCOMPARE(readBytes(program.path("tfc/server.cfg")).split('\n')[30], "mp_teamplay 4115\r");
    }
};

QUILLMONT_UI_TEST_MAIN(Form3Test)
#include "tst_form3.moc"
