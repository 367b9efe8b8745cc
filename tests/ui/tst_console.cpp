#include "ProgramUnderTest.h"
#include "StandIn.h"
#include "launch/FolderSettings.h"
#include "remote/RconClient.h"
#include "remote/RemoteTimings.h"
#include "ui/Form1.h"
#include "ui/BanDialog.h"
#include "ui/ServerConsole.h"

#include <QAccessible>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTableView>

using namespace std::chrono_literals;

namespace {

// "line 3-5" stands for the lines "line 3" to "line 5"; <x*N> for N times "x".
QStringList expanded(const QString& lines)
{
    static const QRegularExpression range("^line (\\d+)-(\\d+)$"), repeat("<x\\*(\\d+)>");
    QStringList all;
    for (QString line : lines.split('|', Qt::SkipEmptyParts)) {
        if (const QRegularExpressionMatch match = repeat.match(line); match.hasMatch())
            line.replace(match.captured(0), QString(match.captured(1).toInt(), 'x'));
        const QRegularExpressionMatch numbered = range.match(line);
        for (int n = numbered.captured(1).toInt(); numbered.hasMatch() && n <= numbered.captured(2).toInt(); ++n)
            all << "line " + QString::number(n);
        if (!numbered.hasMatch())
            all << line;
    }
    return all;
}

QByteArray linesOf(const QStringList& lines)
{
    return lines.isEmpty() ? QByteArray() : (lines.join('\n') + '\n').toUtf8();
}

// Addresses of loopback with their port as <port>.
QStringList portless(QStringList lines)
{
    static const QRegularExpression port("127\\.0\\.0\\.1:\\d+");
    return lines.replaceInStrings(port, "127.0.0.1:<port>");
}

// What the view shows from the first command or remote console line on.
QStringList shown(const QWidget* console, bool fromFirstCommand)
{
    const QStringList lines = portless(child<QPlainTextEdit>(console, "outputView")->toPlainText().split('\n'));
    const auto first = std::find_if(lines.begin(), lines.end(),
        [](const QString& line) { return line.startsWith("> ") || line.startsWith("Rcon from"); });
    return fromFirstCommand ? QStringList(first, lines.end()) : lines;
}

// The players table's rows as shown, in the order shown: the columns with a text, by blanks.
QStringList playersIn(const QWidget* console)
{
    const QAbstractItemModel* table = child<QTableView>(console, "playersTable")->model();
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList columns;
        for (int column = 0; column < table->columnCount(); ++column)
            columns << table->index(row, column).data().toString();
        columns.removeAll(QString());
        rows << columns.join(' ');
    }
    return rows;
}

// The row shown for a player's name, once the table shows one.
int rowOf(const QWidget* console, const QString& name)
{
    const QAbstractItemModel* table = child<QTableView>(console, "playersTable")->model();
    const QModelIndexList found = table->match(table->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly);
    return found.isEmpty() ? -1 : found.first().row();
}

// The commands the stand-in ran, from the lines it printed after "Rcon from", but `status`.
QStringList received(const QByteArray& printed)
{
    static const QRegularExpression command("(?:^|\n)Rcon from [^\n]*\nrcon \\d+ \"[^\"]*\" ([^\n]*)");
    QStringList commands;
    for (const QRegularExpressionMatch& match : command.globalMatch(QString::fromUtf8(printed)))
        commands << match.captured(1);
    commands.removeAll("status"); // the console asks it by itself too
    return commands;
}

// The log as the server writes it: appended to, or begun anew in one of the ways a log is.
void changeLog(const QString& log, const QString& how, const QStringList& lines)
{
    if (how == "truncate" || how == "replace" || how == "rotate") {
        const QString renamed = log + (how == "rotate" ? ".1" : ".old");
        QVERIFY(how == "truncate" ? QFile(log).resize(0) : QFile::rename(log, renamed));
        writeBytes(log, linesOf(lines));
        if (how == "replace")
            QFile::remove(renamed);
        return;
    }
    QFile file(log);
    QVERIFY(file.open(QIODevice::Append));
    file.write(linesOf(lines));
}

} // namespace

class ConsoleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setRemoteTimings({.quiet = 100ms, .noAnswer = 1000ms, .players = 1000ms}); }

    void cleanup() { verifyNoWindowLeft(); }

    // Each use as console-uses.txt says, against the stand-in on loopback.
    void use_data() { addCases("console-uses.txt"); }

    void use()
    {
        QFETCH(Case, given);
        ProgramUnderTest program;
        const QString log = program.path("server-console.log");
        QDir().mkpath(program.path("tfc/maps"));
        writeBytes(program.path("tfc/maps/well.bsp"), "");
        writeBytes(program.path("tfc/server.cfg"), "rcon_password \"" + given.value("password", "secret") + "\"\r\n");
        if (given.contains("log"))
            writeBytes(log, linesOf(expanded(textOf(given, "log"))));
        if (given.contains("history"))
            setConsoleHistory(program.folder, listOf(given, "history"));
        for (const QByteArray& file : given.value("files").split('|')) {
            if (!file.isEmpty())
                writeBytes(program.path(file.left(file.indexOf('='))), file.mid(file.indexOf('=') + 1));
        }
        const QByteArray runs = given.value("server", "ours");
        Case serves = given;
        if (runs == "ours")
            serves.insert("log", log.toUtf8());
        std::optional<StandIn> server;
        if (runs != "none")
            server.emplace(serves, runs == "ours" ? serverPort(program.folder) : freePort());
        const auto placed = [&](QString text) {
            return text.replace("<folder port>", QString::number(serverPort(program.folder)))
                .replace("<port>", QString::number(server ? server->address.port : 0));
        };
        Form1* main = program.start();
        const auto open = [&] {
            child<QAction>(main, "menuConsole")->trigger();
            return program.forms->loaded<ServerConsole>();
        };
        QWidget* console = open();

        for (const QString& step : listOf(given, "do")) {
            const QString what = step.section('=', 0, 0), value = placed(step.section('=', 1));
            if (what == "click") { // as soon as the operator can
                QTRY_VERIFY_WITH_TIMEOUT(child(console, value)->isEnabled(), 10000);
                click(console, value);
            } else if (what == "type") { // keys only, no Enter: "type=mapBox:we"
                QTest::keyClicks(child(console, value.section(':', 0, 0)), value.section(':', 1));
            } else if (what == "press") { // where the keyboard goes: an open list, else the control with the focus
                QWidget* target = QApplication::activePopupWidget();
                QTest::keyClick(target ? target : QApplication::focusWidget(), Qt::Key_Return);
            } else if (what == "details") {
                const auto detailed = [console] {
                    const QStringList rows = playersIn(console);
                    return !rows.isEmpty()
                        && rows.filter(QRegularExpression(" \\d+ (STEAM|BOT)")).size() == rows.size();
                };
                QTRY_VERIFY_WITH_TIMEOUT(detailed(), 5000);
            } else if (what == "greyed")
                QVERIFY(!child(console, value)->isEnabled());
            else if (what == "key")
                QTest::keyClick(child(console, "commandBox"), value == "Up" ? Qt::Key_Up : Qt::Key_Down);
            else if (what == "answer")
                program.answer = value == "No" ? QMessageBox::No : QMessageBox::Yes;
            else if (what == "minutes")
                program.number = value == "cancel" ? std::nullopt : std::optional(value.toInt());
            else if (what == "select") {
                QTRY_VERIFY_WITH_TIMEOUT(rowOf(console, value) >= 0, 5000);
                child<QTableView>(console, "playersTable")->selectRow(rowOf(console, value));
            } else if (what == "other") {
                RconClient other(server->address);
                bool replied = false;
                RconRequest* request = other.send("secret", value.toUtf8());
                connect(request, &ServerRequest::finished, [&replied, request] { replied = !request->failure(); });
                QTRY_VERIFY_WITH_TIMEOUT(replied, 10000);
            } else if (what == "reopen") {
                QTRY_VERIFY_WITH_TIMEOUT(!shown(console, false).last().startsWith("> "), 10000);
                console->close();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                console = open();
            } else if (QStringList{"append", "truncate", "replace", "rotate"}.contains(what)) {
                const QStringList lines = expanded(value.split(',').join('|'));
                changeLog(log, what, lines);
                QTRY_COMPARE_WITH_TIMEOUT(shown(console, false).last(), lines.last(), 10000);
            } else {
                operate(console, {what + '=' + expanded(value).join("")});
            }
            QCoreApplication::processEvents(); // as quick as an operator, not quicker
        }

        const auto expected = [&] {
            const QByteArray printed = server ? server->printed() : QByteArray();
            const qsizetype output = printed.indexOf('\n', printed.lastIndexOf("\nrcon ") + 1) + 1;
            const QString shows = textOf(given, "shows").replace("<printed>", printed.mid(output).trimmed());
            return portless(expanded(shows).join('\n').split('\n'));
        };
        const QStringList messages = placed(textOf(given, "messages")).split('|', Qt::SkipEmptyParts);
        const bool fromCommand = server.has_value();
        if (given.contains("shows"))
            QTRY_COMPARE_WITH_TIMEOUT(shown(console, fromCommand), expected(), 5000);
        if (given.contains("players"))
            QTRY_COMPARE_WITH_TIMEOUT(playersIn(console), listOf(given, "players"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(program.messages, messages, 5000);
        QTest::qWait(300); // a reply or an echo that would come twice has come by now
        if (given.contains("shows"))
            QCOMPARE(shown(console, fromCommand), expected());
        QCOMPARE(program.messages, messages);
        const QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Quillmont", "Quillmont");
        QVERIFY(!QFile::exists(settings.fileName()) || !readBytes(settings.fileName()).contains("secret"));
        QCOMPARE(statesOf(console, placed(textOf(given, "states")).split('|', Qt::SkipEmptyParts)),
            placed(textOf(given, "states")).split('|', Qt::SkipEmptyParts));
        for (const QByteArray& file : given.value("leaves").split('|')) {
            const QString path = program.path(file.left(file.indexOf('=')));
            if (!file.isEmpty())
                QTRY_COMPARE(QFileInfo::exists(path) ? readBytes(path) : "none", file.mid(file.indexOf('=') + 1));
        }
        if (!server)
            return;
        if (given.contains("received"))
            QCOMPARE(received(server->printed()), expanded(textOf(given, "received")));
        for (const QString& line : listOf(given, "logs"))
            QVERIFY2(server->printed().split('\n').contains(line.toUtf8()), qPrintable(line));
        for (const QString& count : listOf(given, "prints")) {
            const QString start = count.section('=', 0, 0);
            QCOMPARE(start + '=' + QString::number(server->linesStartingWith(start.toUtf8())), count);
        }
    }

    // Each length the Ban dialog offers, chosen as the operator chooses it, and what it then sends.
    void banLengths_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("minutes");
        QTest::newRow("5 minutes") << "&5 minutes" << 5;
        QTest::newRow("1 hour") << "1 &hour" << 60;
        QTest::newRow("1 day") << "1 &day" << 1440;
        QTest::newRow("1 week") << "1 &week" << 10080;
        QTest::newRow("for good") << "&Permanently" << 0;
    }

    void banLengths()
    {
        QFETCH(QString, choice);
        QFETCH(int, minutes);
        BanDialog dialog("For how long?", [](int length) { return QString("banid %1 ID kick").arg(length); }, "");
        for (QRadioButton* button : dialog.findChildren<QRadioButton*>()) {
            if (button->text() == choice)
                button->click();
        }
        QCOMPARE(dialog.minutes(), minutes);
        QCOMPARE(dialog.texts().value(1), QString("Quillmont sends: banid %1 ID kick").arg(minutes));
    }

    // The output shows its last line as it opens and as each line comes, while the operator has
    // not scrolled up (read from the scroll bar, as a screen reader reads it); scrolled up, it stays
    // where it is; back at the end, or Ctrl+End, it follows again.
    void followsTheEnd()
    {
        ProgramUnderTest program;
        const QString log = program.path("server-console.log");
        writeBytes(log, linesOf(expanded("line 1-1500")));
        const StandIn server({{"log", log.toUtf8()}}, serverPort(program.folder));
        writeBytes(program.path("tfc/server.cfg"), "rcon_password secret\r\n");
        QWidget* console = program.open("ServerConsole");
        auto* output = child<QPlainTextEdit>(console, "outputView");
        const QScrollBar* bar = output->verticalScrollBar();
        const auto replied = [&](const QString& command) {
            operate(console, {"commandBox=" + command});
            QTRY_VERIFY(shown(console, true).join('\n').contains("> " + command + "\n"));
            QTRY_COMPARE(shown(console, true).last(), "(no reply)");
        };
        QTRY_VERIFY(shown(console, false).last().startsWith("Server IP address"));
        QCOMPARE(bar->value(), bar->maximum());
        replied("one");
        QCOMPARE(bar->value(), bar->maximum());
        output->verticalScrollBar()->setValue(bar->maximum() - 20);
        const int held = bar->value();
        replied("two");
        QCOMPARE(bar->value(), held);
        QTest::keyClick(output, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(bar->value(), bar->maximum());
        replied("three");
        QCOMPARE(bar->value(), bar->maximum());
        program.forms->unloadAll();
    }

    // Every control named for a screen reader by its label, reached by Tab in order; the window
    // resizable, and as large as it was left, where it was left.
    void reachableAndLabelled()
    {
        ProgramUnderTest program;
        QWidget* console = program.open("ServerConsole");
        QCOMPARE(console->windowTitle(), "Server Console");
        QVERIFY(console->minimumSize() != console->maximumSize());
        QStringList reached;
        QWidget* control = child(console, "serverBox");
        control->setFocus();
        do {
            // The label that names it, where the platform says so by a relation, or its name.
            const QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(control);
            const auto labels = reader->relations(QAccessible::Label);
            reached << control->objectName() + ": "
                    + (labels.isEmpty() ? reader : labels.first().first)->text(QAccessible::Name);
            do
                control = control->nextInFocusChain();
            while (!(control->focusPolicy() & Qt::TabFocus) || control->objectName().isEmpty());
        } while (control != child(console, "serverBox"));
        QCOMPARE(reached,
            QStringList({"serverBox: Server", "passwordBox: Password", "outputView: Output", "commandBox: Command",
                "playersTable: Players on 127.0.0.1:" + QString::number(serverPort(program.folder))
                    + " (user ids, pings and addresses need its password)",
                "kickButton: Kick", "banButton: Ban\u2026", "mapBox: Map", "changeMapButton: Change Map"}));
        // Where it was left, closed by Escape as by its close box; within the screen, whatever was kept.
        const QRect left(30, 40, 700, 500);
        console->setGeometry(left);
        QTest::keyClick(console, Qt::Key_Escape);
        QVERIFY(!program.forms->loaded<ServerConsole>());
        console = program.open("ServerConsole");
        QCOMPARE(console->geometry(), left);
        console->close();
        QWidget offScreen;
        offScreen.setGeometry(-500, 5000, 700, 300);
        setConsoleGeometry(program.folder, offScreen.saveGeometry());
        console = program.open("ServerConsole");
        QTRY_VERIFY(console->screen()->availableGeometry().contains(console->frameGeometry()));
        program.forms->unloadAll();
    }
};

QUILLMONT_UI_TEST_MAIN(ConsoleTest)
#include "tst_console.moc"
