// Detached workers on std::thread, counted while they run.
#include "platform/threads.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace quorvel {

namespace {
std::atomic<int> running{0};
}  // namespace

bool startDetachedThread(std::function<void()> work) {
    ++running;
    try {
        std::thread([work = std::move(work)] {
            work();
            --running;
        }).detach();
        return true;
    } catch (const std::system_error&) {
        --running;
        return false;
    }
}

int runningDetachedThreads() {
    return running.load();
}

}  // namespace quorvel
