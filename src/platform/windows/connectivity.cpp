// The connection state on Windows, as WinINet reports it.
#include "platform/connectivity.h"

#include <windows.h>
#include <wininet.h>

namespace quorvel {

bool systemReportsConnection() {
    // The kind of connection is of no interest: no flags are asked for.
    return ::InternetGetConnectedState(nullptr, 0) != FALSE;
}

}  // namespace quorvel
