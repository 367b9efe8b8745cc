// Takes the place of the dedicated server in the demo folder and in tests. It reports what it was
// started with, and the settings it finds in tfc/server.cfg, to its standard output and to
// standin-report.txt in its working folder. Then it plays the game server's query and remote
// console protocols on UDP, at the address of +ip (127.0.0.1 without it: never every address) and
// the port of -port (27015), until it is sent `quit`, and says on its standard error that it ends.
//
// Environment:
//   STANDIN_LIFETIME_MS    0: end right after the report, opening no socket; N: serve N ms at most;
//                          unset: serve until `quit` or a signal
//   STANDIN_REPLIES        how it answers A2S_INFO: "info" ('I', the default), "challenge" ('A'
//                          first), "m-then-i", "m", "m-then-late-i" ('I' 800 ms after 'm'); or
//                          every packet: "silent" (never answers), "banned" (the ban's words),
//                          "bad-challenge" (every command's challenge refused),
//                          "garbage" (unreadable bytes), "decoy" (unreadable bytes from another
//                          port first, then the real answer), "wrong" (the players to A2S_INFO and
//                          commands, a new challenge to A2S_PLAYER whatever challenge it carries)
//   STANDIN_ADDRESS        the address every player who is no bot plays from (198.51.100.11 and on)
//   STANDIN_PLAYERS        how many invented players it has (2); some names hold a double quote
//                          and a control character, two are the same, one is a bot
//   STANDIN_PRINT_PACKETS  1: also prints every datagram it receives, in hex
//   STANDIN_RESTART        1: plays hlds_run, starting the server again in the same process group
//                          each time it quits, unless -norestart is among its arguments; "always":
//                          each time it ends, however, even with -norestart
//   STANDIN_IGNORE_TERM    1: ignores SIGTERM
//   STANDIN_IGNORE_QUIT    1: answers `quit` and `exit`, and runs on, as a hung engine does
//   STANDIN_BLOCK_OUTPUT   1: once serving, writes its output in blocks, as the C library writes the
//                          engine's to a file, not at each print
//   STANDIN_FLOOD          N: prints N numbered lines a second while serving
//   STANDIN_LATE           VERB:MS,...: answers the remote console command VERB MS milliseconds late
//   STANDIN_ENDLESS        VERB:MS:BYTES: after its answer to VERB, sends a piece of output of BYTES
//                          "x" (none: empty) every MS milliseconds, without end
//   STANDIN_FRAGMENTS      VERB: answers VERB with the first of two fragments only, every 250 ms
//   STANDIN_DUPLICATE      1: sends every challenge twice; "replies": every packet
//   STANDIN_EXEC           "fails": `exec server.cfg` cannot read the file; "keeps:NAME,NAME": it runs
//                          the file but leaves those settings as they were; "forgets:NAME,NAME": it
//                          knows no such settings (as the engine ignores names it does not register)

#include "standin_console.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QNetworkDatagram>
#include <QSaveFile>
#include <QSet>
#include <QUdpSocket>
#include <QtEndian>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QByteArray header("\xff\xff\xff\xff");
const QByteArray queryChallenge("\x12\x34\x56\x78");
// Above 2^31, as about one in nine of the engine's challenges are.
const QByteArray rconChallenge("2415919103");
const QByteArray garbage("\xff\xff\xff\xffI0garbage");

QByteArray little(auto number)
{
    QByteArray bytes(sizeof number, '\0');
    qToLittleEndian(number, bytes.data());
    return bytes;
}

bool blockOutput = false;

void print(const QByteArray& text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    if (!blockOutput)
        std::fflush(stdout);
}

QByteArray argumentAfter(const QStringList& arguments, const QString& name, const QByteArray& otherwise)
{
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toUtf8() : otherwise;
}

