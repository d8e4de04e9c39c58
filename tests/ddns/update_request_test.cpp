// One update request against the loopback test provider: the exact bytes on the wire, the URLs
// that are never fetched, proxies and redirects, and the verdict on every kind of answer.
#include "ddns/update_request.h"

#include <gtest/gtest.h>

#include <list>

#include "ddns/ddns_test_support.h"
#include "support/loopback_http_server.h"

namespace quorvel {
namespace {

using namespace std::string_literals;

// libcurl sends the credentials with the first request. WinINet sends them only in answer to a
// challenge, on a new request that adds them after its own headers.
#ifdef _WIN32
constexpr bool kCredentialsOnlyWhenChallenged = true;
#else
constexpr bool kCredentialsOnlyWhenChallenged = false;
#endif
constexpr std::size_t kRequestsPerAuthorisedFetch = kCredentialsOnlyWhenChallenged ? 2 : 1;

// "用户:密码" for Basic. libcurl encodes the GBK bytes as they are; Wine's WinINet encodes the
// text in UTF-8, whatever the code page.
#ifdef _WIN32
constexpr char kBasicOfChineseCredentials[] = "55So5oi3OuWvhueggQ==";
#else
constexpr char kBasicOfChineseCredentials[] = "08O7pzrD3MLr";
#endif

// The request that the provider must see for a target and Basic credentials (base64 of
// "user:password"; empty for a request without them).
std::string expectedRequest(const std::string& target, const std::string& hostPort,
                            const std::string& basic) {
    const std::string start = "GET " + target + " HTTP/1.0\r\nHost: " + hostPort + "\r\n";
    const std::string authorization = basic.empty() ? "" : "Authorization: Basic " + basic + "\r\n";
    const std::string agentAndAccept =
        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\nAccept: */*\r\n";
    return kCredentialsOnlyWhenChallenged ? start + agentAndAccept + authorization + "\r\n"
                                          : start + authorization + agentAndAccept + "\r\n";
}

// The requests of one update with credentials at a provider that challenges (below).
std::vector<std::string> expectedExchange(const std::string& target, const std::string& hostPort,
                                          const std::string& basic) {
    if (kCredentialsOnlyWhenChallenged) {
        return {expectedRequest(target, hostPort, ""), expectedRequest(target, hostPort, basic)};
    }
    return {expectedRequest(target, hostPort, basic)};
}

// A provider that asks for Basic credentials when a request brings none, and otherwise answers
// as the script says.
test::LoopbackHttpServer::Script challengingUnlessAuthorised(
    test::LoopbackHttpServer::Script then) {
    return [then](const std::string& request) {
        return test::headerValue(request, "Authorization")
                   ? then(request)
                   : test::httpReply(401, "badauth", true,
                                     "WWW-Authenticate: Basic realm=\"members\"\r\n");
    };
}

test::Reply good(const std::string&) {
    return test::httpReply(200, "good 127.0.0.1");
}

DdnsEndpoints at(const std::string& updateHost) {
    DdnsEndpoints endpoints;
    endpoints.updateHost = updateHost;
    return endpoints;
}

TEST(UpdateRequest, SendsTheAccountUnescapedExceptSpacesAndCutAtHash) {
    const struct {
        const char* name;
        Text user, password, domain, ip;
        std::string target;
        std::string basic;
    } cases[] = {
        {"typical", "user", "pass", "home.example.net", "203.0.113.7",
         "/dyndns/update?system=dyndns&hostname=home.example.net&myip=203.0.113.7&wildcard=OFF",
         "dXNlcjpwYXNz"},
        {"empty ip keeps the key", "user", "pass", "home.example.net", "",
         "/dyndns/update?system=dyndns&hostname=home.example.net&myip=&wildcard=OFF",
         "dXNlcjpwYXNz"},
        {"colon and at in the password", "user", "pa:ss@x", "h", "",
         "/dyndns/update?system=dyndns&hostname=h&myip=&wildcard=OFF", "dXNlcjpwYTpzc0B4"},
        {"at in the user name", "us@er", "pass", "h", "",
         "/dyndns/update?system=dyndns&hostname=h&myip=&wildcard=OFF", "dXNAZXI6cGFzcw=="},
        // "us:er" + ":" + "pass" splits as "us" and "er:pass": the same credentials on the wire.
        {"colon in the user name", "us:er", "pass", "h", "",
         "/dyndns/update?system=dyndns&hostname=h&myip=&wildcard=OFF", "dXM6ZXI6cGFzcw=="},
        {"hash in the domain drops the rest", "user", "pass", "home#x.example.net", "1.2.3.4",
         "/dyndns/update?system=dyndns&hostname=home", "dXNlcjpwYXNz"},
        {"hash in the ip drops the rest", "user", "pass", "h", "1.2.3.4#5",
         "/dyndns/update?system=dyndns&hostname=h&myip=1.2.3.4", "dXNlcjpwYXNz"},
        {"spaces", "my user", "p w", "a b", " ",
         "/dyndns/update?system=dyndns&hostname=a%20b&myip=%20&wildcard=OFF", "bXkgdXNlcjpwIHc="},
        {"ampersand and equals sign raw", "user", "pass", "a&b=c", "x=y",
         "/dyndns/update?system=dyndns&hostname=a&b=c&myip=x=y&wildcard=OFF", "dXNlcjpwYXNz"},
        // GBK: 用户 is D3C3 BBA7, 密码 C3DC C2EB, 测试 B2E2 CAD4.
        {"high bytes raw", "用户", "密码", "测试.example.net", "",
         "/dyndns/update?system=dyndns&hostname=\xB2\xE2\xCA\xD4.example.net&myip=&wildcard=OFF",
         kBasicOfChineseCredentials},
    };
    // Every provider stays up to the end, so that no case gets the port of an earlier one, whose
    // credentials WinINet keeps for the rest of the process.
    std::list<test::LoopbackHttpServer> providers;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer& provider = providers.emplace_back();
        provider.answer(challengingUnlessAuthorised(good));
        EXPECT_EQ(updateHost(c.user, c.password, c.domain, c.ip, at(provider.hostPort())),
                  "更新成功!");
        EXPECT_EQ(provider.requests(), expectedExchange(c.target, provider.hostPort(), c.basic));
    }
}

TEST(UpdateRequest, FetchesOnlyAccountsWithinTheLimitsAndWithoutLineBreaks) {
    const std::size_t fixedTarget =
        Text("/dyndns/update?system=dyndns&hostname=&myip=&wildcard=OFF").size();
    const struct {
        const char* name;
        Text user, password, domain, ip;
        bool fetched;
    } cases[] = {
        {"password of 127 bytes", "user", Text(127, 'p'), "h", "", true},
        {"password of 128 bytes", "user", Text(128, 'p'), "h", "", false},
        {"password of 500 bytes", "user", Text(500, 'p'), "h", "", false},
        {"user name of 127 bytes", Text(127, 'u'), "pass", "h", "", true},
        {"user name of 128 bytes", Text(128, 'u'), "pass", "h", "", false},
        {"target of 2047 bytes", "user", "pass", Text(2047 - fixedTarget, 'd'), "", true},
        {"target of 2048 bytes", "user", "pass", Text(2048 - fixedTarget, 'd'), "", false},
        {"line feed in the user name", "us\ner", "pass", "h", "", false},
        {"carriage return in the password", "user", "pa\rss", "h", "", false},
        {"header injected through the domain", "user", "pass", "h\r\nX-Injected: 1", "", false},
        {"line feed in the ip", "user", "pass", "h", "1.2.3.4\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer provider;  // answers "good" to whatever arrives
        const Text verdict =
            updateHost(c.user, c.password, c.domain, c.ip, at(provider.hostPort()));
        EXPECT_EQ(verdict, c.fetched ? "更新成功!" : "用户名或密码出错,请检查!");
        EXPECT_EQ(provider.requests().size(), c.fetched ? 1u : 0u);
    }
}

TEST(UpdateRequest, GoesThroughTheProxyOfTheEnvironmentWithTheAbsoluteUrl) {
    test::LoopbackHttpServer proxy;
    proxy.answer(challengingUnlessAuthorised(good));
    // The host never needs resolving: the proxy stands for it. ".invalid" keeps it off the
    // Internet even if the proxy were not used.
    const test::ScopedEnv viaProxy("http_proxy", "http://" + proxy.hostPort());
    const test::ScopedEnv noBypass("no_proxy", std::nullopt);
    const test::ScopedEnv noBypassUpper("NO_PROXY", std::nullopt);
    EXPECT_EQ(updateHost("user", "pass", "home.example.net", "", at("members.example.invalid")),
              "更新成功!");
    const std::vector<std::string> requests = proxy.requests();
    ASSERT_EQ(requests.size(), kRequestsPerAuthorisedFetch);
    // WinINet names the port in the absolute form; libcurl leaves the default out.
    const std::string authority =
        kCredentialsOnlyWhenChallenged ? "members.example.invalid:80" : "members.example.invalid";
    const std::string& authorised = requests.back();
    EXPECT_EQ(test::requestLine(authorised),
              "GET http://" + authority +
                  "/dyndns/update?system=dyndns&hostname=home.example.net&myip=&wildcard=OFF "
                  "HTTP/1.0");
    EXPECT_EQ(test::headerValue(authorised, "Host"), "members.example.invalid");
    EXPECT_EQ(test::headerValue(authorised, "Authorization"), "Basic dXNlcjpwYXNz");
    EXPECT_EQ(test::headerValue(authorised, "User-Agent"),
              "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
}

TEST(UpdateRequest, WithoutProxyTheRequestLineHoldsOnlyTheTarget) {
    const test::ScopedEnv noProxy("http_proxy", std::nullopt);
    test::LoopbackHttpServer provider;
    EXPECT_EQ(updateHost("user", "pass", "h", "", at(provider.hostPort())), "更新成功!");
    ASSERT_EQ(provider.requests().size(), 1u);
    EXPECT_EQ(test::requestLine(provider.requests()[0]),
              "GET /dyndns/update?system=dyndns&hostname=h&myip=&wildcard=OFF HTTP/1.0");
}

TEST(UpdateRequest, FollowsARedirectOnTheSameServerWithTheCredentials) {
    test::LoopbackHttpServer provider;
    provider.answer(challengingUnlessAuthorised([](const std::string& request) {
        // The redirect's own body must not count: only the final response does.
        return test::requestLine(request).starts_with("GET /dyndns/update")
                   ? test::httpReply(302, "nochg", true, "Location: /dyndns/moved?step=2\r\n")
                   : test::httpReply(200, "good 203.0.113.7");
    }));
    EXPECT_EQ(updateHost("user", "pass", "h", "", at(provider.hostPort())), "更新成功!");
    std::vector<std::string> seen;
    for (const std::string& request : provider.requests()) {
        seen.push_back(test::requestLine(request) + " | " +
                       test::headerValue(request, "Authorization").value_or("none"));
    }
    const std::string update =
        "GET /dyndns/update?system=dyndns&hostname=h&myip=&wildcard=OFF HTTP/1.0 | ";
    const std::string moved = "GET /dyndns/moved?step=2 HTTP/1.0 | ";
    const std::string basic = "Basic dXNlcjpwYXNz";
    if (kCredentialsOnlyWhenChallenged) {
        EXPECT_EQ(seen, (std::vector<std::string>{update + "none", update + basic, moved + "none",
                                                  moved + basic}));
    } else {
        EXPECT_EQ(seen, (std::vector<std::string>{update + basic, moved + basic}));
    }
}

TEST(UpdateRequest, FollowsARedirectToAnotherPortWithoutTheCredentials) {
    test::LoopbackHttpServer elsewhere;
    elsewhere.answerAlways(test::httpReply(200, "nochg 203.0.113.7"));
    test::LoopbackHttpServer provider;
    const test::Reply away = test::httpReply(
        302, "good", true, "Location: http://" + elsewhere.hostPort() + "/landing\r\n");
    provider.answer(challengingUnlessAuthorised([away](const std::string&) { return away; }));
    EXPECT_EQ(updateHost("user", "pass", "h", "", at(provider.hostPort())),
              "域名IP和你外网IP已同步!");
    EXPECT_EQ(provider.requests().size(), kRequestsPerAuthorisedFetch);
    const std::vector<std::string> moved = elsewhere.requests();
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(test::requestLine(moved[0]), "GET /landing HTTP/1.0");
    EXPECT_EQ(test::headerValue(moved[0], "Authorization"), std::nullopt);
    EXPECT_EQ(moved[0].find("dXNlcjpwYXNz"), std::string::npos);
}

TEST(UpdateRequest, ARedirectLoopEndsBoundedWithTheFailure) {
    test::LoopbackHttpServer provider;
    // Every answer says "good", so only a loop given up on yields the failure.
    provider.answerAlways(test::httpReply(302, "good", true, "Location: /dyndns/update?again\r\n"));
    EXPECT_EQ(updateHost("user", "pass", "h", "", at(provider.hostPort())),
              "用户名或密码出错,请检查!");
    const std::size_t requests = provider.requests().size();
    EXPECT_GE(requests, 2u);  // the redirect was followed
    EXPECT_LE(requests, 50u);
}

test::Reply cutAfterBody(test::Reply reply, std::size_t bodyBytesSent) {
    reply.closeAfter = reply.bytes.find("\r\n\r\n") + 4 + bodyBytesSent;
    return reply;
}

TEST(UpdateVerdict, JudgesTheBodyOfTheFinalResponseAlone) {
    const std::string longBody = std::string(199996, 'x') + "good";
    const struct {
        const char* name;
        test::Reply reply;
        Text expected;
    } cases[] = {
        {"nochg", test::httpReply(200, "nochg 203.0.113.7"), "域名IP和你外网IP已同步!"},
        {"good", test::httpReply(200, "good 203.0.113.7"), "更新成功!"},
        {"nochg before good", test::httpReply(200, "nochg good"), "域名IP和你外网IP已同步!"},
        {"nochg after good", test::httpReply(200, "good\nnochg"), "域名IP和你外网IP已同步!"},
        {"good inside a longer word", test::httpReply(200, "notgoodatall"), "更新成功!"},
        {"good in an error page",
         test::httpReply(404, "<html><body>Not found. goodbye</body></html>"), "更新成功!"},
        {"good after Chinese text", test::httpReply(200, "更新 good"), "更新成功!"},
        {"capitals", test::httpReply(200, "GOOD NOCHG"), "用户名或密码出错,请检查!"},
        {"mixed case", test::httpReply(200, "Good NoChg gOOD"), "用户名或密码出错,请检查!"},
        {"refused login", test::httpReply(200, "badauth"), "用户名或密码出错,请检查!"},
        {"first byte zero", test::httpReply(200, "\0good nochg"s), "用户名或密码出错,请检查!"},
        {"g as the second byte of a character", test::httpReply(200, "\xB9\x67ood"),
         "用户名或密码出错,请检查!"},
        {"401 judged by its body", test::httpReply(401, "good"), "更新成功!"},
        {"500 judged by its body", test::httpReply(500, "nochg"), "域名IP和你外网IP已同步!"},
        {"401 with a refusal", test::httpReply(401, "badauth"), "用户名或密码出错,请检查!"},
        {"no Content-Length", test::httpReply(200, "good 203.0.113.7", false), "更新成功!"},
        {"no Content-Length, nochg", test::httpReply(200, "nochg", false),
         "域名IP和你外网IP已同步!"},
        {"zero byte before good", test::httpReply(200, "junk\0good"s), "用户名或密码出错,请检查!"},
        {"zero byte after good", test::httpReply(200, "good\0junk"s), "更新成功!"},
        {"zero byte before good, no Content-Length", test::httpReply(200, "x\0good"s, false),
         "用户名或密码出错,请检查!"},
        {"empty body", test::httpReply(200, ""), "用户名或密码出错,请检查!"},
        {"Content-Length 200000", test::httpReply(200, longBody), "更新成功!"},
        {"200000 bytes, no Content-Length", test::httpReply(200, longBody, false), "更新成功!"},
        {"closed after goo", cutAfterBody(test::httpReply(200, "good 203.0.113.7"), 3),
         "用户名或密码出错,请检查!"},
        {"closed after good", cutAfterBody(test::httpReply(200, "good 203.0.113.7"), 4),
         "更新成功!"},
        {"closed after the headers", cutAfterBody(test::httpReply(200, "good"), 0),
         "用户名或密码出错,请检查!"},
        {"closed without an answer", test::Reply{"good", false, 0}, "用户名或密码出错,请检查!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LoopbackHttpServer provider;
        provider.answerAlways(c.reply);
        EXPECT_EQ(updateHost("user", "pass", "h", "", at(provider.hostPort())), c.expected);
        EXPECT_EQ(provider.requests().size(), 1u);
    }
}

TEST(UpdateVerdict, AFailedFetchIsTheRefusedLogin) {
    test::RefusedPort refused;
    test::LoopbackHttpServer silent;
    silent.answerAlways(test::silence());
    test::LoopbackHttpServer headersOnly;  // announces a body and never sends it
    headersOnly.answerAlways(
        test::Reply{"HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\n", /*hang=*/true});
    DdnsEndpoints quick;
    // Short time-outs only shorten the wait for the silent servers; they decide no verdict.
    quick.timeouts = HttpTimeouts{5, 1};
    const struct {
        const char* name;
        std::string host;
    } cases[] = {
        {"refused connection", refused.hostPort()},
        {"unresolvable host", "nonexistent.invalid"},
        {"silent server", silent.hostPort()},
        {"body never sent", headersOnly.hostPort()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        quick.updateHost = c.host;
        EXPECT_EQ(updateHost("user", "pass", "h", "", quick), "用户名或密码出错,请检查!");
    }
    EXPECT_EQ(silent.requests().size(), 1u);
    EXPECT_EQ(headersOnly.requests().size(), 1u);
}

}  // namespace
}  // namespace quorvel
