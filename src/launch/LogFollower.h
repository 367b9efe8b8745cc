#pragma once

#include "launch/OneShotTimer.h"

#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <optional>

// Follows the end of the server's log, as `tail -F` does: first its last lines, then each line
// written after them, also when the log is rotated (moved away and begun anew), truncated or
// replaced. Only the end of the log is ever read, however large it has grown: a log replaced is
// taken up from its last lines, and one grown by more than a MiB since the last look from the last
// lines of what came, none shown twice. Lines come decoded as UTF-8, invalid bytes as U+FFFD, with
// the remote console password that the server prints masked (see maskRconPassword), and cut with
// "…" after 4,096 bytes, the rest of such a line passed over; the file itself stays as it is. Only
// a plain file is followed, never a pipe or a device.
class LogFollower : public QObject {
    Q_OBJECT

public:
    // How many lines the log opens with, and how often it is looked at.
    static constexpr int openingLines = 1000;
    static constexpr int lookEveryMs = 100;
    // The log is read backwards in blocks until it has given the opening lines, and no further back
    // than the last so many bytes when its lines are very long.
    static constexpr qint64 openingBlock = 64 * 1024;
    static constexpr qint64 mostOpeningBytes = 4 * 1024 * 1024;
    // What is read at one look, some hundred lines; a log that has grown more is read on in the next
    // turns of the event loop, so that the window stays responsive while it catches up.
    static constexpr qint64 mostAtOnce = 16 * 1024;
    // A log grown by more than this since the last look is taken up from the last lines of what
    // came: reading all of it would keep the window busy for longer than anyone could read it.
    static constexpr qint64 mostGrowth = 1024 * 1024;
    // A line shows at most this many bytes; a longer one is cut, so that neither its bytes nor its
    // layout in a window grow with it.
    static constexpr qsizetype longestLine = 4096;

    explicit LogFollower(QString path, QObject* parent = nullptr);

    // Gives the last lines at once, then looks for new ones.
    void start();

Q_SIGNALS:
    void linesRead(const QStringList& lines);

private:
    struct Identity {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const Identity&) const = default;
    };

    static std::optional<Identity> identityOf(const QString& path);
    bool open();
    void readLast(qint64 lowest);
    void readNew();
    void readOn();
    void take(QByteArrayView bytes);

    // Kept of a line not ended yet: as much as shows, a carriage return and the byte that tells it
    // is longer.
    static constexpr qsizetype mostKept = longestLine + 2;

    const QString path_;
    QFile file_;
    std::optional<Identity> identity_;
    qint64 offset_ = 0;
    QByteArray partial_; // the start of a line not ended yet, no longer than a line shown
    bool skipping_ = false; // in the rest of a line shown cut, or begun before what was read
    QTimer timer_;
    OneShotTimer more_; // the rest of what has come, at the event loop's next turn
};

// The server prints each remote console command it runs with the password, in `Rcon from …`'s
// second line (`rcon 123456 "PASSWORD" status`) and in its log's `Rcon: "rcon 123456 "PASSWORD"
// status" from …`: the password shows as "••••", also when the line is cut inside it.
QString maskRconPassword(const QString& line);
