// The HTTP fetch facility: one GET, the body of the final response, whatever its status.
// Each platform implements it on its own HTTP client; it may run on several threads at once.
#pragma once

#include "platform/text.h"

namespace quorvel {

// The platform client's own limits, so that no request can hang for ever: a connection that takes
// longer than `connectSeconds` fails, and so does an exchange that receives nothing for
// `silenceSeconds`.
struct HttpTimeouts {
    long connectSeconds = 60;
    long silenceSeconds = 30;
};

inline constexpr char kHttpUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
// The connectivity probe introduces itself apart from the fetches.
inline constexpr char kProbeUserAgent[] = "test";

// The body of the final response to a GET of the URL; empty when the fetch failed or the body was
// empty. A read that fails after some bytes keeps them.
Bytes httpGetBytes(const Text& url, const HttpTimeouts& timeouts = {});

// Whether a GET of the URL receives the headers of a response, whatever its status. The body is
// not read.
bool httpProbe(const Text& url, const HttpTimeouts& timeouts = {});

// Ends every fetch in progress at once and makes later fetches fail: the program is closing.
void abortAllHttpFetches();

}  // namespace quorvel
