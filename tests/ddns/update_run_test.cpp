// The batch update run on a worker thread over the real Qt list (table view, model, and the list
// operations that a worker calls on the UI thread), against the loopback test provider.
#include "ddns/update_run.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "accounts/account_row.h"
#include "ddns/ddns_test_support.h"
#include "platform/linux/account_table_model.h"
#include "platform/linux/list_view_account_list.h"
#include "platform/threads.h"
#include "support/gate.h"
#include "support/loopback_http_server.h"

namespace quorvel {
namespace {

using Statuses = std::vector<std::pair<Text, Text>>;  // domain and status of each row, in order

// Each account's provider answer, and the status it must produce.
const std::map<std::string, std::string> kBodies = {
    {"a.example", "good 203.0.113.1"},
    {"b.example", "nochg 203.0.113.2"},
    {"c.example", "badauth"},
    {"d.example", "good 203.0.113.4"},
    {"", "nochg"},  // the request with empty texts for an index past the end
};
constexpr char kUpdated[] = "更新成功!";
constexpr char kInSync[] = "域名IP和你外网IP已同步!";
constexpr char kFailed[] = "用户名或密码出错,请检查!";

using test::Gate;

// Serves the UI thread's events until the condition holds; the bound only ends a broken run.
bool serveUntil(const std::function<bool()>& condition,
                std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class BatchRun : public testing::Test {
  protected:
    BatchRun() : view_(std::make_unique<QTableView>()), model_(new AccountTableModel(view_.get())) {
        view_->setModel(model_);
        list_ = std::make_shared<ListViewAccountList>(view_.get(), model_);
        endpoints_.updateHost = provider_.hostPort();
        answerHolding("");
    }

    ~BatchRun() override {
        gate_.open();
        EXPECT_TRUE(serveUntil([] { return runningDetachedThreads() == 0; }));
        list_->detach();  // as the window does before its widgets go
    }

    // Answers each account with its body; the request for `heldDomain` waits at the gate.
    void answerHolding(const std::string& heldDomain) {
        provider_.answer([this, heldDomain](const std::string& request) {
            const std::string domain = test::hostnameOf(request);
            if (domain == heldDomain) {
                gate_.passWhenOpen();
            }
            const auto body = kBodies.find(domain);
            return test::httpReply(200, body == kBodies.end() ? "unknown" : body->second);
        });
    }

    // Rows "x.example" with user "user-x", password "pass-x", an empty IP and status "old-x".
    void addRows(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            const int row = model_->appendRow("user-" + name);
            model_->setCellText(row, AccountColumn::Password, "pass-" + name);
            model_->setCellText(row, AccountColumn::Domain, name + ".example");
            model_->setCellText(row, AccountColumn::Status, "old-" + name);
        }
    }

    Statuses statuses() const {
        Statuses rows;
        for (int row = 0; row < model_->rowCount(); ++row) {
            rows.emplace_back(model_->cellText(row, AccountColumn::Domain),
                              model_->cellText(row, AccountColumn::Status));
        }
        return rows;
    }

    std::vector<std::string> requestedDomains() const {
        std::vector<std::string> domains;
        for (const std::string& request : provider_.requests()) {
            domains.push_back(test::hostnameOf(request));
        }
        return domains;
    }

    // An update request exactly as the provider must receive it.
    std::string updateRequest(const std::string& basic, const std::string& domain) const {
        return "GET /dyndns/update?system=dyndns&hostname=" + domain +
               "&myip=&wildcard=OFF HTTP/1.0\r\nHost: " + provider_.hostPort() +
               "\r\nAuthorization: Basic " + basic +
               "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
               "Accept: */*\r\n\r\n";
    }
    // "http://:@host/dyndns/update?system=dyndns&hostname=&myip=&wildcard=OFF": base64(":").
    std::string emptyTextsRequest() const { return updateRequest("Og==", ""); }

    void startRun() { startUpdateThread(list_, endpoints_); }
    bool waitForRunsToEnd() {
        return serveUntil([] { return runningDetachedThreads() == 0; });
    }
    bool waitAtGate(int requests = 1) {
        return serveUntil([&] { return gate_.reached() >= requests; });
    }

    Gate gate_;
    test::LoopbackHttpServer provider_;
    std::unique_ptr<QTableView> view_;
    AccountTableModel* model_;  // owned by the view
    std::shared_ptr<ListViewAccountList> list_;
    DdnsEndpoints endpoints_;
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
    EXPECT_EQ(requests[0], updateRequest("dXNlci1hOnBhc3MtYQ==", "a.example"));
    EXPECT_EQ(requests[1], updateRequest("dXNlci1iOnBhc3MtYg==", "b.example"));
    EXPECT_EQ(requests[2], updateRequest("dXNlci1jOnBhc3MtYw==", "c.example"));
}

TEST_F(BatchRun, AnEmptyListSendsNothing) {
    startRun();
    ASSERT_TRUE(waitForRunsToEnd());
    EXPECT_TRUE(provider_.requests().empty());
    EXPECT_EQ(model_->rowCount(), 0);
}

struct DeletionCase {
    const char* name;
    int deletedRow;  // while row 1 ("b") has its request out
    std::vector<std::string> requested;
    Statuses after;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const DeletionCase& c, std::ostream* out) {
    *out << c.name;
}

class RowDeletedDuringARun : public BatchRun, public testing::WithParamInterface<DeletionCase> {};

// The run keeps to the indexes: rows that move up take the verdict meant for the index, and the
// index past the end sends one request with empty texts and writes nothing.
TEST_P(RowDeletedDuringARun, FollowsTheIndexesAndEndsWithAnEmptyRequest) {
    const DeletionCase& c = GetParam();
    addRows({"a", "b", "c", "d"});
    answerHolding("b.example");
    startRun();
    ASSERT_TRUE(waitAtGate());
    list_->deleteRow(c.deletedRow);
    gate_.open();
    ASSERT_TRUE(waitForRunsToEnd());
    EXPECT_EQ(requestedDomains(), c.requested);
    EXPECT_EQ(statuses(), c.after);
    const std::vector<std::string> requests = provider_.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), emptyTextsRequest());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RowDeletedDuringARun,
    testing::Values(
        DeletionCase{"above",
                     0,
                     {"a.example", "b.example", "d.example", ""},
                     {{"b.example", "old-b"}, {"c.example", kInSync}, {"d.example", kUpdated}}},
        DeletionCase{"at",
                     1,
                     {"a.example", "b.example", "d.example", ""},
                     {{"a.example", kUpdated}, {"c.example", kInSync}, {"d.example", kUpdated}}},
        DeletionCase{"justBelow",
                     2,
                     {"a.example", "b.example", "d.example", ""},
                     {{"a.example", kUpdated}, {"b.example", kInSync}, {"d.example", kUpdated}}},
        DeletionCase{"last",
                     3,
                     {"a.example", "b.example", "c.example", ""},
                     {{"a.example", kUpdated}, {"b.example", kInSync}, {"c.example", kFailed}}}),
    [](const testing::TestParamInfo<DeletionCase>& info) { return std::string(info.param.name); });