// Some names hold a double quote and a control character, two are the same, one is a bot; the
// players' addresses are of the documentation's own range, which nothing is ever sent to.
QList<Player> inventPlayers(int count)
{
    const QByteArrayList names{"Scout", "Sniper \"Ace\"\x01", "BOT Hank", "Scout"};
    QList<Player> players;
    for (int i = 0; i < count; ++i) {
        const QByteArray name = i < names.size() ? names.at(i) : "Medic " + QByteArray::number(i + 1);
        const bool bot = name.startsWith("BOT");
        players.append({name, 101 + i, bot ? "BOT" : "STEAM_0:1:" + QByteArray::number(20481001 + 7919 * i), 10 - 3 * i,
            60 * (i + 1),
            bot                                        ? QByteArray()
                : qgetenv("STANDIN_ADDRESS").isEmpty() ? format("198.51.100.%d:27005", 11 + i % 200)
                                                       : qgetenv("STANDIN_ADDRESS") + ":27005"});
    }
    return players;
}

// The game server as the protocols show it.
class Server {
public:
    Server(const QStringList& arguments, const QByteArray& config)
        : ip(argumentAfter(arguments, "+ip", "127.0.0.1"))
        , port(argumentAfter(arguments, "-port", "27015").toUShort())
        , replies(qgetenv("STANDIN_REPLIES"))
        , console(ip, port, argumentAfter(arguments, "+map", ""), argumentAfter(arguments, "-maxplayers", "6").toInt(),
              inventPlayers(qEnvironmentVariable("STANDIN_PLAYERS", "2").toInt()))
    {
        console.readConfig(config);
    }

    // The engine's words when the port is taken; a non-zero status.
    bool open()
    {
        if (socket.bind(QHostAddress(QString::fromUtf8(ip)), port, QAbstractSocket::DontShareAddress)
            && decoy.bind(QHostAddress(QString::fromUtf8(ip)))) {
            print(format("Server IP address %s:%d\n", ip.constData(), port));
            return true;
        }
        const bool inUse = socket.error() == QAbstractSocket::AddressInUseError;
        print(format("WARNING: UDP_OpenSocket: port: %d  bind: %s\n", port,
            inUse ? "Address already in use" : qPrintable(socket.errorString())));
        print(format("FATAL ERROR (shutting down): Couldn't allocate dedicated server IP port %d.\n", port));
        return false;
    }

    // Answers until `quit` or the deadline, printing the flood of lines meanwhile.
    void serve(QDeadlineTimer deadline)
    {
        const qint64 flood = qEnvironmentVariableIntValue("STANDIN_FLOOD");
        QElapsedTimer clock;
        clock.start();
        for (qint64 printed = 0; !console.quitting() && !deadline.hasExpired();) {
            QDeadlineTimer wake = flood ? std::min(deadline, QDeadlineTimer(5)) : deadline;
            for (const Later& packet : std::as_const(later))
                wake = std::min(wake, packet.due);
            socket.waitForReadyRead(int(wake.remainingTime()));
            while (socket.hasPendingDatagrams())
                answer(socket.receiveDatagram());
            sendDue();
            for (; printed < flood * clock.elapsed() / 1000; ++printed)
                print(format("Flood line %08lld: the quick brown fox jumps over the lazy dog\n", printed + 1));
        }
    }

private:
    // A datagram that goes out later, once or again and again.
    struct Later {
        QDeadlineTimer due;
        QByteArray datagram;
        QHostAddress to;
        quint16 port;
        int everyMs;
    };

    void sendLater(const QByteArray& datagram, const QNetworkDatagram& to, int afterMs, int everyMs = 0)
    {
        later.append({QDeadlineTimer(afterMs), datagram, to.senderAddress(), quint16(to.senderPort()), everyMs});
    }

    void sendDue()
    {
        for (Later& packet : later) {
            if (!packet.due.hasExpired())
                continue;
            socket.writeDatagram(packet.datagram, packet.to, packet.port);
            packet.due = QDeadlineTimer(packet.everyMs);
        }
        later.removeIf([](const Later& packet) { return packet.everyMs == 0 && packet.due.hasExpired(); });
    }

