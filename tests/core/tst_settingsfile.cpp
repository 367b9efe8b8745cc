#include "TestFiles.h"
#include "formats/SettingsFile.h"
#include "settings/FactorySettings.h"
#include "settings/ServerSettings.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(TextField)

namespace {

// The longest server name that leaves the factory default.tfc at exactly 1 MiB.
const qsizetype largestValue = 1024 * 1024 - factoryFullLayout().size() + qsizetype(strlen("Team Fortress Classic"));

// The lines that hold a text value: all but the headers, the version and the team damage numbers.
const QList<int> valueLines = [] {
    QList<int> lines;
    for (int line = 4; line <= 52; ++line) {
        if (!QList<int>{16, 19, 28, 30, 31, 32, 33, 34, 35, 36, 46}.contains(line))
            lines.append(line);
    }
    return lines;
}();

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

    ServerSettings read(const QByteArray& contents, TextEncoding* encoding = nullptr)
    {
        writeBytes(path("read.tfc"), contents);
        ServerSettings settings;
        TextEncoding detected = TextEncoding::SystemCodePage;
        const std::optional<Failure> failure = readFullLayout(path("read.tfc"), settings, detected);
        if (failure)
            qWarning() << failure->message;
        if (encoding)
            *encoding = detected;
        return settings;
    }

private Q_SLOTS:
    void factorySettingsWrittenInFull()
    {
        ServerSettings settings;
        settings.file_version = "0.1";
        applyFactorySettings(settings);
        QCOMPARE(settings.file_version, "0.1");
        QCOMPARE(writeFullLayout(path(), settings, TextEncoding::Utf8), std::nullopt);
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

        QCOMPARE(writeFullLayout(path(), settings, TextEncoding::Utf8), std::nullopt);
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
        QCOMPARE(writeFullLayout(path(), written, TextEncoding::Utf8), std::nullopt);
        written.file_version = "0.3";
        QCOMPARE(read(readBytes(path())), written);
    }

    // A file from another system comes back byte for byte, whatever its character set: each value
    // line holds the pattern, and the lines the writer rewrites already hold what it writes.
    void bytesComeBackUnchanged_data()
    {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QString>("shown");
        QByteArray c1;
        for (int byte = 0x80; byte <= 0x9f; ++byte)
            c1 += char(byte);
        QByteArray latin1;
        for (int byte = 0xa0; byte <= 0xff; ++byte)
            latin1 += char(byte);
        QTest::newRow("Windows-1252 E9") << QByteArray("Caf\xe9") << "Café";
        QTest::newRow("Windows-1252 80 to 9F") << c1 << QString(QStringDecoder("windows-1252").decode(c1));
        QTest::newRow("Windows-1252 A0 to FF") << latin1 << QString::fromLatin1(latin1);
        QTest::newRow("UTF-8 and a lone E9") << QByteArray("Caf\xc3\xa9 \xe9") << "CafÃ© é";
        QTest::newRow("UTF-8 C3 A9") << QByteArray("Caf\xc3\xa9") << "Café";
        QTest::newRow("UTF-8 four bytes") << QByteArray("\xf0\x9f\x8e\xae") << QString::fromUcs4(U"\U0001F3AE");
        QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbfServer") << QStringView(u"\uFEFFServer").toString();
        QTest::newRow("two byte-order marks")
            << QByteArray("\xef\xbb\xbf\xef\xbb\xbf") << QStringView(u"\uFEFF\uFEFF").toString();
        QTest::newRow("NUL") << QByteArray("a\0b", 3) << QStringView(u"a\0b", 3).toString();
        QTest::newRow("TAB") << QByteArray("\ta\t") << "\ta\t";
    }

    void bytesComeBackUnchanged()
    {
        QFETCH(QByteArray, pattern);
        QFETCH(QString, shown);
        QList<QByteArray> lines = factoryFullLayout().split('\n');
        for (int line : valueLines)
            lines[line - 1] = pattern + '\r';
        const QByteArray file = lines.join('\n');

        TextEncoding encoding{};
        const ServerSettings settings = read(file, &encoding);
        QCOMPARE(settings.hostname, shown);
        QCOMPARE(settings.tfc_respawndelay, shown);
        QCOMPARE(writeFullLayout(path(), settings, encoding), std::nullopt);
        QCOMPARE(readBytes(path()), file);
    }

