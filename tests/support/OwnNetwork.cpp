#include "OwnNetwork.h"

#include <QFileInfo>

#include <cstring>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A new network has its loopback down.
bool bringLoopbackUp()
{
    const int handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq loopback{};
    std::strncpy(loopback.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = handle >= 0 && ::ioctl(handle, SIOCGIFFLAGS, &loopback) == 0;
    loopback.ifr_flags = short(loopback.ifr_flags | IFF_UP);
    up = up && ::ioctl(handle, SIOCSIFFLAGS, &loopback) == 0;
    if (handle >= 0)
        ::close(handle);
    return up;
}

} // namespace

bool useNetworkOfOwn()
{
    return ::geteuid() == 0 && ::unshare(CLONE_NEWNET) == 0 && bringLoopbackUp();
}

bool networkIsOwn()
{
    const QString own = QFileInfo(QStringLiteral("/proc/self/ns/net")).symLinkTarget();
    return !own.isEmpty() && own != QFileInfo(QStringLiteral("/proc/1/ns/net")).symLinkTarget();
}
