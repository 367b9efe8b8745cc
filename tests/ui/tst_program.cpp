#include "ProgramUnderTest.h"
#include "ui/OneWindowPerFolder.h"
#include "ui/ServerFolder.h"

#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>

namespace {

// Quillmont itself, started as the operator starts it, with its remembered folder kept apart.
QProcess* startQuillmont(const QStringList& arguments, const QString& configFolder, QObject* parent)
{
    auto* quillmont = new QProcess(parent);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", configFolder);
    quillmont->setProcessEnvironment(environment);
    quillmont->start(QUILLMONT_PROGRAM, arguments);
    return quillmont;
}

} // namespace

// Quillmont as a program: its command line, the server folder it works in, one per folder.
class ProgramTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // No display is needed to be told how to start Quillmont or that the command line is wrong.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        // clang-format off
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: quillmont [options] [SERVER_FOLDER]\n";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "Quillmont 0.3\n";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'.\n";
        QTest::newRow("two folders") << QStringList{"/", "/tmp"} << 2 << "Quillmont works on one server folder at a time.\n";
        QTest::newRow("not a folder") << QStringList{"/no such folder"} << 2 << "/no such folder is not a folder.\n";
        // clang-format on
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QProcess quillmont;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.remove("DISPLAY");
        quillmont.setProcessEnvironment(environment);
        quillmont.start(QUILLMONT_PROGRAM, arguments);
        QVERIFY(quillmont.waitForFinished(10000));
        QCOMPARE(quillmont.exitCode(), exitCode);
        const QString printed
            = QString::fromLocal8Bit(exitCode ? quillmont.readAllStandardError() : quillmont.readAllStandardOutput());
        QVERIFY2(exitCode ? printed == output : printed.startsWith(output), qPrintable(printed));
    }

    // The argument, else the program's folder with tfc, else the one used last if it still has
    // tfc, else the operator's choice; a folder with tfc is remembered.
    void serverFolder_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("programFolderHoldsTfc");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("answer"); // none: not asked
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("rememberedAfter");
        // Server folders: "server" holds tfc, "other" does not, "gone" did; "program" is Quillmont's.
        // clang-format off
        QTest::newRow("argument") << "server" << true << "" << "" << "server" << "server";
        QTest::newRow("argument without tfc") << "other" << true << "" << "" << "other" << "";
        QTest::newRow("program folder") << "" << true << "server" << "" << "program" << "server";
        QTest::newRow("used last") << "" << false << "server" << "" << "server" << "server";
        QTest::newRow("used last, gone") << "" << false << "gone" << "server" << "server" << "server";
        QTest::newRow("chosen") << "" << false << "" << "server" << "server" << "server";
        QTest::newRow("none chosen") << "" << false << "" << "cancel" << "program" << "";
        // clang-format on
    }

    void serverFolder()
    {
        QFETCH(QString, argument);
        QFETCH(bool, programFolderHoldsTfc);
        QFETCH(QString, remembered);
        QFETCH(QString, answer);
        QFETCH(QString, chosen);
        QFETCH(QString, rememberedAfter);
        QTemporaryDir folders;
        const auto path = [&folders](const QString& name) { return name.isEmpty() ? name : folders.filePath(name); };
        for (const char* folder : {"server/tfc", "other", "program"})
            QDir().mkpath(path(folder));
        if (programFolderHoldsTfc)
            QDir().mkpath(path("program/tfc"));
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Quillmont", "Quillmont");
        settings.clear();
        settings.setValue("lastServerFolder", path(remembered));
        settings.sync();
        QString asked = "none";
        answerFolderQuestionsForTests([&] {
            asked = answer;
            return answer == "cancel" ? QString() : path(answer);
        });
        QCOMPARE(chooseServerFolder(path(argument), path("program")), path(chosen));
        answerFolderQuestionsForTests({});
        QCOMPARE(asked, answer.isEmpty() ? "none" : answer);
        settings.sync();
        QCOMPARE(settings.value("lastServerFolder").toString(),
            path(rememberedAfter.isEmpty() ? remembered : rememberedAfter));
    }

    // A second start brings the first one's window forward; a start for another folder runs.
    void oneWindowPerFolder()
    {
        ProgramUnderTest program;
        OneWindowPerFolder first(program.folder);
        QSignalSpy wanted(&first, &OneWindowPerFolder::windowWanted);
        QCOMPARE(first.claim(), OneWindowPerFolder::Claim::Granted);
        QCOMPARE(OneWindowPerFolder(program.folder).claim(), OneWindowPerFolder::Claim::BroughtForward);
        QTRY_COMPARE(wanted.count(), 1);
        QCOMPARE(OneWindowPerFolder(program.dir.path()).claim(), OneWindowPerFolder::Claim::Granted);
        QCOMPARE(program.messages, QStringList());
    }

    // Another user's Quillmont cannot be reached, only its lock seen: this start stops and says why.
    void folderInUse()
    {
        ProgramUnderTest program;
        QLockFile otherUsers(program.path(".quillmont.lock"));
        QVERIFY(otherUsers.tryLock());
        QCOMPARE(OneWindowPerFolder(program.folder).claim(), OneWindowPerFolder::Claim::InUse);
        QCOMPARE(program.messages,
            QStringList{
                QString("Warning: The server folder %1 is in use by another Quillmont (process %2 on %3). Close "
                        "that one first, or start Quillmont for another server folder.")
                    .arg(program.folder)
                    .arg(QCoreApplication::applicationPid())
                    .arg(QSysInfo::machineHostName())});
    }

    // Between programs: the second start ends at once; a crash leaves nothing that stops the next.
    void secondStartsAndCrashes()
    {
        ProgramUnderTest program;
        QProcess* first = startQuillmont({program.folder}, dir.path(), this);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(program.path(".quillmont.lock")), 10000);
        QProcess* second = startQuillmont({program.folder}, dir.path(), this);
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
        first->kill();
        QVERIFY(first->waitForFinished());
        QProcess* afterCrash = startQuillmont({program.folder}, dir.path(), this);
        QVERIFY(!afterCrash->waitForFinished(1500));
        QProcess* third = startQuillmont({program.folder}, dir.path(), this);
        QVERIFY(third->waitForFinished(10000));
        QCOMPARE(third->exitCode(), 0);
        afterCrash->kill();
        afterCrash->waitForFinished();
    }
};

QUILLMONT_UI_TEST_MAIN(ProgramTest)
#include "tst_program.moc"
