// The account list's seven operations on the real Win32 list view of the main window, called from
// the UI thread, from a worker thread while the UI thread serves it (in its loop or inside a
// MessageBoxA), and after the window is gone.
#include "platform/windows/list_view_account_list.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "accounts/account_file.h"
#include "accounts/account_list_calls.h"
#include "accounts/account_row.h"
#include "support/refused_port.h"
#include "support/temp_dir.h"
#include "ui/windows/main_window.h"
#include "ui/windows/win32_test_support.h"

namespace quorvel {
namespace {

using test::TempDir;

using namespace test;  // the calls and cases of account_list_calls.h

// Texts of exactly `bytes` bytes, around the sizes at which a reading buffer may run full: all
// ASCII, and ending in a two-byte character that a cut copy could not hold whole.
struct SizedTexts {
    std::vector<Call> calls;
    std::vector<Cells> rows;
};

SizedTexts textsAroundBufferSizes() {
    SizedTexts sized;
    int row = 0;
    for (std::size_t power = 128; power <= 8192; power *= 2) {
        for (std::size_t bytes = power - 3; bytes <= power + 2; ++bytes) {
            const Text ascii(bytes, 'a');
            const Text twoByteEnd = Text(bytes - 2, 'b') + "甲";
            sized.calls.push_back(insertRow(ascii, row));
            sized.calls.push_back(setCell(row, Status, twoByteEnd));
            sized.calls.push_back(getCell(row, UserName, ascii));
            sized.calls.push_back(getCell(row, Status, twoByteEnd));
            sized.rows.push_back({ascii, "", "", "", twoByteEnd});
            ++row;
        }
    }
    return sized;
}

const std::vector<ListCase>& listCases() {
    static const std::vector<ListCase> cases = [] {
        std::vector<ListCase> all = sharedListCases();
        const SizedTexts sized = textsAroundBufferSizes();
        all.push_back(
            {"CellsAroundBufferSizesAreReturnedWhole", {}, -1, sized.calls, sized.rows, -1});
        return all;
    }();
    return cases;
}

enum class Caller {
    UiThread,
    WorkerWhileLoopRuns,
    WorkerWhileMessageBoxIsOpen,
    WorkerAfterWindowDestroyed,
};

const char* callerName(Caller caller) {
    switch (caller) {
        case Caller::UiThread:
            return "UiThread";
        case Caller::WorkerWhileLoopRuns:
            return "WorkerWhileLoopRuns";
        case Caller::WorkerWhileMessageBoxIsOpen:
            return "WorkerWhileMessageBoxIsOpen";
        case Caller::WorkerAfterWindowDestroyed:
            return "WorkerAfterWindowDestroyed";
    }
    return "";
}

void PrintTo(Caller caller, std::ostream* out) {
    *out << callerName(caller);
}

// A thread that makes the calls once, after `start` has said yes, and runs `done` afterwards.
// Everything it uses is shared with it, so a worker that has to be abandoned after a hang still
// touches nothing freed.
class Worker {
  public:
    Worker(
        std::shared_ptr<AccountList> list, std::vector<Call> calls,
        std::function<bool()> start = [] { return true; }, std::function<void()> done = [] {})
        : state_(std::make_shared<State>()) {
        state_->list = std::move(list);
        state_->calls = std::move(calls);
        thread_ = std::thread([state = state_, start = std::move(start), done = std::move(done)] {
            if (start()) {
                state->outcomes = performAll(*state->list, state->calls);
                state->called.store(true, std::memory_order_release);
            }
            done();
            state->finished.store(true, std::memory_order_release);
        });
    }
    ~Worker() {
        if (finished()) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    bool finished() const { return state_->finished.load(std::memory_order_acquire); }
    // Whether the calls were made; their outcomes only then.
    bool called() const { return state_->called.load(std::memory_order_acquire); }
    const std::vector<Outcome>& outcomes() const { return state_->outcomes; }

  private:
    struct State {
        std::shared_ptr<AccountList> list;
        std::vector<Call> calls;
        std::vector<Outcome> outcomes;
        std::atomic<bool> called{false};
        std::atomic<bool> finished{false};
    };
    std::shared_ptr<State> state_;
    std::thread thread_;
};

constexpr char kBoxTitle[] = "请稍候";

// The safety net of a box that the test failed to close: closes this thread's boxes.
void CALLBACK closeThisThreadsBoxes(HWND, UINT, UINT_PTR, DWORD) {
    for (HWND box : test::threadWindows(GetCurrentThreadId(), "#32770")) {
        PostMessageA(box, WM_CLOSE, 0, 0);
    }
}

// Opens a MessageBoxA on this thread; the worker starts once the box is there and presses its OK
// button when it is done. Returns the box's result.
int runWorkerInsideMessageBox(std::unique_ptr<Worker>& worker, std::shared_ptr<AccountList> list,
                              const std::vector<Call>& calls) {
    const DWORD uiThread = GetCurrentThreadId();
    auto box = std::make_shared<std::atomic<HWND>>(nullptr);
    worker = std::make_unique<Worker>(
        std::move(list), calls,
        [uiThread, box] {
            box->store(test::waitForThreadWindow(uiThread, "#32770", kBoxTitle));
            return box->load() != nullptr;
        },
        [box] {
            // Still open: the calls were served by the box's own loop.
            if (box->load() != nullptr && IsWindowVisible(box->load())) {
                test::pressOk(box->load());
            }
        });
    const UINT_PTR safety = SetTimer(nullptr, 0, 60000, closeThisThreadsBoxes);
    const int result =
        MessageBoxA(nullptr, "正在读写列表", kBoxTitle, MB_OK | MB_TASKMODAL | MB_ICONINFORMATION);
    KillTimer(nullptr, safety);
    return result;
}

class AccountListOperationsTest : public testing::TestWithParam<std::tuple<ListCase, Caller>> {
  protected:
    const ListCase& listCase() const { return std::get<0>(GetParam()); }
    Caller caller() const { return std::get<1>(GetParam()); }

