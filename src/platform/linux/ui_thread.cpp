// The UI thread caller's lifetime: created with the window, shut down when the window goes.
#include "platform/linux/ui_thread.h"

namespace quorvel {

UiThreadCaller::UiThreadCaller() : uiThread_(QThread::currentThread()), context_(new QObject) {}

UiThreadCaller::~UiThreadCaller() {
    shutDown();
}

void UiThreadCaller::shutDown() {
    QObject* context = nullptr;
    {
        std::lock_guard lock(mutex_);
        alive_ = false;
        context = std::exchange(context_, nullptr);
    }
    delete context;  // drops the queued calls and wakes their callers
}

}  // namespace quorvel
