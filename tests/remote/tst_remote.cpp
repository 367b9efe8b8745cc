#include "OwnNetwork.h"
#include "StandIn.h"
#include "TestFiles.h"
#include "remote/ConsoleAnswers.h"
#include "remote/KeeperChannel.h"
#include "remote/RconClient.h"
#include "remote/RemoteTimings.h"
#include "remote/RequestPackets.h"
#include "remote/ServerQuery.h"
#include "remote/StatusPlayers.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// Shorter waits, so that no test waits long for the network; the limits stay as they are.
const RemoteTimings testTimings{.quiet = 100ms, .noAnswer = 1000ms, .levelLoad = 5000ms};

// Puts back the timings a test changes when it ends, however it ends.
struct TimingsKept {
    const RemoteTimings kept = remoteTimings();
    ~TimingsKept() { setRemoteTimings(kept); }
};

// Bytes as the data files write them: hex, and "text" in double quotes, either followed by *N.
QByteArray bytesOf(const QByteArray& written)
{
    static const QRegularExpression token(R"(("[^"]*"|[0-9a-fA-F]{2})(?:\*(\d+))?)");
    QByteArray bytes;
    QRegularExpressionMatchIterator tokens = token.globalMatch(QString::fromLatin1(written));
    while (tokens.hasNext()) {
        const QRegularExpressionMatch match = tokens.next();
        const QString piece = match.captured(1);
        const QByteArray once
            = piece.startsWith('"') ? piece.mid(1, piece.size() - 2).toLatin1() : QByteArray::fromHex(piece.toLatin1());
        bytes += once.repeated(match.hasCaptured(2) ? match.captured(2).toInt() : 1);
    }
    return bytes;
}

// The datagrams of a case, joined by "|".
QByteArrayList datagramsOf(const QByteArray& written)
{
    QByteArrayList datagrams;
    for (const QByteArray& datagram : written.split('|'))
        datagrams << bytesOf(datagram);
    return datagrams;
}

QByteArray describe(const ServerInfo& info)
{
    return "info " + QStringList{info.name, info.map, info.folder, info.game, info.version}.join("; ").toUtf8()
        + QString("; %1/%2 players, %3 bots").arg(info.players).arg(info.maxPlayers).arg(info.bots).toUtf8()
        + (info.passworded ? ", password" : "") + (info.secure ? ", VAC" : "");
}

QByteArray describe(const QList<PlayerInfo>& players)
{
    QByteArrayList each;
    for (const PlayerInfo& player : players)
        each << player.name + ' ' + QByteArray::number(player.score) + ' ' + QByteArray::number(player.seconds);
    return ("players " + each.join("; ")).trimmed();
}

QByteArray describe(const ServerReply& reply)
{
    if (const auto* info = std::get_if<reply::Info>(&reply))
        return describe(info->info) + (info->oldStyle ? ", old style" : "");
    if (const auto* players = std::get_if<reply::Players>(&reply))
        return describe(players->players);
    if (const auto* challenge = std::get_if<reply::QueryChallenge>(&reply))
        return "challenge " + challenge->challenge.toHex();
    if (const auto* challenge = std::get_if<reply::RconChallenge>(&reply))
        return "rcon challenge " + challenge->number;
    if (const auto* output = std::get_if<reply::ConsoleOutput>(&reply))
        return ("output " + output->text).chopped(output->text.isEmpty());
    if (const auto* refused = std::get_if<reply::PasswordRefused>(&reply))
        return refused->noPasswordSet ? "refused, no password set" : "refused";
    if (const auto* refused = std::get_if<reply::ChallengeRefused>(&reply))
        return "challenge refused " + refused->reason;
    return std::holds_alternative<reply::Banned>(reply) ? "banned" : "fragment";
}

