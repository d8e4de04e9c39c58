// Ending the process on POSIX systems.
#include "platform/process.h"

#include <unistd.h>

#include <cstdio>

namespace quorvel {

void endProcessAtOnce(int exitCode) {
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(exitCode);
}

}  // namespace quorvel
