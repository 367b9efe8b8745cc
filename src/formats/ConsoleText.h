#pragma once

#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>

// Text as the game server's console reads it, in server.cfg and in remote console commands alike.

// The commands of a text: each ends at a line end, or at a semicolon outside double quotes (a
// semicolon in a comment too: the engine splits before it looks for comments). A command longer
// than the console's line is cut, and its rest runs as a command of its own.
QList<QByteArrayView> consoleCommands(QByteArrayView text);

// A command's words. Blanks are the bytes 1 to 32 and, as the engine reads them, every byte from 80
// on; "//" at the start of a word ends the command; a double-quoted word runs to its closing quote,
// without escapes; outside quotes { } ( ) ' , and : are words of their own.
QByteArrayList consoleWords(QByteArrayView command);
