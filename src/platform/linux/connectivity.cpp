// The connection state on Linux, read from the interfaces' flags and addresses.
#include "platform/connectivity.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

namespace quorvel {

bool systemReportsConnection() {
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        return false;
    }
    bool connected = false;
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        const bool up = (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_RUNNING) != 0;
        const bool loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        const bool hasAddress =
            entry->ifa_addr != nullptr &&
            (entry->ifa_addr->sa_family == AF_INET || entry->ifa_addr->sa_family == AF_INET6);
        if (up && !loopback && hasAddress) {
            connected = true;
            break;
        }
    }
    ::freeifaddrs(interfaces);
    return connected;
}

}  // namespace quorvel
