// Taking a URL apart as the HTTP fetch needs it, without escaping anything.
#pragma once

#include <optional>

#include "platform/text.h"

namespace quorvel {

struct UrlParts {
    Text scheme;  // "http" or "https"
    Text host;
    int port = 0;  // the URL's own, else the scheme's default
    Text userName;
    Text password;
    bool hasUserInfo = false;
    Text target;  // path with query, cut before the first "#", dot segments removed
};

// Limits of the parts, each counting a terminating zero byte as the platform's own client does.
inline constexpr std::size_t kMaxHostSize = 256;
inline constexpr std::size_t kMaxTargetSize = 2048;
inline constexpr std::size_t kMaxUserNameSize = 128;
inline constexpr std::size_t kMaxPasswordSize = 128;

// The port of a scheme when the URL names none: 443 for https, 80 for http.
inline int defaultPortOf(const Text& scheme) {
    return scheme == "https" ? 443 : 80;
}

// "scheme://[user[:password]@]host[:port][/path][?query][#fragment]".
// The authority ends at the first "/" after "://". Within it the user information ends at the
// last "@", and the user name at the first ":" of the user information: so a password may hold
// ":" and "@", and a user name may hold "@". Nothing is fetched (no result) for an empty URL,
// a scheme other than http and https, an empty host, a bad port, a part over its limit, or a URL
// that holds a control byte (below 0x20, or 0x7F), which could otherwise split the request.
std::optional<UrlParts> splitUrl(const Text& url);

}  // namespace quorvel
