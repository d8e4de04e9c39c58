// The account list's seven operations on the real Qt table view, called from the UI thread, from a
// worker thread while the UI thread serves it (in its event loop or in a modal box), and after the
// window is gone.
#include "platform/linux/list_view_account_list.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
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
#include "platform/linux/account_table_model.h"
#include "support/temp_dir.h"
#include "ui/linux/main_window.h"
#include "ui/window_layout.h"

namespace quorvel {
namespace {

using test::TempDir;

// Generous: a limit only turns a hang into a failure, it never decides a passing verdict.
constexpr int kLimitMs = 60000;

using namespace test;  // the calls and cases of account_list_calls.h

const std::vector<ListCase>& listCases() {
    static const std::vector<ListCase> cases = [] {
        std::vector<ListCase> all = sharedListCases();
        // Not GBK: 0xFF is no lead byte, 0x81 0x20 is no pair, and a lead byte ends the text.
        const Text badName =
            "\xFF\x80"
            "abc";
        const Text badPassword = "\x81 x\xFE";
        all.push_back({"BytesThatAreNotGbkAreKeptUnchanged",
                       {},
                       -1,
                       {insertRow(badName, 0), setCell(0, Password, badPassword),
                        getCell(0, UserName, badName), getCell(0, Password, badPassword)},
                       {{badName, badPassword, "", "", ""}},
                       -1});
        return all;
    }();
    return cases;
}

// Who makes the calls, and in what state the UI thread is meanwhile.
enum class Caller {
    UiThread,
    WorkerWhileEventLoopRuns,
    WorkerWhileModalBoxIsOpen,
    WorkerAfterWindowDeleted,
    WorkerAfterDetach,
};

const char* callerName(Caller caller) {
    switch (caller) {
        case Caller::UiThread:
            return "UiThread";
        case Caller::WorkerWhileEventLoopRuns:
            return "WorkerWhileEventLoopRuns";
        case Caller::WorkerWhileModalBoxIsOpen:
            return "WorkerWhileModalBoxIsOpen";
        case Caller::WorkerAfterWindowDeleted:
            return "WorkerAfterWindowDeleted";
        case Caller::WorkerAfterDetach:
            return "WorkerAfterDetach";
    }
    return "";
}

void PrintTo(Caller caller, std::ostream* out) {
    *out << callerName(caller);
}

// A thread that makes the calls once. Everything it uses is shared with it, so a worker that has
// to be abandoned after a hang still touches nothing freed.
class Worker {
  public:
    Worker(std::shared_ptr<AccountList> list, std::vector<Call> calls)
        : state_(std::make_shared<State>()) {
        state_->list = std::move(list);
        state_->calls = std::move(calls);
        thread_ = std::thread([state = state_] {
            state->outcomes = performAll(*state->list, state->calls);
            state->done.store(true, std::memory_order_release);
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

    bool finished() const { return state_->done.load(std::memory_order_acquire); }
    // Only once finished.
    const std::vector<Outcome>& outcomes() const { return state_->outcomes; }

  private:
    struct State {
        std::shared_ptr<AccountList> list;
        std::vector<Call> calls;
        std::vector<Outcome> outcomes;
        std::atomic<bool> done{false};
    };
    std::shared_ptr<State> state_;
    std::thread thread_;
};

// Runs an event loop on this thread until the condition holds or the limit passes.
bool runEventLoopUntil(const std::function<bool()>& condition) {
    QEventLoop loop;
    QDeadlineTimer deadline(kLimitMs);
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition() || deadline.hasExpired()) {
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
    return condition();
}

// Waits on this thread without handling a single event: whatever needs the UI thread cannot
// happen meanwhile.
bool waitWithoutEvents(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(kLimitMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Opens a modal message box, starts the worker from inside its loop, and closes the box with its
// OK button once the worker has finished.
std::unique_ptr<Worker> runWorkerInsideModalBox(std::shared_ptr<AccountList> list,
                                                const std::vector<Call>& calls) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("信息："), QStringLiteral("请稍候"),
                    QMessageBox::Ok);
    std::unique_ptr<Worker> worker;
    QDeadlineTimer deadline(kLimitMs);
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &box, [&] {
        if (deadline.hasExpired()) {
            box.done(0);
        } else if (worker == nullptr) {
            if (QApplication::activeModalWidget() == &box) {
                worker = std::make_unique<Worker>(list, calls);
            }
        } else if (worker->finished()) {
            poll.stop();
            QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton);
        }
    });
    poll.start();
    box.exec();
    return worker;
}

std::vector<Cells> modelRows(const AccountTableModel& model) {
    std::vector<Cells> rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        Cells cells;
        for (int column = 0; column < kAccountColumnCount; ++column) {
            cells[static_cast<std::size_t>(column)] = model.cellText(row, column);
        }
        rows.push_back(cells);
    }
    return rows;
}

int viewSelectedRow(const QTableView& view) {
    const QModelIndexList rows = view.selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void fill(AccountTableModel& model, const std::vector<Cells>& rows) {
    for (const Cells& cells : rows) {
        const int row = model.appendRow(cells[0]);
        for (int column = 1; column < kAccountColumnCount; ++column) {
            model.setCellText(row, column, cells[static_cast<std::size_t>(column)]);
        }
    }
}

// The user selects a row the way a user does: a left click on it.
void clickRow(QTableView& view, int row) {
    const QRect cell = view.visualRect(view.model()->index(row, UserName));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
}

class AccountListOperationsTest : public testing::TestWithParam<std::tuple<ListCase, Caller>> {
  protected:
    const ListCase& listCase() const { return std::get<0>(GetParam()); }
    Caller caller() const { return std::get<1>(GetParam()); }

    // The real main window, shown, holding the case's rows with the user's selection made.
    void openWindow() {
        window_ = std::make_unique<MainWindow>(dir_.file(kAccountFileName));
        view_ = qobject_cast<QTableView*>(window_->control(ControlId::AccountList));
        ASSERT_NE(view_, nullptr);
        model_ = qobject_cast<AccountTableModel*>(view_->model());
        ASSERT_NE(model_, nullptr);
        list_ = window_->accountList();
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        prepare(*view_, *model_);
    }

    // A bare table view with its model and the list on them, as the window builds them.
    void openBareView() {
        bareView_ = std::make_unique<QTableView>();
        bareModel_ = std::make_unique<AccountTableModel>();
        bareView_->setModel(bareModel_.get());
        bareView_->setSelectionBehavior(QAbstractItemView::SelectRows);
        bareView_->setSelectionMode(QAbstractItemView::SingleSelection);
        bareView_->resize(500, 355);
        bareList_ = std::make_shared<ListViewAccountList>(bareView_.get(), bareModel_.get());
        list_ = bareList_;
        bareView_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(bareView_.get()));
        prepare(*bareView_, *bareModel_);
    }

    void prepare(QTableView& view, AccountTableModel& model) {
        fill(model, listCase().rows);
        if (listCase().userSelects >= 0) {
            clickRow(view, listCase().userSelects);
        }
        ASSERT_EQ(viewSelectedRow(view), listCase().userSelects);
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
        EXPECT_EQ(modelRows(*model_), listCase().rowsAfter);
        EXPECT_EQ(viewSelectedRow(*view_), listCase().selectedAfter);
    }

    TempDir dir_;
    std::unique_ptr<MainWindow> window_;
    QTableView* view_ = nullptr;
    AccountTableModel* model_ = nullptr;
    std::unique_ptr<QTableView> bareView_;
    std::unique_ptr<AccountTableModel> bareModel_;
    std::shared_ptr<ListViewAccountList> bareList_;
    std::shared_ptr<AccountList> list_;
};

TEST_P(AccountListOperationsTest, CallsHaveTheirEffect) {
    switch (caller()) {
        case Caller::UiThread: {
            ASSERT_NO_FATAL_FAILURE(openWindow());
            expectOutcomes(performAll(*list_, listCase().calls), false);
            expectListAfterCalls();
            break;
        }
        case Caller::WorkerWhileEventLoopRuns: {
            ASSERT_NO_FATAL_FAILURE(openWindow());
            Worker worker(list_, listCase().calls);
            ASSERT_TRUE(runEventLoopUntil([&] { return worker.finished(); }));
            expectOutcomes(worker.outcomes(), false);
            expectListAfterCalls();
            break;
        }
        case Caller::WorkerWhileModalBoxIsOpen: {
            ASSERT_NO_FATAL_FAILURE(openWindow());
            std::unique_ptr<Worker> worker = runWorkerInsideModalBox(list_, listCase().calls);
            ASSERT_NE(worker, nullptr) << "the box never became the modal widget";
            ASSERT_TRUE(worker->finished());
            expectOutcomes(worker->outcomes(), false);
            expectListAfterCalls();
            break;
        }
        case Caller::WorkerAfterWindowDeleted: {
            ASSERT_NO_FATAL_FAILURE(openWindow());
            window_.reset();
            // Nothing serves the worker now, so it must finish on its own.
            Worker worker(list_, listCase().calls);
            ASSERT_TRUE(waitWithoutEvents([&] { return worker.finished(); }));
            expectOutcomes(worker.outcomes(), true);
            break;
        }
        case Caller::WorkerAfterDetach: {
            ASSERT_NO_FATAL_FAILURE(openBareView());
            bareList_->detach();
            Worker worker(list_, listCase().calls);
            ASSERT_TRUE(waitWithoutEvents([&] { return worker.finished(); }));
            expectOutcomes(worker.outcomes(), true);
            // The view and the model still exist, and the calls left them as they were.
            EXPECT_EQ(modelRows(*bareModel_), listCase().rows);
            EXPECT_EQ(viewSelectedRow(*bareView_), listCase().userSelects);
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllCallers, AccountListOperationsTest,
    testing::Combine(testing::ValuesIn(listCases()),
                     testing::Values(Caller::UiThread, Caller::WorkerWhileEventLoopRuns,
                                     Caller::WorkerWhileModalBoxIsOpen,
                                     Caller::WorkerAfterWindowDeleted, Caller::WorkerAfterDetach)),
    [](const testing::TestParamInfo<std::tuple<ListCase, Caller>>& info) {
        return std::string(std::get<0>(info.param).name) + "_" +
               callerName(std::get<1>(info.param));
    });

// The cell keeps its bytes; only what the view shows replaces them.
TEST(AccountListTextTest, BytesThatAreNotGbkAreShownReplacedButStoredAsGiven) {
    TempDir dir;
    MainWindow window(dir.file(kAccountFileName));
    auto* view = qobject_cast<QTableView*>(window.control(ControlId::AccountList));
    ASSERT_NE(view, nullptr);
    const Text bad =
        "\xFF\x80"
        "abc";
    std::shared_ptr<AccountList> list = window.accountList();
    ASSERT_EQ(list->insertRow(bad), 0);
    const QString shown = view->model()->data(view->model()->index(0, UserName)).toString();
    EXPECT_TRUE(shown.contains(QChar::ReplacementCharacter)) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(u"abc")) << shown.toStdString();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.grab();  // painting the row must not rewrite it
    EXPECT_EQ(list->getCell(0, UserName), bad);
}

// Linux thread state from /proc: 'S' while the thread sleeps, e.g. waiting for its answer.
char threadState(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t afterName = line.rfind(')');
    return afterName == std::string::npos || afterName + 2 >= line.size() ? '?'
                                                                          : line[afterName + 2];
}

TEST(AccountListShutdownTest, WorkerWaitingInACallWakesWhenTheWindowIsDeleted) {
    TempDir dir;
    auto window = std::make_unique<MainWindow>(dir.file(kAccountFileName));
    std::shared_ptr<AccountList> list = window->accountList();
    list->insertRow("用户甲");

    struct Seen {
        std::atomic<pid_t> tid{0};
        std::atomic<bool> done{false};
        int count = -2;
        Text cell = "unset";
    };
    auto seen = std::make_shared<Seen>();
    std::thread worker([list, seen] {
        seen->tid = ::gettid();
        // The UI thread serves no call from here on, so this call can only end with the window.
        seen->count = list->rowCount();
        seen->cell = list->getCell(0, UserName);
        seen->done.store(true, std::memory_order_release);
    });

    // Asleep for a while in a row: waiting for the answer, not passing through a lock. Should it
    // still be on its way, the window is gone before it asks, and the verdict is the same.
    int asleepPolls = 0;
    ASSERT_TRUE(waitWithoutEvents([&] {
        const pid_t tid = seen->tid.load();
        asleepPolls = tid != 0 && threadState(tid) == 'S' ? asleepPolls + 1 : 0;
        return asleepPolls >= 20;
    }));
    ASSERT_FALSE(seen->done.load());
    window.reset();
    const bool woke = waitWithoutEvents([&] { return seen->done.load(std::memory_order_acquire); });
    if (!woke) {
        worker.detach();
        FAIL() << "the worker still waits after the window was deleted";
    }
    worker.join();
    EXPECT_EQ(seen->count, 0);
    EXPECT_EQ(seen->cell, "");
}

TEST(AccountListShutdownTest, WorkersStillRunningWhenTheWindowIsDeletedAllEnd) {
    TempDir dir;
    auto window = std::make_unique<MainWindow>(dir.file(kAccountFileName));
    std::shared_ptr<AccountList> list = window->accountList();
    list->insertRow("用户甲");
    list->insertRow("用户乙");

    // Each worker walks the rows as an update run does, again and again, until the list is empty.
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
        workers.emplace_back([list, mine] {
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

    // Delete the window from inside the event loop while every worker is in the middle of its run.
    bool deleted = false;
    const bool ended = runEventLoopUntil([&] {
        if (!deleted && all([](const Progress& p) { return p.rounds.load() >= 5; })) {
            EXPECT_EQ(list->getCell(1, Status), "用户乙");
            window.reset();
            deleted = true;
        }
        return deleted && all([](const Progress& p) { return p.done.load(); });
    });
    for (std::size_t i = 0; i < workers.size(); ++i) {
        if (progress[i]->done.load(std::memory_order_acquire)) {
            workers[i].join();
        } else {
            workers[i].detach();
        }
    }
    ASSERT_TRUE(deleted) << "the workers never got going";
    EXPECT_TRUE(ended) << "a worker still runs after the window was deleted";
}

}  // namespace
}  // namespace quorvel