    // The numbers a test switch "VERB:N:N,VERB:N" gives a verb; nothing when it names another.
    static std::optional<QList<int>> switchFor(const char* name, const QByteArray& verb)
    {
        for (const QByteArray& entry : qgetenv(name).split(',')) {
            const QByteArrayList parts = entry.split(':');
            if (parts.first() != verb || verb.isEmpty())
                continue;
            QList<int> numbers;
            for (const QByteArray& number : parts.mid(1))
                numbers.append(number.toInt());
            return numbers << 0 << 0;
        }
        return std::nullopt;
    }

    void answer(const QNetworkDatagram& datagram)
    {
        const QByteArray packet = datagram.data();
        if (qgetenv("STANDIN_PRINT_PACKETS") == "1")
            print("Packet from " + from(datagram) + ": " + packet.toHex(' ') + '\n');
        if (replies == "silent" || !packet.startsWith(header))
            return;
        if (replies == "garbage")
            return send(garbage, datagram);
        if (replies == "banned")
            return send(header + "lYou have been banned from this server.\n" + QByteArray(2, '\0'), datagram);
        const QByteArray payload = packet.mid(header.size());
        if (replies == "wrong")
            return send(payload.startsWith('U') ? header + 'A' + queryChallenge : playersReply(), datagram);
        // The engine reads a packet up to its first NUL, line break or FF byte.
        const QByteArray line = payload.split('\n').first().split('\0').first().split('\xff').first();
        if (payload.startsWith(QByteArray("TSource Engine Query", 21)) && console.maxPlayers() > 1)
            answerInfo(payload.mid(21), datagram);
        else if (payload.startsWith('U') && console.maxPlayers() > 1 && payload.mid(1) == queryChallenge)
            send(playersReply(), datagram);
        else if (payload.startsWith('U') && console.maxPlayers() > 1)
            sendChallenge(header + 'A' + queryChallenge, datagram);
        else if (line.toLower() == "challenge rcon") {
            challenged.insert(datagram.senderAddress().toIPv4Address());
            sendChallenge(header + "challenge rcon " + rconChallenge + "\n" + '\0', datagram);
        } else if (line.startsWith("rcon "))
            rcon(line, payload.size(), datagram);
    }

    void sendChallenge(const QByteArray& packet, const QNetworkDatagram& to)
    {
        send(packet, to);
        if (qgetenv("STANDIN_DUPLICATE") == "1")
            send(packet, to);
    }

    void answerInfo(const QByteArray& challenge, const QNetworkDatagram& to)
    {
        if (replies == "challenge" && challenge != queryChallenge)
            return sendChallenge(header + 'A' + queryChallenge, to);
        if (replies.startsWith('m'))
            send(oldInfoReply(), to);
        if (replies == "m-then-late-i")
            sendLater(infoReply(), to, 800);
        else if (replies != "m")
            send(infoReply(), to);
    }

    QByteArray infoReply() const
    {
        const QList<Player>& players = console.players();
        return header + "I" + '\x30' + console.setting("hostname") + '\0' + console.map() + '\0' + "tfc" + '\0'
            + "Team Fortress" + '\0' + little(quint16(20)) + char(players.size()) + char(console.maxPlayers())
            + char(bots()) + "dl" + '\0' + '\1' + "1.1.2.7/Stdio" + '\0' + '\x80' + little(port);
    }

    QByteArray oldInfoReply() const
    {
        return header + "m" + ip + ':' + QByteArray::number(port) + '\0' + console.setting("hostname") + '\0'
            + console.map() + '\0' + "tfc" + '\0' + "Team Fortress" + '\0' + char(console.players().size())
            + char(console.maxPlayers()) + '\x30' + "dl" + '\0' + '\0' + '\1' + char(bots());
    }

