#include "ProgramUnderTest.h"
#include "StandIn.h"
#include "launch/FolderSettings.h"
#include "remote/RconClient.h"
#include "remote/RemoteTimings.h"
#include "ui/Form1.h"

#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTableView>

using namespace std::chrono_literals;

namespace {

const RemoteTimings testTimings{.quiet = 100ms,
    .noAnswer = 1000ms,
    .poll = 300ms,
    .pollEarly = 200ms,
    .processCheck = 100ms,
    .stopCheck = 50ms,
    .stopGrace = 700ms};

// "<x*N>" stands for N times "x"; "|" for a line end.
QByteArray expanded(QByteArray text)
{
    static const QRegularExpression repeat("<x\\*(\\d+)>");
    for (QRegularExpressionMatch match = repeat.match(QString::fromLatin1(text)); match.hasMatch();
         match = repeat.match(QString::fromLatin1(text)))
        text.replace(match.captured(0).toLatin1(), QByteArray(match.captured(1).toInt(), 'x'));
    return text.replace('|', '\n');
}

// A list's or table's rows as shown, a row's columns joined by blanks.
QStringList rowsOf(const QWidget* control)
{
    QStringList rows;
    if (const auto* list = qobject_cast<const QListWidget*>(control)) {
        for (int row = 0; row < list->count(); ++row)
            rows << list->item(row)->text();
        return rows;
    }
    const QAbstractItemModel* model = static_cast<const QTableView*>(control)->model();
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->index(row, 0).data().toString() + ' ' + model->index(row, 1).data().toString();
    return rows;
}

// The commands the server ran with the right password, from its log, but `status`.
QStringList received(const QByteArray& log)
{
    static const QRegularExpression command("(?:^|\n)Rcon from [^\n]*\nrcon \\d+ \"secret\" ([^\n]*)");
    QStringList commands;
    for (const QRegularExpressionMatch& match : command.globalMatch(QString::fromUtf8(log)))
        commands << match.captured(1);
    commands.removeAll("status");
    return commands;
}

} // namespace