// What datagrams are read as, one entry per reply, as in server-replies.txt.
QByteArrayList read(const QByteArrayList& datagrams)
{
    QByteArrayList reads;
    SplitPackets split;
    for (const QByteArray& datagram : datagrams) {
        const Result<std::optional<ServerReply>> reply = split.read(datagram);
        if (reply && !reply->has_value())
            continue;
        reads << (reply ? describe(**reply) : "fails " + reply.failure().message.toUtf8());
    }
    if (const std::optional<Failure> missing = split.missing())
        reads << "missing " + missing->message.toUtf8();
    return reads;
}

QByteArray describe(const ServerRequest& request)
{
    if (request.failure())
        return "fails " + request.failure()->message.toUtf8();
    if (const auto* rcon = qobject_cast<const RconRequest*>(&request)) {
        const QByteArray& output = rcon->output();
        const QByteArray shown = output.size() > 4096 ? "<" + QByteArray::number(output.size()) + " bytes>" : output;
        return ("reply " + rcon->command() + ": " + shown).chopped(output.isEmpty())
            + (rcon->cutShort() ? " (cut short)" : "");
    }
    const auto& query = static_cast<const QueryRequest&>(request);
    return query.question() == QueryRequest::Question::Info ? describe(query.info()) : describe(query.players());
}

// Asks the server each question in turn, the commands of one remote console client; then gives
// anything more `settle` ms to come. Describes each answer as server-replies.txt does, joined by
// " | ": "reply COMMAND: OUTPUT" for a command (" (cut short)" after output that did not end),
// "fails MESSAGE" for a failure.
QByteArray ask(
    const ServerAddress& server, const QByteArrayList& questions, const QByteArray& password = "secret", int settle = 0)
{
    QByteArrayList results;
    QObject owner;
    RconClient rcon(server);
    for (const QByteArray& question : questions) {
        ServerRequest* request = question == "info" ? askServerInfo(server, PacketShare::Other, &owner)
            : question == "players"                 ? askServerPlayers(server, PacketShare::Other, &owner)
                                                    : static_cast<ServerRequest*>(rcon.send(password, question.mid(5)));
        std::optional<QByteArray> result;
        QObject::connect(request, &ServerRequest::finished, [&result, request] { result = describe(*request); });
        results << (QTest::qWaitFor([&] { return result.has_value(); }, 5000) ? *result : "nothing within 5 s");
    }
    QTest::qWait(settle);
    return results.join(" | ");
}

} // namespace