    QByteArray playersReply() const
    {
        const QList<Player>& players = console.players();
        QByteArray reply = header + 'D' + char(players.size());
        for (const Player& player : players)
            reply += char(&player - players.data()) + player.name + '\0' + little(qint32(player.frags))
                + little(float(player.seconds));
        return reply;
    }

    int bots() const
    {
        const QList<Player>& players = console.players();
        return int(std::count_if(players.begin(), players.end(), [](const Player& p) { return p.address.isEmpty(); }));
    }

    // Checks the challenge and the password as the engine does, then runs the command.
    void rcon(const QByteArray& line, qsizetype size, const QNetworkDatagram& from)
    {
        qsizetype at = 4;
        QByteArrayList words;
        while (words.size() < 2 && at < line.size()) {
            while (at < line.size() && quint8(line.at(at)) <= ' ')
                ++at;
            const bool quoted = line.mid(at).startsWith('"');
            const qsizetype end = quoted ? line.indexOf('"', at + 1) : line.indexOf(' ', at);
            words.append(line.mid(at + quoted, (end < 0 ? line.size() : end) - at - quoted));
            at = end < 0 ? line.size() : end + 1;
        }
        const QByteArray password = console.setting("rcon_password");
        const bool challengeKnown = challenged.contains(from.senderAddress().toIPv4Address());
        const bool right = challengeKnown && quint32(words.value(0).toLongLong()) == rconChallenge.toUInt();
        print((right && words.value(1) == password && !password.isEmpty() ? "Rcon from " : "Bad Rcon from ")
            + this->from(from) + ":\n" + line + '\n');
        if (words.size() < 2 || password.isEmpty())
            return send(header + "lBad rcon_password.\n"
                    + (password.isEmpty() ? "No password set for this server.\n" : "") + QByteArray(2, '\0'),
                from);
        if (!right || replies == "bad-challenge")
            return send(
                header + '9' + (challengeKnown ? "Bad challenge.\n" : "No challenge for your address.\n") + '\0', from);
        if (words.at(1) != password)
            return send(header + "lBad rcon_password.\n" + QByteArray(2, '\0'), from);
        if (size < 512)
            run(line.mid(at).trimmed(), from);
    }

    // The output goes out as the engine sends it: each print appended to a buffer of 1399
    // characters, which is sent first when the print would not fit.
    void run(const QByteArray& command, const QNetworkDatagram& from)
    {
        QByteArray printedOnly;
        const QByteArrayList prints = console.run(command, printedOnly);
        const QByteArray verb = command.split(' ').first().toLower();
        print(printedOnly);
        print(prints.join()); // the engine's console shows the output too
        QByteArrayList packets{QByteArray()};
        for (const QByteArray& text : std::as_const(prints)) {
            if (packets.last().size() + text.size() > 1399)
                packets.append(QByteArray());
            packets.last() += text.left(1399);
        }
        for (QByteArray& packet : packets)
            packet = header + 'l' + packet + QByteArray(2, '\0');
        deliver(verb, packets, from);
    }

    // The output's packets as the test switches have them go out: late, without end, or in a piece
    // of a split packet that never comes whole.
    void deliver(const QByteArray& verb, const QByteArrayList& packets, const QNetworkDatagram& to)
    {
        if (switchFor("STANDIN_FRAGMENTS", verb))
            return sendLater("\xfe\xff\xff\xff" + little(sequence++) + char(0x02) + packets.first(), to, 0, 250);
        const std::optional<QList<int>> late = switchFor("STANDIN_LATE", verb);
        for (const QByteArray& packet : packets) {
            if (late)
                sendLater(packet, to, late->at(0));
            else
                send(packet, to);
        }
        if (const std::optional<QList<int>> endless = switchFor("STANDIN_ENDLESS", verb))
            sendLater(header + 'l' + QByteArray(endless->at(1), 'x') + QByteArray(2, '\0'), to, endless->at(0),
                endless->at(0));
    }