// The windows on the server's other files, against the stand-in server that this folder starts.
class FilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        setRemoteTimings(testTimings);
        qputenv("STANDIN_LIFETIME_MS", "30000"); // no stand-in outlives the test by long
    }

    void cleanup() { verifyNoWindowLeft(); }

    // Each use as file-windows.txt says.
    void use_data() { addCases("file-windows.txt"); }

    void use()
    {
        QFETCH(Case, given);
        ProgramUnderTest program;
        const QStringList environment = listOf(given, "serves").join(' ').split(' ', Qt::SkipEmptyParts);
        for (const QString& variable : environment)
            qputenv(variable.section('=', 0, 0).toUtf8(), variable.section('=', 1).toUtf8());
        const auto tidy = qScopeGuard([&] {
            endServersIn(program.folder);
            for (const QString& variable : environment)
                qunsetenv(variable.section('=', 0, 0).toUtf8());
        });
        const auto placed = [&](QString text) {
            return text.replace("<folder>", program.folder)
                .replace("<port>", QString::number(serverPort(program.folder)));
        };
        QVERIFY(QFile::copy(STANDIN_SERVER_PATH, program.path("hlds_run")));
        writeBytes(program.path("tfc/server.cfg"), "rcon_password \"secret\"\r\n");
        for (const QByteArray& file : given.value("files").split(';')) {
            const QString path = program.path(file.left(file.indexOf('=')));
            if (!file.isEmpty() && QDir().mkpath(QFileInfo(path).path()))
                writeBytes(path, expanded(file.mid(file.indexOf('=') + 1)));
        }
        for (const QString& map : listOf(given, "maps")) {
            QDir().mkpath(program.path("tfc/maps"));
            writeBytes(program.path("tfc/maps/" + map + ".bsp"), "");
        }
        Form1* main = program.start();
        const QString name = textOf(given, "window");
        QPointer<QWidget> window;
        const auto open = [&] {
            child<QAction>(main,
                name == "MapCycleWindow"   ? "menuMapCycle"
                    : name == "MotdWindow" ? "menuMotd"
                                           : "menuBans")
                ->trigger();
            window = QApplication::topLevelWidgets().value(0);
            for (QWidget* shown : QApplication::topLevelWidgets()) {
                if (shown->objectName() == name)
                    window = shown;
            }
            QCOMPARE(window->objectName(), name);
        };
        QStringList steps = listOf(given, "do").join('|').split(';', Qt::SkipEmptyParts);
        if (!steps.contains("open"))
            steps.prepend("open");
        for (const QString& step : steps) {
            const QString what = step.section('=', 0, 0), value = step.section('=', 1);
            const QString control = value.section(':', 0, 0), text = value.section(':', 1);
            if (what == "open")
                open();
            else if (what == "start") {
                child<QAction>(main, "menuStart")->trigger();
                QTRY_VERIFY_WITH_TIMEOUT(main->server().serverRuns() && main->server().hasAnswered(), 10000);
            } else if (what == "stop") {
                child<QAction>(main, "menuStop")->trigger();
                QTRY_VERIFY_WITH_TIMEOUT(!main->server().serverRuns(), 10000);
            } else if (what == "other") {
                RconClient other({QHostAddress(QHostAddress::LocalHost), serverPort(program.folder)});
                bool replied = false;
                RconRequest* request = other.send("secret", value.toUtf8());
                connect(request, &ServerRequest::finished, [&replied, request] { replied = !request->failure(); });
                QTRY_VERIFY_WITH_TIMEOUT(replied, 10000);
            } else if (what == "type") {
                child<QLineEdit>(window, control)->setText(QString::fromUtf8(expanded(text.toUtf8())));
            } else if (what == "text") {
                child<QPlainTextEdit>(window, control)->setPlainText(QString::fromUtf8(expanded(text.toUtf8())));
            } else if (what == "select" || what == "rows") {
                const int row = text.toInt();
                QWidget* list = child(window, control);
                QTRY_VERIFY_WITH_TIMEOUT(
                    what == "select" ? rowsOf(list).size() > row : rowsOf(list).size() == row, 5000);
                if (auto* items = qobject_cast<QListWidget*>(list); items && what == "select")
                    items->setCurrentRow(row);
                else if (what == "select")
                    static_cast<QTableView*>(list)->selectRow(row);
            } else if (what == "click") {
                click(window, value);
            } else if (what == "key") {
                QTest::keyClick(window, Qt::Key_Escape);
            } else if (what == "answer") {
                program.answer = value == "No" ? QMessageBox::No : QMessageBox::Yes;
            } else if (what == "sees") {
                QTRY_COMPARE_WITH_TIMEOUT(statesOf(window, {control}).value(0), control + '=' + text, 5000);
            } else if (what == "length") {
                child<QComboBox>(window, "lengthBox")->setCurrentText(value);
            }
            QCoreApplication::processEvents();
        }

        QTRY_COMPARE_WITH_TIMEOUT(program.messages.join(" / "), placed(textOf(given, "messages")), 5000);
        QCOMPARE(window.isNull(), given.value("closed") == "yes");
        const QStringList states = placed(textOf(given, "states")).split(';', Qt::SkipEmptyParts);
        if (window) {
            QTRY_COMPARE_WITH_TIMEOUT(statesOf(window, states), states, 5000);
            for (const QString& shown : listOf(given, "shows").join('|').split(';', Qt::SkipEmptyParts)) {
                const QString list = shown.section('=', 0, 0);
                QTRY_COMPARE_WITH_TIMEOUT(
                    rowsOf(child(window, list)), shown.section('=', 1).split('|', Qt::SkipEmptyParts), 5000);
            }
        }
        for (const QByteArray& file : given.value("leaves").split(';')) {
            const QString path = program.path(file.left(file.indexOf('=')));
            if (!file.isEmpty())
                QTRY_COMPARE(
                    QFileInfo(path).isFile() ? readBytes(path) : "none", expanded(file.mid(file.indexOf('=') + 1)));
        }
        for (const QString& mode : listOf(given, "modes"))
            QCOMPARE(modeOf(program.path(mode.section('=', 0, 0))), mode.section('=', 1));
        if (given.contains("received"))
            QTRY_COMPARE(received(readBytes(program.path("server-console.log"))), textOf(given, "received").split(';'));
        if (window)
            window->close();
    }

    // Write Config ends server.cfg with an exec line for each ban file that exists, banned.cfg first;
    // until then Start Server says which the server would start without.
    void banFilesExecuted_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArray>("lines");
        QTest::newRow("none") << QStringList() << QByteArray();
        QTest::newRow("ids") << QStringList{"banned.cfg"} << QByteArray("exec banned.cfg\r\n");
        QTest::newRow("addresses") << QStringList{"listip.cfg"} << QByteArray("exec listip.cfg\r\n");
        QTest::newRow("both") << QStringList{"listip.cfg", "banned.cfg"}
                              << QByteArray("exec banned.cfg\r\nexec listip.cfg\r\n");
    }

    void banFilesExecuted()
    {
        QFETCH(QStringList, files);
        QFETCH(QByteArray, lines);
        ProgramUnderTest program;
        writeBytes(program.path("tfc/server.cfg"), "// old\r\n");
        for (const QString& file : files)
            writeBytes(program.path("tfc/" + file), "");
        Form1* main = program.start();
        child<QAction>(main, "menuStart")->trigger();
        QStringList warnings;
        for (const QString file : {"banned.cfg", "listip.cfg"}) {
            if (files.contains(file))
                warnings << "Warning: tfc/" + file
                        + " is not loaded by server.cfg: press Write Config before the next start.";
        }
        QTRY_VERIFY(program.messages.size() > warnings.size());
        QCOMPARE(program.messages.mid(0, warnings.size()), warnings);
        program.messages.clear();
        program.answer = QMessageBox::No;
        click(main, "Command1");
        QCOMPARE(readBytes(program.path("tfc/server.cfg")), readBytes(TEST_DATA "/factory-server.cfg") + lines);
    }
};

QUILLMONT_UI_TEST_MAIN(FilesTest)
#include "tst_files.moc"
