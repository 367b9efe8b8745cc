#include "launch/ConsoleEcho.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// Commands whose echo never comes (a server killed before its output reached the log) are
// forgotten after so many more.
constexpr qsizetype mostAwaited = 100;

// The lines of a reply as the log holds them.
QStringList linesOf(const QString& output)
{
    QStringList lines = output.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

// The command of a line `rcon CHALLENGE PASSWORD COMMAND`, the password quoted or not.
std::optional<QString> commandOf(const QString& line)
{
    static const QRegularExpression rcon(QStringLiteral(R"(^rcon\s+-?\d+\s+(?:"[^"]*"|\S+)(?: (.*))?$)"));
    const QRegularExpressionMatch match = rcon.match(line);
    return match.hasMatch() ? std::optional(match.captured(1)) : std::nullopt;
}

} // namespace

void ConsoleEcho::sent(const QString& command)
{
    awaited_.append({command, std::nullopt});
    if (awaited_.size() > mostAwaited)
        awaited_.removeFirst();
}

QStringList ConsoleEcho::replied(const QString& command, const QString& output)
{
    if (echoing_ && !echoing_->output && echoing_->command == command) {
        begin({command, linesOf(output)});
        return release();
    }
    const auto waiting = std::find_if(
        awaited_.begin(), awaited_.end(), [&](const Echo& echo) { return !echo.output && echo.command == command; });
    if (waiting != awaited_.end())
        waiting->output = linesOf(output);
    return {};
}

QStringList ConsoleEcho::read(const QStringList& lines)
{
    QStringList shown;
    for (const QString& line : lines)
        take(line, shown);
    return shown;
}

void ConsoleEcho::take(const QString& line, QStringList& shown)
{
    if (!held_.isEmpty() || (echoing_ && !echoing_->output)) {
        held_.append(line);
        return;
    }
    if (header_) {
        const QString header = *std::exchange(header_, std::nullopt);
        const std::optional<QString> command = commandOf(line);
        const auto ours = std::find_if(
            awaited_.begin(), awaited_.end(), [&](const Echo& echo) { return command && echo.command == *command; });
        if (ours != awaited_.end()) {
            const Echo echo = *ours;
            // The server runs commands in the order sent: those before it never reached it.
            awaited_.erase(awaited_.begin(), ours + 1);
            begin(echo);
            return;
        }
        shown.append(header);
    }
    if (line.startsWith(QLatin1StringView("Rcon from 127."))
        || line.startsWith(QLatin1StringView("Bad Rcon from 127."))) {
        echoing_.reset(); // the server has gone on to another command
        header_ = line;
        return;
    }
    if (echoing_ && line == echoing_->output->value(matched_)) {
        if (++matched_ == echoing_->output->size())
            echoing_.reset();
        return;
    }
    shown.append(line);
}

void ConsoleEcho::begin(const Echo& echo)
{
    echoing_ = echo;
    matched_ = 0;
    if (echo.output && echo.output->isEmpty())
        echoing_.reset();
}

QStringList ConsoleEcho::release()
{
    QStringList shown;
    for (const QString& line : std::exchange(held_, {}))
        take(line, shown);
    return shown;
}
