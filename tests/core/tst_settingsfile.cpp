#include "TestFiles.h"
#include "formats/SettingsFile.h"
#include "settings/FactorySettings.h"
#include "settings/ServerSettings.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A full-layout file with a different value on every line: "line N", and the number N on the six
// team damage lines.
QByteArray numberedLines()
{
    QByteArray contents;
    for (int line = 1; line <= 52; ++line)
        contents += (line >= 30 && line <= 35 ? QByteArray::number(line) : "line " + QByteArray::number(line)) + "\r\n";
    return contents;
}

QByteArray withLine(QByteArray contents, int line, const QByteArray& text)
{
    QList<QByteArray> lines = contents.split('\n');
    lines[line - 1] = text + '\r';
    return lines.join('\n');
}

} // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const char* name = "default.tfc") const { return dir.filePath(QLatin1StringView(name)); }

    ServerSettings read(const QByteArray& contents)
    {
        writeBytes(path("read.tfc"), contents);
        ServerSettings settings;
        const std::optional<Failure> failure = readFullLayout(path("read.tfc"), settings);
        if (failure)
            qWarning() << failure->message;
        return settings;
    }

private Q_SLOTS:
    void factorySettingsWrittenInFull()
    {
        ServerSettings settings;
        settings.file_version = "0.1";
        applyFactorySettings(settings);
        QCOMPARE(settings.file_version, "0.1");
        QCOMPARE(writeFullLayout(path(), settings), std::nullopt);
        QCOMPARE(readBytes(path()), factoryFullLayout());
    }

    // Every field is read from its own line and written back to it; line 2 is always written "0.3"
    // and the team damage lines in number form.
    void everyFieldOnItsOwnLine()
    {
        const ServerSettings settings = read(numberedLines());
        QCOMPARE(settings.file_version, "line 2");
        QCOMPARE(settings.hostname, "line 4");
        QCOMPARE(settings.start_map, "line 9");
        QCOMPARE(settings.team_damage_choice, (std::array<qint16, 6>{30, 31, 32, 33, 34, 35}));
        QCOMPARE(settings.tfc_respawndelay, "line 52");

        QCOMPARE(writeFullLayout(path(), settings), std::nullopt);
        QByteArray expected = numberedLines();
        expected.replace("line 2\r\n", "0.3\r\n");
        for (int header : {1, 3, 16, 19, 28, 36, 46})
            expected = withLine(expected, header, factoryFullLayout().split('\n')[header - 1].chopped(1));
        for (int choice = 30; choice <= 35; ++choice)
            expected = withLine(expected, choice, " " + QByteArray::number(choice) + " ");
        QCOMPARE(readBytes(path()), expected);
    }

    void awkwardValuesComeBackAsWritten_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QString();
        QTest::newRow("leading and trailing blanks") << "  Team Fortress  ";
        QTest::newRow("comma") << "Fast, fair, friendly";
        QTest::newRow("leading double quote") << "\"Quoted\" server";
        QTest::newRow("double quote inside") << "The \"best\" server";
        QTest::newRow("non-ASCII") << "Zürich Café – 東京";
        QTest::newRow("very long") << QString(5000, 'x');
    }

    void awkwardValuesComeBackAsWritten()
    {
        QFETCH(QString, value);
        ServerSettings written;
        applyFactorySettings(written);
        written.hostname = written.sv_password = written.tfc_respawndelay = value;
        QCOMPARE(writeFullLayout(path(), written), std::nullopt);
        written.file_version = "0.3";
        QCOMPARE(read(readBytes(path())), written);
    }

    void handEditedFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QByteArray full = factoryFullLayout();
        QTest::newRow("LF") << QByteArray(full).replace("\r\n", "\n");
        QTest::newRow("CR") << QByteArray(full).replace("\r\n", "\r");
        QTest::newRow("no ending on the last line") << full.chopped(2);
        QTest::newRow("lines after the 52nd") << full + "line 53\r\nline 60\r\n";
        QTest::newRow("other headers") << withLine(withLine(full, 1, ""), 46, "anything");
    }

    void handEditedFiles()
    {
        QFETCH(QByteArray, contents);
        ServerSettings expected;
        applyFactorySettings(expected);
        expected.file_version = "0.3";
        QCOMPARE(read(contents), expected);
    }

    void teamDamageLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("choice");
        QTest::newRow("number form") << QByteArray(" 2 ") << 2;
        QTest::newRow("blanks around a sign") << QByteArray(" -1 ") << -1;
        QTest::newRow("plus and tab") << QByteArray("\t+3") << 3;
        QTest::newRow("smallest") << QByteArray("-32768") << -32768;
        QTest::newRow("not a number") << QByteArray("x") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("too large") << QByteArray("70000") << 0;
        QTest::newRow("beyond 64 bits") << QByteArray("99999999999999999999") << 0;
        QTest::newRow("decimal point") << QByteArray("1.0") << 0;
        QTest::newRow("blank after the sign") << QByteArray("- 1") << 0;
    }

    void teamDamageLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, choice);
        const ServerSettings settings = read(withLine(factoryFullLayout(), 32, line));
        QCOMPARE(settings.team_damage_choice, (std::array<qint16, 6>{1, 1, qint16(choice), 3, 1, 1}));
    }

    void refusedReadsLeaveTheRecordAlone_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        const QByteArray full = factoryFullLayout();
        QTest::newRow("51 lines") << full.left(full.lastIndexOf("0.0\r\n")) << "it has only 51 lines";
        QTest::newRow("empty") << QByteArray() << "it has only 0 lines";
        QTest::newRow("larger than 1 MiB") << full + QByteArray(1024 * 1024, 'x') << "larger than 1 MiB";
    }

    void refusedReadsLeaveTheRecordAlone()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        writeBytes(path(), contents);
        const ServerSettings before = read(numberedLines());
        ServerSettings settings = before;
        const std::optional<Failure> failure = readFullLayout(path(), settings);
        QVERIFY(failure);
        QVERIFY2(failure->message.contains(path()) && failure->message.contains(reason), qPrintable(failure->message));
        QCOMPARE(settings, before);
        QCOMPARE(readBytes(path()), contents);
    }

    void missingFile()
    {
        ServerSettings settings;
        const std::optional<Failure> failure = readFullLayout(path("none.tfc"), settings);
        QVERIFY(failure);
        QVERIFY2(failure->message.contains(path("none.tfc")) && failure->message.contains("No such file"),
            qPrintable(failure->message));
        QCOMPARE(settings, ServerSettings());
    }

    void lineBreaksInValuesAreRefused()
    {
        writeBytes(path(), "old contents\r\n");
        ServerSettings settings;
        for (const QString value : {"host\nsv_cheats 1", "host\r"}) {
            settings.mp_teamplay = value;
            for (const std::optional<Failure>& failure :
                {writeFullLayout(path(), settings), writeSaveAsLayout(path(), settings, {})}) {
                QVERIFY(failure);
                QVERIFY2(failure->message.contains("mp_teamplay"), qPrintable(failure->message));
            }
        }
        QCOMPARE(readBytes(path()), "old contents\r\n");
        QCOMPARE(filesIn(dir.path()).filter("default.tfc"), QStringList{"default.tfc"});
    }

    // Lines 8 to 11 are the main window's LAN, Pausable, Clan Battle and Clan PreMatch boxes.
    void saveAsLayout()
    {
        const ServerSettings settings = read(numberedLines());
        const MainWindowSwitches switches{
            .lanServer = false, .pausable = true, .clanBattle = false, .clanPreMatch = true};
        QCOMPARE(writeSaveAsLayout(path("Default.TFC"), settings, switches), std::nullopt);
        QCOMPARE(readBytes(path("Default.TFC")),
            crlfLines({"line 4", "line 5", "line 7", "line 21", "line 22", "line 10", "line 11", "0", "1", "0", "1",
                "line 17", "line 18", "line 20", "line 51", "line 23", "line 24", "line 25", "line 27", "line 29",
                "line 37", "line 38", "line 39", "line 40", "line 41", "line 42", "line 43", "line 44", "line 45"}));
    }

    // Random bytes in a random line structure: the reader takes a complete record or leaves the
    // old one, and never crashes.
    void randomFilesAreReadWholeOrNotAtAll()
    {
        const ServerSettings before = read(numberedLines());
        QRandomGenerator random(20261206);
        int accepted = 0;
        for (int round = 0; round < 1000; ++round) {
            QByteArray contents;
            for (int line = int(random.bounded(30, 80)); line > 0; --line) {
                QByteArray text(int(random.bounded(random.bounded(2) ? 8 : 300)), Qt::Uninitialized);
                for (char& byte : text)
                    byte = char(random.bounded(256));
                static const QByteArray endings[] = {"\r\n", "\n", "\r", "\r\n", "\n", ""};
                contents += text.replace('\r', ' ').replace('\n', ' ') + endings[random.bounded(6)];
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
            QVERIFY(!written.contains("line "));
            for (int choice = 30; choice <= 35; ++choice)
                QVERIFY(!written.contains(" " + QByteArray::number(choice) + " \r\n"));
        }
        QVERIFY2(accepted > 100 && accepted < 900, "random files should be both long enough and too short");
    }
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
