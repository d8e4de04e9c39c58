// A loopback port that refuses every connection: an endpoint that no test can reach by accident.
#pragma once

#include <string>

#include "ddns/endpoints.h"
#include "support/sockets.h"

namespace quorvel::test {

// A port on 127.0.0.1 that is bound but never listens, so every connection to it is refused, and
// no other process can take it while the test runs.
class RefusedPort {
  public:
    RefusedPort() { socket_ = openLoopbackSocket(SOCK_STREAM, &port_); }
    ~RefusedPort() { closeSocket(socket_); }
    RefusedPort(const RefusedPort&) = delete;
    RefusedPort& operator=(const RefusedPort&) = delete;

    std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }

  private:
    NativeSocket socket_ = kNoSocket;
    int port_ = 0;
};

// Endpoints at which every request is refused at once: for windows whose created event must not
// reach any network.
inline DdnsEndpoints refusedEndpoints(const RefusedPort& port) {
    DdnsEndpoints endpoints;
    endpoints.updateHost = endpoints.ipEchoHost = endpoints.probeHost = port.hostPort();
    return endpoints;
}

}  // namespace quorvel::test
