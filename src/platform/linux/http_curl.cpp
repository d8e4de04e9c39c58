// The HTTP fetch on libcurl: HTTP/1.0 GETs with the program's user agent, pre-emptive Basic
// credentials from the URL, the proxy of the http_proxy/no_proxy environment (libcurl reads it),
// and a bounded number of redirects that never carry the credentials to another host or port.
#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/http.h"
#include "platform/url.h"

namespace quorvel {

namespace {

constexpr long kMaxRedirects = 10;

std::atomic<bool> fetchesAborted{false};

// The process-wide client instance: libcurl's global state, set up at most once, by whichever
// thread fetches first; a failed set-up is tried again by the next fetch.
bool clientReady() {
    static std::mutex mutex;
    static bool ready = false;
    std::lock_guard lock(mutex);
    if (!ready) {
        ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    }
    return ready;
}

Text origin(const UrlParts& parts) {
    Text text = parts.scheme + "://" + parts.host;
    if (parts.port != defaultPortOf(parts.scheme)) {
        text += ":" + std::to_string(parts.port);
    }
    return text;
}

struct Transfer {
    const char* agent = kHttpUserAgent;
    Bytes body;
    bool stopAtHeaders = false;
    bool inInterimBlock = false;  // the headers of a 1xx or 3xx response
    bool headersDone = false;     // a final response's headers have arrived
};

std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    transfer->body.insert(transfer->body.end(), data, data + size * count);
    return size * count;
}

// For a probe: the blank line after a final (not 1xx or 3xx) header block ends the transfer.
std::size_t watchHeaders(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const Text line(data, size * count);
    if (line.starts_with("HTTP/")) {
        const std::size_t space = line.find(' ');
        const char klass = space == Text::npos || space + 1 >= line.size() ? '2' : line[space + 1];
        transfer->inInterimBlock = klass == '1' || klass == '3';
    } else if (line == "\r\n" || line == "\n") {
        if (!transfer->inInterimBlock) {
            transfer->headersDone = true;
            if (transfer->stopAtHeaders) {
                return 0;
            }
        }
    }
    return size * count;
}

int checkAbort(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return fetchesAborted.load() ? 1 : 0;
}

void fetch(const Text& url, const HttpTimeouts& timeouts, Transfer& transfer) {
    const std::optional<UrlParts> parts = splitUrl(url);
    if (!parts || fetchesAborted.load() || !clientReady()) {
        return;
    }
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(),
                                                               &curl_easy_cleanup);
    if (!handle) {
        return;
    }
    CURL* curl = handle.get();
    // The credentials travel apart from the URL, so that they may hold ":" and "@"; the target is
    // already canonical, and libcurl sends it as it stands.
    const Text address = origin(*parts) + parts->target;
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, transfer.agent);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, timeouts.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, timeouts.silenceSeconds);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, checkAbort);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, watchHeaders);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    if (parts->hasUserInfo) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(curl, CURLOPT_USERNAME, parts->userName.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, parts->password.c_str());
    }
    // Whatever the outcome, the bytes that arrived are the result.
    curl_easy_perform(curl);
}

}  // namespace

Bytes httpGetBytes(const Text& url, const HttpTimeouts& timeouts) {
    Transfer transfer;
    fetch(url, timeouts, transfer);
    return std::move(transfer.body);  // what arrived before a failed read stays the result
}

bool httpProbe(const Text& url, const HttpTimeouts& timeouts) {
    Transfer transfer;
    transfer.agent = kProbeUserAgent;
    transfer.stopAtHeaders = true;
    fetch(url, timeouts, transfer);
    return transfer.headersDone;
}

void abortAllHttpFetches() {
    fetchesAborted = true;
}

}  // namespace quorvel
