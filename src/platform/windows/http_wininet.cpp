// The HTTP fetch on WinINet: HTTP/1.0 GETs through one process-wide client instance with the
// program's user agent, the URL's credentials given to the connection, nothing taken from or
// written to the cache, and at most ten redirects, followed by hand.
#include "platform/windows/http_wininet.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/url.h"

namespace quorvel {

namespace {

constexpr DWORD kFirstCanonicalSize = 2084;
constexpr std::size_t kLargestChunk = 102400;
constexpr std::size_t kChunkWithoutLength = 10240;
// Wine's WinINet follows a redirect loop for ever, so redirects are followed here instead.
constexpr int kMaxRedirects = 10;

// What every fetch shares. It is made once and never destroyed, so that an exchange abandoned
// by an abort can still finish while the process ends.
struct Shared {
    std::mutex clientMutex;
    HINTERNET client = nullptr;
    // Setting the client instance's proxy replaces the proxy text that a request being opened
    // reads, so those two steps are never interleaved.
    std::mutex requestSetupMutex;
    std::mutex exchangeMutex;
    std::condition_variable exchangeEnded;
    std::atomic<bool> aborted{false};
};

Shared& shared() {
    static Shared* const instance = new Shared;
    return *instance;
}

bool aborted() {
    return shared().aborted.load();
}

struct HandleCloser {
    void operator()(void* handle) const { ::InternetCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// The process-wide client instance, made by the first fetch; a failed attempt is retried by the
// next fetch. It takes the system's proxy settings from the start: each request sets that mode
// again, but Wine refuses to change the mode of an instance, and one opened for direct access
// would never use the system's proxy there.
HINTERNET clientInstance() {
    Shared& state = shared();
    std::lock_guard lock(state.clientMutex);
    if (state.client == nullptr) {
        state.client =
            ::InternetOpenA(kHttpUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    }
    return state.client;
}

// Under Wine, closing a handle does not end a call that is blocked on it, and closing a handle
// that another thread may still use could hit a handle made since with the same value. So each
// exchange runs on a thread of its own that alone touches its handles, while the caller waits
// for it or for the abort, whichever comes first. An abandoned exchange ends by its own
// time-outs, and its bytes are dropped.
template <typename Result>
Result unlessAborted(std::function<Result()> work) {
    struct Outcome {
        bool done = false;
        Result result{};
    };
    Shared& state = shared();
    auto outcome = std::make_shared<Outcome>();
    try {
        std::thread([&state, outcome, work = std::move(work)] {
            Result result = work();
            {
                std::lock_guard lock(state.exchangeMutex);
                outcome->result = std::move(result);
                outcome->done = true;
            }
            state.exchangeEnded.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return Result{};
    }
    std::unique_lock lock(state.exchangeMutex);
    state.exchangeEnded.wait(lock, [&] { return outcome->done || state.aborted.load(); });
    return outcome->done ? std::move(outcome->result) : Result{};
}

DWORD millisecondsOf(long seconds) {
    constexpr long kLongest = 24L * 60 * 60;  // a day: beyond any use, and within a DWORD
    return static_cast<DWORD>(std::clamp(seconds, 1L, kLongest) * 1000);
}

// A handle passes its time-outs on to the handles made from it afterwards.
void limitWaits(HINTERNET handle, const HttpTimeouts& timeouts) {
    DWORD connect = millisecondsOf(timeouts.connectSeconds);
    DWORD silence = millisecondsOf(timeouts.silenceSeconds);
    ::InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    ::InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &silence, sizeof silence);
    ::InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &silence, sizeof silence);
}

// Wine's InternetCanonicalizeUrlA cuts off the end of a URL that holds two-byte characters. So
// the canonicaliser is shown only ASCII: both bytes of each two-byte character and every "%" go
// as %XX, and every %XX of the result is turned back, which restores the bytes exactly.
Text hideTwoByteCharacters(const Text& url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    Text hidden;
    std::size_t trailBytes = 0;
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && trailBytes == 0) {
            trailBytes = 2;  // this lead byte and the byte after it
        }
        if (trailBytes > 0 || c == '%') {
            hidden += '%';
            hidden += kHex[byte >> 4];
            hidden += kHex[byte & 0xF];
        } else {
            hidden += c;
        }
        trailBytes = trailBytes > 0 ? trailBytes - 1 : 0;
    }
    return hidden;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

Text revealTwoByteCharacters(const Text& hidden) {
    Text url;
    for (std::size_t i = 0; i < hidden.size(); ++i) {
        const int high = i + 2 < hidden.size() && hidden[i] == '%' ? hexValue(hidden[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(hidden[i + 2]) : -1;
        if (low >= 0) {
            url += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            url += hidden[i];
        }
    }
    return url;
}

std::optional<Text> canonicalUrlOf(const Text& url) {
    const Text hidden = hideTwoByteCharacters(url);
    std::vector<char> buffer(kFirstCanonicalSize);
    auto size = static_cast<DWORD>(buffer.size());
    if (!::InternetCanonicalizeUrlA(hidden.c_str(), buffer.data(), &size, ICU_NO_ENCODE)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return std::nullopt;
        }
        buffer.resize(size);  // the size that the call asked for
        if (!::InternetCanonicalizeUrlA(hidden.c_str(), buffer.data(), &size, ICU_NO_ENCODE)) {
            return std::nullopt;
        }
    }
    return revealTwoByteCharacters(Text(buffer.data(), std::min<std::size_t>(size, buffer.size())));
}

// The core's splitter takes the user information apart on every platform: it ends at the last "@"
// of the authority, and the user name at its first ":". WinINet's cracker would end it at the
// first "@" and could take the host out of a password, so it sees the URL without it.
Text withoutUserInfo(const Text& url) {
    const std::size_t authority = url.find("://") + 3;
    const std::size_t authorityEnd = std::min(url.find('/', authority), url.size());
    const std::size_t at = url.substr(authority, authorityEnd - authority).rfind('@');
    return at == Text::npos ? url : url.substr(0, authority) + url.substr(authority + at + 1);
}

struct Destination {
    bool secure = false;
    Text host;
    INTERNET_PORT port = 0;
    bool hasUserInfo = false;
    Text userName;
    Text password;
    Text target;  // path with query, cut before the first "#"
};

// Where a URL leads, or nothing for a URL that must not be fetched: the core's splitter refuses
// control bytes (which could split the request), other schemes and parts over their limits.
std::optional<Destination> destinationOf(const Text& url) {
    const std::optional<UrlParts> parts = splitUrl(url);
    if (!parts) {
        return std::nullopt;
    }
    const std::optional<Text> canonical = canonicalUrlOf(withoutUserInfo(url));
    if (!canonical) {
        return std::nullopt;
    }
    char scheme[INTERNET_MAX_SCHEME_LENGTH];
    char host[kMaxHostSize];
    char path[kMaxTargetSize];
    URL_COMPONENTSA components{};
    components.dwStructSize = sizeof components;
    components.lpszScheme = scheme;
    components.dwSchemeLength = sizeof scheme;
    components.lpszHostName = host;
    components.dwHostNameLength = sizeof host;
    components.lpszUrlPath = path;
    components.dwUrlPathLength = sizeof path;
    if (!::InternetCrackUrlA(canonical->c_str(), 0, 0, &components)) {
        return std::nullopt;
    }
    Destination destination;
    destination.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
    destination.host.assign(host, components.dwHostNameLength);
    destination.port = components.nPort;
    destination.hasUserInfo = parts->hasUserInfo;
    destination.userName = parts->userName;
    destination.password = parts->password;
    const Text target(path, components.dwUrlPathLength);
    destination.target = target.substr(0, target.find('#'));
    return destination;
}

Text originOf(const Destination& destination) {
    const bool literal = destination.host.find(':') != Text::npos;  // an IPv6 address
    return Text(destination.secure ? "https://" : "http://") + (literal ? "[" : "") +
           destination.host + (literal ? "]" : "") + ":" + std::to_string(destination.port);
}

bool sameOrigin(const Destination& a, const Destination& b) {
    const auto sameLetter = [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    };
    return a.secure == b.secure && a.port == b.port &&
           std::equal(a.host.begin(), a.host.end(), b.host.begin(), b.host.end(), sameLetter);
}

bool startsWithScheme(const Text& location) {
    Text start = location.substr(0, 8);
    std::transform(start.begin(), start.end(), start.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return start.starts_with("http://") || start.starts_with("https://");
}

// A Location header's URL, resolved against the request that it answered.
Text resolve(const Destination& from, const Text& location) {
    if (startsWithScheme(location)) {
        return location;
    }
    if (location.starts_with("//")) {
        return (from.secure ? "https:" : "http:") + location;
    }
    if (location.starts_with("/")) {
        return originOf(from) + location;
    }
    const Text path = from.target.substr(0, from.target.find('?'));
    if (location.starts_with("?")) {
        return originOf(from) + path + location;
    }
    return originOf(from) + path.substr(0, path.rfind('/') + 1) + location;
}

std::optional<Text> headerOf(HINTERNET request, DWORD query) {
    std::vector<char> buffer(256);
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto size = static_cast<DWORD>(buffer.size());
        DWORD index = 0;
        if (::HttpQueryInfoA(request, query, buffer.data(), &size, &index)) {
            return Text(buffer.data(), std::min<std::size_t>(size, buffer.size()));
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return std::nullopt;
        }
        buffer.resize(size + 1);
    }
    return std::nullopt;
}

// The response's status code; 0 when it has none.
DWORD statusOf(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    DWORD index = 0;
    const bool known = ::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                                        &status, &size, &index);
    return known ? status : 0;
}

// The Location of a redirect; nothing for any other response, which is the final one.
std::optional<Text> redirectOf(HINTERNET request) {
    const DWORD status = statusOf(request);
    const bool redirect =
        status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    return redirect ? headerOf(request, HTTP_QUERY_LOCATION) : std::nullopt;
}

// n + 1 bytes for a Content-Length n above zero, at most kLargestChunk; else kChunkWithoutLength.
std::size_t chunkSizeOf(HINTERNET request) {
    const std::optional<Text> length = headerOf(request, HTTP_QUERY_CONTENT_LENGTH);
    unsigned long long n = 0;
    if (length) {
        const char* end = length->data() + length->size();
        const auto [stop, error] = std::from_chars(length->data(), end, n);
        if (error == std::errc() && stop == end && n > 0) {
            return n >= kLargestChunk ? kLargestChunk : static_cast<std::size_t>(n) + 1;
        }
    }
    return kChunkWithoutLength;
}

WinInetFetch readBody(HINTERNET request) {
    WinInetFetch fetch;
    const std::size_t size = chunkSizeOf(request);
    const std::unique_ptr<char[]> chunk(new (std::nothrow) char[size]);
    if (!chunk) {
        return fetch;
    }
    fetch.chunkSize = size;
    // A read that fails ends the body; what arrived before it stays the result.
    for (;;) {
        DWORD received = 0;
        if (aborted() ||
            !::InternetReadFile(request, chunk.get(), static_cast<DWORD>(size), &received) ||
            received == 0) {
            return fetch;
        }
        fetch.body.insert(fetch.body.end(), chunk.get(), chunk.get() + received);
    }
}

Handle openRequest(HINTERNET client, HINTERNET connection, const Destination& destination) {
    const char* acceptTypes[] = {"*/*", nullptr};
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_NO_AUTO_REDIRECT |
                        (destination.secure ? INTERNET_FLAG_SECURE : 0);
    std::lock_guard lock(shared().requestSetupMutex);
    // The program has no proxy setting of its own: the system's applies.
    INTERNET_PROXY_INFO proxy{INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr};
    ::InternetSetOptionA(client, INTERNET_OPTION_PROXY, &proxy, sizeof proxy);
    char none[] = "";
    ::InternetSetOptionA(connection, INTERNET_OPTION_PROXY_USERNAME, none, sizeof none);
    ::InternetSetOptionA(connection, INTERNET_OPTION_PROXY_PASSWORD, none, sizeof none);
    return Handle(::HttpOpenRequestA(connection, "GET", destination.target.c_str(), "HTTP/1.0",
                                     nullptr, acceptTypes, flags, 0));
}

// One GET and its redirects; the body of the final response.
WinInetFetch exchange(Destination destination, const HttpTimeouts& timeouts) {
    const HINTERNET client = clientInstance();
    if (client == nullptr) {
        return {};
    }
    const Destination first = destination;
    for (int redirects = 0;; ++redirects) {
        if (aborted()) {
            return {};
        }
        const Handle connection(::InternetConnectA(
            client, destination.host.c_str(), destination.port, destination.userName.c_str(),
            destination.password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection) {
            return {};
        }
        limitWaits(connection.get(), timeouts);
        const Handle request = openRequest(client, connection.get(), destination);
        if (!request) {
            return {};
        }
        limitWaits(request.get(), timeouts);
        static constexpr char kAcceptHeader[] = "Accept: */*";
        if (aborted() || !::HttpSendRequestA(request.get(), kAcceptHeader, sizeof kAcceptHeader - 1,
                                             nullptr, 0)) {
            return {};
        }
        const std::optional<Text> location = redirectOf(request.get());
        if (!location) {
            return readBody(request.get());
        }
        if (redirects == kMaxRedirects) {
            return {};
        }
        std::optional<Destination> next = destinationOf(resolve(destination, *location));
        if (!next) {
            return {};
        }
        // The credentials go only where the URL itself sent them: its own host and port.
        if (!next->hasUserInfo && sameOrigin(*next, first)) {
            next->userName = first.userName;
            next->password = first.password;
        }
        destination = std::move(*next);
    }
}

// The request that InternetOpenUrlA makes does not take the session's time-outs under Wine, so
// they are set on each handle as it is made; the context names the time-outs.
void CALLBACK limitNewHandle(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                             DWORD) {
    if (status == INTERNET_STATUS_HANDLE_CREATED && information != nullptr && context != 0) {
        const auto* created = static_cast<const INTERNET_ASYNC_RESULT*>(information);
        limitWaits(reinterpret_cast<HINTERNET>(created->dwResult),
                   *reinterpret_cast<const HttpTimeouts*>(context));
    }
}

// Whether the URL answers at all. Any response counts, a redirect included, so the probe follows
// none (Wine would follow a redirect loop for ever). Wine also gives a handle when the server
// closes without a word; without a status line that is no response.
bool probe(const Text& url, const HttpTimeouts& timeouts) {
    const Handle session(
        ::InternetOpenA(kProbeUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) {
        return false;
    }
    limitWaits(session.get(), timeouts);
    ::InternetSetStatusCallbackA(session.get(), limitNewHandle);
    const Handle page(::InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT,
                                         reinterpret_cast<DWORD_PTR>(&timeouts)));
    return page && statusOf(page.get()) != 0;
}

}  // namespace

WinInetFetch fetchWithWinInet(const Text& url, const HttpTimeouts& timeouts) {
    std::optional<Destination> destination = destinationOf(url);
    if (!destination || aborted()) {
        return {};
    }
    return unlessAborted<WinInetFetch>([destination = std::move(*destination), timeouts] {
        return exchange(destination, timeouts);
    });
}

Bytes httpGetBytes(const Text& url, const HttpTimeouts& timeouts) {
    return fetchWithWinInet(url, timeouts).body;
}

bool httpProbe(const Text& url, const HttpTimeouts& timeouts) {
    if (!splitUrl(url) || aborted()) {
        return false;
    }
    return unlessAborted<bool>([url, timeouts] { return probe(url, timeouts); });
}

void abortAllHttpFetches() {
    Shared& state = shared();
    {
        std::lock_guard lock(state.exchangeMutex);
        state.aborted = true;
    }
    state.exchangeEnded.notify_all();
}

}  // namespace quorvel
