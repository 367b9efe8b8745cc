#pragma once

#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <optional>

// Follows the end of the server's log, as `tail -F` does: first its last lines, then each line
// written after them, also when the log is rotated (moved away and begun anew), truncated or
// replaced. Only the end of the log is ever read, however large it has grown. Lines come decoded
// as UTF-8, invalid bytes as U+FFFD, with the remote console password that the server prints
// masked (see maskRconPassword); the file itself stays as it is.
class LogFollower : public QObject {
    Q_OBJECT

public:
    // How many lines the log opens with, and how often it is looked at.
    static constexpr int openingLines = 1000;
    static constexpr int lookEveryMs = 100;

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
    void readOpening();
    void readNew();
    void readToEnd();
    void take(const QByteArray& bytes);

    const QString path_;
    QFile file_;
    std::optional<Identity> identity_;
    qint64 offset_ = 0;
    QByteArray partial_;
    QTimer timer_;
    QTimer more_; // the rest of what has come, at the event loop's next turn
};

// The server prints each remote console command it runs with the password, in `Rcon from …`'s
// second line (`rcon 123456 "PASSWORD" status`) and in its log's `Rcon: "rcon 123456 "PASSWORD"
// status" from …`: the password shows as "••••".
QString maskRconPassword(const QString& line);
