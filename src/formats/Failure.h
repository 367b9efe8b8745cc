#pragma once

#include <QString>

// Why something could not be done, in words an operator can act on: which file, program or
// setting, and the reason the system gave.
struct Failure {
    QString message;

    static Failure cannotRead(const QString& path, const QString& reason);
    static Failure cannotWrite(const QString& path, const QString& reason);
};
