#include "TestFiles.h"
#include "formats/SettingsFile.h"
#include "settings/FactorySettings.h"
#include "settings/ServerSettings.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(MainWindowSwitches)

class SettingsFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const char* name = "default.tfc") const { return dir.filePath(QLatin1StringView(name)); }

    static ServerSettings factory()
    {
        ServerSettings settings;
        applyFactorySettings(settings);
        return settings;
    }

    // A record with a different value in every field, so a field read from the wrong line shows.
    static ServerSettings distinct()
    {
        ServerSettings settings;
        settings.hostname = QStringLiteral("host");
        settings.rcon_password = QStringLiteral("rcon");
        settings.sv_password = QStringLiteral("pass");
        settings.mp_timelimit = QStringLiteral("45");
        settings.maxplayers = QStringLiteral("16");
        settings.start_map = QStringLiteral("well");
        settings.sv_minrate = QStringLiteral("1000");
        settings.sv_maxrate = QStringLiteral("20000");
        settings.sv_lan = QStringLiteral("1");
        settings.pausable = QStringLiteral("2");
        settings.tfc_clanbattle = QStringLiteral("3");
        settings.tfc_clanbattle_prematch = QStringLiteral("4");
        settings.sv_cheats = QStringLiteral("5");
        settings.sv_clipmode = QStringLiteral("6");
        settings.sv_gravity = QStringLiteral("700");
        settings.sv_clienttrace = QStringLiteral("2.5");
        settings.sv_maxspeed = QStringLiteral("400");
        settings.decalfrequency = QStringLiteral("31");
        settings.mp_decals = QStringLiteral("301");
        settings.mp_falldamage = QStringLiteral("7");
        settings.mp_footsteps = QStringLiteral("8");
        settings.sv_aim = QStringLiteral("9");
        settings.mp_teamplay = QStringLiteral("2731");
        settings.cr_scout = QStringLiteral("-1");
        settings.cr_sniper = QStringLiteral("1");
        settings.cr_soldier = QStringLiteral("2");
        settings.cr_demoman = QStringLiteral("3");
        settings.cr_medic = QStringLiteral("4");
        settings.cr_hwguy = QStringLiteral("5");
        settings.cr_pyro = QStringLiteral("6");
        settings.cr_spy = QStringLiteral("7");
        settings.cr_engineer = QStringLiteral("8");
        settings.tfc_autoteam = QStringLiteral("a");
        settings.tfc_balance_teams = QStringLiteral("b");
        settings.tfc_balance_scores = QStringLiteral("c");
        settings.tfc_fragscoring = QStringLiteral("d");
        settings.mp_forcerespawn = QStringLiteral("e");
        settings.tfc_respawndelay = QStringLiteral("f");
        settings.file_version = QStringLiteral("0.3");
        settings.team_damage_choice = {2, -1, 3, 0, 32767, -32768};
        return settings;
    }

