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

    std::optional<Failure> write(const ServerSettings& settings)
    {
        SafeSave file(path());
        if (auto failure = file.open())
            return failure;
        return writeServerCfg(file, settings);
    }

private Q_SLOTS:
    void factorySettings()
    {
        QCOMPARE(write(factoryWithVersion()), std::nullopt);
        QCOMPARE(readBytes(path()), readBytes(TEST_DATA "/factory-server.cfg"));
    }

    void valuesAreWrittenAsTheyStand()
    {
        ServerSettings settings = factoryWithVersion();
        settings.file_version.clear();
        settings.hostname = QStringLiteral("  Fast, fair; friendly  ");
        settings.rcon_password = QStringLiteral("se;cret");
        settings.sv_password.clear();
        settings.sv_cheats.clear();
        settings.sv_gravity = QStringLiteral(" 800 ");
        settings.mp_teamplay = QStringLiteral("97");
        settings.tfc_respawndelay = QStringLiteral("Zürich");

        QCOMPARE(write(settings), std::nullopt);
        QList<QByteArray> lines = readBytes(path()).split('\n');
        QCOMPARE(lines.size(), 51);
        QCOMPARE(lines[1], QByteArray("// Version: \r"));
        QCOMPARE(lines[4], QByteArray("hostname \"  Fast, fair; friendly  \"\r"));
        QCOMPARE(lines[5], QByteArray("rcon_password \"se;cret\"\r"));
        QCOMPARE(lines[6], QByteArray("sv_password \"\"\r"));
        QCOMPARE(lines[16], QByteArray("sv_cheats \r"));
        QCOMPARE(lines[20], QByteArray("sv_gravity  800 \r"));
        QCOMPARE(lines[30], QByteArray("mp_teamplay 97\r"));
        QCOMPARE(lines[49], QByteArray("tfc_respawndelay Z\xc3\xbcrich\r"));
        QCOMPARE(lines[50], QByteArray());
    }

    void valuesTheConsoleWouldRunAreRefused_data()
    {
        using S = ServerSettings;
        QTest::addColumn<TextField>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("quote in a quoted value") << &S::hostname << "x\"; rcon_password \"known"
                                                 << "double quote";
        QTest::newRow("quote in a password") << &S::sv_password << "a\"b"
                                             << "double quote";
        QTest::newRow("quote in an unquoted value") << &S::mp_timelimit << "\"30"
                                                    << "double quote";
        QTest::newRow("semicolon in an unquoted value") << &S::sv_gravity << "800; quit"
                                                        << "semicolon";
        QTest::newRow("semicolon in the version") << &S::file_version << "0.3; quit"
                                                  << "semicolon";
        QTest::newRow("line break") << &S::cr_spy << "0\nquit"
                                    << "line break";
        QTest::newRow("over-long quoted line") << &S::sv_password << QString(987, 'x') << "longer than 1000";
        QTest::newRow("over-long unquoted line") << &S::tfc_respawndelay << QString(984, '1') << "longer than 1000";
        QTest::newRow("over-long in 8-bit bytes") << &S::hostname << QString(495, QChar(0xfc)) << "longer than 1000";
    }

    void valuesTheConsoleWouldRunAreRefused()
    {
        QFETCH(TextField, field);
        QFETCH(QString, value);
        QFETCH(QString, reason);
        writeBytes(path(), "old server.cfg\r\n");

        ServerSettings settings = factoryWithVersion();
        settings.*field = value;
        const std::optional<Failure> failure = write(settings);
        QVERIFY(failure);
        QVERIFY2(failure->message.contains(settingName(field)), qPrintable(failure->message));
        QVERIFY2(failure->message.contains(reason), qPrintable(failure->message));
        QVERIFY2(failure->message.contains(path()), qPrintable(failure->message));
        QCOMPARE(readBytes(path()), QByteArray("old server.cfg\r\n"));
        QCOMPARE(filesIn(dir.path()), QStringList{"server.cfg"});
    }

    void longestAcceptedLine()
    {
        ServerSettings settings = factoryWithVersion();
        settings.sv_password = QString(986, 'x'); // 12 + 2 quotes + 986 = 1000 bytes
        settings.tfc_respawndelay = QString(983, '1'); // 17 + 983 = 1000 bytes
        QCOMPARE(write(settings), std::nullopt);
        const QList<QByteArray> lines = readBytes(path()).split('\n');
        QCOMPARE(lines[6].size(), 1000 + 1);
        QCOMPARE(lines[49].size(), 1000 + 1);
    }

    void writingTwiceGivesTheSameFile()
    {
        QCOMPARE(write(factoryWithVersion()), std::nullopt);
        QCOMPARE(write(factoryWithVersion()), std::nullopt);
        QCOMPARE(readBytes(path()), readBytes(TEST_DATA "/factory-server.cfg"));
    }
};

QTEST_GUILESS_MAIN(ServerCfgTest)
#include "tst_servercfg.moc"
