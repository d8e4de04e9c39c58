// The URL splitter behind the HTTP fetch, the same on every platform.
#include "platform/url.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

namespace quorvel {

namespace {

bool holdsControlByte(const Text& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// "/a/./b/../c" becomes "/a/c"; the query is left as it is.
Text removeDotSegments(const Text& path) {
    std::vector<Text> kept;
    std::size_t start = 1;  // the path starts with "/"
    bool endsInDirectory = false;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == Text::npos) {
            slash = path.size();
        }
        const Text segment = path.substr(start, slash - start);
        endsInDirectory = segment == "." || segment == "..";
        if (segment == "..") {
            if (!kept.empty()) {
                kept.pop_back();
            }
        } else if (segment != ".") {
            kept.push_back(segment);
        }
        start = slash + 1;
    }
    Text result;
    for (const Text& segment : kept) {
        result.push_back('/');
        result.append(segment);
    }
    if (result.empty() || endsInDirectory) {
        result += "/";
    }
    return result;
}

Text canonicalTarget(const Text& withFragment) {
    const Text target = withFragment.substr(0, withFragment.find('#'));
    const std::size_t query = target.find('?');
    const Text path = target.substr(0, query);
    Text canonical = path.empty() ? Text(1, '/') : removeDotSegments(path);
    if (query != Text::npos) {
        canonical += target.substr(query);
    }
    // A space would end the request line early; it goes as "%20", every other byte as it is.
    Text escaped;
    for (char c : canonical) {
        if (c == ' ') {
            escaped.append("%20");
        } else {
            escaped.push_back(c);
        }
    }
    return escaped;
}

}  // namespace

std::optional<UrlParts> splitUrl(const Text& url) {
    if (url.empty() || holdsControlByte(url)) {
        return std::nullopt;
    }
    UrlParts parts;
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == Text::npos) {
        return std::nullopt;
    }
    parts.scheme = url.substr(0, schemeEnd);
    std::transform(parts.scheme.begin(), parts.scheme.end(), parts.scheme.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    if (parts.scheme != "http" && parts.scheme != "https") {
        return std::nullopt;
    }
    const std::size_t authorityStart = schemeEnd + 3;
    const std::size_t pathStart = std::min(url.find('/', authorityStart), url.size());
    Text authority = url.substr(authorityStart, pathStart - authorityStart);

    const std::size_t at = authority.rfind('@');
    if (at != Text::npos) {
        const Text userInfo = authority.substr(0, at);
        const std::size_t colon = userInfo.find(':');
        parts.userName = userInfo.substr(0, colon);
        parts.password = colon == Text::npos ? Text() : userInfo.substr(colon + 1);
        parts.hasUserInfo = true;
        authority = authority.substr(at + 1);
    }

    parts.port = defaultPortOf(parts.scheme);
    const std::size_t colon = authority.rfind(':');
    if (colon != Text::npos && authority.find(']', colon) == Text::npos) {
        const Text port = authority.substr(colon + 1);
        int value = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (!port.empty() && (error != std::errc() || end != port.data() + port.size() ||
                              value <= 0 || value > 65535)) {
            return std::nullopt;
        }
        if (!port.empty()) {
            parts.port = value;
        }
        authority = authority.substr(0, colon);
    }
    parts.host = authority;
    const Text target = url.substr(pathStart);
    parts.target = canonicalTarget(target);

    if (parts.host.empty() || parts.host.size() >= kMaxHostSize ||
        target.size() >= kMaxTargetSize || parts.userName.size() >= kMaxUserNameSize ||
        parts.password.size() >= kMaxPasswordSize) {
        return std::nullopt;
    }
    return parts;
}

}  // namespace quorvel
