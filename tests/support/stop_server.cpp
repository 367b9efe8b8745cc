// Stops a server as Stop Server does, for tests that run it as another account: the record's
// process, session and token are given on the command line; prints why it could not.

#include "launch/ServerSession.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 4)
        return 2;
    ServerRecord record;
    record.processId = QByteArray(argv[1]).toLongLong();
    record.sessionId = QByteArray(argv[2]).toLongLong();
    record.token = argv[3];
    const std::optional<Failure> failure = endServer(QStringLiteral("/srv/tfc"), record, false);
    std::fputs(failure ? failure->message.toUtf8().constData() : "", stdout);
    return 0;
}
