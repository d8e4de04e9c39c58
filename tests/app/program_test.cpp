// The shell's exit routines, its start-up order and its fatal error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/program.h"
#include "platform/message_box.h"

namespace quorvel {
namespace {

// Exit code -1 as the parent sees it: all 32 bits on Windows, the low 8 bits elsewhere.
#ifdef _WIN32
constexpr int kFatalExitStatus = -1;
#else
constexpr int kFatalExitStatus = 255;
#endif

std::vector<int> calls;
void first() {
    calls.push_back(1);
}
void second() {
    calls.push_back(2);
}

TEST(ExitRoutines, RunOnceEachInTheOrderAddedThenTheListIsEmpty) {
    calls.clear();
    registerExitRoutine(first);
    registerExitRoutine(second);
    registerExitRoutine(first);
    runExitRoutines();
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
    runExitRoutines();
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
}

TEST(OnExit, ReleasesThePublicAddress) {
    publicIpText = "203.0.113.7";
    onExit();
    EXPECT_EQ(publicIpText, "");
}

TEST(FatalError, TextHasTheFixedFrameAroundTheMessage) {
    EXPECT_EQ(fatalErrorText("载入启动窗口失败"),
              "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
    EXPECT_EQ(fatalErrorText(""), "运行时出错!\r\n\r\n");
}

TEST(FatalErrorDeathTest, ShowsTheErrorBoxThenEndsWithMinusOneWithoutExitRoutines) {
    EXPECT_EXIT(
        {
            registerExitRoutine([] { std::fputs("exit routine ran", stderr); });
            installMessageBoxHandler([](const MessageBoxRequest& box) {
                std::fprintf(stderr, "box|%s|%s|%d", box.title.c_str(), box.text.c_str(),
                             box.icon == MessageIcon::Error);
            });
            reportFatalError("载入启动窗口失败");
        },
        ::testing::ExitedWithCode(kFatalExitStatus),
        ::testing::ContainsRegex(
            "^box\\|错误\\|运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n\\|1$"));
}

class FakeWindowSystem final : public WindowSystem {
  public:
    explicit FakeWindowSystem(bool creates) : creates_(creates) {}
    bool createMainWindow() override {
        steps.push_back("create");
        exists_ = creates_;
        return creates_;
    }
    bool mainWindowExists() override { return exists_; }
    void runMessageLoop() override { steps.push_back("loop"); }
    std::vector<std::string> steps;

  private:
    bool creates_;
    bool exists_ = false;
};

TEST(StartProgram, CreatesTheWindowRunsTheLoopAndReturnsZero) {
    FakeWindowSystem windows(true);
    EXPECT_EQ(startProgram(windows), 0);
    EXPECT_EQ(windows.steps, (std::vector<std::string>{"create", "loop"}));
    calls.clear();
    runExitRoutines();  // onExit was registered by the start-up
}

TEST(StartProgramDeathTest, AWindowThatCannotBeCreatedIsFatal) {
    EXPECT_EXIT(
        {
            installMessageBoxHandler(
                [](const MessageBoxRequest& box) { std::fputs(box.text.c_str(), stderr); });
            FakeWindowSystem windows(false);
            startProgram(windows);
        },
        ::testing::ExitedWithCode(kFatalExitStatus), ::testing::HasSubstr("载入启动窗口失败"));
}

}  // namespace
}  // namespace quorvel
