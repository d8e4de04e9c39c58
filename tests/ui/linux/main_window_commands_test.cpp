// The main window's commands as a user drives them, offscreen: typing an account and adding it,
// the start-up address lookup, and one click on "一键更新" against the loopback provider.
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include "app/program.h"
#include "platform/connectivity.h"
#include "platform/linux/gbk.h"
#include "platform/message_box.h"
#include "support/box_recorder.h"
#include "support/loopback_http_server.h"
#include "support/temp_dir.h"
#include "ui/linux/main_window.h"

namespace quorvel {
namespace {

constexpr int kLimitMs = 30000;  // turns a hang into a failure; never decides a pass

QString q(const char16_t* text) {
    return QString::fromUtf16(text);
}

class MainWindowCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!systemReportsConnection()) {
            GTEST_SKIP() << "the start-up lookup needs a network interface other than loopback";
        }
        provider.answer([](const std::string& request) {
            if (request.starts_with("GET /dyndns/getip ")) {
                return test::httpReply(200, "203.0.113.9");
            }
            if (request.find("hostname=in-sync.example.net") != std::string::npos) {
                return test::httpReply(200, "nochg 203.0.113.9");
            }
            if (request.find("hostname=refused.example.net") != std::string::npos) {
                return test::httpReply(401, "badauth");
            }
            return test::httpReply(200, "good 203.0.113.9");
        });
        DdnsEndpoints endpoints;
        endpoints.updateHost = endpoints.ipEchoHost = endpoints.probeHost = provider.hostPort();
        window = std::make_unique<MainWindow>(dir.file("peizhi.ini"), endpoints);
        window->runCreatedEvent();
        window->showCentred();
    }
    void TearDown() override {
        window.reset();
        publicIpText.clear();
    }

    QLineEdit* box(const char16_t* name) {
        return window->findChild<QLineEdit*>(QString::fromUtf16(name));
    }
    // ASCII arrives as key presses; other text as an input method commits it, as Chinese does.
    void type(const char16_t* name, const QString& text) {
        QLineEdit* entry = box(name);
        entry->clear();
        entry->setFocus();
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(entry, c.toLatin1());
            } else {
                QInputMethodEvent commit;
                commit.setCommitString(QString(c));
                QCoreApplication::sendEvent(entry, &commit);
            }
        }
    }
    void click(const char16_t* name) {
        QTest::mouseClick(window->findChild<QPushButton*>(QString::fromUtf16(name)),
                          Qt::LeftButton);
    }
    void addAccount(const QString& user, const QString& password, const QString& domain,
                    const QString& ip) {
        type(u"编辑框_用户名", user);
        type(u"编辑框_密码", password);
        type(u"编辑框_域名", domain);
        type(u"编辑框_IP", ip);
        click(u"按钮1");
    }
    Text cell(int row, int column) { return window->accountList()->getCell(row, column); }

    test::LoopbackHttpServer provider;
    test::TempDir dir;
    test::BoxRecorder recorder;
    std::vector<MessageBoxRequest>& boxes = recorder.boxes;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowCommandsTest, StartUpFetchesThePublicAddressThatRowsWithoutAnIpShow) {
    EXPECT_EQ(publicIpText, "203.0.113.9");
    EXPECT_TRUE(boxes.empty());
    addAccount(q(u"alice"), q(u"s3cret"), q(u"home.example.net"), q(u""));
    addAccount(q(u"bob"), q(u"pw"), q(u"office.example.net"), q(u"192.0.2.4"));
    EXPECT_EQ(window->accountList()->rowCount(), 2);
    EXPECT_EQ(cell(0, 3), "");
    EXPECT_EQ(cell(0, 4), "203.0.113.9");
    EXPECT_EQ(cell(1, 3), "192.0.2.4");
    EXPECT_EQ(cell(1, 4), "192.0.2.4");
    // The boxes keep what was typed.
    EXPECT_EQ(box(u"编辑框_用户名")->text(), q(u"bob"));
}

TEST_F(MainWindowCommandsTest, TypedTextBecomesGbkAndNothingTypedIsLost) {
    // "€" and "😀" have no GBK form; they are kept in their GB18030 form.
    addAccount(q(u"用户€"), q(u"密码😀"), q(u"域名.example.net"), q(u""));
    EXPECT_EQ(cell(0, 0), "\xD3\xC3\xBB\xA7\xA2\xE3");
    EXPECT_EQ(cell(0, 1), "\xC3\xDC\xC2\xEB\x94\x39\xFC\x36");
    EXPECT_EQ(cell(0, 2), "\xD3\xF2\xC3\xFB.example.net");
    const QModelIndex shown =
        window->findChild<QTableView*>(q(u"超级列表框1"))->model()->index(0, 1);
    EXPECT_EQ(shown.data().toString(), q(u"密码😀"));
}

TEST_F(MainWindowCommandsTest, AMissingFieldShowsTheBoxAndAddsNothing) {
    addAccount(q(u"alice"), q(u""), q(u"home.example.net"), q(u""));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "用户名密码或域名未填写！");
    EXPECT_EQ(boxes[0].title, "请填写完整！");
    EXPECT_EQ(window->accountList()->rowCount(), 0);
}

TEST_F(MainWindowCommandsTest, OneClickUpdateWritesEachRowsVerdictIntoItsStatus) {
    addAccount(q(u"a"), q(u"p"), q(u"home.example.net"), q(u""));
    addAccount(q(u"b"), q(u"p"), q(u"in-sync.example.net"), q(u"192.0.2.1"));
    addAccount(q(u"c"), q(u"wrong"), q(u"refused.example.net"), q(u""));
    const std::size_t before = provider.requests().size();
    click(u"按钮2");
    QTRY_VERIFY_WITH_TIMEOUT(
        provider.requests().size() == before + 3 && cell(2, 4) == "用户名或密码出错,请检查!",
        kLimitMs);
    EXPECT_EQ(cell(0, 4), "更新成功!");
    EXPECT_EQ(cell(1, 4), "域名IP和你外网IP已同步!");
    const std::vector<std::string> requests = provider.requests();
    EXPECT_TRUE(requests[before].starts_with(
        "GET /dyndns/update?system=dyndns&hostname=home.example.net&myip=&wildcard=OFF "));
    EXPECT_TRUE(requests[before + 1].starts_with(
        "GET /dyndns/update?system=dyndns&hostname=in-sync.example.net&myip=192.0.2.1&"
        "wildcard=OFF "));
    EXPECT_TRUE(requests[before + 2].starts_with(
        "GET /dyndns/update?system=dyndns&hostname=refused.example.net&myip=&wildcard=OFF "));
}

}  // namespace
}  // namespace quorvel
