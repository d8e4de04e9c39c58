// A loopback port that refuses every connection: an endpoint that no test can reach by accident.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "ddns/endpoints.h"

namespace quorvel::test {

// A port on 127.0.0.1 that is bound but never listens, so every connection to it is refused, and
// no other process can take it while the test runs.
class RefusedPort {
  public:
    RefusedPort() {
        socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~RefusedPort() { ::close(socket_); }
    RefusedPort(const RefusedPort&) = delete;
    RefusedPort& operator=(const RefusedPort&) = delete;

    std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }

  private:
    int socket_ = -1;
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
