#pragma once

#include <QList>
#include <QStringList>

#include <optional>

// Tells which lines of the server's log echo the remote console commands of this console. The
// server prints each command it gets over the remote console (`Rcon from 127.0.0.1:PORT:`, or
// `Bad Rcon from` for a refused password, and the command line with its password), then the
// command's output, also into its log; the console shows each command and its reply from the
// network, so these lines are left out of what it shows of the log. The log may come before the reply (the lines after
// the command are then held until the reply says which of them are its output) or long after it, when the server's
// output reaches the log in blocks.
class ConsoleEcho {
public:
    // A command of the console's on its way to this folder's server.
    void sent(const QString& command);
    // Its reply (no output when none came, or the password was refused): the lines held back that
    // are to be shown now.
    [[nodiscard]] QStringList replied(const QString& command, const QString& output);
    // Lines read from the log: those to be shown now.
    [[nodiscard]] QStringList read(const QStringList& lines);

private:
    struct Echo {
        QString command;
        std::optional<QStringList> output; // nothing until the reply has come
    };

    void take(const QString& line, QStringList& shown);
    void begin(const Echo& echo);
    QStringList release();

    // Sent, and not yet seen in the log, oldest first.
    QList<Echo> awaited_;
    // The command whose echo the log is at, and how many lines of its output have come.
    std::optional<Echo> echoing_;
    qsizetype matched_ = 0;
    // An `Rcon from` line of this computer's, until the next line tells whose command it was.
    std::optional<QString> header_;
    // Lines read while the command's reply is awaited.
    QStringList held_;
};
