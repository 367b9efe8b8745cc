#include "remote/RemoteTimings.h"

namespace {

RemoteTimings current;
KeepTimings currentKeep;

} // namespace

const RemoteTimings& remoteTimings()
{
    return current;
}

void setRemoteTimings(const RemoteTimings& timings)
{
    current = timings;
}

const KeepTimings& keepTimings()
{
    return currentKeep;
}

void setKeepTimings(const KeepTimings& timings)
{
    currentKeep = timings;
}
