#include "AtSpiReader.h"
#include "StandIn.h"
#include "TestFiles.h"
#include "launch/FolderSettings.h"

#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

// Quillmont run as the operator runs it, on a server folder of its own that holds the stand-in
// server as hlds_run; ended, with whatever it started, when the test ends.
class RunningQuillmont {
public:
    RunningQuillmont()
        : folder(dir.filePath("server"))
    {
        QDir().mkpath(folder + "/tfc");
        writeBytes(folder + "/tfc/default.tfc", factoryFullLayout());
        QFile::copy(STANDIN_SERVER_PATH, folder + "/hlds_run");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        setServerPort(folder, freePort());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", dir.path());
        environment.insert("STANDIN_LIFETIME_MS", "30000"); // the server it starts serves, for a while
        quillmont.setProcessEnvironment(environment);
        quillmont.setProcessChannelMode(QProcess::ForwardedChannels);
        quillmont.start(QUILLMONT_PROGRAM, {folder});
    }

    ~RunningQuillmont()
    {
        quillmont.kill();
        quillmont.waitForFinished();
        endServersIn(folder);
    }

    QTemporaryDir dir;
    const QString folder;
    QProcess quillmont;
};

// What a screen reader reads of Quillmont over AT-SPI, on the X server and accessibility bus that
// under_x_server.sh --accessibility gives. Quillmont runs as a program of its own: its objects
// answer from its event loop, which a call from within the same program would wait on.
class AccessibilityTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The line under the main window reads as it stands, says what it is about, and announces each
    // change: here, this folder's server started from Start Server.
    void statusLine()
    {
        AtSpiReader reader;
        reader.listenForNameChanges(); // before Quillmont starts, as a screen reader that runs
        QVERIFY2(reader.failure.isEmpty(), qPrintable(reader.failure));
        const RunningQuillmont quillmont;
        std::optional<Accessible> program, line;
        QTRY_VERIFY_WITH_TIMEOUT((program = reader.program("Quillmont")), 20000);
        QTRY_VERIFY2_WITH_TIMEOUT(
            (line = reader.find(*program, "label", "No server running")), qPrintable(reader.failure), 10000);
        QCOMPARE(reader.description(*line), "The state of this folder's server");
        const std::optional<Accessible> start = reader.find(*program, "push button", "Start Server");
        QVERIFY(start && reader.act(*start, "Press"));
        const QRegularExpression running("^Running since \\d\\d:\\d\\d: 2fort, 2/12 players$");
        QVERIFY2(reader.waitForName(*line, running, 15s),
            qPrintable("Announced: " + reader.namesAnnounced(*line).join(" | ")));
        QCOMPARE(reader.name(*line), reader.namesAnnounced(*line).last());
    }

    // The Server Console is a dialog to a screen reader, named by its title, not a bare "filler".
    void consoleIsAWindow()
    {
        AtSpiReader reader;
        const RunningQuillmont quillmont;
        std::optional<Accessible> program, entry;
        QTRY_VERIFY_WITH_TIMEOUT((program = reader.program("Quillmont")), 20000);
        QTRY_VERIFY2_WITH_TIMEOUT(
            (entry = reader.find(*program, "menu item", "Server Console")), qPrintable(reader.failure), 10000);
        QVERIFY(reader.act(*entry, "Press"));
        QTRY_VERIFY2_WITH_TIMEOUT(reader.find(*program, "dialog", "Server Console"), qPrintable(reader.failure), 10000);
    }
};

QTEST_GUILESS_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