    // A packet over 1400 bytes goes out in fragments of 1391, each with the split header.
    void send(const QByteArray& packet, const QNetworkDatagram& to)
    {
        if (replies == "decoy")
            decoy.writeDatagram(garbage, to.senderAddress(), quint16(to.senderPort()));
        const qsizetype count = packet.size() > 1400 ? (packet.size() + 1390) / 1391 : 0;
        for (qsizetype i = 0; i < count; ++i)
            socket.writeDatagram(
                "\xfe\xff\xff\xff" + little(sequence) + char(i << 4 | count) + packet.mid(i * 1391, 1391),
                to.senderAddress(), quint16(to.senderPort()));
        sequence += count > 0;
        for (int copy = 0; count == 0 && copy < (qgetenv("STANDIN_DUPLICATE") == "replies" ? 2 : 1); ++copy)
            socket.writeDatagram(packet, to.senderAddress(), quint16(to.senderPort()));
    }

    QByteArray from(const QNetworkDatagram& datagram) const
    {
        return datagram.senderAddress().toString().toUtf8() + ':' + QByteArray::number(datagram.senderPort());
    }

    QByteArray ip;
    quint16 port;
    QByteArray replies;
    GameConsole console;
    QSet<quint32> challenged;
    QList<Later> later;
    QUdpSocket socket;
    QUdpSocket decoy;
    qint32 sequence = 2;
};

// Plays hlds_run: a parent that starts the server again when it quits (or ends at all), in the same
// process group. Only the server process returns from here.
void restartAfterQuit(QDeadlineTimer deadline, bool always)
{
    for (;;) {
        const pid_t server = fork();
        if (server <= 0) {
            if (server < 0)
                std::exit(1);
            return;
        }
        int status = 0;
        waitpid(server, &status, 0);
        if ((!always && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) || deadline.hasExpired())
            std::exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }
}

} // namespace

int main(int argc, char* argv[])
{
    const QByteArray lifetime = qgetenv("STANDIN_LIFETIME_MS");
    const QDeadlineTimer deadline
        = lifetime.isEmpty() ? QDeadlineTimer::Forever : QDeadlineTimer(lifetime.toLongLong());
    if (qgetenv("STANDIN_IGNORE_TERM") == "1")
        std::signal(SIGTERM, SIG_IGN);
    const QByteArray restart = qgetenv("STANDIN_RESTART");
    const bool noRestart = std::find(argv, argv + argc, std::string_view("-norestart")) != argv + argc;
    if ((restart == "always" || (restart == "1" && !noRestart)) && lifetime != "0")
        restartAfterQuit(deadline, restart == "always");
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QByteArray text = "Stand-in dedicated server\nprogram: " + arguments.first().toUtf8() + '\n';
    text += "working folder: " + QDir::currentPath().toUtf8() + '\n';
    for (qsizetype i = 1; i < arguments.size(); ++i)
        text += "argument " + QByteArray::number(i) + ": " + arguments.at(i).toUtf8() + '\n';
    QFile config(QStringLiteral("tfc/server.cfg"));
    const bool read = config.open(QIODevice::ReadOnly);
    const QByteArray configBytes = read ? config.readAll() : QByteArray();
    for (const QByteArray& line : configBytes.split('\n')) {
        if (!line.trimmed().isEmpty() && !line.startsWith("//"))
            text += "server.cfg: " + line.trimmed() + '\n';
    }
    text += read ? "" : "tfc/server.cfg: " + config.errorString().toUtf8() + '\n';
    print(text);
    QSaveFile report(QStringLiteral("standin-report.txt"));
    const bool reported = report.open(QIODevice::WriteOnly) && report.write(text) == text.size() && report.commit();
    if (lifetime != "0") {
        Server server(arguments, configBytes);
        if (!server.open())
            return 1;
        blockOutput = qgetenv("STANDIN_BLOCK_OUTPUT") == "1";
        server.serve(deadline);
    }
    std::fputs("Stand-in dedicated server ends.\n", stderr);
    return reported ? 0 : 1;
}
