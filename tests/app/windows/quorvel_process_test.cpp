// The whole program as a user meets it on Windows: a copy of quorvel.exe in a folder of its own
// beside a crafted peizhi.ini, started as a process, driven through its windows from this one, and
// closed; then its file's bytes and its exit code are checked. A loopback provider, named to the
// program as its proxy, stands for the Internet.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/loopback_http_server.h"
#include "support/refused_port.h"
#include "support/temp_dir.h"
#include "ui/window_layout.h"
#include "ui/windows/main_window.h"
#include "ui/windows/win32_test_support.h"

namespace quorvel::test {
namespace {

// Bounds for things that take well under a second; they only turn a hang into a failure.
constexpr DWORD kWaitBoundMs = 30000;

// A GBK character whose second byte is 0x5C, the byte of the backslash: the program must not take
// it for a separator when it finds its own folder.
constexpr char kTrailBackslash[] = "\x95\x5C";

// What the crafted file holds, and what the program must write back when closed untouched: lines
// of fewer than three fields are skipped, a fifth field drops the IP, a GBK character whose second
// byte is "|" stays whole.
const std::string kCraftedFile =
    "user|pass|home.example.net|203.0.113.7\r\n"
    "用户|密码|测试.example.net|\r\n"
    "a\x81|b|c\x95|d|dom|\r\n"
    "only|two\r\n"
    "\r\n"
    "five|fields|here|x|y\r\n"
    "last|line|without|end";
const std::string kSavedFile =
    "user|pass|home.example.net|203.0.113.7\r\n"
    "用户|密码|测试.example.net|\r\n"
    "a\x81|b|c\x95|d|dom|\r\n"
    "five|fields|here|\r\n"
    "last|line|without|end\r\n";
constexpr int kCraftedRows = 5;

// Waits, the program's windows being another process's, without serving messages of this one.
bool waitFor(const std::function<bool()>& condition) {
    return waitWithoutMessages(condition, std::chrono::milliseconds(kWaitBoundMs));
}

// The Windows form of a host path, for a file that the build names by its Linux path.
std::string windowsPathOf(std::string path) {
    if (!path.empty() && path[0] == '/') {
        for (char& c : path) {
            c = c == '/' ? '\\' : c;
        }
        path = "Z:" + path;
    }
    return path;
}

// A copy of quorvel.exe in a folder of its own, whose name holds a GBK character ending in 0x5C.
class Installation {
  public:
    Installation() {
        folder_ = dir_.path() + "\\账户" + kTrailBackslash;
        ::CreateDirectoryA(folder_.c_str(), nullptr);
        ::CopyFileA(windowsPathOf(QUORVEL_EXECUTABLE).c_str(), program().c_str(), FALSE);
    }
    std::string program() const { return folder_ + "\\quorvel.exe"; }
    std::string accountFile() const { return folder_ + "\\peizhi.ini"; }
    bool hasAccountFile() const {
        return ::GetFileAttributesA(accountFile().c_str()) != INVALID_FILE_ATTRIBUTES;
    }

