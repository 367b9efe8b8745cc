#include "TestFiles.h"
#include "formats/SafeSave.h"
#include "formats/SettingsFile.h"
#include "settings/FactorySettings.h"
#include "settings/ServerSettings.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

// Lets this process write no file beyond `bytes`, the way a full disk stops a write midway.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{bytes, saved_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

const QByteArray oldContents = "the operator's old file\r\n";

} // namespace

class SafeSaveTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path() const { return dir.filePath(QStringLiteral("default.tfc")); }

private Q_SLOTS:
    void init() { writeBytes(path(), oldContents); }

    void cleanup()
    {
        QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);
        for (const QString& name : filesIn(dir.path()))
            QFile::remove(dir.filePath(name));
    }

    void replacesTheWholeFileAndKeepsItsPermissions()
    {
        const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        QFile::setPermissions(path(), permissions);
        QCOMPARE(saveWhole(path(), "new\r\n"), std::nullopt);
        QCOMPARE(readBytes(path()), QByteArray("new\r\n"));
        QCOMPARE(QFileInfo(path()).permissions().toInt() & 0x7077, permissions.toInt() & 0x7077);
        QCOMPARE(filesIn(dir.path()), QStringList{"default.tfc"});
    }

    void missingFolder()
    {
        const QString inMissingFolder = dir.filePath(QStringLiteral("tfc/server.cfg"));
        const std::optional<Failure> failure = saveWhole(inMissingFolder, "new\r\n");
        QVERIFY(failure);
        QVERIFY2(failure->message.contains(inMissingFolder), qPrintable(failure->message));
        QVERIFY2(failure->message.contains("does not exist"), qPrintable(failure->message));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("tfc"))));
    }

    // Root may write anything, so this checks what the operator marked, not what the system allows.
    void readOnlyTargetIsLeftAlone()
    {
        makeReadOnly(path());
        const std::optional<Failure> failure = saveWhole(path(), "new\r\n");
        QVERIFY(failure);
        QVERIFY2(failure->message.contains(path()), qPrintable(failure->message));
        QVERIFY2(failure->message.contains("read-only"), qPrintable(failure->message));
        QCOMPARE(readBytes(path()), oldContents);
        QCOMPARE(filesIn(dir.path()), QStringList{"default.tfc"});
    }

    void writeThatFailsMidway_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("small enough to be buffered") << 2000;
        QTest::newRow("larger than the write buffer") << 100000;
    }

    void writeThatFailsMidway()
    {
        QFETCH(int, size);
        std::optional<Failure> failure;
        {
            const FileSizeLimit limit(100);
            failure = saveWhole(path(), QByteArray(size, 'x'));
        }
        QVERIFY(failure);
        QVERIFY2(failure->message.contains(path()), qPrintable(failure->message));
        QCOMPARE(readBytes(path()), oldContents);
        QCOMPARE(filesIn(dir.path()), QStringList{"default.tfc"});
    }

    void settingsFileThatFailsMidway()
    {
        ServerSettings settings;
        applyFactorySettings(settings);
        std::optional<Failure> failure;
        {
            const FileSizeLimit limit(100);
            failure = writeFullLayout(path(), settings);
        }
        QVERIFY(failure);
        QCOMPARE(readBytes(path()), oldContents);
        QCOMPARE(filesIn(dir.path()), QStringList{"default.tfc"});
    }
};

QTEST_GUILESS_MAIN(SafeSaveTest)
#include "tst_safesave.moc"
