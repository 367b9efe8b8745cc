#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <optional>

// Keeps to one Quillmont per server folder, so that two do not overwrite each other's files. A
// second start for the same folder asks the first to bring its window forward, over a local
// socket named after the folder in the user's runtime folder; a start by another user, who cannot
// reach that socket, or where the runtime folder's path is too long for a socket, finds the folder
// locked by the first, and is told which process holds it. A socket or lock left by a program that
// crashed stops no start.
class OneWindowPerFolder : public QObject {
    Q_OBJECT

public:
    explicit OneWindowPerFolder(const QString& serverFolder);

    enum class Claim {
        Granted, // this program is the one for the folder
        BroughtForward, // the one for the folder was asked to come forward
        InUse, // another user's program has the folder; the operator has been told
    };
    Claim claim();

Q_SIGNALS:
    // A second start for the folder asks for this program's window.
    void windowWanted();

private:
    bool askRunningProgram();
    void listen();

    const QString folder_;
    const std::optional<QString> socketPath_;
    QLockFile lock_;
    QLocalServer server_;
};
