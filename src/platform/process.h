// Ending the process at once, without exit routines, destructors or waiting for worker threads.
#pragma once

namespace quorvel {

// Flushes standard output and error, then ends the process with the code.
[[noreturn]] void endProcessAtOnce(int exitCode);

}  // namespace quorvel
