// A gate that holds the loopback provider's answer to one request until the test lets it go, so
// that the test can act while that request is out.
#pragma once

#include <condition_variable>
#include <mutex>

namespace quorvel::test {

class Gate {
  public:
    // Called by the provider's thread: counts the arrival, then waits until the gate is open.
    void passWhenOpen() {
        std::unique_lock lock(mutex_);
        ++reached_;
        changed_.wait(lock, [this] { return open_; });
    }
    int reached() const {
        std::lock_guard lock(mutex_);
        return reached_;
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int reached_ = 0;
};

}  // namespace quorvel::test
