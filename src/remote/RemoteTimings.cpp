#include "remote/RemoteTimings.h"

namespace {

RemoteTimings current;

} // namespace

const RemoteTimings& remoteTimings()
{
    return current;
}

void setRemoteTimings(const RemoteTimings& timings)
{
    current = timings;
}
