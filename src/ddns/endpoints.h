// The provider's hosts and the HTTP time-outs: the program's constants, gathered in one place.
// Tests pass their own endpoints (a loopback server, short time-outs) where the program passes
// these.
#pragma once

#include "platform/http.h"
#include "platform/text.h"

namespace quorvel {

// The dynamic-DNS provider's update endpoint and its IP-echo endpoint.
inline constexpr char UPDATE_HOST[] = "members.3322.org";
inline constexpr char IP_ECHO_HOST[] = "members.3322.org";
// A public web site whose home page answers HTTP: reaching it means the Internet is there.
inline constexpr char CONNECTIVITY_PROBE_HOST[] = "www.baidu.com";

struct DdnsEndpoints {
    Text updateHost = UPDATE_HOST;
    Text ipEchoHost = IP_ECHO_HOST;
    Text probeHost = CONNECTIVITY_PROBE_HOST;
    HttpTimeouts timeouts;
};

}  // namespace quorvel
