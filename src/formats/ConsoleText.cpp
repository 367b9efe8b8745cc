#include "formats/ConsoleText.h"

namespace {

// The console reads a command into a buffer of this many characters.
constexpr qsizetype longestCommand = 1023;
// It takes no more words than this, and stops at a word this long.
constexpr qsizetype mostWords = 80;
constexpr qsizetype longestWord = 515;

// The engine reads its text as signed characters: every byte from 80 on is below a blank.
bool isBlank(char byte)
{
    return static_cast<signed char>(byte) <= ' ';
}

bool standsAlone(char byte)
{
    return QByteArrayView("{}()',:").contains(byte);
}

} // namespace

QList<QByteArrayView> consoleCommands(QByteArrayView text)
{
    QList<QByteArrayView> commands;
    while (!text.isEmpty()) {
        qsizetype end = 0;
        bool quoted = false;
        for (; end < text.size() && text[end] != '\n' && (quoted || text[end] != ';'); ++end)
            quoted = quoted != (text[end] == '"');
        const qsizetype length = std::min(end, longestCommand);
        commands.append(text.first(length));
        text = text.sliced(length == end ? std::min(end + 1, text.size()) : length);
    }
    return commands;
}

QByteArrayList consoleWords(QByteArrayView command)
{
    QByteArrayList words;
    qsizetype at = 0;
    while (words.size() < mostWords) {
        while (at < command.size() && command[at] != '\n' && isBlank(command[at]))
            ++at;
        if (at >= command.size() || command[at] == '\n' || command.sliced(at).startsWith("//"))
            break;
        const qsizetype start = at;
        if (command[at] == '"') {
            const qsizetype close = command.indexOf('"', at + 1);
            at = close < 0 ? command.size() : close + 1;
            words.append(command.sliced(start + 1, at - start - 1 - (close >= 0)).toByteArray());
        } else if (standsAlone(command[at])) {
            words.append(command.sliced(at++, 1).toByteArray());
        } else {
            while (at < command.size() && !isBlank(command[at]) && !standsAlone(command[at]))
                ++at;
            words.append(command.sliced(start, at - start).toByteArray());
        }
        if (words.last().size() >= longestWord)
            break;
    }
    return words;
}
