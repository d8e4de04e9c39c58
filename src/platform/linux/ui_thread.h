// Runs a function on the UI thread while the calling thread waits, for as long as the UI exists.
// Calls from the UI thread run at once. After shutDown, no call runs and none waits.
#pragma once

#include <QObject>
#include <QThread>

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>

namespace quorvel {

class UiThreadCaller;

// Lives on the UI thread; a queued wake-up of it runs the calls that wait. The wake-up is invoked
// by name and carries no data: everything a call needs goes through the caller's queue.
class UiThreadContext final : public QObject {
    Q_OBJECT
  public:
    explicit UiThreadContext(UiThreadCaller& caller) : caller_(caller) {}
    Q_INVOKABLE void runPending();

  private:
    UiThreadCaller& caller_;
};

class UiThreadCaller {
  public:
    // Must be created on the UI thread.
    UiThreadCaller();
    ~UiThreadCaller();
    UiThreadCaller(const UiThreadCaller&) = delete;
    UiThreadCaller& operator=(const UiThreadCaller&) = delete;

    // The function's result, or nothing when the UI is gone (or goes while the caller waits).
    template <typename Function>
    auto call(Function function) -> std::optional<decltype(function())>;

    // On the UI thread: drops the calls that wait and refuses new ones.
    void shutDown();

  private:
    friend class UiThreadContext;
    void runPending();

    QThread* uiThread_;
    // The calls waiting for the UI thread, handed over under the mutex; the UI thread is only
    // woken through Qt's queue. The mutex is never held while a call runs or a caller waits.
    std::mutex mutex_;
    std::deque<std::function<void()>> pending_;
    UiThreadContext* context_;  // null once the UI is gone
    bool alive_ = true;         // read and written on the UI thread only
};

template <typename Function>
auto UiThreadCaller::call(Function function) -> std::optional<decltype(function())> {
    using Result = decltype(function());
    if (QThread::currentThread() == uiThread_) {
        if (!alive_) {
            return std::nullopt;
        }
        return function();
    }
    auto promise = std::make_shared<std::promise<Result>>();
    std::future<Result> future = promise->get_future();
    {
        std::lock_guard lock(mutex_);
        if (context_ == nullptr) {
            return std::nullopt;
        }
        // Only the queue holds the promise: a call dropped at shutdown breaks it, and the caller
        // wakes knowing that the UI is gone.
        pending_.emplace_back([promise = std::move(promise), function = std::move(function)] {
            promise->set_value(function());
        });
        QMetaObject::invokeMethod(context_, "runPending", Qt::QueuedConnection);
    }
    try {
        return future.get();
    } catch (const std::future_error&) {
        return std::nullopt;
    }
}

}  // namespace quorvel
