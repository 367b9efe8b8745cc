#include "TestFiles.h"
#include "formats/SettingsFile.h"
#include "settings/FactorySettings.h"
#include "settings/ServerSettings.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(TextField)

namespace {

// The lines that hold a text value: all but the headers, the version and the team damage numbers.
const QList<int> valueLines{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 18, 20, 21, 22, 23, 24, 25, 26, 27, 29, 37,
    38, 39, 40, 41, 42, 43, 44, 45, 47, 48, 49, 50, 51, 52};

// The longest server name that leaves the factory default.tfc at exactly 1 MiB.
const qsizetype largestValue = 1024 * 1024 - factoryFullLayout().size() + qsizetype(strlen("Team Fortress Classic"));

} // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const char* name = "default.tfc") const { return dir.filePath(QLatin1StringView(name)); }

    ServerSettings read(const QByteArray& contents, TextEncoding* encoding = nullptr)
    {
        writeBytes(path("read.tfc"), contents);
        ServerSettings settings;
        TextEncoding detected{};
        if (const std::optional<Failure> failure = readFullLayout(path("read.tfc"), settings, detected))
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

    // Each value line holds the pattern, and comes back byte for byte whatever the character set
    // of the file: a file from Windows in its code page is written back in it.
    void valuesComeBackByteForByte_data()
    {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QString>("read");
        QByteArray c1, latin1;
        for (int byte = 0x80; byte <= 0xff; ++byte)
            (byte < 0xa0 ? c1 : latin1) += char(byte);
        // clang-format off
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("blanks, commas and quotes") << QByteArray("  \"Fast\", fair  ") << "  \"Fast\", fair  ";
        QTest::newRow("very long") << QByteArray(5000, 'x') << QString(5000, 'x');
        QTest::newRow("Windows-1252 E9") << QByteArray("Caf\xe9") << "Café";
        QTest::newRow("Windows-1252 80 to 9F") << c1 << QString(QStringDecoder("windows-1252").decode(c1));
        QTest::newRow("Windows-1252 A0 to FF") << latin1 << QString::fromLatin1(latin1);
        QTest::newRow("UTF-8 and a lone E9") << QByteArray("Caf\xc3\xa9 \xe9") << "CafÃ© é";
        QTest::newRow("UTF-8 C3 A9") << QByteArray("Caf\xc3\xa9") << "Café";
        QTest::newRow("UTF-8 four bytes") << QByteArray("\xf0\x9f\x8e\xae") << QString::fromUcs4(U"\U0001F3AE");
        QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbfServer") << QStringView(u"\uFEFFServer").toString();
        QTest::newRow("two byte-order marks") << QByteArray("\xef\xbb\xbf\xef\xbb\xbf") << QStringView(u"\uFEFF\uFEFF").toString();
        QTest::newRow("NUL") << QByteArray("a\0b", 3) << QStringView(u"a\0b", 3).toString();
        QTest::newRow("tab") << QByteArray("\ta\t") << "\ta\t";
        // clang-format on
    }

    void valuesComeBackByteForByte()
    {
        QFETCH(QByteArray, pattern);
        QFETCH(QString, read);
        QMap<int, QByteArray> lines;
        for (int line : valueLines)
            lines[line] = pattern;
        TextEncoding encoding{};
        const ServerSettings settings = this->read(settingsFileWith(lines), &encoding);
        QCOMPARE(settings.hostname, read);
        QCOMPARE(settings.tfc_respawndelay, read);
        QCOMPARE(writeFullLayout(path(), settings, encoding), std::nullopt);
        QCOMPARE(readBytes(path()), settingsFileWith(lines));
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
        const QByteArray full = factoryFullLayout();
        QTest::newRow("LF") << QByteArray(full).replace("\r\n", "\n");
        QTest::newRow("CR") << QByteArray(full).replace("\r\n", "\r");
        QTest::newRow("no ending on the last line") << full.chopped(2);
        QTest::newRow("lines after the 52nd") << full + "line 53\r\nline 60\r\n";
        QTest::newRow("other headers") << settingsFileWith({{1, ""}, {46, "anything"}});
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
        // clang-format off
        QTest::newRow("number form") << QByteArray(" 2 ") << 2;
        QTest::newRow("blanks around a sign") << QByteArray(" -1 ") << -1;
        QTest::newRow("plus and tab") << QByteArray("\t+3") << 3;
        QTest::newRow("smallest") << QByteArray("-32768") << -32768;
        QTest::newRow("not a number") << QByteArray("x") << 0;
        QTest::newRow("too large") << QByteArray("70000") << 0;
        QTest::newRow("beyond 64 bits") << QByteArray("99999999999999999999") << 0;
        QTest::newRow("decimal point") << QByteArray("1.0") << 0;
        QTest::newRow("blank after the sign") << QByteArray("- 1") << 0;
        // clang-format on
    }

    void teamDamageLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, choice);
        const ServerSettings settings = read(settingsFileWith({{32, line}}));
        QCOMPARE(settings.team_damage_choice, (std::array<qint16, 6>{1, 1, qint16(choice), 3, 1, 1}));
    }

    void refusedReadsLeaveTheRecordAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        const QByteArray full = factoryFullLayout();
        // clang-format off
        QTest::newRow("51 lines") << "file" << full.left(full.lastIndexOf("0.0\r\n")) << "it has only 51 lines, and a settings file has 52.";
        QTest::newRow("empty") << "file" << QByteArray() << "it has only 0 lines, and a settings file has 52.";
        QTest::newRow("larger than 1 MiB") << "file" << full + QByteArray(1024 * 1024, 'x') << "it is larger than 1 MiB, too large for a settings file.";
        QTest::newRow("missing") << "missing" << QByteArray() << "No such file or directory";
        QTest::newRow("folder") << "folder" << QByteArray() << "it is not a plain file but a folder, device or pipe.";
        QTest::newRow("pipe") << "pipe" << QByteArray() << "it is not a plain file but a folder, device or pipe.";
        // clang-format on
    }

    void refusedReadsLeaveTheRecordAlone()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        QTemporaryDir folder;
        const QString refused = folder.filePath("default.tfc");
        if (kind == "file")
            writeBytes(refused, contents);
        else if (kind == "folder")
            QVERIFY(QDir().mkdir(refused));
        else if (kind == "pipe")
            QCOMPARE(mkfifo(QFile::encodeName(refused).constData(), 0600), 0);
        ServerSettings settings;
        applyFactorySettings(settings);
        const ServerSettings before = settings;
        TextEncoding encoding = TextEncoding::Windows1252;
        QCOMPARE(messageOf(readFullLayout(refused, settings, encoding)), "Cannot read " + refused + ": " + reason);
        QCOMPARE(settings, before);
        QCOMPARE(encoding, TextEncoding::Windows1252);
        if (kind == "file")
            QCOMPARE(readBytes(refused), contents);
    }

    // What the game server or the next start would not take back as it is never written, and the
    // old file stays.
    void refusedWrites_data()
    {
        using S = ServerSettings;
        QTest::addColumn<TextField>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<bool>("saveAsToo");
        QTest::addColumn<QString>("refusal");
        const auto utf8 = TextEncoding::Utf8;
        const QString cannotHold = " holds characters that %1 cannot hold. Quillmont writes its files in %1, the "
                                   "character set default.tfc came in, so that every other byte stays as it was.";
        // clang-format off
        QTest::newRow("line feed") << &S::mp_teamplay << "21\nsv_cheats 1" << utf8 << true << "mp_teamplay holds a line break, which would split its line.";
        QTest::newRow("carriage return") << &S::hostname << "host\r" << utf8 << true << "Server Name (hostname) holds a line break, which would split its line.";
        QTest::newRow("beyond Windows-1252") << &S::cr_spy << "東京" << TextEncoding::Windows1252 << true << "Spy (cr_spy)" + cannotHold.arg("Windows-1252");
        QTest::newRow("lone surrogate") << &S::sv_password << QString(QChar(0xd800)) << utf8 << false << "Server Password (sv_password)" + cannotHold.arg("UTF-8");
        QTest::newRow("one byte over 1 MiB") << &S::hostname << QString(largestValue + 1, 'x') << utf8 << false
                                             << "the settings would make a file larger than 1 MiB, more than a settings file may hold. Shorten the longest values.";
        // clang-format on
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
        const QString full = folder.filePath("default.tfc");
        const QString saveAs = folder.filePath("Saved.TFC");
        writeBytes(full, "old\r\n");
        writeBytes(saveAs, "old\r\n");
        QCOMPARE(messageOf(writeFullLayout(full, settings, encoding)), "Cannot write " + full + ": " + refusal);
        if (saveAsToo)
            QCOMPARE(messageOf(writeSaveAsLayout(saveAs, settings, {}, encoding)),
                "Cannot write " + saveAs + ": " + refusal);
        QCOMPARE(readBytes(full) + readBytes(saveAs), "old\r\nold\r\n");
        QCOMPARE(filesIn(folder.path()), (QStringList{"default.tfc", "Saved.TFC"}));
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

    // Random lines, of random bytes or of random UTF-8 text, with random line ends: the reader
    // takes a complete record or leaves the old one, and every value line comes back byte for byte.
    void randomFilesAreReadWholeOrNotAtAll()
    {
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
                contents += lines[line] + (last ? "" : endings[random.bounded(lines[line + 1].isEmpty() ? 2 : 3)]);
            }
            writeBytes(path(), contents);
            ServerSettings settings;
            TextEncoding encoding{};
            if (readFullLayout(path(), settings, encoding)) {
                QCOMPARE(settings, ServerSettings());
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
