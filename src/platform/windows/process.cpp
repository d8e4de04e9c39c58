// Ending the process at once on Windows.
#include "platform/process.h"

#include <windows.h>

#include <cstdio>

namespace quorvel {

void endProcessAtOnce(int exitCode) {
    std::fflush(nullptr);
    // Terminating, rather than exiting, neither waits for a worker that sits in a network call
    // nor runs the libraries' detach routines under it.
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(exitCode));
    ::ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace quorvel