    // The very last byte decides the file's character set too.
    void loneE9AtTheEndOfTheFile()
    {
        TextEncoding encoding{};
        const ServerSettings settings = read(factoryFullLayout().chopped(2) + "\xe9", &encoding);
        QCOMPARE(settings.tfc_respawndelay, "0.0é");
        QCOMPARE(writeFullLayout(path(), settings, encoding), std::nullopt);
        QCOMPARE(readBytes(path()), factoryFullLayout().chopped(2) + "\xe9\r\n");
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
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        const QByteArray full = factoryFullLayout();
        QTest::newRow("51 lines") << "file" << full.left(full.lastIndexOf("0.0\r\n")) << "it has only 51 lines";
        QTest::newRow("empty") << "file" << QByteArray() << "it has only 0 lines";
        QTest::newRow("larger than 1 MiB") << "file" << full + QByteArray(1024 * 1024, 'x') << "larger than 1 MiB";
        QTest::newRow("missing") << "missing" << QByteArray() << "No such file or directory";
        QTest::newRow("folder") << "folder" << QByteArray() << "not a plain file";
        QTest::newRow("pipe") << "pipe" << QByteArray() << "not a plain file";
    }

    void refusedReadsLeaveTheRecordAlone()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        const QString refused = path("refused.tfc");
        if (kind == "file")
            writeBytes(refused, contents);
        else if (kind == "folder")
            QVERIFY(QDir().mkdir(refused));
        else if (kind == "pipe")
            QCOMPARE(mkfifo(QFile::encodeName(refused).constData(), 0600), 0);
        const ServerSettings before = read(numberedLines());
        ServerSettings settings = before;
        TextEncoding encoding = TextEncoding::Windows1252;
        const std::optional<Failure> failure = readFullLayout(refused, settings, encoding);
        QVERIFY(failure);
        QVERIFY2(failure->message.contains(refused) && failure->message.contains(reason), qPrintable(failure->message));
        QCOMPARE(settings, before);
        QCOMPARE(encoding, TextEncoding::Windows1252);
        if (kind == "file")
            QCOMPARE(readBytes(refused), contents);
        QFile::remove(refused);
        QDir().rmdir(refused);
    }

    // What the game server or the next start would not take back as it was is never written, and
    // the old file stays.
    void refusedWrites_data()
    {
        using S = ServerSettings;
        QTest::addColumn<TextField>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<bool>("saveAsToo");
        QTest::addColumn<QString>("refusal");
        const auto utf8 = TextEncoding::Utf8;
        QTest::newRow("line feed") << &S::mp_teamplay << "21\nsv_cheats 1" << utf8 << true
                                   << "mp_teamplay holds a line break";
        QTest::newRow("carriage return") << &S::hostname << "host\r" << utf8 << true
                                         << "Server Name (hostname) holds a line break";
        QTest::newRow("beyond Windows-1252") << &S::cr_spy << "東京" << TextEncoding::Windows1252 << true
                                             << "Spy (cr_spy) holds characters that Windows-1252 cannot hold";
        QTest::newRow("lone surrogate") << &S::sv_password << QString(QChar(0xd800)) << utf8 << false
                                        << "Server Password (sv_password) holds characters that UTF-8 cannot hold";
        QTest::newRow("one byte over 1 MiB")
            << &S::hostname << QString(largestValue + 1, 'x') << utf8 << false << "larger than 1 MiB";
    }

    void refusedWrites()
    {
        QFETCH(TextField, field);
        QFETCH(QString, value);
        QFETCH(TextEncoding, encoding);
        QFETCH(bool, saveAsToo);
        QFETCH(QString, refusal);
        ServerSettings settings;
        applyFactorySettings(settings);
        settings.*field = value;
        QTemporaryDir folder;
        const auto verifyRefused = [&](const QString& target, const std::optional<Failure>& failure) {
            QVERIFY(failure);
            QVERIFY2(
                failure->message.contains(target) && failure->message.contains(refusal), qPrintable(failure->message));
            QCOMPARE(readBytes(target), "old contents\r\n");
        };
        const QString full = folder.filePath("default.tfc");
        writeBytes(full, "old contents\r\n");
        verifyRefused(full, writeFullLayout(full, settings, encoding));
        if (saveAsToo) {
            const QString saveAs = folder.filePath("Saved.TFC");
            writeBytes(saveAs, "old contents\r\n");
            verifyRefused(saveAs, writeSaveAsLayout(saveAs, settings, {}, encoding));
        }
        QCOMPARE(filesIn(folder.path()).size(), saveAsToo ? 2 : 1);
    }

    // The largest file the reader takes is also the largest the writer writes.
    void largestSettingsFile()
    {
        ServerSettings settings;
        applyFactorySettings(settings);
        settings.hostname = QString(largestValue, 'x');
        QCOMPARE(writeFullLayout(path(), settings, TextEncoding::Utf8), std::nullopt);
        QCOMPARE(readBytes(path()).size(), 1024 * 1024);
        settings.file_version = "0.3";
        QCOMPARE(read(readBytes(path())), settings);
    }

    // Lines 8 to 11 are the main window's LAN, Pausable, Clan Battle and Clan PreMatch boxes.
    void saveAsLayout()
    {
        const ServerSettings settings = read(numberedLines());
        const MainWindowSwitches switches{
            .lanServer = false, .pausable = true, .clanBattle = false, .clanPreMatch = true};
        QCOMPARE(writeSaveAsLayout(path("Default.TFC"), settings, switches, TextEncoding::Utf8), std::nullopt);
        QCOMPARE(readBytes(path("Default.TFC")),
            crlfLines({"line 4", "line 5", "line 7", "line 21", "line 22", "line 10", "line 11", "0", "1", "0", "1",
                "line 17", "line 18", "line 20", "line 51", "line 23", "line 24", "line 25", "line 27", "line 29",
                "line 37", "line 38", "line 39", "line 40", "line 41", "line 42", "line 43", "line 44", "line 45"}));
    }

    // Random lines, of random bytes or of random UTF-8 text, with random line ends: the reader
    // takes a complete record or leaves the old one, and every value line comes back byte for byte.
    void randomFilesAreReadWholeOrNotAtAll()
    {
        const ServerSettings before = read(numberedLines());
        QRandomGenerator random(20261206);
        int accepted = 0;
        for (int round = 0; round < 200; ++round) {
            const bool utf8 = round % 2;
            QByteArrayList lines;
            for (int line = int(random.bounded(40, 64)); line > 0; --line) {
                QString text;
                for (int length = int(random.bounded(random.bounded(2) ? 8 : 300)); length > 0; --length)
                    text += QChar(char16_t(random.bounded(utf8 ? 0xd800 : 256)));
                lines += (utf8 ? text.toUtf8() : text.toLatin1()).replace('\r', ' ').replace('\n', ' ');
            }
            QByteArray contents;
            for (qsizetype line = 0; line < lines.size(); ++line) {
                // A CR before an empty line would make one CR LF of the two line ends.
                static const QByteArray endings[] = {"\r\n", "\n", "\r"};
                const bool last = line + 1 == lines.size();
                const bool beforeEmpty = !last && lines[line + 1].isEmpty();
                contents += lines[line] + (last ? "" : endings[random.bounded(beforeEmpty ? 2 : 3)]);
            }
            writeBytes(path(), contents);
            ServerSettings settings = before;
            TextEncoding encoding{};
            if (readFullLayout(path(), settings, encoding)) {
                QCOMPARE(settings, before);
                continue;
            }
            ++accepted;
            QCOMPARE(writeFullLayout(path("check.tfc"), settings, encoding), std::nullopt);
            const QByteArrayList written = readBytes(path("check.tfc")).split('\n');
            for (int line : valueLines)
                QCOMPARE(written[line - 1], lines[line - 1] + '\r');
        }
        QVERIFY2(accepted > 50 && accepted < 150, "random files should be both long enough and too short");
    }
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
