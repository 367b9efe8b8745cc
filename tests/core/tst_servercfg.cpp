#include "TestFiles.h"
#include "formats/SafeSave.h"
#include "formats/ServerCfg.h"
#include "settings/FactorySettings.h"
#include "settings/ServerSettings.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TextField)

class ServerCfgTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    const QString path = dir.filePath("server.cfg");

    std::optional<Failure> write(const ServerSettings& settings, TextEncoding encoding)
    {
        SafeSave file(path);
        if (auto failure = file.open())
            return failure;
        return writeServerCfg(file, settings, encoding);
    }

    static ServerSettings factoryWith(TextField field, const QString& value)
    {
        ServerSettings settings;
        applyFactorySettings(settings);
        settings.file_version = "0.3";
        settings.*field = value;
        return settings;
    }

private Q_SLOTS:
    void init() { writeBytes(path, "old server.cfg\r\n"); }

    // Every value as it stands, in the file's character set: one line changed from the factory file.
    void valuesAreWrittenAsTheyStand_data()
    {
        using S = ServerSettings;
        QTest::addColumn<TextField>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("written");
        const auto utf8 = TextEncoding::Utf8;
        // clang-format off
        QTest::newRow("factory") << &S::hostname << "Team Fortress Classic" << utf8 << 5 << QByteArray("hostname \"Team Fortress Classic\"");
        QTest::newRow("empty version") << &S::file_version << "" << utf8 << 2 << QByteArray("// Version: ");
        QTest::newRow("blanks, comma and semicolon quoted") << &S::hostname << "  Fast, fair; friendly  " << utf8 << 5 << QByteArray("hostname \"  Fast, fair; friendly  \"");
        QTest::newRow("semicolon in a password") << &S::rcon_password << "se;cret" << utf8 << 6 << QByteArray("rcon_password \"se;cret\"");
        QTest::newRow("empty switch") << &S::sv_cheats << "" << utf8 << 17 << QByteArray("sv_cheats ");
        QTest::newRow("blanks unquoted") << &S::sv_gravity << " 800 " << utf8 << 21 << QByteArray("sv_gravity  800 ");
        QTest::newRow("teamplay") << &S::mp_teamplay << "97" << utf8 << 31 << QByteArray("mp_teamplay 97");
        QTest::newRow("UTF-8") << &S::tfc_respawndelay << "Zürich €" << utf8 << 50 << QByteArray("tfc_respawndelay Z\xc3\xbcrich \xe2\x82\xac");
        QTest::newRow("Windows-1252") << &S::tfc_respawndelay << "Zürich €" << TextEncoding::Windows1252 << 50 << QByteArray("tfc_respawndelay Z\xfcrich \x80");
        QTest::newRow("255 bytes quoted") << &S::sv_password << QString(255, 'x') << utf8 << 7 << "sv_password \"" + QByteArray(255, 'x') + '"';
        QTest::newRow("255 bytes of Windows-1252") << &S::cr_spy << QString(255, QChar(0xfc)) << TextEncoding::Windows1252 << 41 << "cr_spy " + QByteArray(255, '\xfc');
        // clang-format on
    }

    void valuesAreWrittenAsTheyStand()
    {
        QFETCH(TextField, field);
        QFETCH(QString, value);
        QFETCH(TextEncoding, encoding);
        QFETCH(int, line);
        QFETCH(QByteArray, written);
        QCOMPARE(write(factoryWith(field, value), encoding), std::nullopt);
        QByteArrayList expected = readBytes(TEST_DATA "/factory-server.cfg").split('\n');
        expected[line - 1] = written + '\r';
        QCOMPARE(readBytes(path), expected.join('\n'));
    }

    // Each value the console would not apply exactly as it stands, or would run as commands: the
    // old file stays, and no temporary file is left.
    void valuesTheConsoleWouldNotTakeAreRefused_data()
    {
        using S = ServerSettings;
        QTest::addColumn<TextField>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<QString>("refusal");
        const auto utf8 = TextEncoding::Utf8;
        const QString quote = " holds a double quote (\"), which the game server would take as the end of the value "
                              "and run the rest as commands.";
        const QString semicolon
            = " holds a semicolon (;), which the game server would take as the start of a new command.";
        const QString control
            = " holds a control character (%1), which the game server's console cannot take inside a value.";
        const QString tooLong = " is longer than 255 bytes (it has 256), more than the game server takes from a value.";
        const QString version = "the version text on line 2 of default.tfc";
        const QString wayOut
            = " Save the defaults with File, Default Settings, which writes version 0.3, and start Quillmont again.";
        // clang-format off
        QTest::newRow("quote in a quoted value") << &S::hostname << "x\"; rcon_password \"known" << utf8 << "Server Name (hostname)" + quote;
        QTest::newRow("quote in an unquoted value") << &S::mp_timelimit << "\"30" << utf8 << "Time Limit (mp_timelimit)" + quote;
        QTest::newRow("semicolon unquoted") << &S::sv_gravity << "800; quit" << utf8 << "Gravity (sv_gravity)" + semicolon;
        QTest::newRow("semicolon in the version") << &S::file_version << "0.3; quit" << utf8 << version + semicolon + wayOut;
        QTest::newRow("line break") << &S::cr_engineer << "0\nquit" << utf8 << "Engineer (cr_engineer)" + control.arg("a line break");
        QTest::newRow("NUL") << &S::sv_maxrate << QString("0") + QChar(0) << utf8 << "Max Data (sv_maxrate)" + control.arg("U+0000");
        QTest::newRow("tab") << &S::mp_teamplay << "21\t" << utf8 << "mp_teamplay" + control.arg("a tab");
        QTest::newRow("vertical tab") << &S::hostname << "My Server\vquit" << utf8 << "Server Name (hostname)" + control.arg("U+000B");
        QTest::newRow("delete") << &S::sv_maxspeed << "500\x7f" << utf8 << "Max Speed (sv_maxspeed)" + control.arg("U+007F");
        QTest::newRow("control character in the version") << &S::file_version << "0.3\r" << utf8 << version + control.arg("a line break") + wayOut;
        QTest::newRow("256 bytes quoted") << &S::sv_password << QString(256, 'x') << utf8 << "Server Password (sv_password)" + tooLong;
        QTest::newRow("256 bytes unquoted") << &S::tfc_respawndelay << QString(256, '1') << utf8 << "Respawn Delay (tfc_respawndelay)" + tooLong;
        QTest::newRow("256 bytes of UTF-8") << &S::cr_scout << QString(128, QChar(0xfc)) << utf8 << "Scout (cr_scout)" + tooLong;
        QTest::newRow("beyond Windows-1252") << &S::hostname << "東京" << TextEncoding::Windows1252
            << "Server Name (hostname) holds characters that Windows-1252 cannot hold. Quillmont writes its files in Windows-1252, the character set default.tfc came in, so that every other byte stays as it was.";
        // clang-format on
    }

    void valuesTheConsoleWouldNotTakeAreRefused()
    {
        QFETCH(TextField, field);
        QFETCH(QString, value);
        QFETCH(TextEncoding, encoding);
        QFETCH(QString, refusal);
        QCOMPARE(messageOf(write(factoryWith(field, value), encoding)), "Cannot write " + path + ": " + refusal);
        QCOMPARE(readBytes(path), QByteArray("old server.cfg\r\n"));
        QCOMPARE(filesIn(dir.path()), QStringList{"server.cfg"});
    }

    // A refusal names the setting by the caption of the control that shows it and its console name.
    void everySettingIsNamedAsItsControlShowsIt()
    {
        using S = ServerSettings;
        // clang-format off
        const QList<std::pair<TextField, QString>> names{{&S::hostname, "Server Name (hostname)"},
            {&S::rcon_password, "Remote Console Password (rcon_password)"}, {&S::sv_password, "Server Password (sv_password)"},
            {&S::mp_timelimit, "Time Limit (mp_timelimit)"}, {&S::sv_minrate, "Min Data (sv_minrate)"}, {&S::sv_maxrate, "Max Data (sv_maxrate)"},
            {&S::sv_lan, "LAN Server (sv_lan)"}, {&S::pausable, "Pausable (pausable)"}, {&S::tfc_clanbattle, "Clan Battle (tfc_clanbattle)"},
            {&S::tfc_clanbattle_prematch, "Clan PreMatch (tfc_clanbattle_prematch)"}, {&S::sv_cheats, "Allow Cheat Codes (sv_cheats)"},
            {&S::sv_clipmode, "Allow Clipping (sv_clipmode)"}, {&S::sv_gravity, "Gravity (sv_gravity)"}, {&S::sv_clienttrace, "Client Trace (sv_clienttrace)"},
            {&S::sv_maxspeed, "Max Speed (sv_maxspeed)"}, {&S::decalfrequency, "Frequency (decalfrequency)"}, {&S::mp_decals, "Limit (mp_decals)"},
            {&S::mp_falldamage, "Realistic Fall Damage (mp_falldamage)"}, {&S::mp_footsteps, "Foot Steps (mp_footsteps)"}, {&S::sv_aim, "Auto Aim (sv_aim)"},
            {&S::mp_teamplay, "mp_teamplay"}, {&S::cr_scout, "Scout (cr_scout)"}, {&S::cr_sniper, "Sniper (cr_sniper)"}, {&S::cr_soldier, "Soldier (cr_soldier)"},
            {&S::cr_demoman, "DemoMan (cr_demoman)"}, {&S::cr_medic, "Medic (cr_medic)"}, {&S::cr_hwguy, "HWGuy (cr_hwguy)"}, {&S::cr_pyro, "Pyro (cr_pyro)"},
            {&S::cr_spy, "Spy (cr_spy)"}, {&S::cr_engineer, "Engineer (cr_engineer)"}, {&S::tfc_autoteam, "Auto Teams (tfc_autoteam)"},
            {&S::tfc_balance_teams, "Balance Teams (tfc_balance_teams)"}, {&S::tfc_balance_scores, "Balance Scores (tfc_balance_scores)"},
            {&S::tfc_fragscoring, "Include Frags in Team Score (tfc_fragscoring)"}, {&S::mp_forcerespawn, "Force Respawn (mp_forcerespawn)"},
            {&S::tfc_respawndelay, "Respawn Delay (tfc_respawndelay)"}, {&S::file_version, "the version text on line 2 of default.tfc"}};
        // clang-format on
        for (const auto& [field, name] : names)
            QVERIFY(messageOf(write(factoryWith(field, "\"x"), TextEncoding::Utf8))
                        .startsWith("Cannot write " + path + ": " + name + " holds"));
    }
};

QTEST_GUILESS_MAIN(ServerCfgTest)
#include "tst_servercfg.moc"
