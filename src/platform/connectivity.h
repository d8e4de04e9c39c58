// Whether the system reports a network connection at all.
#pragma once

namespace quorvel {

// True when an interface other than loopback is up and has an address.
bool systemReportsConnection();

}  // namespace quorvel
