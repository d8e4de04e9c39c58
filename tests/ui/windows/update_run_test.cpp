// The batch update run on a worker thread over the real Win32 list view, whose every call the UI
// thread serves, against the loopback test provider; and 按钮2 starting it.
#include "ddns/update_run.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "accounts/account_file.h"
#include "accounts/account_row.h"
#include "ddns/ddns_test_support.h"
#include "platform/threads.h"
#include "support/gate.h"
#include "support/loopback_http_server.h"
#include "support/temp_dir.h"
#include "ui/windows/main_window.h"
#include "ui/windows/win32_test_support.h"

namespace quorvel {
namespace {

using Statuses = std::vector<std::pair<Text, Text>>;  // domain and status of each row, in order

// Each account's provider answer; "" is the request with empty texts for an index past the end.
const std::map<std::string, std::string> kBodies = {
    {"a.example", "good 203.0.113.1"},
    {"b.example", "nochg 203.0.113.2"},
    {"c.example", "badauth"},
    {"", "nochg"},
};
constexpr char kUpdated[] = "更新成功!";
constexpr char kInSync[] = "域名IP和你外网IP已同步!";
constexpr char kFailed[] = "用户名或密码出错,请检查!";

using test::hostnameOf;
using test::requestLine;

using test::Gate;

class BatchRun : public testing::Test {
  protected:
    void SetUp() override {
        DdnsEndpoints endpoints;
        endpoints.updateHost = endpoints.ipEchoHost = endpoints.probeHost = provider_.hostPort();
        window_ = std::make_unique<MainWindow>(dir_.file(kAccountFileName), endpoints);
        ASSERT_TRUE(window_->create());
        window_->showAsForeground();
        list_ = window_->accountList();
        view_ = window_->control(ControlId::AccountList);
        answerHolding("");
    }

    void TearDown() override {
        gate_.open();
        EXPECT_TRUE(waitForRunsToEnd());
    }

    // Answers each account with its body; the request for `heldDomain` waits at the gate.
    void answerHolding(const std::string& heldDomain) {
        provider_.answer([this, heldDomain](const std::string& request) {
            const std::string domain = hostnameOf(request);
            if (domain == heldDomain) {
                gate_.passWhenOpen();
            }
            const auto body = kBodies.find(domain);
            return test::httpReply(200, body == kBodies.end() ? "unknown" : body->second);
        });
    }

    // Rows "x.example" with user "user-x", password "pass-x", IP "192.0.2.x" for b only, and
    // status "old-x".
    void addRows(const std::vector<std::string>& names) {
        std::vector<test::Cells> rows;
        for (const std::string& name : names) {
            rows.push_back({"user-" + name, "pass-" + name, name + ".example",
                            name == "b" ? "192.0.2.2" : "", "old-" + name});
        }
        test::fillList(view_, rows);
    }

    Statuses statuses() const {
        Statuses rows;
        for (const test::Cells& cells : test::listRows(view_)) {
            rows.emplace_back(cells[Domain], cells[Status]);
        }
        return rows;
    }

    std::vector<std::string> requestedDomains() const {
        std::vector<std::string> domains;
        for (const std::string& request : provider_.requests()) {
            domains.push_back(hostnameOf(request));
        }
        return domains;
    }

    void startRun() { startUpdateThread(list_, window_->endpoints()); }
    bool waitForRunsToEnd() {
        return test::serveUntil([] { return runningDetachedThreads() == 0; }, window_.get());
    }
    bool waitAtGate() {
        return test::serveUntil([this] { return gate_.reached() >= 1; }, window_.get());
    }

