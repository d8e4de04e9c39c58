// Detached workers on kernel32's CreateThread, bound by name when first needed and counted while
// they run.
#include "platform/threads.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

namespace quorvel {

namespace {

using CreateThreadFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE,
                                             LPVOID, DWORD, LPDWORD);
using CloseHandleFunction = BOOL(WINAPI*)(HANDLE);

std::atomic<int> running{0};

template <typename Function>
Function bind(const char* library, const char* name) {
    const HMODULE module = ::LoadLibraryA(library);
    if (module == nullptr) {
        return nullptr;
    }
    // A FARPROC is a generic function pointer; the name says which one it really is.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

DWORD WINAPI threadEntry(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    // What the work holds is released before the thread stops counting as running.
    work.reset();
    --running;
    return 0;
}

}  // namespace

bool startDetachedThread(std::function<void()> work) {
    static const auto createThread = bind<CreateThreadFunction>("kernel32.dll", "CreateThread");
    static const auto closeHandle = bind<CloseHandleFunction>("kernel32", "CloseHandle");
    if (createThread == nullptr || closeHandle == nullptr) {
        return false;
    }
    auto job = std::make_unique<std::function<void()>>(std::move(work));
    ++running;
    DWORD threadId = 0;
    const HANDLE thread = createThread(nullptr, 0, threadEntry, job.get(), 0, &threadId);
    if (thread == nullptr) {
        --running;
        return false;
    }
    job.release();  // the thread owns it now
    closeHandle(thread);
    return true;
}

int runningDetachedThreads() {
    return running.load();
}

}  // namespace quorvel