private Q_SLOTS:
    void factorySettingsWrittenInFull()
    {
        ServerSettings settings = factory();
        settings.file_version = QStringLiteral("0.1");
        QCOMPARE(writeFullLayout(path(), settings), std::nullopt);
        QCOMPARE(readBytes(path()), factoryFullLayout());
    }

    void factorySettingsLeaveVersionAlone()
    {
        ServerSettings settings;
        settings.file_version = QStringLiteral("0.2");
        applyFactorySettings(settings);
        QCOMPARE(settings.file_version, QStringLiteral("0.2"));
    }

    void everyFieldComesBackFromItsOwnLine()
    {
        const ServerSettings written = distinct();
        QCOMPARE(writeFullLayout(path(), written), std::nullopt);
        ServerSettings read;
        QCOMPARE(readFullLayout(path(), read), std::nullopt);
        QCOMPARE(read, written);
    }

    void awkwardValuesComeBackAsWritten_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QString();
        QTest::newRow("leading and trailing blanks") << QStringLiteral("  Team Fortress  ");
        QTest::newRow("comma") << QStringLiteral("Fast, fair, friendly");
        QTest::newRow("leading double quote") << QStringLiteral("\"Quoted\" server");
        QTest::newRow("double quote inside") << QStringLiteral("The \"best\" server");
        QTest::newRow("tab") << QStringLiteral("a\tb");
        QTest::newRow("non-ASCII") << QStringLiteral("Zürich Café – 東京");
        QTest::newRow("very long") << QString(5000, QLatin1Char('x'));
    }

    void awkwardValuesComeBackAsWritten()
    {
        QFETCH(QString, value);
        ServerSettings written = factory();
        written.hostname = value;
        written.sv_password = value;
        written.tfc_respawndelay = value;
        QCOMPARE(writeFullLayout(path(), written), std::nullopt);

        ServerSettings read;
        QCOMPARE(readFullLayout(path(), read), std::nullopt);
        QCOMPARE(read.hostname, value);
        QCOMPARE(read.sv_password, value);
        QCOMPARE(read.tfc_respawndelay, value);
        read.file_version.clear();
        QCOMPARE(read, written);
    }

    void lineEndingsOfHandEditedFiles_data()
    {
        QTest::addColumn<QByteArray>("ending");
        QTest::newRow("CR LF") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray("\r");
    }

    void lineEndingsOfHandEditedFiles()
    {
        QFETCH(QByteArray, ending);
        QByteArray contents = factoryFullLayout();
        contents.replace("\r\n", ending);
        writeBytes(path(), contents);

        ServerSettings read;
        QCOMPARE(readFullLayout(path(), read), std::nullopt);
        ServerSettings expected = factory();
        expected.file_version = QStringLiteral("0.3");
        QCOMPARE(read, expected);
    }

    void lastLineWithoutEnding()
    {
        QByteArray contents = factoryFullLayout();
        contents.chop(2);
        contents.replace("0.0", "12.5");
        writeBytes(path(), contents);
        ServerSettings read;
        QCOMPARE(readFullLayout(path(), read), std::nullopt);
        QCOMPARE(read.tfc_respawndelay, QStringLiteral("12.5"));
    }

    void headersAreNotChecked()
    {
        QList<QByteArray> lines = factoryFullLayout().split('\n');
        for (int header : {0, 2, 15, 18, 27, 35, 45})
            lines[header] = "anything at all\r";
        lines[1] = "0.2\r";
        writeBytes(path(), lines.join('\n'));

        ServerSettings read;
        QCOMPARE(readFullLayout(path(), read), std::nullopt);
        QCOMPARE(read.file_version, QStringLiteral("0.2"));
        QCOMPARE(read.hostname, QStringLiteral("Team Fortress Classic"));
        QCOMPARE(read.tfc_respawndelay, QStringLiteral("0.0"));
    }

    void linesAfterTheLastAreIgnored()
    {
        QByteArray contents = factoryFullLayout();
        for (int i = 53; i <= 60; ++i)
            contents += "extra line " + QByteArray::number(i) + "\r\n";
        writeBytes(path(), contents);
        ServerSettings read;
        QCOMPARE(readFullLayout(path(), read), std::nullopt);
        QCOMPARE(read.tfc_respawndelay, QStringLiteral("0.0"));
    }

    void teamDamageLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("choice");
        QTest::newRow("number form") << QByteArray(" 2 ") << 2;
        QTest::newRow("negative number form") << QByteArray("-1 ") << -1;
        QTest::newRow("blanks around") << QByteArray(" -1 ") << -1;
        QTest::newRow("bare digits") << QByteArray("3") << 3;
        QTest::newRow("plus sign") << QByteArray("+3") << 3;
        QTest::newRow("tab") << QByteArray("\t1\t") << 1;
        QTest::newRow("largest") << QByteArray("32767") << 32767;
        QTest::newRow("smallest") << QByteArray("-32768") << -32768;
        QTest::newRow("not a number") << QByteArray("x") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("too large") << QByteArray("70000") << 0;
        QTest::newRow("too small") << QByteArray("-32769") << 0;
        QTest::newRow("digits beyond 64 bits") << QByteArray("99999999999999999999999") << 0;
        QTest::newRow("decimal point") << QByteArray("1.0") << 0;
        QTest::newRow("trailing word") << QByteArray("1 x") << 0;
        QTest::newRow("sign alone") << QByteArray("-") << 0;
        QTest::newRow("inner blank") << QByteArray("- 1") << 0;
    }

    void teamDamageLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, choice);
        QList<QByteArray> lines = factoryFullLayout().split('\n');
        lines[31] = line + '\r';
        writeBytes(path(), lines.join('\n'));

        ServerSettings read;
        QCOMPARE(readFullLayout(path(), read), std::nullopt);
        QCOMPARE(read.team_damage_choice, (std::array<qint16, 6>{1, 1, qint16(choice), 3, 1, 1}));
    }

    void refusedReadsLeaveTheRecordAlone_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        const QByteArray full = factoryFullLayout();
        QTest::newRow("51 lines") << full.left(full.lastIndexOf("0.0\r\n")) << QStringLiteral("it has only 51 lines");
        QTest::newRow("one line") << QByteArray("--- Quillmont Configuration File Version:\r\n")
                                  << QStringLiteral("it has only 1 lines");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("it has only 0 lines");
        QTest::newRow("larger than 1 MiB") << (full + QByteArray(1024 * 1024, 'x'))
                                           << QStringLiteral("larger than 1 MiB");
    }

    void refusedReadsLeaveTheRecordAlone()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        writeBytes(path(), contents);

        ServerSettings settings = distinct();
        const std::optional<Failure> failure = readFullLayout(path(), settings);
        QVERIFY(failure);
        QVERIFY2(failure->message.contains(path()), qPrintable(failure->message));
        QVERIFY2(failure->message.contains(reason), qPrintable(failure->message));
        QCOMPARE(settings, distinct());
        QCOMPARE(readBytes(path()), contents);
    }

    void missingAndUnreadableFiles()
    {
        ServerSettings settings = distinct();
        const std::optional<Failure> missing = readFullLayout(path("none.tfc"), settings);
        QVERIFY(missing);
        QVERIFY2(missing->message.contains(QStringLiteral("none.tfc")), qPrintable(missing->message));
        QVERIFY2(missing->message.contains(QStringLiteral("No such file")), qPrintable(missing->message));

        const std::optional<Failure> folder = readFullLayout(dir.path(), settings);
        QVERIFY(folder);
        QCOMPARE(settings, distinct());
    }

    void lineBreaksInValuesAreRefused_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("LF") << QStringLiteral("host\nsv_cheats 1");
        QTest::newRow("CR") << QStringLiteral("host\r");
        QTest::newRow("CR LF") << QStringLiteral("\r\nhost");
    }

    void lineBreaksInValuesAreRefused()
    {
        QFETCH(QString, value);
        writeBytes(path(), "old contents\r\n");
        ServerSettings settings = factory();
        settings.mp_teamplay = value;

        const std::optional<Failure> full = writeFullLayout(path(), settings);
        QVERIFY(full);
        QVERIFY2(full->message.contains(QStringLiteral("mp_teamplay")), qPrintable(full->message));
        QCOMPARE(readBytes(path()), QByteArray("old contents\r\n"));

        const std::optional<Failure> saveAs = writeSaveAsLayout(path(), settings, {});
        QVERIFY(saveAs);
        QVERIFY2(saveAs->message.contains(QStringLiteral("mp_teamplay")), qPrintable(saveAs->message));
        QCOMPARE(readBytes(path()), QByteArray("old contents\r\n"));
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("default.tfc")});
    }

    void saveAsLayout_data()
    {
        QTest::addColumn<MainWindowSwitches>("switches");
        QTest::addColumn<QStringList>("switchLines");
        QTest::newRow("none ticked") << MainWindowSwitches{} << QStringList{"0", "0", "0", "0"};
        QTest::newRow("LAN") << MainWindowSwitches{.lanServer = true} << QStringList{"1", "0", "0", "0"};
        QTest::newRow("pausable") << MainWindowSwitches{.pausable = true} << QStringList{"0", "1", "0", "0"};
        QTest::newRow("clan battle") << MainWindowSwitches{.clanBattle = true} << QStringList{"0", "0", "1", "0"};
        QTest::newRow("clan prematch") << MainWindowSwitches{.clanPreMatch = true} << QStringList{"0", "0", "0", "1"};
    }

    void saveAsLayout()
    {
        QFETCH(MainWindowSwitches, switches);
        QFETCH(QStringList, switchLines);
        ServerSettings settings = distinct();
        settings.sv_lan = QStringLiteral("record says 1");
        QCOMPARE(writeSaveAsLayout(path("Default.TFC"), settings, switches), std::nullopt);

        const QStringList expected = QStringList{"host", "rcon", "45", "2.5", "400", "1000", "20000"} + switchLines
            + QStringList{"5", "6", "700", "e", "31", "301", "7", "9", "2731", "-1", "1", "2", "3", "4", "5", "6", "7", "8"};
        QCOMPARE(readBytes(path("Default.TFC")), crlfLines(expected));
    }

    // Random bytes in a random line structure: the reader either takes a complete record or
    // leaves the old one, and never crashes.
    void randomFilesAreReadWholeOrNotAtAll()
    {
        // A record whose every value is marked, so a value the reader failed to assign shows.
        QByteArray marked;
        for (int line = 1; line <= 52; ++line)
            marked += (line >= 30 && line <= 35 ? QByteArray("111") : "untouched " + QByteArray::number(line)) + "\r\n";
        writeBytes(path(), marked);
        ServerSettings before;
        QCOMPARE(readFullLayout(path(), before), std::nullopt);

        QRandomGenerator random(20261206);
        int accepted = 0;
        for (int round = 0; round < 1000; ++round) {
            QByteArray contents;
            const int lines = int(random.bounded(30, 80));
            for (int line = 0; line < lines; ++line) {
                QByteArray text(int(random.bounded(random.bounded(2) ? 8 : 300)), Qt::Uninitialized);
                for (char& byte : text)
                    byte = char(random.bounded(256));
                text.replace('\r', ' ').replace('\n', ' ');
                static const QByteArray endings[] = {"\r\n", "\n", "\r", "\r\n", "\n", ""};
                contents += text + endings[random.bounded(6)];
            }
            writeBytes(path(), contents);

            ServerSettings settings = before;
            if (readFullLayout(path(), settings)) {
                QCOMPARE(settings, before);
                continue;
            }
            ++accepted;
            QCOMPARE(writeFullLayout(path("check.tfc"), settings), std::nullopt);
            const QByteArray written = readBytes(path("check.tfc"));
            QVERIFY(!written.contains("untouched"));
            QVERIFY(settings.file_version != before.file_version);
            QVERIFY(!written.contains(" 111 "));
        }
        QVERIFY2(accepted > 100 && accepted < 900, "random files should be both long enough and too short");
    }
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
