// Worker threads: started detached and never joined. The count of those still running lets the
// program decide, when it ends, whether it can end the ordinary way or must end at once.
#pragma once

#include <functional>

namespace quorvel {

// Starts a thread that runs the work and ends; returns whether it could be started.
bool startDetachedThread(std::function<void()> work);
// How many threads started here have not finished their work yet.
int runningDetachedThreads();

}  // namespace quorvel
