#include "TestFiles.h"
#include "formats/SafeSave.h"
#include "formats/ServerCfg.h"
#include "settings/FactorySettings.h"
#include "settings/ServerSettings.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TextField)

namespace {

ServerSettings factoryWithVersion()
{
    ServerSettings settings;
    applyFactorySettings(settings);
    settings.file_version = QStringLiteral("0.3");
    return settings;
}

} // namespace

class ServerCfgTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path() const { return dir.filePath(QStringLiteral("server.cfg")); }

    std::optional<Failure> write(const ServerSettings& settings, TextEncoding encoding = TextEncoding::Utf8)
    {
        SafeSave file(path());
        if (auto failure = file.open())
            return failure;
        return writeServerCfg(file, settings, encoding);
    }

private Q_SLOTS:
    void factorySettings()
    {
        QCOMPARE(write(factoryWithVersion()), std::nullopt);
        QCOMPARE(readBytes(path()), readBytes(TEST_DATA "/factory-server.cfg"));
    }

    void valuesAreWrittenAsTheyStand_data()
    {
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<QByteArray>("respawnDelay");
        QTest::newRow("UTF-8") << TextEncoding::Utf8 << QByteArray("Z\xc3\xbcrich \xe2\x82\xac");
        QTest::newRow("Windows-1252") << TextEncoding::Windows1252 << QByteArray("Z\xfcrich \x80");
    }

    void valuesAreWrittenAsTheyStand()
    {
        QFETCH(TextEncoding, encoding);
        QFETCH(QByteArray, respawnDelay);
        ServerSettings settings = factoryWithVersion();
        settings.file_version.clear();
        settings.hostname = QStringLiteral("  Fast, fair; friendly  ");
        settings.rcon_password = QStringLiteral("se;cret");
        settings.sv_password.clear();
        settings.sv_cheats.clear();
        settings.sv_gravity = QStringLiteral(" 800 ");
        settings.mp_teamplay = QStringLiteral("97");
        settings.tfc_respawndelay = QStringLiteral("Zürich €");

        QCOMPARE(write(settings, encoding), std::nullopt);
        QList<QByteArray> lines = readBytes(path()).split('\n');
        QCOMPARE(lines.size(), 51);
        QCOMPARE(lines[1], QByteArray("// Version: \r"));
        QCOMPARE(lines[4], QByteArray("hostname \"  Fast, fair; friendly  \"\r"));
        QCOMPARE(lines[5], QByteArray("rcon_password \"se;cret\"\r"));
        QCOMPARE(lines[6], QByteArray("sv_password \"\"\r"));
        QCOMPARE(lines[16], QByteArray("sv_cheats \r"));
        QCOMPARE(lines[20], QByteArray("sv_gravity  800 \r"));
        QCOMPARE(lines[30], QByteArray("mp_teamplay 97\r"));
        QCOMPARE(lines[49], "tfc_respawndelay " + respawnDelay + '\r');
        QCOMPARE(lines[50], QByteArray());
    }

    // Each value the console would not apply exactly as it stands, or would run as commands.
    void valuesTheConsoleWouldNotTakeAreRefused_data()
    {
        using S = ServerSettings;
        QTest::addColumn<TextField>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<QString>("refusal");
        const auto utf8 = TextEncoding::Utf8;
        const auto windows = TextEncoding::Windows1252;
        QTest::newRow("quote in a quoted value")
            << &S::hostname << "x\"; rcon_password \"known" << utf8 << "Server Name (hostname) holds a double quote";
        QTest::newRow("quote in an unquoted value")
            << &S::mp_timelimit << "\"30" << utf8 << "Time Limit (mp_timelimit) holds a double quote";
        QTest::newRow("semicolon in an unquoted value")
            << &S::sv_gravity << "800; quit" << utf8 << "Gravity (sv_gravity) holds a semicolon";
        QTest::newRow("semicolon in the version")
            << &S::file_version << "0.3; quit" << utf8 << "the version text on line 2 of default.tfc holds a semicolon";
        QTest::newRow("line break") << &S::cr_spy << "0\nquit" << utf8
                                    << "Spy (cr_spy) holds a control character (a line break)";
        QTest::newRow("NUL") << &S::hostname << QString("My") + QChar(0) + "Server" << utf8
                             << "Server Name (hostname) holds a control character (U+0000)";
        QTest::newRow("tab") << &S::mp_teamplay << "21\t" << utf8 << "mp_teamplay holds a control character (a tab)";
        QTest::newRow("vertical tab") << &S::hostname << "My Server\vquit" << utf8
                                      << "Server Name (hostname) holds a control character (U+000B)";
        QTest::newRow("delete") << &S::sv_maxspeed << "500\x7f" << utf8
                                << "Max Speed (sv_maxspeed) holds a control character (U+007F)";
        QTest::newRow("control character in the version")
            << &S::file_version << "0.3\t" << utf8 << "Default Settings, which writes version 0.3";
        QTest::newRow("256 bytes quoted") << &S::sv_password << QString(256, 'x') << utf8
                                          << "Server Password (sv_password) is longer than 255 bytes (it has 256)";
        QTest::newRow("256 bytes unquoted") << &S::tfc_respawndelay << QString(256, '1') << utf8
                                            << "Respawn Delay (tfc_respawndelay) is longer than 255 bytes";
        QTest::newRow("256 bytes of UTF-8") << &S::cr_scout << QString(128, QChar(0xfc)) << utf8
                                            << "Scout (cr_scout) is longer than 255 bytes (it has 256)";
        QTest::newRow("beyond Windows-1252") << &S::hostname << "東京" << windows
                                             << "Server Name (hostname) holds characters that Windows-1252 cannot hold";
    }

    void valuesTheConsoleWouldNotTakeAreRefused()
    {
        QFETCH(TextField, field);
        QFETCH(QString, value);
        QFETCH(TextEncoding, encoding);
        QFETCH(QString, refusal);
        writeBytes(path(), "old server.cfg\r\n");

        ServerSettings settings = factoryWithVersion();
        settings.*field = value;
        const std::optional<Failure> failure = write(settings, encoding);
        QVERIFY(failure);
        QVERIFY2(failure->message.startsWith("Cannot write " + path() + ": "), qPrintable(failure->message));
        QVERIFY2(failure->message.contains(refusal), qPrintable(failure->message));
        QCOMPARE(readBytes(path()), QByteArray("old server.cfg\r\n"));
        QCOMPARE(filesIn(dir.path()), QStringList{"server.cfg"});
    }

    void longestAcceptedValues()
    {
        ServerSettings settings = factoryWithVersion();
        settings.sv_password = QString(255, 'x');
        settings.tfc_respawndelay = QString(255, QChar(0xfc));
        QCOMPARE(write(settings, TextEncoding::Windows1252), std::nullopt);
        const QList<QByteArray> lines = readBytes(path()).split('\n');
        QCOMPARE(lines[6], "sv_password \"" + QByteArray(255, 'x') + "\"\r");
        QCOMPARE(lines[49], "tfc_respawndelay " + QByteArray(255, '\xfc') + '\r');
    }
};

QTEST_GUILESS_MAIN(ServerCfgTest)
#include "tst_servercfg.moc"
