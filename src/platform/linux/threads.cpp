// Detached workers on std::thread, counted while they run.
#include "platform/threads.h"

#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

namespace quorvel {

namespace {
std::atomic<int> running{0};
}  // namespace

bool startDetachedThread(std::function<void()> work) {
    ++running;
    try {
        std::thread([work = std::move(work)]() mutable {
            // What the work holds is released before the thread stops counting as running.
            std::exchange(work, nullptr)();
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