    test::TempDir dir_;
    Gate gate_;
    test::LoopbackHttpServer provider_;
    std::unique_ptr<MainWindow> window_;
    std::shared_ptr<AccountList> list_;
    HWND view_ = nullptr;
};

TEST_F(BatchRun, ThreeRowsGetThreeRequestsInOrderAndEachItsOwnVerdict) {
    addRows({"a", "b", "c"});
    answerHolding("b.example");
    startRun();
    ASSERT_TRUE(waitAtGate());
    // Row 0's verdict was written right after its request; the others keep their old text.
    EXPECT_EQ(statuses(),
              (Statuses{{"a.example", kUpdated}, {"b.example", "old-b"}, {"c.example", "old-c"}}));
    gate_.open();
    ASSERT_TRUE(waitForRunsToEnd());
    EXPECT_EQ(statuses(),
              (Statuses{{"a.example", kUpdated}, {"b.example", kInSync}, {"c.example", kFailed}}));
    const std::vector<std::string> requests = provider_.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requestLine(requests[0]),
              "GET /dyndns/update?system=dyndns&hostname=a.example&myip=&wildcard=OFF HTTP/1.0");
    EXPECT_EQ(requestLine(requests[1]),
              "GET /dyndns/update?system=dyndns&hostname=b.example&myip=192.0.2.2&wildcard=OFF "
              "HTTP/1.0");
    EXPECT_EQ(requestLine(requests[2]),
              "GET /dyndns/update?system=dyndns&hostname=c.example&myip=&wildcard=OFF HTTP/1.0");
}

TEST_F(BatchRun, ClickOnTheUpdateButtonRunsTheBatch) {
    addRows({"a", "b", "c"});
    SendMessageA(window_->control(ControlId::UpdateButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(test::serveUntil(
        [this] { return provider_.requests().size() == 3 && statuses().back().second == kFailed; },
        window_.get()));
    ASSERT_TRUE(waitForRunsToEnd());
    EXPECT_EQ(requestedDomains(),
              (std::vector<std::string>{"a.example", "b.example", "c.example"}));
    EXPECT_EQ(statuses(),
              (Statuses{{"a.example", kUpdated}, {"b.example", kInSync}, {"c.example", kFailed}}));
}

// The safety net of a box that the test failed to close.
void CALLBACK closeThisThreadsBoxes(HWND, UINT, UINT_PTR, DWORD) {
    for (HWND box : test::threadWindows(GetCurrentThreadId(), "#32770")) {
        PostMessageA(box, WM_CLOSE, 0, 0);
    }
}

// The run starts and the box opens before the UI thread serves anything, so every list call of
// the run is served by the box's own loop; the box is closed only once the run has ended.
TEST_F(BatchRun, AMessageBoxOpenOnTheUiThreadDoesNotStopARun) {
    addRows({"a", "b", "c"});
    constexpr char kTitle[] = "请填写完整！";
    const DWORD uiThread = GetCurrentThreadId();
    std::thread closer([uiThread, kTitle] {
        const HWND box = test::waitForThreadWindow(uiThread, "#32770", kTitle);
        if (box != nullptr &&
            test::waitWithoutMessages([] { return runningDetachedThreads() == 0; })) {
            test::pressOk(box);
        }
    });
    startRun();
    const UINT_PTR safety = SetTimer(nullptr, 0, 120000, closeThisThreadsBoxes);
    const int result = MessageBoxA(nullptr, "用户名密码或域名未填写！", kTitle,
                                   MB_OK | MB_TASKMODAL | MB_ICONERROR);
    KillTimer(nullptr, safety);
    closer.join();
    EXPECT_EQ(result, IDOK) << "the box was not closed after the run";
    EXPECT_EQ(runningDetachedThreads(), 0);
    EXPECT_EQ(requestedDomains(),
              (std::vector<std::string>{"a.example", "b.example", "c.example"}));
    EXPECT_EQ(statuses(),
              (Statuses{{"a.example", kUpdated}, {"b.example", kInSync}, {"c.example", kFailed}}));
}

// The window goes while row 0's request is out: the file keeps the rows as they stood, and the
// worker writes nothing and reads nothing of the list any more (later requests carry empty texts
// at most), and ends.
TEST_F(BatchRun, AWindowDestroyedMidRunIsNotTouchedAfterwards) {
    addRows({"a", "b", "c"});
    answerHolding("a.example");
    startRun();
    ASSERT_TRUE(waitAtGate());
    window_.reset();
    ASSERT_FALSE(IsWindow(view_));
    gate_.open();
    // Nothing serves the worker now: it must end by itself.
    ASSERT_TRUE(test::waitWithoutMessages([] { return runningDetachedThreads() == 0; }));
    EXPECT_EQ(test::readFileBytes(dir_.file(kAccountFileName)),
              "user-a|pass-a|a.example|\r\nuser-b|pass-b|b.example|192.0.2.2\r\n"
              "user-c|pass-c|c.example|\r\n");
    const std::vector<std::string> requests = provider_.requests();
    ASSERT_GE(requests.size(), 1u);
    EXPECT_LE(requests.size(), 3u);
    EXPECT_EQ(hostnameOf(requests[0]), "a.example");
    for (std::size_t i = 1; i < requests.size(); ++i) {
        EXPECT_EQ(requestLine(requests[i]),
                  "GET /dyndns/update?system=dyndns&hostname=&myip=&wildcard=OFF HTTP/1.0")
            << "request " << i;
    }
    EXPECT_EQ(list_->rowCount(), 0);
}

}  // namespace
}  // namespace quorvel
