#include "TestFiles.h"
#include "formats/SafeSave.h"

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

// Every save replaces the file whole or not at all, and says why not.
class SafeSaveTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    const QString path = dir.filePath("default.tfc");

private Q_SLOTS:
    void init() { writeBytes(path, oldContents); }

    void cleanup()
    {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        for (const QString& name : filesIn(dir.path()))
            QFile::remove(dir.filePath(name));
    }

    void replacesTheWholeFileAndKeepsItsPermissions()
    {
        const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        QFile::setPermissions(path, permissions);
        QCOMPARE(saveWhole(path, "new\r\n"), std::nullopt);
        QCOMPARE(readBytes(path), QByteArray("new\r\n"));
        QCOMPARE(
            QFileInfo(path).permissions() & 0x7077, permissions); // not the "user" bits: they are this process's rights
        QCOMPARE(filesIn(dir.path()), QStringList{"default.tfc"});
    }

    // Root saving the game server's own file leaves it the server's, with every mode bit.
    void keepsOwnerGroupAndMode()
    {
        if (geteuid() != 0)
            QSKIP("giving a file to another owner needs root");
        QCOMPARE(chown(QFile::encodeName(path).constData(), 4321, 4322), 0);
        QCOMPARE(chmod(QFile::encodeName(path).constData(), 02640), 0);
        QCOMPARE(saveWhole(path, "new\r\n"), std::nullopt);
        struct stat saved { };
        QCOMPARE(stat(QFile::encodeName(path).constData(), &saved), 0);
        QCOMPARE(saved.st_uid, uid_t(4321));
        QCOMPARE(saved.st_gid, gid_t(4322));
        QCOMPARE(saved.st_mode & 07777, mode_t(02640));
    }

    // Whether the system stops the write at its first byte, within Qt's buffer or beyond it, the
    // message gives the system's reason. Root may write anything, so a read-only file is what
    // the operator marked, not what the system allows.
    void refused_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("reason");
        const QString tooLarge = "File too large";
        // clang-format off
        QTest::newRow("missing folder") << "tfc/server.cfg" << -1 << 10 << "the folder tfc does not exist.";
        QTest::newRow("read-only") << "read-only" << -1 << 10 << "the file is read-only.";
        QTest::newRow("nothing written") << "default.tfc" << 0 << 10 << tooLarge;
        QTest::newRow("small enough to be buffered") << "default.tfc" << 13 << 2000 << tooLarge;
        QTest::newRow("one byte short") << "default.tfc" << 1999 << 2000 << tooLarge;
        QTest::newRow("larger than the write buffer") << "default.tfc" << 100 << 100000 << tooLarge;
        QTest::newRow("beyond the write buffer") << "default.tfc" << 20011 << 100000 << tooLarge;
        // clang-format on
    }

    void refused()
    {
        QFETCH(QString, target);
        QFETCH(int, limit);
        QFETCH(int, size);
        QFETCH(QString, reason);
        if (target == "read-only") {
            target = "default.tfc";
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        }
        std::optional<Failure> failure;
        {
            const FileSizeLimit limited(limit < 0 ? RLIM_INFINITY : rlim_t(limit));
            failure = saveWhole(dir.filePath(target), QByteArray(size, 'x'));
        }
        QCOMPARE(messageOf(failure), "Cannot write " + dir.filePath(target) + ": " + reason);
        QCOMPARE(readBytes(path), oldContents);
        QCOMPARE(filesIn(dir.path()), QStringList{"default.tfc"});
    }
};

QTEST_GUILESS_MAIN(SafeSaveTest)
#include "tst_safesave.moc"