    // The real main window, shown, holding the case's rows with the user's selection made.
    void SetUp() override {
        window_ = std::make_unique<MainWindow>(dir_.file(kAccountFileName),
                                               test::refusedEndpoints(offline_));
        ASSERT_TRUE(window_->create());
        view_ = window_->control(ControlId::AccountList);
        list_ = window_->accountList();
        window_->showAsForeground();
        test::fillList(view_, listCase().rows);
        if (listCase().userSelects >= 0) {
            ASSERT_TRUE(test::clickRow(*window_, view_, listCase().userSelects));
        }
        ASSERT_EQ(test::listSelectedRow(view_), listCase().userSelects);
        ASSERT_EQ(test::listRows(view_), listCase().rows);
    }

    void expectOutcomes(const std::vector<Outcome>& outcomes, bool windowGone) {
        const std::vector<Call>& calls = listCase().calls;
        ASSERT_EQ(outcomes.size(), calls.size());
        for (std::size_t i = 0; i < calls.size(); ++i) {
            const Outcome expected =
                windowGone ? outcomeWithoutWindow(calls[i]) : calls[i].expected;
            EXPECT_EQ(outcomes[i], expected) << "call " << i;
        }
    }

    void expectListAfterCalls() {
        EXPECT_EQ(test::listRows(view_), listCase().rowsAfter);
        EXPECT_EQ(test::listSelectedRow(view_), listCase().selectedAfter);
    }