TEST_F(BatchRun, ClearingTheListLeavesOnlyEmptyRequestsAndNoStatus) {
    addRows({"a", "b", "c"});
    answerHolding("b.example");
    startRun();
    ASSERT_TRUE(waitAtGate());
    list_->deleteAllRows();
    gate_.open();
    ASSERT_TRUE(waitForRunsToEnd());
    EXPECT_EQ(model_->rowCount(), 0);
    EXPECT_EQ(requestedDomains(), (std::vector<std::string>{"a.example", "b.example", ""}));
    EXPECT_EQ(provider_.requests().back(), emptyTextsRequest());
}

TEST_F(BatchRun, ARowAddedDuringARunWaitsForTheNextRun) {
    addRows({"a", "b"});
    answerHolding("a.example");
    startRun();
    ASSERT_TRUE(waitAtGate());
    addRows({"c"});
    gate_.open();
    ASSERT_TRUE(waitForRunsToEnd());
    EXPECT_EQ(requestedDomains(), (std::vector<std::string>{"a.example", "b.example"}));
    EXPECT_EQ(statuses(),
              (Statuses{{"a.example", kUpdated}, {"b.example", kInSync}, {"c.example", "old-c"}}));

    startRun();
    ASSERT_TRUE(waitForRunsToEnd());
    EXPECT_EQ(requestedDomains(), (std::vector<std::string>{"a.example", "b.example", "a.example",
                                                            "b.example", "c.example"}));
    EXPECT_EQ(statuses(),
              (Statuses{{"a.example", kUpdated}, {"b.example", kInSync}, {"c.example", kFailed}}));
}

