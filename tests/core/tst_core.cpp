#include "TestFiles.h"
#include "formats/BanFiles.h"
#include "formats/BanListReplies.h"
#include "formats/MapCycle.h"
#include "formats/Motd.h"
#include "formats/SafeSave.h"
#include "formats/ServerCfg.h"
#include "formats/SettingsFile.h"
#include "launch/ConsoleEcho.h"
#include "launch/FolderSettings.h"
#include "launch/LogFollower.h"
#include "launch/ServerLaunch.h"
#include "launch/ServerLog.h"
#include "launch/ServerRecord.h"
#include "launch/ServerSession.h"
#include "settings/FactorySettings.h"
#include "settings/ServerSettings.h"

#include <QBuffer>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using RefusedSettings = std::tuple<TextField, QString, TextEncoding, bool, QString>;
using ServerCfgCase = std::tuple<ServerSettings, TextEncoding, QByteArray, QString>;
Q_DECLARE_METATYPE(RefusedSettings)
Q_DECLARE_METATYPE(ServerCfgCase)

namespace {

using S = ServerSettings;

// The lines of default.tfc that hold a text value: all but the headers, the version and the team
// damage numbers.
const QList<int> valueLines{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 18, 20, 21, 22, 23, 24, 25, 26, 27, 29, 37,
    38, 39, 40, 41, 42, 43, 44, 45, 47, 48, 49, 50, 51, 52};

// Why a value is refused in a character set that cannot hold it.
const QString cannotHold = " holds characters that %1 cannot hold. Quillmont writes its files in %1, the character "
                           "set default.tfc came in, so that every other byte stays as it was.";

// The longest server name that leaves the factory default.tfc at exactly 1 MiB.
const qsizetype largestValue = 1024 * 1024 - factoryFullLayout().size() + qsizetype(strlen("Team Fortress Classic"));

QByteArray everyValueLine(const QByteArray& value)
{
    QMap<int, QByteArray> lines;
    for (int line : valueLines)
        lines[line] = value;
    return settingsFileWith(lines);
}

ServerSettings factoryWith(TextField field, const QString& value)
{
    ServerSettings settings;
    applyFactorySettings(settings);
    settings.file_version = "0.3";
    settings.*field = value;
    return settings;
}

SaveOutcome writeServerCfgAt(const QString& path, const ServerSettings& settings, TextEncoding encoding)
{
    SafeSave file(path);
    if (auto failure = file.open())
        return *failure;
    return writeServerCfg(file, settings, encoding);
}

// Saves with this process allowed no file beyond `limit` bytes, the way a full disk stops a write:
// as the writer named does, with the factory settings, or else these bytes.
SaveOutcome saveWithin(rlim_t limit, const QString& writer, const QString& path, const QByteArray& contents)
{
    const ServerSettings factory = factoryWith(&S::file_version, "0.3");
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limited{limit, saved.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    const SaveOutcome outcome = writer == "Write Config" ? writeServerCfgAt(path, factory, TextEncoding::Utf8)
        : writer == "Default Settings"                   ? writeFullLayout(path, factory, TextEncoding::Utf8)
        : writer == "Save As"                            ? writeSaveAsLayout(path, factory, {}, TextEncoding::Utf8)
                                                         : saveWhole(path, contents);
    setrlimit(RLIMIT_FSIZE, &saved);
    return outcome;
}

// Makes at `path` the obstacle a case of saves.txt names.
void makeObstacle(const QString& obstacle, const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const QString folder = QFileInfo(path).absolutePath();
    if (obstacle != "no folder")
        QDir().mkpath(folder);
    if (obstacle.isEmpty() || obstacle == "read-only")
        writeBytes(path, "old\r\n");
    if (obstacle == "read-only")
        makeReadOnly(path);
    else if (obstacle == "folder")
        QDir().mkdir(path);
    else if (obstacle == "fifo")
        mkfifo(name.constData(), 0600);
    else if (obstacle == "link" || obstacle == "dangling link")
        QFile::link(QDir(folder).filePath(obstacle == "link" ? "default.tfc" : "New.TFC"), path);
    else if (obstacle == "device link"
        && mknod(QFile::encodeName(folder + "/device").constData(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        QFile::link(folder + "/device", path);
    else if (obstacle == "socket") {
        sockaddr_un address{AF_UNIX, {}};
        strncpy(address.sun_path, name.constData(), sizeof address.sun_path - 1);
        const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        close(socket);
    }
}

// Every entry under a folder: a file's bytes, where a link leads, or what else it is; hidden ones
// too, so that a temporary file left behind shows.
QMap<QString, QByteArray> contentsOf(const QString& folder)
{
    QMap<QString, QByteArray> contents;
    QDirIterator entries(
        folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        contents[QDir(folder).relativeFilePath(entry.filePath())] = entry.isSymLink()
            ? "link to " + entry.symLinkTarget().toUtf8()
            : entry.isFile() ? readBytes(entry.filePath())
                             : QByteArray(entry.isDir() ? "folder" : "special");
    }
    return contents;
}

// Writes bytes as log-follows.txt gives them: <x*N> a MiB at a time, <hole*N> as a hole in a file,
// <lines A-B> line by line.
void writeLog(QIODevice& device, const QByteArray& bytes)
{
    static const QRegularExpression token(R"(<(x|hole)\*(\d+)>|<lines (\d+)-(\d+)>)");
    const QByteArray mebibyte(1 << 20, 'x');
    qsizetype at = 0;
    for (const QRegularExpressionMatch& match : token.globalMatch(QString::fromLatin1(bytes))) {
        device.write(bytes.mid(at, match.capturedStart() - at));
        at = match.capturedEnd();
        const qint64 count = match.captured(2).toLongLong();
        if (match.captured(1) == "hole") {
            auto& file = static_cast<QFile&>(device);
            QVERIFY(file.flush() && file.resize(file.size() + count) && file.seek(file.size()));
        }
        for (qint64 left = match.captured(1) == "x" ? count : 0; left > 0; left -= mebibyte.size())
            device.write(mebibyte.constData(), std::min<qint64>(left, mebibyte.size()));
        for (int line = match.captured(3).toInt(); line && line <= match.captured(4).toInt(); ++line)
            device.write("line " + QByteArray::number(line) + '\n');
    }
    device.write(bytes.mid(at));
}

// Changes the log as a step of log-follows.txt does.
void changeLog(const QString& log, const QByteArray& how, const QByteArray& bytes)
{
    QFile file(how == "replace" ? log + ".new" : log);
    QVERIFY(file.open(how == "append" ? QIODevice::Append : QIODevice::WriteOnly));
    writeLog(file, bytes);
    file.close();
    if (how == "replace")
        QCOMPARE(std::rename(QFile::encodeName(file.fileName()), QFile::encodeName(log)), 0);
}

} // namespace

// default.tfc, server.cfg and the way every file is saved: exact bytes and every refusal.
class CoreTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    const QString path = dir.filePath("default.tfc");

    // Reads a settings file of these bytes as default.tfc is read.
    std::optional<Failure> readSettings(const QByteArray& contents, ServerSettings& settings, TextEncoding& encoding)
    {
        writeBytes(dir.filePath("read.tfc"), contents);
        return readFullLayout(dir.filePath("read.tfc"), settings, encoding);
    }

    // Reads a settings file and writes it back in the character set it came in.
    QByteArray readAndWriteBack(const QByteArray& contents, ServerSettings& settings)
    {
        TextEncoding encoding{};
        if (const std::optional<Failure> failure = readSettings(contents, settings, encoding))
            return failure->message.toUtf8();
        return failureOf(writeFullLayout(path, settings, encoding)) ? "unwritable" : readBytes(path);
    }

private Q_SLOTS:
    void cleanup() { SafeSave::failSteps({}); }

    // A file comes back byte for byte whatever its character set, hand-edited line ends and
    // headers, and a team damage line in number form; the last column is the respawn delay read.
    void readAndWrittenBack_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("read");
        for (const Case& given : readCases("round-trips.txt")) {
            const QByteArray file = given.contains("every") ? everyValueLine(given.value("every"))
                                                            : settingsFileWith(lines(given.value("tfc")));
            QTest::newRow(given.value({}).constData())
                << file << (given.contains("written") ? settingsFileWith(lines(given.value("written"))) : file)
                << QString(QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom)
                               .decode(given.value("read", "0.0"))); // a byte-order mark is a character here
        }
        const QByteArray factory = factoryFullLayout();
        // clang-format off
        QTest::newRow("lone E9 at the very end") << factory.chopped(2) + "\xe9" << factory.chopped(2) + "\xe9\r\n" << "0.0é";
        QTest::newRow("LF") << QByteArray(factory).replace("\r\n", "\n") << factory << "0.0";
        QTest::newRow("CR") << QByteArray(factory).replace("\r\n", "\r") << factory << "0.0";
        QTest::newRow("no ending on the last line") << factory.chopped(2) << factory << "0.0";
        QTest::newRow("lines after the 52nd") << factory + "line 53\r\nline 60\r\n" << factory << "0.0";
        QTest::newRow("other headers") << settingsFileWith({{1, ""}, {46, "anything"}}) << factory << "0.0";
        // clang-format on
    }

    void readAndWrittenBack()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, written);
        QFETCH(QString, read);
        ServerSettings settings;
        QCOMPARE(readAndWriteBack(file, settings), written);
        QCOMPARE(settings.tfc_respawndelay, read);
    }

    void refusedReadsLeaveTheRecordAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        const QByteArray full = factoryFullLayout();
        const QString notPlain = "it is not a plain file but a folder, device or pipe.";
        // clang-format off
        QTest::newRow("51 lines") << "file" << full.left(full.lastIndexOf("0.0\r\n")) << "it has only 51 lines, and a settings file has 52.";
        QTest::newRow("empty") << "file" << QByteArray() << "it has only 0 lines, and a settings file has 52.";
        QTest::newRow("larger than 1 MiB") << "file" << full + QByteArray(1024 * 1024, 'x') << "it is larger than 1 MiB, too large for a settings file.";
        QTest::newRow("missing") << "missing" << QByteArray() << "No such file or directory";
        QTest::newRow("folder") << "folder" << QByteArray() << notPlain;
        QTest::newRow("pipe") << "pipe" << QByteArray() << notPlain;
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
        ServerSettings settings = factoryWith(&S::file_version, "0.3");
        TextEncoding encoding = TextEncoding::Windows1252;
        QCOMPARE(messageOf(readFullLayout(refused, settings, encoding)), "Cannot read " + refused + ": " + reason);
        QCOMPARE(settings, factoryWith(&S::file_version, "0.3"));
        QCOMPARE(encoding, TextEncoding::Windows1252);
        if (kind == "file")
            QCOMPARE(readBytes(refused), contents);
    }

    // What the game server or the next start would not take back as it is is never written, and
    // the old file stays; the largest file the reader takes is also the largest the writer writes.
    void refusedSettingsFiles_data()
    {
        QTest::addColumn<RefusedSettings>("row"); // refused in Save As files too?
        const auto utf8 = TextEncoding::Utf8;
        // clang-format off
        QTest::newRow("line feed") << RefusedSettings{&S::mp_teamplay, "21\nsv_cheats 1", utf8, true, "mp_teamplay holds a line break, which would split its line."};
        QTest::newRow("carriage return") << RefusedSettings{&S::hostname, "host\r", utf8, true, "Server Name (hostname) holds a line break, which would split its line."};
        QTest::newRow("beyond Windows-1252") << RefusedSettings{&S::cr_spy, "東京", TextEncoding::Windows1252, true, "Spy (cr_spy)" + cannotHold.arg("Windows-1252")};
        QTest::newRow("lone surrogate") << RefusedSettings{&S::sv_password, QString(QChar(0xd800)), utf8, false, "Server Password (sv_password)" + cannotHold.arg("UTF-8")};
        QTest::newRow("one byte over 1 MiB") << RefusedSettings{&S::hostname, QString(largestValue + 1, 'x'), utf8, false,
            "the settings would make a file larger than 1 MiB, more than a settings file may hold. Shorten the longest values."};
        QTest::newRow("exactly 1 MiB") << RefusedSettings{&S::hostname, QString(largestValue, 'x'), utf8, false, ""};
        // clang-format on
    }

    void refusedSettingsFiles()
    {
        QFETCH(RefusedSettings, row);
        const auto& [field, value, encoding, saveAsToo, refusal] = row;
        const ServerSettings settings = factoryWith(field, value);
        QTemporaryDir folder;
        const QString full = folder.filePath("default.tfc");
        const QString saveAs = folder.filePath("Saved.TFC");
        writeBytes(full, "old\r\n");
        writeBytes(saveAs, "old\r\n");
        if (refusal.isEmpty()) {
            QCOMPARE(messageOf(writeFullLayout(full, settings, encoding)), "");
            ServerSettings read;
            QCOMPARE(readAndWriteBack(readBytes(full), read).size(), 1024 * 1024);
            QCOMPARE(read, settings);
            return;
        }
        QCOMPARE(messageOf(writeFullLayout(full, settings, encoding)), "Cannot write " + full + ": " + refusal);
        if (saveAsToo)
            QCOMPARE(messageOf(writeSaveAsLayout(saveAs, settings, {}, encoding)),
                "Cannot write " + saveAs + ": " + refusal);
        QCOMPARE(readBytes(full) + readBytes(saveAs), "old\r\nold\r\n");
        QCOMPARE(filesIn(folder.path()), (QStringList{"default.tfc", "Saved.TFC"}));
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
            ServerSettings settings;
            const QByteArrayList written = readAndWriteBack(contents, settings).split('\n');
            if (lines.size() < 52) {
                QCOMPARE(settings, ServerSettings());
                continue;
            }
            ++accepted;
            for (int line : valueLines)
                QCOMPARE(written[line - 1], lines[line - 1] + '\r');
        }
        QVERIFY2(accepted > 50 && accepted < 150, "random files should be both long enough and too short");
    }

    // Every value as it stands, in the character set default.tfc came in; or, for each value the
    // console would not apply exactly as it stands or would run as commands, a refusal naming the
    // setting, and the old file stays with no temporary file left.
    void serverCfg_data()
    {
        QTest::addColumn<ServerCfgCase>("row"); // the settings, the lines of server.cfg written, the refusal
        for (const Case& written : readCases("server-cfg.txt")) {
            ServerSettings settings;
            TextEncoding encoding{};
            QCOMPARE(messageOf(readSettings(settingsFileWith(lines(written.value("tfc"))), settings, encoding)), "");
            QTest::newRow(written.value({}).constData())
                << ServerCfgCase{settings, encoding, written.value("cfg"), QString::fromUtf8(written.value("refused"))};
        }
        // Values no settings file can carry.
        QTest::newRow("line break") << ServerCfgCase{factoryWith(&S::cr_engineer, "0\nquit"), TextEncoding::Utf8, {},
            "Engineer (cr_engineer) holds a control character (a line break), which the game server's console cannot "
            "take inside a value."};
        QTest::newRow("beyond Windows-1252") << ServerCfgCase{factoryWith(&S::hostname, "東京"),
            TextEncoding::Windows1252, {}, "Server Name (hostname)" + cannotHold.arg("Windows-1252")};
    }

    void serverCfg()
    {
        QFETCH(ServerCfgCase, row);
        const auto& [settings, encoding, written, refusal] = row;
        const QString cfg = dir.filePath("server.cfg");
        writeBytes(cfg, "old\r\n");
        QCOMPARE(messageOf(writeServerCfgAt(cfg, settings, encoding)),
            refusal.isEmpty() ? "" : "Cannot write " + cfg + ": " + refusal);
        QCOMPARE(readBytes(cfg),
            refusal.isEmpty() ? withLines(readBytes(TEST_DATA "/factory-server.cfg"), lines(written)) : "old\r\n");
        QCOMPARE(filesIn(dir.path()).filter("server.cfg"), QStringList{"server.cfg"});
    }

    // Root saving the game server's own file leaves it the server's, with every mode bit and no
    // temporary file.
    void savesKeepOwnerGroupAndMode()
    {
        writeBytes(path, "old\r\n");
        QCOMPARE(chmod(QFile::encodeName(path).constData(), geteuid() ? 0640 : 02640), 0);
        if (geteuid() == 0)
            QCOMPARE(chown(QFile::encodeName(path).constData(), 4321, 4322), 0);
        QCOMPARE(messageOf(saveWhole(path, "new\r\n")), "");
        struct stat saved { };
        QCOMPARE(stat(QFile::encodeName(path).constData(), &saved), 0);
        QCOMPARE(saved.st_mode & 07777, mode_t(geteuid() ? 0640 : 02640));
        QCOMPARE(std::pair(saved.st_uid, saved.st_gid),
            geteuid() ? std::pair(geteuid(), getegid()) : std::pair(uid_t(4321), gid_t(4322)));
        QCOMPARE(readBytes(path), "new\r\n");
        QCOMPARE(filesIn(dir.path()).filter("default.tfc"), QStringList{"default.tfc"});
    }

    // What the game server makes of a player limit that is not a number from 1 to 32 in digits.
    void playerLimits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("players"); // 0: taken as it stands
        const QList<std::pair<QString, int>> limits{{"12", 0}, {"1", 0}, {"32", 0}, {"007", 0}, {"0", 6}, {"33", 32},
            {"", 6}, {"abc", 6}, {"12abc", 12}, {"0x20", 6}, {"99999999999999999999", 32}, {"\u0663", 6}};
        for (const auto& [typed, players] : limits)
            QTest::newRow(qPrintable(typed.isEmpty() ? "empty" : typed)) << typed << players;
    }

    void playerLimits()
    {
        QFETCH(QString, typed);
        QFETCH(int, players);
        QCOMPARE(playersInsteadOf(typed).value_or(0), players);
    }

    // What the console sets a variable to from a server.cfg, ours or edited by hand.
    void valuesSetInServerCfg_data()
    {
        QTest::addColumn<QByteArray>("cfg");
        QTest::addColumn<QByteArray>("value"); // "-": not set
        QTest::newRow("ours") << readBytes(TEST_DATA "/factory-server.cfg").replace("\"\"", "\"s3 cr;t\"")
                              << QByteArray("s3 cr;t");
        QTest::newRow("empty") << readBytes(TEST_DATA "/factory-server.cfg") << QByteArray("");
        QTest::newRow("unquoted") << QByteArray("RCON_Password  secret more\r\n") << QByteArray("secret");
        QTest::newRow("last wins") << QByteArray("rcon_password a\nrcon_password \"b\"; rcon_password c")
                                   << QByteArray("c");
        QTest::newRow("commented") << QByteArray("// rcon_password a\nsv_cheats 0 // rcon_password b")
                                   << QByteArray("-");
        QTest::newRow("quote unclosed") << QByteArray("rcon_password \"a b") << QByteArray("a b");
        QTest::newRow("name alone") << QByteArray("rcon_password\n") << QByteArray("-");
        QTest::newRow("another name") << QByteArray("rcon_passwords x") << QByteArray("-");
    }

    void valuesSetInServerCfg()
    {
        QFETCH(QByteArray, cfg);
        QFETCH(QByteArray, value);
        QCOMPARE(valueSetIn(cfg, "rcon_password").value_or("-"), value);
    }

    // The record of a started server finds the very process again, and nothing else: not a process
    // that has reused its id, not one of another boot, not one that has ended; and, when the record
    // holds a token, only a process that holds it too.
    void serverRecords_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<quint16>("port");
        QTest::newRow("as recorded") << "" << true << quint16(27016);
        QTest::newRow("the highest port") << "" << true << quint16(65535);
        QTest::newRow("another start") << "start" << false << quint16(27016);
        QTest::newRow("another boot") << "boot" << false << quint16(27016);
        QTest::newRow("ended") << "end" << false << quint16(27016);
        QTest::newRow("unreadable") << "garbage" << false << quint16(27016);
        QTest::newRow("with its token") << "token" << true << quint16(27016);
        QTest::newRow("with another token") << "another token" << false << quint16(27016);
    }

    void serverRecords()
    {
        QFETCH(QString, change);
        QFETCH(bool, runs);
        QFETCH(quint16, port);
        const QByteArray token = newServerToken();
        QProcess sleep;
        sleep.setProgram("sleep");
        sleep.setArguments({"30"});
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(serverTokenVariable, token);
        sleep.setProcessEnvironment(environment);
        qint64 processId = 0;
        QVERIFY(sleep.startDetached(&processId));
        std::optional<ServerRecord> record = recordOfProcess(processId);
        QVERIFY(record && record->sessionId != processId); // a session of its own, begun by another process
        record->startedAt = QDateTime::currentDateTime();
        record->port = port;
        record->commandLine = "/srv/a b/hlds_run -game tfc\n -maxplayers 20";
        record->password = QByteArray("p\"w\xe9\n", 5);
        if (change == "start")
            record->startTicks += '0';
        if (change == "boot")
            record->bootId = "another";
        if (change.endsWith("token"))
            record->token = change == "token" ? token : newServerToken();
        QTemporaryDir folder;
        QCOMPARE(messageOf(writeServerRecord(folder.path(), *record)), "");
        QCOMPARE(modeOf(serverRecordPath(folder.path())), "0600"); // it holds the password
        if (change == "garbage")
            writeBytes(serverRecordPath(folder.path()), "process x\n");
        const std::optional<ServerRecord> read = readServerRecord(folder.path());
        QCOMPARE(read.has_value(), change != "garbage");
        if (change != "garbage")
            QCOMPARE(*read, *record);
        if (change == "end") {
            kill(pid_t(processId), SIGTERM);
            QTRY_VERIFY_WITH_TIMEOUT(!serverRuns(*record), 10000);
        }
        QCOMPARE(read && serverRuns(*read), runs);
        kill(pid_t(processId), SIGKILL);
    }

    // A record file read back field by field, or not at all: server-records.txt.
    void recordsRead_data() { addCases("server-records.txt"); }

    void recordsRead()
    {
        QFETCH(Case, given);
        QByteArray bytes = given.value("record");
        static const QRegularExpression run(R"(<x\*(\d+)>)");
        if (const QRegularExpressionMatch match = run.match(QString::fromLatin1(bytes)); match.hasMatch())
            bytes.replace(match.capturedStart(), match.capturedLength(), QByteArray(match.captured(1).toInt(), 'x'));
        QTemporaryDir folder;
        const QString recordPath = serverRecordPath(folder.path());
        writeBytes(recordPath, bytes);
        QCOMPARE(chmod(QFile::encodeName(recordPath).constData(), 0600), 0);
        const std::optional<ServerRecord> record = readServerRecord(folder.path());
        QByteArray read = "nothing";
        if (record) {
            const auto time = [](const QDateTime& moment) { return moment.toString(Qt::ISODateWithMs).toUtf8(); };
            read = QByteArrayList{"process=" + QByteArray::number(record->processId),
                "session=" + QByteArray::number(record->sessionId), "start=" + record->startTicks,
                "boot=" + record->bootId, "token=" + record->token, "since=" + time(record->startedAt),
                "port=" + QByteArray::number(record->port), "command=" + record->commandLine.toUtf8(),
                "maxplayers=" + record->maxplayers.toUtf8(), "map=" + record->startMap.toUtf8(),
                "password=" + (record->password ? record->password->toHex() : "none"),
                "updating="
                    + (record->updatingProcess
                            ? QByteArray::number(record->updatingProcess) + ' ' + time(record->updatingSince)
                            : "none")}
                       .join('|');
        }
        QCOMPARE(read, given.value("reads"));
    }

    // Whatever stands where the record belongs, and is not a record file of Quillmont's own, is
    // never read (a pipe would keep the program waiting), written through, replaced or removed,
    // and Start Server names it.
    void recordsInTheWay_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        // clang-format off
        QTest::newRow("link to a record") << "link" << "it is a symbolic link, not a plain file.";
        QTest::newRow("FIFO") << "fifo" << "it is a named pipe (FIFO), not a plain file.";
        QTest::newRow("folder") << "folder" << "it is a folder, not a plain file.";
        QTest::newRow("readable by others") << "0644" << "other accounts may read or change it (mode 0644).";
        QTest::newRow("writable by the group") << "0620" << "other accounts may read or change it (mode 0620).";
        QTest::newRow("of another account") << "owner" << "it is a file of another account (user id 65534).";
        // clang-format on
    }

    void recordsInTheWay()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        if (obstacle == "owner" && geteuid() != 0)
            QSKIP("Only root can make a file of another account.");
        QTemporaryDir folder;
        ServerRecord record;
        record.startTicks = "99";
        record.processId = record.sessionId = record.port = 27015;
        record.startedAt = QDateTime::currentDateTime();
        // A true record elsewhere: the link leads to it, the files hold its bytes.
        const QString elsewhere = folder.filePath("elsewhere");
        QVERIFY(QDir().mkdir(elsewhere));
        QCOMPARE(messageOf(writeServerRecord(elsewhere, record)), "");
        const QString recordPath = serverRecordPath(folder.path());
        const QByteArray name = QFile::encodeName(recordPath);
        if (obstacle == "link")
            QVERIFY(QFile::link(serverRecordPath(elsewhere), recordPath));
        else if (obstacle == "fifo")
            QCOMPARE(mkfifo(name.constData(), 0600), 0);
        else if (obstacle == "folder")
            QVERIFY(QDir().mkdir(recordPath));
        else {
            QVERIFY(QFile::copy(serverRecordPath(elsewhere), recordPath));
            QCOMPARE(chmod(name.constData(), obstacle == "owner" ? 0600 : obstacle.toUInt(nullptr, 8)), 0);
            QCOMPARE(lchown(name.constData(), obstacle == "owner" ? 65534 : geteuid(), getegid()), 0);
        }
        const auto standing
            = [&] { return std::pair(contentsOf(folder.path()), modeOf(recordPath) + QFileInfo(recordPath).owner()); };
        const auto before = standing();
        QCOMPARE(messageOf(recordInTheWay(folder.path())),
            "Cannot start the server: " + recordPath + " is in the way: " + reason
                + " Quillmont keeps the record of the server it starts there, with the remote console password, only "
                  "as a file of your own that no other account may read.");
        QVERIFY(!readServerRecord(folder.path()));
        ++record.port;
        QCOMPARE(messageOf(writeServerRecord(folder.path(), record)), "Cannot write " + recordPath + ": " + reason);
        removeServerRecord(folder.path());
        QCOMPARE(standing(), before);
    }

    // Stop Server's signal reaches the session Quillmont started only while a process of it runs as
    // this account and holds the server's token; never a session of a record without a token, nor a
    // crafted one. The server is a sleep in a session of its own; the test ends it by SIGKILL.
    void signalsReachOnlyTheServer_data()
    {
        QTest::addColumn<QString>("change"); // of the record from the process as started
        QTest::addColumn<QString>("account"); // the stopping program runs as (empty: this one)
        QTest::addColumn<QString>("reason"); // why the server could not be stopped (empty: it was)
        QTest::addColumn<int>("signal"); // what the server ended by
        const QString unverified = "no process of its session runs under your account with the token Quillmont "
                                   "started it with, so none was signalled.";
        // clang-format off
        QTest::newRow("as started") << "" << "" << "" << SIGTERM;
        QTest::newRow("without a token") << "no token" << ""
                                         << "it was started by an earlier Quillmont, whose record holds no token by "
                                            "which to tell the server's processes from others. End it yourself."
                                         << SIGKILL;
        QTest::newRow("another token") << "another token" << "" << unverified << SIGKILL;
        QTest::newRow("process 1") << "process 1" << "" << "its record names no session of a server." << SIGKILL;
        QTest::newRow("as another account") << "" << "65534" << unverified << SIGKILL;
        // clang-format on
    }

    void signalsReachOnlyTheServer()
    {
        QFETCH(QString, change);
        QFETCH(QString, account);
        QFETCH(QString, reason);
        QFETCH(int, signal);
        if (!account.isEmpty() && geteuid() != 0)
            QSKIP("Only root can run a program as another account.");
        const QByteArray token = newServerToken();
        QProcess server;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(serverTokenVariable, token);
        server.setProcessEnvironment(environment);
        server.start("setsid", {"sleep", "30"});
        QVERIFY(server.waitForStarted());
        std::optional<ServerRecord> record;
        QTRY_VERIFY((record = recordOfProcess(server.processId())) && record->sessionId == server.processId());
        record->token = change == "no token" ? "" : change == "another token" ? newServerToken() : token;
        if (change == "process 1")
            record->processId = record->sessionId = 1;
        QStringList stopping{
            STOP_SERVER_PATH, QString::number(record->processId), QString::number(record->sessionId), record->token};
        if (!account.isEmpty())
            stopping = QStringList{"setpriv", "--reuid=" + account, "--regid=" + account, "--clear-groups"} + stopping;
        QProcess stopper;
        stopper.start(stopping.takeFirst(), stopping);
        QVERIFY(stopper.waitForFinished());
        QCOMPARE(QString::fromUtf8(stopper.readAllStandardOutput()),
            reason.isEmpty() ? "" : "The server in /srv/tfc could not be stopped: " + reason);
        kill(pid_t(server.processId()), SIGKILL);
        QVERIFY(server.waitForFinished());
        QCOMPARE(server.exitCode(), signal);
    }

    void signalRefusedBySystem()
    {
        QSKIP("On Linux the system cannot refuse Stop Server's signal without a security module: Quillmont signals "
              "only while a process of the server runs with every user id its own, and a process whose environment "
              "one may read, as the token check does, one may signal too. tst_server tests the words through "
              "failSignalsForTests.");
    }

    // The server's age counts from its start on the clock since boot.
    void ageOfServer()
    {
        QElapsedTimer sinceStart;
        sinceStart.start();
        QProcess sleep;
        sleep.start("sleep", {"30"});
        QVERIFY(sleep.waitForStarted());
        QElapsedTimer sinceStarted;
        sinceStarted.start();
        std::optional<ServerRecord> record = recordOfProcess(sleep.processId());
        QVERIFY(record);
        QTest::qWait(300); // an age that a clock counting from anything but the start would not give
        const qint64 least = sinceStarted.elapsed();
        const std::optional<std::chrono::milliseconds> age = serverAge(*record);
        QVERIFY(age);
        // The system counts in ticks of 10 ms.
        QVERIFY2(age->count() >= least - 20 && age->count() <= sinceStart.elapsed() + 20,
            qPrintable(QStringLiteral("%1 ms, not %2 to %3").arg(age->count()).arg(least).arg(sinceStart.elapsed())));
        record->bootId = "another boot";
        QVERIFY(!serverAge(*record));
        sleep.kill();
        sleep.waitForFinished();
    }

    // The port kept for a folder in Quillmont's own settings, as another version or the operator may
    // have left it: only a port from 1 to 65535 is taken, else the game server's default.
    void storedPorts_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("port");
        QTest::newRow("a port") << "27016" << 27016;
        QTest::newRow("the lowest") << "1" << 1;
        QTest::newRow("the highest") << "65535" << 65535;
        QTest::newRow("0") << "0" << 27015;
        QTest::newRow("past the highest") << "65536" << 27015;
        QTest::newRow("negative") << "-1" << 27015;
        QTest::newRow("no number") << "port" << 27015;
        QTest::newRow("none") << "" << 27015;
    }

    void storedPorts()
    {
        QFETCH(QString, stored);
        QFETCH(int, port);
        QStandardPaths::setTestModeEnabled(true);
        QTemporaryDir folder;
        const QString key = "folders/" + QUrl::toPercentEncoding(folder.path()) + "/port";
        const auto forget = qScopeGuard([&key] { programSettings().remove(key); });
        if (!stored.isEmpty())
            programSettings().setValue(key, stored);
        QCOMPARE(int(serverPort(folder.path())), port);
        setServerPort(folder.path(), 27020);
        QCOMPARE(int(serverPort(folder.path())), 27020);
    }

    // The last line the server wrote is read only from a plain file of this account's own, the log
    // as Quillmont keeps it: never through a link, never from a pipe that would keep it waiting.
    void lastLineOfTheLog_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("line");
        const QByteArray ours = "*** 2026-12-07T20:15:03 A line of Quillmont's own\n";
        QTest::newRow("plain file") << "file"
                                    << "one\ntwo\n" + ours << "two";
        QTest::newRow("one line") << "file" << QByteArray("only\n") << "only";
        QTest::newRow("no line end") << "file" << QByteArray("one\ntwo") << "two";
        QTest::newRow("CR LF") << "file" << QByteArray("one\r\ntwo\r\n\r\n") << "two";
        QTest::newRow("Quillmont's own lines only") << "file" << ours + ours << QString::fromUtf8(ours.trimmed());
        QTest::newRow("last line longer than 4 KiB, its end") << "file"
                                                              << "one\n" + QByteArray(5000, 'x') + "tail\n"
                                                              << QString(4091, 'x') + "tail";
        QTest::newRow("empty") << "file" << QByteArray() << "";
        QTest::newRow("pipe") << "pipe" << QByteArray() << "";
        QTest::newRow("link to a log") << "link"
                                       << "one\ntwo\n" + ours << "";
    }

    void lastLineOfTheLog()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, contents);
        QFETCH(QString, line);
        QTemporaryDir folder;
        const QString log = folder.filePath("server-console.log");
        writeBytes(folder.filePath("other.log"), contents);
        if (kind == "file")
            QVERIFY(QFile::copy(folder.filePath("other.log"), log));
        else if (kind == "pipe")
            QCOMPARE(mkfifo(QFile::encodeName(log).constData(), 0600), 0);
        else
            QVERIFY(QFile::link(folder.filePath("other.log"), log));
        QCOMPARE(lastLineOf(log), line);
    }

    // A log past its limit is copied aside, its copies moved up, five kept, the new ones readable by
    // their owner alone; nothing but plain files of this account's own is moved or written.
    void rotatesLog_data()
    {
        QTest::addColumn<QStringList>("before"); // "NAME=CONTENTS", or "NAME>TARGET" for a link
        QTest::addColumn<QStringList>("after"); // "NAME=CONTENTS MODE", the log's note as <note>
        QTest::addColumn<QString>("failure");
        const QStringList copies{"log=0123456789", "log.1=a", "log.2=b", "log.3=c", "log.4=d", "log.5=e"};
        QTest::newRow("within its limit") << QStringList{"log=01234567"} << QStringList{"log=01234567 0600"} << "";
        QTest::newRow("no log") << QStringList{} << QStringList{} << "";
        QTest::newRow("copied aside") << QStringList{"log=0123456789"}
                                      << QStringList{"log=<note> 0600", "log.1=0123456789 0600"} << "";
        QTest::newRow("five kept") << copies
                                   << QStringList{"log=<note> 0600", "log.1=0123456789 0600", "log.2=a 0600",
                                          "log.3=b 0600", "log.4=c 0600", "log.5=d 0600"}
                                   << "";
        QTest::newRow("copies missing between others")
            << QStringList{"log=0123456789", "log.2=b", "log.5=e"}
            << QStringList{"log=<note> 0600", "log.1=0123456789 0600", "log.3=b 0600", "log.5=e 0600"} << "";
        QTest::newRow("a link where a copy goes") << QStringList{"log=0123456789", "log.1=a", "log.2>log.1"}
                                                  << QStringList{"log=0123456789 0600", "log.1=a 0600", "log.2=a 0777"}
                                                  << "Cannot write <log>.2: it is a symbolic link, not a plain file.";
        QTest::newRow("a log that is a link") << QStringList{"log>log.1", "log.1=0123456789"}
                                              << QStringList{"log=0123456789 0777", "log.1=0123456789 0600"}
                                              << "Cannot write <log>: it is a symbolic link, not a plain file.";
    }

    void rotatesLog()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(QString, failure);
        QTemporaryDir folder;
        const QString log = folder.filePath("server-console.log");
        const auto inFolder = [&](const QString& name) { return QString(name).replace("log", log); };
        for (const QString& file : before) {
            if (file.contains('>'))
                QVERIFY(QFile::link(inFolder(file.section('>', 1)), inFolder(file.section('>', 0, 0))));
            else
                writeBytes(inFolder(file.section('=', 0, 0)), file.section('=', 1).toUtf8());
            QFile::setPermissions(
                inFolder(file.section(QRegularExpression("[=>]"), 0, 0)), QFile::ReadOwner | QFile::WriteOwner);
        }
        QCOMPARE(messageOf(rotateLog(log, 8)), QString(failure).replace("<log>", log));
        QStringList found;
        for (const QString& name : filesIn(folder.path())) {
            const QString contents = QString::fromUtf8(readBytes(folder.filePath(name)));
            const bool noted = contents.startsWith("*** ")
                && contents.endsWith(" Quillmont copied this log to server-console.log.1 and began it anew; lines "
                                     "the server wrote meanwhile may be lost.\n");
            found << QString(name).replace("server-console.", "") + '=' + (noted ? "<note>" : contents) + ' '
                    + modeOf(folder.filePath(name));
        }
        QCOMPARE(found, after);
    }

    // The lines of the log that echo the console's own commands, left out as console-echo.txt says.
    void consoleEcho_data() { addCases("console-echo.txt"); }

    void consoleEcho()
    {
        QFETCH(Case, given);
        ConsoleEcho echo;
        QStringList shown;
        for (const QString& step : listOf(given, "steps")) {
            const QString what = step.section(' ', 0, 0), rest = step.section(' ', 1);
            if (what == "sent") {
                echo.sent(rest);
            } else if (what == "sent-many") {
                for (int number = 1; number <= rest.toInt(); ++number)
                    echo.sent(QStringLiteral("c%1").arg(number));
            } else if (what == "replied") {
                shown += echo.replied(rest.section('=', 0, 0), rest.section('=', 1));
            } else {
                QCOMPARE(what, "log");
                shown += echo.read({rest});
            }
        }
        QCOMPARE(shown, listOf(given, "shows"));
    }

    // The log followed as log-follows.txt says: lines cut, passed over and taken up again, within
    // bounds of time and memory however long a line or large a log.
    void followsLog_data() { addCases("log-follows.txt"); }

    void followsLog()
    {
        QFETCH(Case, given);
        QTemporaryDir folder;
        const QString log = folder.filePath("server-console.log");
        if (given.value("log") == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(log).constData(), 0600), 0);
        else
            changeLog(log, "write", given.value("log"));
        const double before = kilobytesResident();
        LogFollower follower(log);
        QStringList shown;
        connect(&follower, &LogFollower::linesRead, [&shown](const QStringList& lines) { shown += lines; });
        follower.start();
        for (const QByteArray& step : given.value("do").split('|')) {
            const qsizetype shownBefore = shown.size();
            if (step.isEmpty())
                continue;
            changeLog(log, step.left(step.indexOf('=')), step.mid(step.indexOf('=') + 1));
            QTRY_VERIFY_WITH_TIMEOUT(shown.size() > shownBefore, 10000);
        }
        QBuffer expected;
        expected.open(QIODevice::WriteOnly);
        writeLog(expected, given.value("shows"));
        QTRY_COMPARE_WITH_TIMEOUT(
            shown, QString::fromUtf8(expected.data()).split(QRegularExpression("[|\\n]"), Qt::SkipEmptyParts), 10000);
        QCOMPARE_LT(kilobytesResident() - before, 64 * 1024);
    }

    // The ban lists' files read as the server runs them, and edited line by line: ban-files.txt.
    void banFiles_data() { addCases("ban-files.txt"); }

    void banFiles()
    {
        QFETCH(Case, given);
        QTemporaryDir folder;
        QDir().mkpath(folder.filePath("tfc"));
        const BanList list = given.value("list") == "ids" ? BanList::Ids : BanList::Addresses;
        const QString file = banFilePath(folder.path(), list);
        const auto lf = [](QByteArray bytes) { return bytes.replace('|', '\n'); };
        const QByteArray before
            = given.contains("size") ? QByteArray(given.value("size").toInt(), 'x') : lf(given.value("file"));
        if (given.contains("file") || given.contains("size"))
            writeBytes(file, before);
        if (given.value("obstacle") == "read-only")
            makeReadOnly(file);
        if (given.value("obstacle") == "folder")
            QVERIFY(QDir().mkdir(file));
        failSaveSteps(listOf(given, "fail"));
        const QString message = given.contains("add")
            ? messageOf(addPermanentBan(folder.path(), list, given.value("add"), TextEncoding::Utf8))
            : messageOf(removePermanentBan(folder.path(), list, given.value("remove")));
        QCOMPARE(message, textOf(given, "message").replace("<file>", file));
        const QByteArray after = given.contains("written") ? lf(given.value("written")) : before;
        QCOMPARE(QFileInfo(file).isFile() ? readBytes(file) : "none", after.isEmpty() ? "none" : after);
        QCOMPARE(filesIn(folder.filePath("tfc")),
            QFileInfo(file).isFile() ? QStringList{file.section('/', -1)} : QStringList());
        if (given.contains("mode"))
            QCOMPARE(modeOf(file), textOf(given, "mode"));
        if (!given.contains("bans"))
            return;
        QStringList bans;
        for (const BanEntry& ban : bansInFile(readBytes(file), list))
            bans << ban.entry + ' ' + (ban.minutes ? QByteArray::number(ban.minutes) : "permanent");
        QCOMPARE(bans, listOf(given, "bans"));
    }

    // Map cycles read as the game reads them and edited with every other byte kept: map-cycles.txt.
    void mapCycles_data() { addCases("map-cycles.txt"); }

    void mapCycles()
    {
        QFETCH(Case, given);
        const auto lf = [](QByteArray bytes) { return bytes.replace('|', '\n'); };
        const auto mapsOf = [](const MapCycle& cycle) {
            QByteArrayList maps;
            for (const MapCycle::Entry& entry : cycle.entries())
                maps << entry.map + (entry.info ? ' ' + *entry.info : QByteArray());
            return maps.join('|');
        };
        const QByteArray before = lf(given.value("file"));
        MapCycle cycle(before);
        QCOMPARE(cycle.bytes(), before);
        if (given.contains("maps"))
            QCOMPARE(mapsOf(cycle), given.value("maps"));
        for (const QByteArray& edit : given.value("do").split('|')) {
            const QByteArrayList words = edit.split(' ');
            if (words.first() == "add")
                cycle.insert(words.at(1).toInt(), words.at(2));
            else if (words.first() == "remove")
                cycle.remove(words.at(1).toInt());
            else if (words.first() == "move")
                cycle.move(words.at(1).toInt(), words.at(2).toInt());
        }
        const QByteArray after = given.contains("written") ? lf(given.value("written")) : before;
        QCOMPARE(cycle.bytes(), after);
        QCOMPARE(mapsOf(MapCycle(after)), given.value("after", given.value("maps")));
        QCOMPARE(mapsOf(cycle), mapsOf(MapCycle(after)));
    }

    // The names the cycle refuses, each for its reason; a map in the cycle names one file.
    void mapNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("problem"); // after "The map name NAME "
        QTest::newRow("plain") << QByteArray("2fort") << "";
        QTest::newRow("31 bytes") << QByteArray(31, 'x') << "";
        QTest::newRow("empty") << QByteArray() << "The map name is empty.";
        QTest::newRow("32 bytes") << QByteArray(32, 'x')
                                  << "is 32 bytes long: the game takes at most 31 and would cut it.";
        QTest::newRow("blank") << QByteArray("my map") << "holds a blank, which the game takes as the end of the name.";
        QTest::newRow("tab") << QByteArray("my\tmap") << "holds a tab, which the game takes as a blank.";
        QTest::newRow("quote") << QByteArray("a\"b") << "holds a quote, which groups words in the map cycle.";
        QTest::newRow("colon") << QByteArray("de:x") << "holds \":\", at which changelevel splits the name.";
        for (const char c : QByteArrayView("{}()',"))
            QTest::newRow(QByteArray(1, c).constData())
                << ("a" + QByteArray(1, c))
                << QString("holds \"%1\", which the game takes as a word of its own.").arg(c);
        QTest::newRow("comment") << QByteArray("//x") << "starts with //, which the game takes as a comment.";
        QTest::newRow("above 7E") << QByteArray(
            "caf\xe9") << "holds a character outside printable ASCII, which the game's maps cannot be named with.";
    }

    void mapNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, problem);
        const QString expected = problem.isEmpty() || problem.startsWith("The")
            ? problem
            : "The map name " + QString::fromLatin1(name) + ' ' + problem;
        QCOMPARE(mapNameProblem(name).value_or(QString()), expected);
    }

    // Messages of the day saved in the set and line ends they came in: motd-files.txt.
    void motdFiles_data() { addCases("motd-files.txt"); }

    void motdFiles()
    {
        QFETCH(Case, given);
        QTemporaryDir folder;
        QDir().mkpath(folder.filePath("tfc"));
        if (given.contains("file"))
            writeBytes(motdPath(folder.path()), given.value("file"));
        const TextEncoding set = given.value("set") == "windows-1252" ? TextEncoding::Windows1252 : TextEncoding::Utf8;
        const std::variant<Motd, Failure> read = readMotd(folder.path(), set);
        QVERIFY(std::holds_alternative<Motd>(read));
        const Motd& motd = std::get<Motd>(read);
        const QString text = given.contains("text") ? textOf(given, "text").replace('|', '\n') : motd.text;
        const std::variant<QByteArray, QString> saved = motdBytes(motd, text);
        if (const QString* refusal = std::get_if<QString>(&saved)) {
            QCOMPARE(*refusal, textOf(given, "refused"));
            return;
        }
        QCOMPARE(std::get<QByteArray>(saved), given.value("written", given.value("file")));
        if (given.contains("count"))
            QCOMPARE(std::get<QByteArray>(saved).size(), given.value("count").toLongLong());
        QCOMPARE(motdOf(std::get<QByteArray>(saved), set).text, text);
    }

    // listid and listip replies in the engine's forms: ban-list-replies.txt.
    void banListReplies_data() { addCases("ban-list-replies.txt"); }

    void banListReplies()
    {
        QFETCH(Case, given);
        const BanList list = given.value("list") == "ids" ? BanList::Ids : BanList::Addresses;
        const BanListReply reply = readBanListReply(given.value("output").replace('|', '\n'), list);
        QStringList bans;
        for (const BanEntry& ban : reply.bans)
            bans << ban.entry + ' ' + (ban.minutes ? QByteArray::number(ban.minutes) : "permanent");
        QCOMPARE(bans, listOf(given, "bans"));
        QCOMPARE(reply.announced,
            given.contains("announced") ? std::optional(given.value("announced").toLongLong()) : std::nullopt);
        QCOMPARE(reply.otherLines.join('|'), given.value("other"));
        QCOMPARE(!reply.whole || !reply.headed, given.value("cut") == "yes");
        QCOMPARE(readBanListReply(printedBanList(reply.bans, list), list).bans, reply.bans);
    }

    // Unique ids as the server reads and prints them, and which of them a ban can hold.
    void banIds_data()
    {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QByteArray>("printed"); // "!" first: no unique id
        const QList<std::pair<QByteArray, QByteArray>> ids{{"STEAM_0:1:2345", "STEAM_0:1:2345"},
            {"STEAM_1:0:123", "STEAM_0:0:123"}, {"VALVE_0:0:007", "VALVE_0:0:7"}, {"STEAM_0:2:5", "STEAM_0:0:6"},
            {"STEAM_0:1:4294967295", "STEAM_0:1:2147483647"}, {"STEAM_0:0:0", "!STEAM_ID_PENDING"},
            {"STEAM_0:0:4294967296", "!STEAM_ID_PENDING"}, {"steam_0:1:2", "!STEAM_0:1:2"},
            {"STEAM_0:1:2:3", "!STEAM_ID_PENDING"}, {"STEAM_0:1:-2", "!STEAM_ID_PENDING"},
            {"STEAM_0:1:", "!STEAM_ID_PENDING"}, {"STEAM_ID_LAN", "!STEAM_ID_PENDING"},
            {"STEAM_ID_PENDING", "!STEAM_ID_PENDING"}, {"VALVE_ID_LAN", "!VALVE_ID_PENDING"},
            {"VALVE_ID_PENDING", "!VALVE_ID_PENDING"}, {"HLTV", "!VALVE_ID_PENDING"}, {"UNKNOWN", "!VALVE_ID_PENDING"},
            {"BOT", "!VALVE_ID_PENDING"}, {"", "!VALVE_ID_PENDING"}};
        for (const auto& [typed, printed] : ids)
            QTest::newRow(typed.isEmpty() ? "empty" : typed.constData()) << typed << printed;
    }

    void banIds()
    {
        QFETCH(QByteArray, typed);
        QFETCH(QByteArray, printed);
        QCOMPARE((isUniqueId(typed) ? "" : "!") + printedId(typed), printed);
    }

    // Addresses a ban can hold, and why others are refused.
    void banAddresses_data()
    {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QString>("refusal");
        const QString notFour = " is no IPv4 address: a ban takes four numbers joined by dots, as 198.51.100.7.";
        const QString notNumber = " is no number from 1 to 255 without leading zeros.";
        const QString anyNumber = " is 0, which the server takes as any number: the ban would hold every address that "
                                  "matches the other parts.";
        const QList<std::pair<QByteArray, QString>> addresses{{"198.51.100.7", ""}, {"198.51.100.255", ""},
            {"198.51.100", "198.51.100" + notFour}, {"198.51.100.7.1", "198.51.100.7.1" + notFour}, {"", notFour},
            {"192.0.2.7", "The part 2 of 192.0.2.7" + anyNumber},
            {"198.51.100.0", "The part 4 of 198.51.100.0" + anyNumber},
            {"198.51.100.256", "The part 4 of 198.51.100.256" + notNumber},
            {"198.51.100.07", "The part 4 of 198.51.100.07" + notNumber},
            {"198.51.100.x", "The part 4 of 198.51.100.x" + notNumber},
            {"198.51.100. 7", "The part 4 of 198.51.100. 7" + notNumber}};
        for (const auto& [typed, refusal] : addresses)
            QTest::newRow(typed.isEmpty() ? "empty" : typed.constData()) << typed << refusal;
    }

    void banAddresses()
    {
        QFETCH(QByteArray, typed);
        QFETCH(QString, refusal);
        QCOMPARE(banAddressProblem(typed).value_or(""), refusal);
    }

    // Each case saved twice: the message, and every file of the folder after each save.
    void saves_data() { addCases("saves.txt"); }

    void saves()
    {
        QFETCH(Case, given);
        QTemporaryDir folder;
        const QString target = folder.filePath(textOf(given, "file"));
        writeBytes(folder.filePath("default.tfc"), "old\r\n");
        makeObstacle(textOf(given, "obstacle"), target);
        if (given.value("obstacle") == "device link" && !QFileInfo(target).isSymLink())
            QSKIP("No device node could be made: that takes root.");
        const QMap<QString, QByteArray> before = contentsOf(folder.path());
        failSaveSteps(listOf(given, "fail"));
        const QString reason = textOf(given, "reason").replace("<folder>", folder.path());
        const QString told = textOf(given, "told").replace("<file>", target);
        const rlim_t limit = given.contains("limit") ? given.value("limit").toULongLong() : RLIM_INFINITY;
        for (const char byte : {'x', 'y'}) {
            const QByteArray contents(given.value("size").toInt(), byte);
            QCOMPARE(messageOf(saveWithin(limit, textOf(given, "writer"), target, contents)),
                reason.isEmpty() ? told : "Cannot write " + target + ": " + reason);
            QMap<QString, QByteArray> after = before;
            if (given.contains("holds"))
                after[textOf(given, "holds")] = contents;
            QCOMPARE(contentsOf(folder.path()), after);
        }
    }
};

QTEST_GUILESS_MAIN(CoreTest)
#include "tst_core.moc"