// The game server's query and remote console protocols: every reply form read from its bytes,
// every request composed, and the clients against the stand-in server on loopback.
class RemoteTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setRemoteTimings(testTimings); }
    void cleanupTestCase() { setRemoteTimings({}); }

    void replies_data() { addCases("server-replies.txt"); }

    void replies()
    {
        QFETCH(Case, given);
        QCOMPARE(read(datagramsOf(given.value("packets"))).join(" | "), given.value("reads"));
    }

    // Every datagram of the table cut short at every length, and random ones: read without a
    // crash or a read past the end (the sanitizers see those), each a reply or a failure.
    void anyBytes()
    {
        QByteArrayList datagrams;
        for (const Case& given : readCases("server-replies.txt")) {
            for (const QByteArray& datagram : datagramsOf(given.value("packets")))
                for (qsizetype size = 0; size <= datagram.size(); ++size)
                    datagrams << datagram.left(size);
        }
        QRandomGenerator random(17);
        for (int i = 0; i < 3000; ++i) {
            QByteArray datagram(random.bounded(40), '\0');
            random.fillRange(reinterpret_cast<quint32*>(datagram.data()), datagram.size() / 4);
            datagrams << QByteArray::fromHex(i % 3 ? "ffffffff" : "feffffff") + char("IlmDA9c"[i % 7]) + datagram;
        }
        for (const QByteArray& datagram : std::as_const(datagrams)) {
            for (const QByteArray& reading : read({datagram, datagram}))
                QVERIFY2(reading.size() > 5, reading);
        }
    }

    void requests_data() { addCases("server-requests.txt"); }

    void requests()
    {
        QFETCH(Case, given);
        const QByteArray request = given.value("request"), challenge = bytesOf(given.value("challenge"));
        const QByteArray password = bytesOf(given.value("password")), command = bytesOf(given.value("command"));
        const std::optional<Failure> refused = request == "rcon" ? checkRconCommand(password, command) : std::nullopt;
        QCOMPARE(messageOf(refused), textOf(given, "refused"));
        if (refused)
            return;
        const QByteArray sent = request == "info" ? infoRequest(challenge)
            : request == "players"                ? playersRequest(challenge)
            : request == "rcon"                   ? rconCommand(challenge, password, command)
                                                  : rconChallengeRequest();
        QCOMPARE(sent.toHex(' '), bytesOf(given.value("sends")).toHex(' '));
    }

    void statusPlayers_data() { addCases("status-lines.txt"); }

    void statusPlayers()
    {
        QFETCH(Case, given);
        QByteArrayList found;
        for (const StatusPlayer& player : playersInStatus(given.value("output")))
            found << QByteArray::number(player.userid) + ' ' + player.uniqueid + " \"" + player.name + "\" "
                    + QByteArray::number(player.ping) + '/' + QByteArray::number(player.loss) + ' '
                    + (player.address.isEmpty() ? "-" : player.address);
        QCOMPARE(found.join(" | "), given.value("finds"));
    }

    void consoleAnswers_data() { addCases("console-answers.txt"); }

    void consoleAnswers()
    {
        QFETCH(Case, given);
        const QByteArray output = given.value("output");
        QByteArray read;
        if (given.value("asks") == "exec") {
            read = execFailedIn(output) ? "failed" : "ran";
        } else {
            const std::optional<QByteArray> value = settingValueIn(given.value("asks"), output);
            read = value ? '"' + *value + '"' : "none";
        }
        QCOMPARE(read, given.value("reads"));
    }

    void addresses_data() { addCases("server-addresses.txt"); }

    void addresses()
    {
        QFETCH(Case, given);
        if (given.value("typed").contains(".test") && !readBytes("/proc/self/maps").contains("libnss_wrapper"))
            QSKIP("Names are looked up in tests/data/hosts only through nss_wrapper, as CTest runs this test.");
        QString found;
        findServerAddress(textOf(given, "typed"), this, [&found](const Result<ServerAddress>& address) {
            found = address ? address->text() : address.failure().message;
        });
        QCOMPARE(found, QString()); // never during the call
        QTRY_COMPARE(found, textOf(given, given.contains("finds") ? "finds" : "fails"));
    }

    // What the clients get from the stand-in in each of its ways of answering.
    void exchanges_data() { addCases("server-exchanges.txt"); }

    void exchanges()
    {
        QFETCH(Case, given);
        StandIn server(given);
        QByteArray expected = given.value("gets").replace("<server>", server.address.text().toUtf8());
        // Time for an answer twice, or a retry, which must not come.
        const QByteArray got = ask(server.address, given.value("ask").split('|'), given.value("password", "secret"),
            given.contains("prints") ? 300 : 0);
        if (expected.endsWith(": <printed>")) { // the engine prints the output on its console too, after the command
            const QByteArray printed = server.printed();
            const qsizetype command = printed.indexOf('\n', printed.lastIndexOf("\nRcon from ") + 1);
            expected.replace("<printed>", printed.mid(printed.indexOf('\n', command + 1) + 1));
        }
        QCOMPARE(got, expected);
        if (given.contains("ends")) {
            QTRY_COMPARE_WITH_TIMEOUT(server.process.state(), QProcess::NotRunning, 10000);
            QCOMPARE(server.process.exitCode(), given.value("ends").toInt());
        }
        for (const QString& count : listOf(given, "prints")) {
            const QString start = count.section('=', 0, 0);
            QCOMPARE(start + '=' + QString::number(server.linesStartingWith(start.toUtf8())), count);
        }
    }

    // A refused password is not sent again; after three refusals no client sends that server a
    // password for the rest of the window, and then it may.
    void passwordLimit()
    {
        StandIn server;
        RconClient first(server.address), second(server.address);
        QStringList failures;
        QByteArrayList replies;
        const auto send = [&](RconClient& client, const QByteArray& password, const QByteArray& command) {
            RconRequest* request = client.send(password, command);
            connect(request, &ServerRequest::finished, [&, request] {
                if (request->failure())
                    failures << request->command() + ": " + request->failure()->message;
                else
                    replies << request->output();
            });
        };
        const QString refused = "The server " + server.address.text() + " refused the remote console password.";
        send(first, "wrong", "status");
        send(first, "wrong", "hostname");
        send(first, "Wrong", "status");
        QTRY_COMPARE(failures, QStringList({"status: " + refused, "hostname: " + refused, "status: " + refused}));
        send(first, "WRONG", "status");
        QTRY_COMPARE(failures.size(), 4);
        send(second, "secret", "hostname");
        const QString limit = "hostname: Not sent: the server " + server.address.text()
            + " refused the remote console password 3 times within %1 s; after 5 it bans this computer for good. Try "
              "again in %1 s.";
        QTRY_COMPARE(failures.mid(3), QStringList({"status: " + refused, limit.arg(30)}));
        const TimingsKept kept;
        RemoteTimings shorter = remoteTimings();
        shorter.refusalWindow = 1000ms;
        setRemoteTimings(shorter);
        send(second, "secret", "hostname");
        QTRY_COMPARE(failures.value(5), limit.arg(1));
        QTest::qWait(1000);
        send(second, "secret", "hostname");
        QTRY_COMPARE(replies, QByteArrayList{"\"hostname\" is \"My Server\"\n"});
        QCOMPARE(server.linesStartingWith("Bad Rcon from"), 3);
    }

    // Every packet counts, a challenge and a repeated request included, and the challenge given
    // is reused; beyond its share of the budget nothing is sent, from any client, while the status
    // line's own share stays whole.
    void packetBudget()
    {
        StandIn server({{"serves", "STANDIN_REPLIES=challenge STANDIN_PRINT_PACKETS=1"}});
        QObject owner;
        int answers = 0;
        QString refusal;
        std::function<void()> askAgain = [&] {
            QueryRequest* request = askServerInfo(server.address, PacketShare::Other, &owner);
            connect(request, &ServerRequest::finished, [&, request] {
                if (request->failure()) {
                    refusal = request->failure()->message;
                    return;
                }
                ++answers;
                askAgain();
            });
        };
        askAgain();
        QTRY_VERIFY(!refusal.isEmpty());
        QCOMPARE(answers, 28);
        QCOMPARE(refusal,
            "Not sent: Quillmont has sent the server " + server.address.text()
                + " 29 packets within 60 s, the most it sends a server besides the status line's queries, so that the "
                  "server does not block this computer. Try again in 60 s.");
        RconClient rcon(server.address);
        QString rconRefusal;
        RconRequest* command = rcon.send("secret", "status");
        connect(command, &ServerRequest::finished, [&] { rconRefusal = command->failure()->message; });
        QTRY_COMPARE(rconRefusal, refusal);
        QString status;
        QueryRequest* poll = askServerInfo(server.address, PacketShare::StatusPoll, &owner);
        connect(poll, &ServerRequest::finished, [&] { status = describe(*poll); });
        QTRY_VERIFY(status.startsWith("info My Server"));
        QCOMPARE(server.linesStartingWith("Packet from"), 29 + 1);
    }

    // The keeper's socket is a file in the account's runtime folder, named for the server folder,
    // and no longer than the system takes.
    void keeperSockets_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("found");
        QTest::newRow("106 bytes, the longest") << 106 << true;
        QTest::newRow("107 bytes") << 107 << false;
    }

    void keeperSockets()
    {
        QFETCH(int, length);
        QFETCH(bool, found);
        QTemporaryDir base;
        const QString name = QStringLiteral("/quillmont-keep-") + QString(32, 'x');
        const QString runtime = base.path() + '/' + QString(length - name.size() - base.path().size() - 1, 'r');
        QVERIFY(QDir().mkdir(runtime));
        QVERIFY(
            QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        const QString folder = base.filePath("server"), other = base.filePath("other"), link = base.filePath("link");
        QVERIFY(QDir().mkdir(folder) && QDir().mkdir(other) && QFile::link(folder, link));
        const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", runtimeBefore); });
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        const std::optional<QString> path = keeperSocketPath(folder);
        QCOMPARE(path.has_value(), found);
        if (found) {
            QCOMPARE(path->size(), length);
            QVERIFY2(path->startsWith(runtime + "/quillmont-keep-"), qPrintable(*path));
            QCOMPARE(keeperSocketPath(link), path); // the same folder, named another way
            QVERIFY(keeperSocketPath(other) != path);
        }
    }

    // A broadcast address of a network of this computer's is refused by the system, and said so;
    // nothing goes out to the whole network.
    void broadcastRefused()
    {
        if (!networkIsOwn())
            QSKIP("Giving loopback a network with a broadcast address needs a network of the test's own: run as root.");
        QProcess ip;
        ip.start("ip", {"address", "add", "127.1.2.3/24", "brd", "+", "dev", "lo"});
        QVERIFY(ip.waitForFinished() && ip.exitCode() == 0);
        const ServerAddress broadcast{QHostAddress("127.1.2.255"), freePort()};
        QCOMPARE(ask(broadcast, {"info", "rcon status"}),
            "fails Not sent: 127.1.2.255:" + QByteArray::number(broadcast.port)
                + " is the broadcast address of a network of this computer, and Quillmont sends to one server at a "
                  "time. | fails Not sent: 127.1.2.255:"
                + QByteArray::number(broadcast.port)
                + " is the broadcast address of a network of this computer, and Quillmont sends to one server at a "
                  "time.");
    }

    // What the stand-in does for the tests of stopping a server: a port in use, hlds_run's restart
    // after quit, SIGTERM ignored.
    void standInModes()
    {
        StandIn first;
        StandIn taken({}, first.address.port);
        QTRY_COMPARE_WITH_TIMEOUT(taken.process.state(), QProcess::NotRunning, 10000);
        QCOMPARE(taken.process.exitCode(), 1);
        QVERIFY(taken.printed().endsWith("FATAL ERROR (shutting down): Couldn't allocate dedicated server IP port "
            + QByteArray::number(first.address.port) + ".\n"));

        // The server started again knows no challenge: the one known is sent, refused, asked anew.
        StandIn restarting({{"serves", "STANDIN_RESTART=1 STANDIN_PRINT_PACKETS=1"}});
        QCOMPARE(ask(restarting.address, {"rcon quit"}), "reply quit:");
        QTRY_COMPARE(restarting.linesStartingWith("Server IP address"), 2);
        QCOMPARE(ask(restarting.address, {"rcon hostname"}), "reply hostname: \"hostname\" is \"My Server\"\n");
        QCOMPARE(restarting.linesStartingWith("Packet from"), 2 + 3);

        StandIn stubborn({{"serves", "STANDIN_IGNORE_TERM=1"}});
        stubborn.process.terminate();
        // It answers after the signal has reached it.
        QVERIFY(ask(stubborn.address, {"info"}).startsWith("info My Server"));
        QCOMPARE(stubborn.process.state(), QProcess::Running);
    }
};

int main(int argc, char* argv[])
{
    useNetworkOfOwn();
    QCoreApplication app(argc, argv);
    RemoteTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_remote.moc"
