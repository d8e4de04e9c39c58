// The WinINet fetch behind httpGetBytes, with the read chunk size it chose, so that tests can see
// that choice on real responses.
#pragma once

#include <cstddef>

#include "platform/http.h"

namespace quorvel {

struct WinInetFetch {
    Bytes body;
    std::size_t chunkSize = 0;  // the read buffer's size; 0 when the fetch never came to reading
};

// httpGetBytes is this fetch's body.
WinInetFetch fetchWithWinInet(const Text& url, const HttpTimeouts& timeouts);

}  // namespace quorvel
