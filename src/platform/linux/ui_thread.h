// Runs a function on the UI thread while the calling thread waits, for as long as the UI exists.
// Calls from the UI thread run at once. After shutDown, no call runs and none waits.
#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>

#include <future>
#include <memory>
#include <mutex>
#include <optional>

namespace quorvel {

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
    QThread* uiThread_;
    std::mutex mutex_;   // guards context_; never held while waiting
    QObject* context_;   // lives on the UI thread; queued calls are posted to it
    bool alive_ = true;  // read and written on the UI thread only, or under mutex_
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
        // When the context goes, Qt drops this queued call with the promise inside it, and the
        // waiting caller wakes with a broken promise: the UI is gone.
        QMetaObject::invokeMethod(
            context_,
            [promise = std::move(promise), function = std::move(function)]() mutable {
                promise->set_value(function());
            },
            Qt::QueuedConnection);
    }
    try {
        return future.get();
    } catch (const std::future_error&) {
        return std::nullopt;
    }
}

}  // namespace quorvel
