#pragma once

#include "TestFiles.h"
#include "remote/ServerAddress.h"

#include <QProcess>
#include <QTemporaryDir>

#include <sys/types.h>

// A port of loopback that nothing uses now.
quint16 freePort();

// Every process that runs in the folder, the server and whatever it started, ends.
void endServersIn(const QString& folder);

// The stand-in server on a free port of loopback, in a server folder of its own, with the
// environment of `serves`, the arguments of `arguments`, the remote console password of
// `rcon_password` and the settings of `config` ("sv_lan 1|...") in a case; its standard output goes to the file of `log` when a case gives one,
// as the server's goes to its log.
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
    QString log;
};
