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
#include <sys/stat.h>
#include <unistd.h>

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
        QCOMPARE(QFileInfo(path()).ownerId(), geteuid());
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

    // Whether the system stops the write at its first byte, within Qt's buffer or beyond it, the
    // message gives the system's reason.
    void writeThatFailsMidway_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("size");
        QTest::newRow("nothing written") << 0 << 10;
        QTest::newRow("small enough to be buffered") << 13 << 2000;
        QTest::newRow("one byte short") << 1999 << 2000;
        QTest::newRow("larger than the write buffer") << 100 << 100000;
        QTest::newRow("beyond the write buffer") << 20011 << 100000;
    }

    void writeThatFailsMidway()
    {
        QFETCH(int, limit);
        QFETCH(int, size);
        std::optional<Failure> failure;
        {
            const FileSizeLimit limited(limit);
            failure = saveWhole(path(), QByteArray(size, 'x'));
        }
        QVERIFY(failure);
        QCOMPARE(failure->message, "Cannot write " + path() + ": File too large");
        QCOMPARE(readBytes(path()), oldContents);
        QCOMPARE(filesIn(dir.path()), QStringList{"default.tfc"});
    }

    // Root saving the game server's own file leaves it the server's, with every mode bit.
    void keepsOwnerGroupAndMode()
    {
        if (geteuid() != 0)
            QSKIP("giving a file to another owner needs root");
        QCOMPARE(chown(QFile::encodeName(path()).constData(), 4321, 4322), 0);
        QCOMPARE(chmod(QFile::encodeName(path()).constData(), 02640), 0);
        QCOMPARE(saveWhole(path(), "new\r\n"), std::nullopt);
        struct stat saved { };
        QCOMPARE(stat(QFile::encodeName(path()).constData(), &saved), 0);
        QCOMPARE(saved.st_uid, uid_t(4321));
        QCOMPARE(saved.st_gid, gid_t(4322));
        QCOMPARE(saved.st_mode & 07777, mode_t(02640));
        QCOMPARE(readBytes(path()), QByteArray("new\r\n"));
    }
};

QTEST_GUILESS_MAIN(SafeSaveTest)
#include "tst_safesave.moc"
