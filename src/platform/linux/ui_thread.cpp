// The UI thread caller's queue, and its end when the window goes.
#include "platform/linux/ui_thread.h"

#include <utility>

namespace quorvel {

void UiThreadContext::runPending() {
    caller_.runPending();
}

UiThreadCaller::UiThreadCaller()
    : uiThread_(QThread::currentThread()), context_(new UiThreadContext(*this)) {}

UiThreadCaller::~UiThreadCaller() {
    shutDown();
}

void UiThreadCaller::runPending() {
    for (;;) {
        std::function<void()> next;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty()) {
                return;
            }
            next = std::move(pending_.front());
            pending_.pop_front();
        }
        next();
    }
}

void UiThreadCaller::shutDown() {
    QObject* context = nullptr;
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        alive_ = false;
        context = std::exchange(context_, nullptr);
        dropped.swap(pending_);
    }
    delete context;   // drops the queued wake-ups
    dropped.clear();  // breaks the waiting callers' promises: they return at once
}

}  // namespace quorvel