    TempDir dir_;
    test::RefusedPort offline_;  // no network for the window's endpoints
    std::unique_ptr<MainWindow> window_;
    HWND view_ = nullptr;
    std::shared_ptr<AccountList> list_;
};

TEST_P(AccountListOperationsTest, CallsHaveTheirEffect) {
    switch (caller()) {
        case Caller::UiThread: {
            expectOutcomes(performAll(*list_, listCase().calls), false);
            expectListAfterCalls();
            break;
        }
        case Caller::WorkerWhileLoopRuns: {
            Worker worker(list_, listCase().calls);
            ASSERT_TRUE(test::serveUntil([&] { return worker.finished(); }, window_.get()));
            ASSERT_TRUE(worker.called());
            expectOutcomes(worker.outcomes(), false);
            expectListAfterCalls();
            break;
        }
        case Caller::WorkerWhileMessageBoxIsOpen: {
            std::unique_ptr<Worker> worker;
            const int result = runWorkerInsideMessageBox(worker, list_, listCase().calls);
            EXPECT_EQ(result, IDOK) << "the box was not closed by the worker";
            ASSERT_TRUE(test::waitWithoutMessages([&] { return worker->finished(); }));
            ASSERT_TRUE(worker->called()) << "the box never showed";
            expectOutcomes(worker->outcomes(), false);
            expectListAfterCalls();
            break;
        }
        case Caller::WorkerAfterWindowDestroyed: {
            window_.reset();
            ASSERT_FALSE(IsWindow(view_));
            // Nothing serves the worker now, so it must finish on its own.
            Worker worker(list_, listCase().calls);
            ASSERT_TRUE(test::waitWithoutMessages([&] { return worker.finished(); }));
            expectOutcomes(worker.outcomes(), true);
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllCallers, AccountListOperationsTest,
                         testing::Combine(testing::ValuesIn(listCases()),
                                          testing::Values(Caller::UiThread,
                                                          Caller::WorkerWhileLoopRuns,
                                                          Caller::WorkerWhileMessageBoxIsOpen,
                                                          Caller::WorkerAfterWindowDestroyed)),
                         [](const testing::TestParamInfo<std::tuple<ListCase, Caller>>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    callerName(std::get<1>(info.param));
                         });

class AccountListShutdownTest : public testing::Test {
  protected:
    void SetUp() override {
        window_ = std::make_unique<MainWindow>(dir_.file(kAccountFileName),
                                               test::refusedEndpoints(offline_));
        ASSERT_TRUE(window_->create());
        list_ = window_->accountList();
    }

    TempDir dir_;
    test::RefusedPort offline_;
    std::unique_ptr<MainWindow> window_;
    std::shared_ptr<AccountList> list_;
};

// The worker's call is waiting in the UI thread's queue when the window goes: it returns, and
// answers as for no window.
TEST_F(AccountListShutdownTest, CallWaitingWhenTheWindowIsDestroyedAnswersAsForNoWindow) {
    list_->insertRow("用户甲");
    Worker worker(list_, {rowCount(1), getCell(0, UserName, "用户甲")});
    // The UI thread serves nothing until the worker's message waits for it.
    ASSERT_TRUE(test::waitWithoutMessages(
        [] { return (GetQueueStatus(QS_SENDMESSAGE) & QS_SENDMESSAGE) != 0; }));
    window_.reset();
    ASSERT_TRUE(test::serveUntil([&] { return worker.finished(); }));
    ASSERT_TRUE(worker.called());
    EXPECT_EQ(worker.outcomes(), (std::vector<Outcome>{number(0), text("")}));
}

// Workers walk the rows as update runs do, again and again, until the list reads as empty; the
// window is destroyed while every one of them is in the middle of its walk.
TEST_F(AccountListShutdownTest, WorkersStillRunningWhenTheWindowIsDestroyedAllEnd) {
    list_->insertRow("用户甲");
    list_->insertRow("用户乙");
    struct Progress {
        std::atomic<int> rounds{0};
        std::atomic<bool> done{false};
    };
    constexpr int kWorkers = 4;
    std::vector<std::shared_ptr<Progress>> progress;
    std::vector<std::thread> workers;
    for (int i = 0; i < kWorkers; ++i) {
        auto mine = std::make_shared<Progress>();
        progress.push_back(mine);
        workers.emplace_back([list = list_, mine] {
            for (int rows = list->rowCount(); rows > 0; rows = list->rowCount()) {
                for (int row = 0; row < rows; ++row) {
                    list->setCell(row, Status, list->getCell(row, UserName));
                }
                mine->rounds.fetch_add(1);
            }
            mine->done.store(true, std::memory_order_release);
        });
    }
    const auto all = [&](const std::function<bool(const Progress&)>& test) {
        for (const auto& each : progress) {
            if (!test(*each)) {
                return false;
            }
        }
        return true;
    };
    bool destroyed = false;
    const bool ended = test::serveUntil([&] {
        if (!destroyed && all([](const Progress& p) { return p.rounds.load() >= 5; })) {
            EXPECT_EQ(list_->getCell(1, Status), "用户乙");
            window_.reset();
            destroyed = true;
        }
        return destroyed && all([](const Progress& p) { return p.done.load(); });
    });
    for (std::size_t i = 0; i < workers.size(); ++i) {
        if (progress[i]->done.load(std::memory_order_acquire)) {
            workers[i].join();
        } else {
            workers[i].detach();
        }
    }
    ASSERT_TRUE(destroyed) << "the workers never got going";
    EXPECT_TRUE(ended) << "a worker still runs after the window was destroyed";
}

}  // namespace
}  // namespace quorvel
