// One update request on the wire, against the loopback test provider.
#include "ddns/update_request.h"

#include <gtest/gtest.h>

#include "support/loopback_http_server.h"

namespace quorvel {
namespace {

TEST(UpdateRequest, TypicalAccountGoesOnTheWireAsHttp10WithBasicCredentials) {
    test::LoopbackHttpServer provider;
    DdnsEndpoints endpoints;
    endpoints.updateHost = provider.hostPort();
    EXPECT_EQ(updateHost("user", "pass", "home.example.net", "", endpoints), kStatusUpdated);
    ASSERT_EQ(provider.requests().size(), 1u);
    EXPECT_EQ(provider.requests()[0],
              "GET /dyndns/update?system=dyndns&hostname=home.example.net&myip=&wildcard=OFF "
              "HTTP/1.0\r\n"
              "Host: " +
                  provider.hostPort() +
                  "\r\n"
                  "Authorization: Basic dXNlcjpwYXNz\r\n"
                  "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
                  "Accept: */*\r\n"
                  "\r\n");
}

}  // namespace
}  // namespace quorvel