// The second run starts while the first one's request for row 0 is held: the runs overlap.
TEST_F(BatchRun, TwoOverlappingRunsBothUpdateEveryRow) {
    addRows({"a", "b", "c"});
    answerHolding("a.example");
    startRun();
    ASSERT_TRUE(waitAtGate());
    startRun();
    gate_.open();
    ASSERT_TRUE(waitForRunsToEnd());
    std::map<std::string, int> perDomain;
    for (const std::string& domain : requestedDomains()) {
        ++perDomain[domain];
    }
    EXPECT_EQ(perDomain,
              (std::map<std::string, int>{{"a.example", 2}, {"b.example", 2}, {"c.example", 2}}));
    EXPECT_EQ(statuses(),
              (Statuses{{"a.example", kUpdated}, {"b.example", kInSync}, {"c.example", kFailed}}));
}

// The worker's first list call needs the UI thread, which serves events only inside the box's own
// loop from here on: the whole run happens while the box is open.
TEST_F(BatchRun, AModalMessageBoxDoesNotStopARun) {
    addRows({"a", "b", "c"});
    startRun();
    QMessageBox box(QMessageBox::Warning, QString::fromUtf16(u"信息："),
                    QString::fromUtf16(u"请输入完整的账号信息"), QMessageBox::Ok);
    bool runEndedWhileOpen = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        runEndedWhileOpen = runningDetachedThreads() == 0;
        if (runEndedWhileOpen || std::chrono::steady_clock::now() > deadline) {
            box.done(QMessageBox::Ok);
        }
    });
    closer.start(10);
    box.exec();
    closer.stop();
    EXPECT_TRUE(runEndedWhileOpen);
    EXPECT_EQ(requestedDomains(),
              (std::vector<std::string>{"a.example", "b.example", "c.example"}));
    EXPECT_EQ(statuses(),
              (Statuses{{"a.example", kUpdated}, {"b.example", kInSync}, {"c.example", kFailed}}));
}

class RunAfterDetach : public BatchRun, public testing::WithParamInterface<bool> {};

// The window goes while row 0's request is out: the worker writes nothing, reads nothing of the
// list any more (later requests carry empty texts at most), and ends.
TEST_P(RunAfterDetach, TheWorkerTouchesNothingAndEnds) {
    const bool widgetsDestroyed = GetParam();
    addRows({"a", "b", "c"});
    answerHolding("a.example");
    startRun();
    ASSERT_TRUE(waitAtGate());
    const Statuses before = statuses();
    list_->detach();
    if (widgetsDestroyed) {
        view_.reset();
        model_ = nullptr;
    }
    gate_.open();
    ASSERT_TRUE(waitForRunsToEnd());
    if (!widgetsDestroyed) {
        EXPECT_EQ(statuses(), before);
    }
    const std::vector<std::string> requests = provider_.requests();
    ASSERT_GE(requests.size(), 1u);
    EXPECT_LE(requests.size(), 3u);
    EXPECT_EQ(test::hostnameOf(requests[0]), "a.example");
    for (std::size_t i = 1; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i], emptyTextsRequest()) << "request " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Window, RunAfterDetach, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "WidgetsDestroyed" : "WidgetsKept");
                         });

}  // namespace
}  // namespace quorvel
