// The HTTP fetch facility on its own: whole bodies with their zero bytes, the shared client
// instance under concurrent first use, and the process-wide abort (tried in a child process).
#include "platform/http.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <thread>

#include "ddns/ddns_test_support.h"
#include "support/loopback_http_server.h"

namespace quorvel {
namespace {

using namespace std::string_literals;

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(HttpGetBytes, ReturnsTheWholeBodyWithItsZeroBytes) {
    std::string large(300000, '\0');
    for (std::size_t i = 0; i < large.size(); i += 7) {
        large[i] = static_cast<char>('a' + i % 26);
    }
    const struct {
        const char* name;
        std::string body;
        bool withContentLength;
    } cases[] = {
        {"zero bytes inside", "ab\0cd\0\0ef"s, true},
        {"zero bytes inside, no Content-Length", "\0\0ab\0"s, false},
        {"only a zero byte", "\0"s, true},
        {"larger than one chunk", large, true},
        {"larger than one chunk, no Content-Length", large, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer server;
        server.answerAlways(test::httpReply(200, c.body, c.withContentLength));
        EXPECT_EQ(httpGetBytes("http://" + server.hostPort() + "/x"), bytesOf(c.body));
    }
}

TEST(HttpGetBytes, YieldsNothingForAnEmptyOrUnusableUrl) {
    test::LoopbackHttpServer server;
    for (const Text& url : {""s, "http://"s, "ftp://" + server.hostPort() + "/",
                            "http://" + server.hostPort() + "/a\nb"}) {
        SCOPED_TRACE(url);
        EXPECT_TRUE(httpGetBytes(url).empty());
    }
    EXPECT_TRUE(server.requests().empty());
}

// Each test runs in its own process under ctest, so these are the process's first fetches.
TEST(HttpGetBytes, ThreadsThatFetchFirstTogetherAllSucceed) {
    test::LoopbackHttpServer server;
    server.answer([](const std::string& request) {
        return test::httpReply(200, "body of " + test::requestLine(request));
    });
    constexpr int kThreads = 8;
    std::barrier start(kThreads);
    std::vector<Bytes> bodies(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            bodies[static_cast<std::size_t>(i)] =
                httpGetBytes("http://" + server.hostPort() + "/t" + std::to_string(i));
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(bodies[static_cast<std::size_t>(i)],
                  bytesOf("body of GET /t" + std::to_string(i) + " HTTP/1.0"));
    }
    EXPECT_EQ(server.requests().size(), static_cast<std::size_t>(kThreads));
}

// The abort is permanent for the whole process, so it is tried in a child.
TEST(AbortAllHttpFetches, EndsAHangingFetchAndRefusesLaterOnes) {
    const test::ChildOutcome outcome = test::runInChild(
        [] {
            test::LoopbackHttpServer server;
            server.answerAlways(test::silence());
            std::atomic<bool> returned{false};
            Bytes body;
            // Time-outs far beyond the child's limit: only the abort can end this fetch in time.
            std::thread fetcher([&] {
                body =
                    httpGetBytes("http://" + server.hostPort() + "/hang", HttpTimeouts{600, 600});
                returned = true;
            });
            if (!server.waitForRequests(1)) {
                fetcher.detach();
                return "the request never arrived"s;
            }
            const bool returnedBeforeAbort = returned.load();
            abortAllHttpFetches();
            fetcher.join();
            test::LoopbackHttpServer later;
            const Bytes laterBody = httpGetBytes("http://" + later.hostPort() + "/after");
            std::string report;
            report += returnedBeforeAbort ? "returned before the abort;" : "";
            report += body.empty() ? "" : "hanging fetch yielded bytes;";
            report += laterBody.empty() ? "" : "later fetch yielded bytes;";
            report += later.requests().empty() ? "" : "later fetch reached the server;";
            return report.empty() ? "ok"s : report;
        },
        std::chrono::seconds(120));
    ASSERT_TRUE(outcome.finished) << "the aborted fetch did not return";
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.report, "ok");
}

}  // namespace
}  // namespace quorvel
