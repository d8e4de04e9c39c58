// Detached workers on kernel32's threads: each runs on a thread of its own, and the count of those
// still running falls back to zero once they are done.
#include "platform/threads.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>

namespace quorvel {
namespace {

TEST(DetachedThreads, EachWorkRunsOnAThreadOfItsOwnAndIsCountedUntilDone) {
    constexpr int kWorkers = 20;
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    std::set<DWORD> threads;
    for (int i = 0; i < kWorkers; ++i) {
        ASSERT_TRUE(startDetachedThread([&] {
            std::unique_lock lock(mutex);
            threads.insert(::GetCurrentThreadId());
            changed.notify_all();
            changed.wait(lock, [&] { return released; });
        }));
    }
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(60),
                                 [&] { return threads.size() == kWorkers; }));
    // All of them are waiting for the release, so all of them count as running.
    EXPECT_EQ(runningDetachedThreads(), kWorkers);
    EXPECT_EQ(threads.count(::GetCurrentThreadId()), 0u);
    released = true;
    changed.notify_all();
    lock.unlock();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (runningDetachedThreads() > 0 && std::chrono::steady_clock::now() < deadline) {
        ::Sleep(1);
    }
    EXPECT_EQ(runningDetachedThreads(), 0);
}

TEST(DetachedThreads, WhatTheWorkHoldsIsReleasedWhenItEnds) {
    auto held = std::make_shared<int>(7);
    std::weak_ptr<int> watch = held;
    ASSERT_TRUE(startDetachedThread([held = std::move(held)] {}));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (runningDetachedThreads() > 0 && std::chrono::steady_clock::now() < deadline) {
        ::Sleep(1);
    }
    EXPECT_EQ(runningDetachedThreads(), 0);
    EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace quorvel
