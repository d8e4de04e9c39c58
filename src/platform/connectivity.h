// Whether the system reports a network connection at all.
#pragma once

namespace quorvel {

// True when the system reports a connection: on Linux, an interface other than loopback that is up
// and has an address; on Windows, what WinINet says of the connection state.
bool systemReportsConnection();

}  // namespace quorvel
