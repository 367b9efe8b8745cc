#pragma once

#include "TestFiles.h"
#include "remote/ServerAddress.h"

#include <QProcess>
#include <QTemporaryDir>

#include <sys/types.h>

// A port of loopback that nothing uses at the moment.
quint16 freePort();

// The stand-in server on a free port of loopback, in a server folder of its own, with the
// environment of `serves`, the arguments of `arguments` and the remote console password of
// `rcon_password` in a case. It is started in a process group of its own, which it ends with.
class StandIn {
public:
    explicit StandIn(const Case& given = {}, quint16 port = freePort());
    ~StandIn();

    QByteArray printed();
    qsizetype linesStartingWith(const QByteArray& start);

    QTemporaryDir dir;
    QProcess process;
    pid_t group = 0;
    ServerAddress address;
    QByteArray output;
};
