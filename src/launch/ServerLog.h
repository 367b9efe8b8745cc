#pragma once

#include <QString>

// The last line the server wrote to its log, without its line end; empty when there is none or
// the log cannot be read. Only the end of the log is read, however long it has grown.
QString lastLineOf(const QString& log);