  private:
    TempDir dir_;
    std::string folder_;
};

// The started program, killed at the end of the test if it is still running.
class Program {
  public:
    // Starts the program with the HTTP proxy set to the host and port.
    Program(const Installation& installation, const std::string& proxy) {
        std::string environment;
        for (const char* entry = ::GetEnvironmentStringsA(); *entry != '\0';
             entry += std::strlen(entry) + 1) {
            const std::string variable = entry;
            if (!variable.starts_with("http_proxy=") && !variable.starts_with("no_proxy=")) {
                environment += variable + '\0';
            }
        }
        environment += "http_proxy=http://" + proxy + '\0';
        environment += '\0';
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + installation.program() + "\"";
        started_ =
            ::CreateProcessA(installation.program().c_str(), commandLine.data(), nullptr, nullptr,
                             FALSE, 0, environment.data(), nullptr, &startup, &process_) != 0;
    }
    ~Program() {
        if (started_ && running()) {
            ::TerminateProcess(process_.hProcess, 99);
            ::WaitForSingleObject(process_.hProcess, kWaitBoundMs);
        }
        if (started_) {
            ::CloseHandle(process_.hThread);
            ::CloseHandle(process_.hProcess);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return started_; }
    bool running() const { return ::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

    // The program's exit code once it has ended by itself within the bound.
    std::optional<DWORD> exitCode(DWORD boundMs = kWaitBoundMs) const {
        if (::WaitForSingleObject(process_.hProcess, boundMs) != WAIT_OBJECT_0) {
            return std::nullopt;
        }
        DWORD code = 0;
        ::GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

    // The program's top-level window of the class, or null.
    HWND topLevel(const std::string& windowClass) const {
        struct Search {
            DWORD processId;
            std::string windowClass;
            HWND found;
        } search{process_.dwProcessId, windowClass, nullptr};
        ::EnumWindows(
            [](HWND window, LPARAM parameter) -> BOOL {
                auto* s = reinterpret_cast<Search*>(parameter);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                if (owner == s->processId && className(window) == s->windowClass) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND mainWindow() const { return topLevel(kMainWindowClass); }
    HWND messageBox() const { return topLevel("#32770"); }

    // Waits until the main window is shown, and returns it.
    HWND shownMainWindow() const {
        HWND window = nullptr;
        waitFor([&] {
            window = mainWindow();
            return window != nullptr && ::IsWindowVisible(window);
        });
        return window != nullptr && ::IsWindowVisible(window) ? window : nullptr;
    }

    // The text of one cell of the program's list, read in the program's own memory as the list
    // view needs it.
    std::string cell(HWND list, int row, int column) const {
        constexpr SIZE_T kTextSize = 4096;
        void* remote = ::VirtualAllocEx(process_.hProcess, nullptr, sizeof(LVITEMA) + kTextSize,
                                        MEM_COMMIT, PAGE_READWRITE);
        if (remote == nullptr) {
            return "<no memory>";
        }
        char* remoteText = static_cast<char*>(remote) + sizeof(LVITEMA);
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = remoteText;
        item.cchTextMax = kTextSize;
        ::WriteProcessMemory(process_.hProcess, remote, &item, sizeof item, nullptr);
        const LRESULT length = ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                              reinterpret_cast<LPARAM>(remote));
        std::string text(kTextSize, '\0');
        ::ReadProcessMemory(process_.hProcess, remoteText, text.data(), kTextSize, nullptr);
        ::VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
        text.resize(static_cast<std::size_t>(length));
        return text;
    }

  private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

int rowCount(HWND list) {
    return static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

void pressEsc(HWND target) {
    ::PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void typeInto(HWND main, const char* box, const std::string& text) {
    ::SendMessageA(findControl(main, box), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void click(HWND main, const char* button) {
    ::PostMessageA(findControl(main, button), BM_CLICK, 0, 0);
}

// The provider's answers as the proxy sees the requests: the probe page, the IP echo and the
// updates (whose answer the test chooses).
void actAsTheInternet(LoopbackHttpServer& proxy, const Reply& updateReply) {
    proxy.answer([updateReply](const std::string& request) {
        if (request.find("/dyndns/getip") != std::string::npos) {
            return httpReply(200, "203.0.113.9");
        }
        if (request.find("/dyndns/update") != std::string::npos) {
            return updateReply;
        }
        return httpReply(200, "<html>home page</html>");
    });
}

TEST(QuorvelProcess, OfflineStartShowsTheBoxBeforeTheWindowAndEscSavesTheFileAsLoaded) {
    Installation installation;
    writeFileBytes(installation.accountFile(), kCraftedFile);
    const RefusedPort offline;  // the probe's proxy refuses: no Internet
    Program program(installation, offline.hostPort());
    ASSERT_TRUE(program.started());

    HWND box = nullptr;
    // A box gets its title and text while it is set up, before it is shown.
    ASSERT_TRUE(waitFor([&] {
        box = program.messageBox();
        return box != nullptr && ::IsWindowVisible(box);
    }));
    EXPECT_EQ(windowText(box), "信息：");
    char text[256] = "";
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_STREQ(text, "未与互联网连接！");
    // The window exists already, with the file loaded, but is shown only after the box.
    const HWND hidden = program.mainWindow();
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(::IsWindowVisible(hidden));
    EXPECT_EQ(rowCount(findControl(hidden, "超级列表框1")), kCraftedRows);
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);

    const HWND main = program.shownMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(windowText(main), kWindowCaption);
    const HWND list = findControl(main, "超级列表框1");
    EXPECT_EQ(program.cell(list, 1, 2), "测试.example.net");
    EXPECT_EQ(program.cell(list, 2, 0), "a\x81|b");
    pressEsc(findControl(main, "编辑框_密码"));
    EXPECT_EQ(program.exitCode(), 0u);
    EXPECT_EQ(readFileBytes(installation.accountFile()), kSavedFile);
}

TEST(QuorvelProcess, EveryWayOfClosingSavesTheAccountsAndEndsWithZero) {
    const struct {
        const char* name;
        std::function<void(HWND main)> close;
    } ways[] = {
        {"Esc in the list", [](HWND main) { pressEsc(findControl(main, "超级列表框1")); }},
        {"Esc on a button", [](HWND main) { pressEsc(findControl(main, "按钮2")); }},
        {"close button", [](HWND main) { ::PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"close request", [](HWND main) { ::PostMessageA(main, WM_CLOSE, 0, 0); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        Installation installation;
        LoopbackHttpServer internet;
        actAsTheInternet(internet, httpReply(200, "good"));
        Program program(installation, internet.hostPort());
        const HWND main = program.shownMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(program.messageBox(), nullptr);
        typeInto(main, "编辑框_用户名", "用户");
        typeInto(main, "编辑框_密码", "p|w");
        typeInto(main, "编辑框_域名", "home.example.net");
        click(main, "按钮1");
        const HWND list = findControl(main, "超级列表框1");
        ASSERT_TRUE(waitFor([&] { return rowCount(list) == 1; }));
        // No IP typed: the row shows the address that the echo gave.
        EXPECT_EQ(program.cell(list, 0, 4), "203.0.113.9");
        way.close(main);
        EXPECT_EQ(program.exitCode(), 0u);
        EXPECT_EQ(readFileBytes(installation.accountFile()), "用户|p|w|home.example.net|\r\n");
    }
}

TEST(QuorvelProcess, AnUpdateRunWritesEachRowsVerdict) {
    Installation installation;
    writeFileBytes(installation.accountFile(), "good|pass|a.example.net|\r\nbad|pass|b|\r\n");
    LoopbackHttpServer internet;
    internet.answer([](const std::string& request) {
        if (request.find("/dyndns/update") == std::string::npos) {
            return httpReply(200, "203.0.113.9");
        }
        return httpReply(200, request.find("hostname=a.example.net") != std::string::npos
                                  ? "good 203.0.113.9"
                                  : "badauth");
    });
    Program program(installation, internet.hostPort());
    const HWND main = program.shownMainWindow();
    ASSERT_NE(main, nullptr);
    click(main, "按钮2");
    const HWND list = findControl(main, "超级列表框1");
    ASSERT_TRUE(waitFor([&] { return !program.cell(list, 1, 4).empty(); }));
    EXPECT_EQ(program.cell(list, 0, 4), "更新成功!");
    EXPECT_EQ(program.cell(list, 1, 4), "用户名或密码出错,请检查!");
    pressEsc(main);
    EXPECT_EQ(program.exitCode(), 0u);
    // The verdicts are never saved.
    EXPECT_EQ(readFileBytes(installation.accountFile()),
              "good|pass|a.example.net|\r\nbad|pass|b|\r\n");
}

TEST(QuorvelProcess, ClosingWhileARequestHangsSavesAndEndsAtOnceWithZero) {
    Installation installation;
    writeFileBytes(installation.accountFile(), "user|pass|hang.example.net|\r\n");
    LoopbackHttpServer internet;
    actAsTheInternet(internet, silence());
    Program program(installation, internet.hostPort());
    const HWND main = program.shownMainWindow();
    ASSERT_NE(main, nullptr);
    const std::size_t before = internet.requests().size();
    click(main, "按钮2");
    ASSERT_TRUE(internet.waitForRequests(before + 1));
    pressEsc(main);
    // The request would keep the worker for the client's 30 s silence time-out; the program must
    // not wait for it, so it has ended well within that.
    EXPECT_EQ(program.exitCode(15000), 0u);
    EXPECT_EQ(readFileBytes(installation.accountFile()), "user|pass|hang.example.net|\r\n");
}

}  // namespace
}  // namespace quorvel::test
