// The fetch and the probe on WinINet against the loopback test provider: the read chunk size on
// real responses, bodies whatever the status or the end of the connection, time-outs, the abort,
// and the probe's own request.
#include "platform/windows/http_wininet.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "ddns/ddns_test_support.h"
#include "support/loopback_http_server.h"

namespace quorvel {
namespace {

using namespace std::string_literals;

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A body of the given size with zero bytes all through it.
std::string bodyOf(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; i += 3) {
        body[i] = static_cast<char>('a' + i % 26);
    }
    return body;
}

// A safety net far beyond every time-out that a test sets short: a fetch that has not ended by
// then never would.
constexpr auto kSafetyLimit = std::chrono::seconds(60);

// The fetch on a thread of its own; nothing when it has not ended within the safety limit.
std::optional<WinInetFetch> fetchWithin(const Text& url, const HttpTimeouts& timeouts) {
    auto promise = std::make_shared<std::promise<WinInetFetch>>();
    std::future<WinInetFetch> result = promise->get_future();
    std::thread([promise, url, timeouts] {
        promise->set_value(fetchWithWinInet(url, timeouts));
    }).detach();
    if (result.wait_for(kSafetyLimit) != std::future_status::ready) {
        return std::nullopt;
    }
    return result.get();
}

TEST(WinInetFetch, ReadsInChunksSizedByTheContentLength) {
    const std::string several = bodyOf(25000);
    const std::string large = bodyOf(200000);
    const std::string justUnder = bodyOf(102399);
    const struct {
        const char* name;
        test::Reply reply;
        std::string body;
        std::size_t chunkSize;
    } cases[] = {
        {"no Content-Length, several chunks", test::httpReply(200, several, false), several, 10240},
        {"Content-Length 5", test::httpReply(200, "ab\0cd"s), "ab\0cd"s, 6},
        {"Content-Length 102399 fills the largest chunk", test::httpReply(200, justUnder),
         justUnder, 102400},
        {"Content-Length 200000, two chunks", test::httpReply(200, large), large, 102400},
        {"Content-Length 0", test::httpReply(200, ""), "", 10240},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer server;
        server.answerAlways(c.reply);
        const WinInetFetch fetch = fetchWithWinInet("http://" + server.hostPort() + "/x", {});
        EXPECT_EQ(fetch.chunkSize, c.chunkSize);
        EXPECT_EQ(fetch.body, bytesOf(c.body));
    }
}

TEST(WinInetFetch, ReturnsTheBodyWhateverTheStatus) {
    const test::Reply challenge = test::httpReply(401, "<html>sign in first</html>", true,
                                                  "WWW-Authenticate: Basic realm=\"members\"\r\n");
    const struct {
        const char* name;
        Text userInfo;
        test::Reply reply;
        std::string body;
        std::size_t requests;
    } cases[] = {
        {"401 challenge without credentials", "", challenge, "<html>sign in first</html>", 1},
        // The credentials go with a second request, which is refused as well.
        {"401 challenge refusing the credentials", "user:wrong@", challenge,
         "<html>sign in first</html>", 2},
        {"401 without a challenge", "user:pass@", test::httpReply(401, "badauth"), "badauth", 1},
        {"500", "", test::httpReply(500, "internal error\r\n"), "internal error\r\n", 1},
        {"404 without Content-Length", "", test::httpReply(404, "gone", false), "gone", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer server;
        server.answerAlways(c.reply);
        EXPECT_EQ(httpGetBytes("http://" + c.userInfo + server.hostPort() + "/x"), bytesOf(c.body));
        EXPECT_EQ(server.requests().size(), c.requests);
    }
}

TEST(WinInetFetch, KeepsTheBytesThatArrivedBeforeTheConnectionClosed) {
    const std::string body = bodyOf(30000);
    const auto cut = [](test::Reply reply, std::size_t bodyBytes) {
        reply.closeAfter = reply.bytes.find("\r\n\r\n") + 4 + bodyBytes;
        return reply;
    };
    const struct {
        const char* name;
        test::Reply reply;
        std::size_t kept;
    } cases[] = {
        {"10 of 30000 announced bytes", cut(test::httpReply(200, body), 10), 10},
        {"25000 of 30000 announced bytes, several chunks", cut(test::httpReply(200, body), 25000),
         25000},
        {"nothing after the headers", cut(test::httpReply(200, body), 0), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer server;
        server.answerAlways(c.reply);
        EXPECT_EQ(httpGetBytes("http://" + server.hostPort() + "/x"),
                  bytesOf(body.substr(0, c.kept)));
    }
}

// The connection is made at once; only the silence time-out can end these fetches within the
// safety limit.
TEST(WinInetFetch, AServerThatFallsSilentEndsTheFetchByTheSilenceTimeOut) {
    const struct {
        const char* name;
        test::Reply reply;
    } cases[] = {
        {"silent from the start", test::silence()},
        {"silent after the headers",
         test::Reply{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n", /*hang=*/true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer server;
        server.answerAlways(c.reply);
        const std::optional<WinInetFetch> fetch =
            fetchWithin("http://" + server.hostPort() + "/x", HttpTimeouts{600, 1});
        ASSERT_TRUE(fetch.has_value()) << "the fetch did not end";
        EXPECT_TRUE(fetch->body.empty());
        EXPECT_EQ(server.requests().size(), 1u);
    }
}

// Wine's InternetCanonicalizeUrlA would cut such a URL short; this one is also longer than the
// first canonical buffer of 2084 bytes once its two-byte characters are hidden from it.
TEST(WinInetFetch, ALongTargetOfTwoByteCharactersArrivesWhole) {
    std::string characters;
    for (int i = 0; i < 250; ++i) {
        characters += "测试";  // B2E2 CAD4
    }
    test::LoopbackHttpServer server;
    EXPECT_EQ(httpGetBytes("http://" + server.hostPort() + "/u?hostname=" + characters + "#x"),
              bytesOf("good 127.0.0.1"));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(test::requestLine(server.requests()[0]),
              "GET /u?hostname=" + characters + " HTTP/1.0");
}

TEST(WinInetFetch, ARedirectLoopIsFollowedTenTimes) {
    test::LoopbackHttpServer server;
    server.answerAlways(test::httpReply(302, "good", true, "Location: /again\r\n"));
    EXPECT_TRUE(httpGetBytes("http://" + server.hostPort() + "/x").empty());
    EXPECT_EQ(server.requests().size(), 11u);  // the request and ten redirects
}

// The abort is permanent for the whole process, so it is tried in a child. Each hanging exchange
// has time-outs far beyond the child's limit: only the abort can end them in time.
TEST(AbortAllHttpFetches, EndsFetchesAndProbesWhereverTheyWaitAndRefusesLaterOnes) {
    const test::ChildOutcome outcome = test::runInChild(
        [] {
            test::LoopbackHttpServer silent;
            silent.answerAlways(test::silence());
            test::LoopbackHttpServer midBody;
            midBody.answerAlways(
                test::Reply{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\ngood", true});
            test::LoopbackHttpServer probed;
            probed.answerAlways(test::silence());
            const HttpTimeouts patient{600, 600};
            std::atomic<int> returned{0};
            Bytes beforeHeaders;
            Bytes inBody;
            bool probeAnswered = true;
            std::thread first([&] {
                beforeHeaders = httpGetBytes("http://" + silent.hostPort() + "/a", patient);
                ++returned;
            });
            std::thread second([&] {
                inBody = httpGetBytes("http://" + midBody.hostPort() + "/b", patient);
                ++returned;
            });
            std::thread third([&] {
                probeAnswered = httpProbe("http://" + probed.hostPort(), patient);
                ++returned;
            });
            if (!silent.waitForRequests(1) || !midBody.waitForRequests(1) ||
                !probed.waitForRequests(1)) {
                first.detach();
                second.detach();
                third.detach();
                return "a request never arrived"s;
            }
            const int returnedBeforeAbort = returned.load();
            abortAllHttpFetches();
            first.join();
            second.join();
            third.join();
            test::LoopbackHttpServer later;
            const Bytes laterBody = httpGetBytes("http://" + later.hostPort() + "/after");
            const bool laterProbe = httpProbe("http://" + later.hostPort());
            std::string report;
            report += returnedBeforeAbort > 0 ? "returned before the abort;" : "";
            report += beforeHeaders.empty() ? "" : "fetch before the headers yielded bytes;";
            report += inBody.empty() ? "" : "fetch in the body yielded bytes;";
            report += probeAnswered ? "hanging probe passed;" : "";
            report += laterBody.empty() ? "" : "later fetch yielded bytes;";
            report += laterProbe ? "later probe passed;" : "";
            report += later.requests().empty() ? "" : "later requests reached the server;";
            return report.empty() ? "ok"s : report;
        },
        std::chrono::seconds(120));
    ASSERT_TRUE(outcome.finished) << "the aborted exchanges did not return";
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.report, "ok");
}

TEST(HttpProbe, AsksForThePageOnceInItsOwnName) {
    test::LoopbackHttpServer site;
    EXPECT_TRUE(httpProbe("http://" + site.hostPort()));
    EXPECT_EQ(site.requests(),
              std::vector<std::string>{"GET / HTTP/1.1\r\nAccept: */*\r\nHost: " + site.hostPort() +
                                       "\r\nUser-Agent: test\r\n\r\n"});
}

TEST(HttpProbe, PassesOnAnyResponseAndFailsWithoutOne) {
    test::RefusedPort refused;
    const struct {
        const char* name;
        test::Reply reply;
        bool passes;
    } cases[] = {
        {"200", test::httpReply(200, "<html>home</html>"), true},
        {"500", test::httpReply(500, ""), true},
        // Not followed: the refused port would fail the probe.
        {"redirect",
         test::httpReply(302, "", true, "Location: http://" + refused.hostPort() + "/\r\n"), true},
        {"headers, then silence", test::Reply{"HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\n", true},
         true},
        {"closed without an answer", test::Reply{"", false, 0}, false},
        {"silent", test::silence(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer site;
        site.answerAlways(c.reply);
        // Short time-outs only shorten the wait for the silent site.
        EXPECT_EQ(httpProbe("http://" + site.hostPort(), HttpTimeouts{5, 1}), c.passes);
        EXPECT_EQ(site.requests().size(), 1u);
    }
    EXPECT_FALSE(httpProbe("http://" + refused.hostPort()));
}

TEST(HttpProbe, NeverSendsAUrlWithAControlByte) {
    test::LoopbackHttpServer site;
    EXPECT_FALSE(httpProbe("http://" + site.hostPort() + "/\r\nX-Injected: 1"));
    EXPECT_FALSE(httpProbe("http://" + site.hostPort() + "/\x7F"));
    EXPECT_TRUE(site.requests().empty());
}

// The probe's session takes the system's proxy settings. Wine's WinINet reads the environment's
// http_proxy for them once, when the process first uses it: so the probe is tried in a child that
// sets it first.
TEST(HttpProbe, GoesThroughTheProxyOfTheEnvironment) {
    const test::ChildOutcome outcome = test::runInChild([] {
        test::LoopbackHttpServer proxy;
        const test::ScopedEnv viaProxy("http_proxy", "http://" + proxy.hostPort());
        const test::ScopedEnv noBypass("no_proxy", std::nullopt);
        // ".invalid" keeps the host off the Internet even if the proxy were not used.
        std::string report = httpProbe("http://probe.example.invalid") ? "passed" : "failed";
        for (const std::string& request : proxy.requests()) {
            report += " | " + test::requestLine(request) + " | Host " +
                      test::headerValue(request, "Host").value_or("none") + " | User-Agent " +
                      test::headerValue(request, "User-Agent").value_or("none");
        }
        return report;
    });
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.report,
              "passed | GET http://probe.example.invalid:80/ HTTP/1.1 | Host probe.example.invalid "
              "| User-Agent test");
}

}  // namespace
}  // namespace quorvel
