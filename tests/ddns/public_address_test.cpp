// The start-up lookup against loopback servers standing for the probe site and the IP-echo host:
// the offline box, what is asked of whom, and what publicIpText holds afterwards.
#include "ddns/public_address.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#endif

#include <cerrno>
#include <cstring>

#include "app/program.h"
#include "ddns/ddns_test_support.h"
#include "platform/connectivity.h"
#include "platform/message_box.h"
#include "support/box_recorder.h"
#include "support/loopback_http_server.h"

namespace quorvel {
namespace {

using namespace std::string_literals;

// Stands for a value that the lookup must replace or keep.
constexpr char kEarlierText[] = "earlier text";

// Records every box instead of showing it.
using test::BoxRecorder;

std::string describe(const std::vector<MessageBoxRequest>& boxes) {
    std::string text;
    for (const MessageBoxRequest& box : boxes) {
        text += "[" + box.text + "|" + box.title + "|" +
                (box.icon == MessageIcon::Error ? "error" : "information") + "]";
    }
    return text;
}

const std::string kOfflineBox = "[未与互联网连接！|信息：|error]";

// WinINet's InternetOpenUrlA, which the probe uses on Windows, always asks in HTTP/1.1.
#ifdef _WIN32
const std::string kProbeRequestLine = "GET / HTTP/1.1";
#else
const std::string kProbeRequestLine = "GET / HTTP/1.0";
#endif

DdnsEndpoints endpointsFor(const std::string& probeHost, const std::string& echoHost,
                           HttpTimeouts timeouts = {}) {
    DdnsEndpoints endpoints;
    endpoints.updateHost = "update.example.invalid";  // never asked here
    endpoints.probeHost = probeHost;
    endpoints.ipEchoHost = echoHost;
    endpoints.timeouts = timeouts;
    return endpoints;
}

#ifndef _WIN32
// Brings the loopback interface of the current network namespace up.
bool bringLoopbackUp() {
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = socket >= 0 && ::ioctl(socket, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
    up = up && ::ioctl(socket, SIOCSIFFLAGS, &request) == 0;
    ::close(socket);
    return up;
}
#endif

class PublicAddress : public testing::Test {
  protected:
    void SetUp() override { publicIpText = kEarlierText; }
    void TearDown() override { publicIpText.clear(); }

    // The cases past the system's connection state need a non-loopback interface that is up.
    static bool machineReportsConnection() { return systemReportsConnection(); }
};

// Linux only: on Windows no test can take the system's connection state away (and Wine reports a
// connection whatever the machine has).
#ifndef _WIN32
// A network namespace of its own holds only the loopback interface: the system reports no
// connection. Probe and echo servers answer inside it, so only the system state can stop the
// lookup.
TEST_F(PublicAddress, WithoutASystemConnectionShowsTheOfflineBoxAndAsksNobody) {
    const test::ChildOutcome outcome = test::runInChild([] {
        // Without root, a user namespace of its own lets the child have a network namespace.
        if (::unshare(CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
            return "skip: unshare(CLONE_NEWNET) failed: "s + std::strerror(errno);
        }
        if (!bringLoopbackUp()) {
            return "skip: the loopback interface of the new namespace cannot be brought up"s;
        }
        test::LoopbackHttpServer probe;
        test::LoopbackHttpServer echo;
        BoxRecorder recorder;
        publicIpText = kEarlierText;
        lookUpPublicIp(endpointsFor(probe.hostPort(), echo.hostPort()));
        return describe(recorder.boxes) + " ip=" + publicIpText +
               " probe=" + std::to_string(probe.requests().size()) +
               " echo=" + std::to_string(echo.requests().size());
    });
    ASSERT_TRUE(outcome.finished);
    ASSERT_EQ(outcome.exitCode, 0);
    if (outcome.report.starts_with("skip: ")) {
        GTEST_SKIP() << outcome.report;
    }
    // The text stays as it was; at start-up that is the empty text.
    EXPECT_EQ(outcome.report, kOfflineBox + " ip=" + kEarlierText + " probe=0 echo=0");
}
#endif

TEST_F(PublicAddress, AProbeThatReachesNoServerShowsTheOfflineBoxAndSkipsTheEcho) {
    if (!machineReportsConnection()) {
        GTEST_SKIP() << "no network interface other than loopback is up on this machine";
    }
    test::RefusedPort refused;
    test::LoopbackHttpServer silent;
    silent.answerAlways(test::silence());
    test::LoopbackHttpServer hangsUp;
    hangsUp.answerAlways(test::Reply{"", false, 0});
    const struct {
        const char* name;
        std::string probeHost;
    } cases[] = {
        {"refused connection", refused.hostPort()},
        {"unresolvable host", "nonexistent.invalid"},
        {"silent server", silent.hostPort()},
        {"closed without an answer", hangsUp.hostPort()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer echo;
        BoxRecorder recorder;
        publicIpText = kEarlierText;
        // Short time-outs only shorten the wait for the silent server.
        lookUpPublicIp(endpointsFor(c.probeHost, echo.hostPort(), HttpTimeouts{5, 1}));
        EXPECT_EQ(describe(recorder.boxes), kOfflineBox);
        EXPECT_EQ(publicIpText, kEarlierText);
        EXPECT_TRUE(echo.requests().empty());
    }
}

TEST_F(PublicAddress, AnEchoWithoutBytesLeavesTheTextEmptyAndShowsNothing) {
    if (!machineReportsConnection()) {
        GTEST_SKIP() << "no network interface other than loopback is up on this machine";
    }
    test::RefusedPort refused;
    test::LoopbackHttpServer emptyBody;
    emptyBody.answerAlways(test::httpReply(200, ""));
    test::LoopbackHttpServer closes;
    closes.answerAlways(test::Reply{"", false, 0});
    test::LoopbackHttpServer silent;
    silent.answerAlways(test::silence());
    const struct {
        const char* name;
        std::string echoHost;
    } cases[] = {
        {"empty body", emptyBody.hostPort()},
        {"closed without an answer", closes.hostPort()},
        {"refused connection", refused.hostPort()},
        {"silent server", silent.hostPort()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer probe;
        BoxRecorder recorder;
        publicIpText = kEarlierText;
        lookUpPublicIp(endpointsFor(probe.hostPort(), c.echoHost, HttpTimeouts{5, 1}));
        EXPECT_EQ(describe(recorder.boxes), "");
        EXPECT_EQ(publicIpText, "");
        EXPECT_EQ(probe.requests().size(), 1u);
    }
}

TEST_F(PublicAddress, StoresTheEchoBodyAsReceivedUpToAZeroByte) {
    if (!machineReportsConnection()) {
        GTEST_SKIP() << "no network interface other than loopback is up on this machine";
    }
    const struct {
        const char* name;
        test::Reply reply;
        Text expected;
    } cases[] = {
        {"line break kept", test::httpReply(200, "203.0.113.9\r\n"), "203.0.113.9\r\n"},
        {"blanks kept", test::httpReply(200, " 203.0.113.9 \n"), " 203.0.113.9 \n"},
        {"no Content-Length", test::httpReply(200, "203.0.113.9", false), "203.0.113.9"},
        {"zero byte ends the text", test::httpReply(200, "203.0.113.9\0junk"s), "203.0.113.9"},
        {"error page unchanged", test::httpReply(500, "<html>内部错误 500</html>\r\n"),
         "<html>内部错误 500</html>\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer probe;
        test::LoopbackHttpServer echo;
        echo.answerAlways(c.reply);
        BoxRecorder recorder;
        lookUpPublicIp(endpointsFor(probe.hostPort(), echo.hostPort()));
        EXPECT_EQ(publicIpText, c.expected);
        EXPECT_EQ(describe(recorder.boxes), "");
    }
}

// Any response passes the probe, whatever its status and whether or not its body ever comes;
// then the echo is asked for exactly once, at /dyndns/getip with no credentials.
TEST_F(PublicAddress, AnyProbeResponsePassesAndTheEchoRequestIsExact) {
    if (!machineReportsConnection()) {
        GTEST_SKIP() << "no network interface other than loopback is up on this machine";
    }
    const struct {
        const char* name;
        test::Reply reply;
    } cases[] = {
        {"200", test::httpReply(200, "<html>home</html>")},
        {"500", test::httpReply(500, "")},
        {"404 without Content-Length", test::httpReply(404, "gone", false)},
        {"headers, then silence",
         test::Reply{"HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\n", true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer probe;
        probe.answerAlways(c.reply);
        test::LoopbackHttpServer echo;
        echo.answerAlways(test::httpReply(200, "203.0.113.9\r\n"));
        BoxRecorder recorder;
        lookUpPublicIp(endpointsFor(probe.hostPort(), echo.hostPort(), HttpTimeouts{5, 2}));
        EXPECT_EQ(describe(recorder.boxes), "");
        EXPECT_EQ(publicIpText, "203.0.113.9\r\n");
        const std::vector<std::string> probes = probe.requests();
        ASSERT_EQ(probes.size(), 1u);
        EXPECT_EQ(test::requestLine(probes[0]), kProbeRequestLine);
        EXPECT_EQ(test::headerValue(probes[0], "Host"), probe.hostPort());
        const std::vector<std::string> echoes = echo.requests();
        ASSERT_EQ(echoes.size(), 1u);
        EXPECT_EQ(echoes[0],
                  "GET /dyndns/getip HTTP/1.0\r\n"
                  "Host: " +
                      echo.hostPort() +
                      "\r\n"
                      "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
                      "Accept: */*\r\n"
                      "\r\n");
    }
}

}  // namespace
}  // namespace quorvel
