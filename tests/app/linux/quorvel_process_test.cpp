// The whole program as a user meets it: a copy of the built executable started as a process on its
// own Xvfb server, driven with real key presses and clicks from xdotool, and closed with Esc.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/connectivity.h"
#include "support/loopback_http_server.h"
#include "support/temp_dir.h"

extern char** environ;

namespace quorvel::test {
namespace {

// Bounds for things that take well under a second; they only turn a hang into a failure.
constexpr auto kWaitBound = std::chrono::seconds(30);

std::string u8(const char8_t* text) {
    return std::string(reinterpret_cast<const char*>(text));
}

// The environment of the test minus the variables that pick a display or a toolkit platform, and
// minus those that would lead the children to a session of the machine's own.
std::vector<std::string> childEnvironment(const std::optional<std::string>& display) {
    static const char* const kDropped[] = {
        "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "XAUTHORITY=", "SESSION_MANAGER=",
        "DBUS_SESSION_BUS_ADDRESS=",
        // A proxy of the caller's would carry the program's requests off the machine.
        "http_proxy=", "https_proxy=", "all_proxy=", "ALL_PROXY=", "no_proxy=", "NO_PROXY="};
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        bool dropped = false;
        for (const char* prefix : kDropped) {
            dropped = dropped || variable.starts_with(prefix);
        }
        if (!dropped) {
            variables.push_back(variable);
        }
    }
    if (display) {
        variables.push_back("DISPLAY=" + *display);
    }
    return variables;
}

// The full path of a program named without one, looked up in PATH as a shell would.
std::string resolveProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return name;
    }
    const char* path = std::getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    std::size_t begin = 0;
    while (begin <= directories.size()) {
        std::size_t end = directories.find(':', begin);
        if (end == std::string::npos) {
            end = directories.size();
        }
        const std::string candidate = directories.substr(begin, end - begin) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        begin = end + 1;
    }
    return name;
}

// A child process that is killed and reaped when it goes out of scope unless it has been waited
// for, so that a failed test leaves nothing running.
class Child {
  public:
    struct Options {
        std::vector<std::string> environment;
        std::string stdoutPath = "/dev/null";
        std::string stderrPath = "/dev/null";
        int passFd = -1;  // a descriptor of the parent handed down as fd kPassedFd
        // A network namespace of its own, with a loopback interface that is down: the program's
        // connectivity test and HTTP requests then send nothing off the machine.
        bool withoutNetwork = false;
    };
    static constexpr int kPassedFd = 9;

    Child(const std::vector<std::string>& arguments, const Options& options) {
        // Everything the child needs is prepared here: between fork and exec it only makes
        // system calls.
        const std::string program = resolveProgram(arguments.at(0));
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const std::string& variable : options.environment) {
            envp.push_back(const_cast<char*>(variable.c_str()));
        }
        envp.push_back(nullptr);
        static constexpr char kNoNamespace[] = "test: cannot enter a network namespace\n";
        static constexpr char kNoExec[] = "test: cannot execute the program\n";

        const pid_t pid = ::fork();
        if (pid == 0) {
            const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            const int out =
                ::open(options.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            const int err =
                ::open(options.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (in < 0 || out < 0 || err < 0 || ::dup2(in, STDIN_FILENO) < 0 ||
                ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0) {
                ::_exit(125);
            }
            // dup2 onto itself would keep the close-on-exec flag of the parent's pipe end.
            if (options.passFd >= 0 &&
                (options.passFd == kPassedFd ? ::fcntl(kPassedFd, F_SETFD, 0)
                                             : ::dup2(options.passFd, kPassedFd)) < 0) {
                ::_exit(125);
            }
            // Without root, a user namespace of its own lets the child have a network namespace.
            if (options.withoutNetwork && ::unshare(CLONE_NEWNET) != 0 &&
                ::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
                [[maybe_unused]] const auto n =
                    ::write(STDERR_FILENO, kNoNamespace, sizeof kNoNamespace - 1);
                ::_exit(126);
            }
            ::execve(program.c_str(), argv.data(), envp.data());
            [[maybe_unused]] const auto n = ::write(STDERR_FILENO, kNoExec, sizeof kNoExec - 1);
            ::_exit(127);
        }
        pid_ = pid;
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }
    bool running() {
        int status = 0;
        if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            status_ = status;
        }
        return pid_ > 0;
    }
    // The wait status once the child has ended within the bound; nullopt (and the child killed)
    // when it is still running then.
    std::optional<int> waitForExit(std::chrono::steady_clock::duration bound = kWaitBound) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (running()) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                pid_ = -1;
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return status_;
    }
    void signal(int number) {
        if (pid_ > 0) {
            ::kill(pid_, number);
        }
    }
    void terminate() {
        signal(SIGTERM);
        waitForExit();
    }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

bool exitedWith(const std::optional<int>& status, int code) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

std::string describe(const std::optional<int>& status) {
    if (!status) {
        return "still running after the bound, killed";
    }
    if (WIFEXITED(*status)) {
        return "exit code " + std::to_string(WEXITSTATUS(*status));
    }
    if (WIFSIGNALED(*status)) {
        return std::string("signal ") + ::strsignal(WTERMSIG(*status)) +
               (WCOREDUMP(*status) ? " (core dumped)" : "");
    }
    return "wait status " + std::to_string(*status);
}

// An Xvfb server of the test's own on a display number that the server picks itself as free.
class VirtualDisplay {
  public:
    explicit VirtualDisplay(const TempDir& dir) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            return;
        }
        Child::Options options{childEnvironment(std::nullopt), "/dev/null", dir.file("xvfb.err"),
                               ends[1]};
        server_.emplace(
            std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(Child::kPassedFd),
                                     "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
            options);
        ::close(ends[1]);
        // The server writes the number once it accepts connections.
        std::string number;
        const auto deadline = std::chrono::steady_clock::now() + kWaitBound;
        while (number.find('\n') == std::string::npos && server_->running()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{ends[0], POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            char chunk[16];
            const ssize_t n = ::read(ends[0], chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            number.append(chunk, static_cast<std::size_t>(n));
        }
        ::close(ends[0]);
        if (number.find('\n') != std::string::npos) {
            name_ = ":" + number.substr(0, number.find('\n'));
        }
    }
    ~VirtualDisplay() {
        if (server_) {
            server_->terminate();
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Empty when the server did not come up.
    const std::string& name() const { return name_; }

  private:
    std::optional<Child> server_;
    std::string name_;
};

// The test's folder with a copy of the program in it, so that peizhi.ini is the folder's.
class Installation {
  public:
    Installation() { std::filesystem::copy_file(QUORVEL_EXECUTABLE, program()); }
    std::string program() const { return dir_.file("quorvel"); }
    std::string accountFile() const { return dir_.file("peizhi.ini"); }
    const TempDir& dir() const { return dir_; }
    std::string errors() const { return readFileBytes(dir_.file("quorvel.err")); }

    // By default the program has no network at all. A test that gives it one names its provider
    // through the proxy variables, so that every request it makes stays on this machine.
    std::unique_ptr<Child> start(const std::optional<std::string>& display,
                                 const std::vector<std::string>& proxyEnvironment = {}) const {
        std::vector<std::string> environment = childEnvironment(display);
        environment.insert(environment.end(), proxyEnvironment.begin(), proxyEnvironment.end());
        // Under AddressSanitizer: leaks of system libraries are not the program's.
        std::string leakOptions = "suppressions=" QUORVEL_LEAK_SUPPRESSIONS;
        for (auto variable = environment.begin(); variable != environment.end(); ++variable) {
            if (variable->starts_with("LSAN_OPTIONS=")) {
                leakOptions = variable->substr(13) + ":" + leakOptions;
                environment.erase(variable);
                break;
            }
        }
        environment.push_back("LSAN_OPTIONS=" + leakOptions);
        return std::make_unique<Child>(
            std::vector<std::string>{program()},
            Child::Options{environment, dir_.file("quorvel.out"), dir_.file("quorvel.err"), -1,
                           proxyEnvironment.empty()});
    }

  private:
    TempDir dir_;
};

// Client-area points inside the controls of the window's fixed layout: the entry boxes of the
// group box at (512, 1), and its add button.
struct Point {
    int x;
    int y;
};
constexpr Point kUserNameBox{512 + 12 + 47, 1 + 36 + 10};
constexpr Point kPasswordBox{512 + 12 + 47, 1 + 80 + 10};
constexpr Point kDomainBox{512 + 12 + 47, 1 + 124 + 10};
constexpr Point kIpBox{512 + 12 + 47, 1 + 168 + 10};
constexpr Point kAddButton{512 + 20 + 40, 1 + 194 + 10};
constexpr Point kUpdateButton{532 + 40, 231 + 10};

// A started program on its own display, driven with xdotool. Every step is traced, so that a
// failure says which step failed and what the tools and the program wrote.
class Session {
  public:
    Session(const Installation& installation, const std::string& display,
            const std::vector<std::string>& proxyEnvironment = {})
        : installation_(installation), display_(display) {
        program_ = installation.start(display, proxyEnvironment);
    }

    Child& program() { return *program_; }

    // One xdotool command; its standard output, or nullopt when it failed or did not finish
    // within the bound.
    std::optional<std::string> xdotool(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "xdotool");
        return tool(arguments);
    }

    // One X tool (xdotool, xwininfo, xprop) on the session's display, traced as xdotool is.
    std::optional<std::string> tool(const std::vector<std::string>& arguments) {
        const std::string output = installation_.dir().file("xdotool.out");
        const std::string errors = installation_.dir().file("xdotool.err");
        Child tool(arguments, Child::Options{childEnvironment(display_), output, errors});
        const auto status = tool.waitForExit();
        std::string step;
        for (const std::string& argument : arguments) {
            step += argument + " ";
        }
        trace_ += step + "-> " + describe(status) + "\n" + readFileBytes(errors);
        if (!exitedWith(status, 0)) {
            return std::nullopt;
        }
        return readFileBytes(output);
    }

    // The first visible window whose name matches, waiting for one to show. A search walks every
    // window of the server, and xdotool gives up with an X error when one of them goes away under
    // it, as the toolkit's short-lived windows do at start-up; such a search is run again.
    std::string visibleWindow(const std::string& name) {
        const auto deadline = std::chrono::steady_clock::now() + kWaitBound;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto found = xdotool({"search", "--sync", "--onlyvisible", "--name", name});
            if (found && !found->empty()) {
                return found->substr(0, found->find('\n'));
            }
            if (!program_->running()) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {};
    }

    // The program's main window once it is shown, with the keyboard focus given to it. Without a
    // network the program says so in a message box before its window shows; the box is closed
    // with Enter, as a user would close it.
    std::string focusMainWindow() {
        std::string window = visibleWindow(".");
        if (window.empty()) {
            return {};
        }
        const auto name = xdotool({"getwindowname", window});
        if (!name) {
            return {};
        }
        if (!name->starts_with("Quorvel")) {
            if (!xdotool({"windowfocus", "--sync", window}) || !xdotool({"key", "Return"})) {
                return {};
            }
            window = visibleWindow("^Quorvel");
            if (window.empty()) {
                return {};
            }
        }
        if (!xdotool({"windowfocus", "--sync", window})) {
            return {};
        }
        window_ = window;
        return window;
    }

    bool click(Point point) {
        return xdotool({"mousemove", "--window", window_, std::to_string(point.x),
                        std::to_string(point.y), "click", "1"})
            .has_value();
    }
    bool key(const std::string& keys) { return xdotool({"key", keys}).has_value(); }
    bool type(const std::string& text) { return xdotool({"type", text}).has_value(); }

    // The main window, once focusMainWindow found it.
    const std::string& window() const { return window_; }

    // What happened so far, for a failure message.
    std::string report() const {
        constexpr std::size_t kKept = 6000;  // the last steps are the ones that tell
        const std::string steps =
            trace_.size() > kKept ? "...\n" + trace_.substr(trace_.size() - kKept) : trace_;
        return "steps:\n" + steps + "program's standard error:\n" + installation_.errors();
    }

  private:
    const Installation& installation_;
    std::string display_;
    std::unique_ptr<Child> program_;
    std::string window_;
    std::string trace_;
};

// A file as another program would have left it: GBK, CR LF, a row without IP, a GBK character
// whose second byte is "|" (0x81 0x7C, in the password), a line too short to be an account, and
// a last line without its CR LF.
const std::string kCraftedFile =
    std::string("\xD5\xC5\xC8\xFD|mi\x81\x7Cma|home.example.net|192.0.2.10\r\n") +
    "li|pw2|office.example.org|\r\n" + "short|line\r\n" +
    "\xC0\xEE\xCB\xC4|pw3|\xB2\xE2\xCA\xD4.example.net|192.0.2.30";
// The same accounts as the program saves them.
const std::string kSavedRows =
    std::string("\xD5\xC5\xC8\xFD|mi\x81\x7Cma|home.example.net|192.0.2.10\r\n") +
    "li|pw2|office.example.org|\r\n" +
    "\xC0\xEE\xCB\xC4|pw3|\xB2\xE2\xCA\xD4.example.net|192.0.2.30\r\n";

// A copy of the program in a folder of its own, started on a display of its own.
class QuorvelWindowTest : public ::testing::Test {
  protected:
    // Starts the program and waits until its main window is shown and has the keyboard focus.
    void startAndFocus(const std::vector<std::string>& proxyEnvironment = {},
                       bool withWindowManager = false) {
        display_ = std::make_unique<VirtualDisplay>(installation_.dir());
        ASSERT_FALSE(display_->name().empty()) << "Xvfb did not start";
        if (withWindowManager) {
            windowManager_ = std::make_unique<Child>(
                std::vector<std::string>{"openbox", "--sm-disable"},
                Child::Options{childEnvironment(display_->name()), "/dev/null",
                               installation_.dir().file("openbox.err")});
            ASSERT_TRUE(waitForWindowManager())
                << readFileBytes(installation_.dir().file("openbox.err"));
        }
        session_ = std::make_unique<Session>(installation_, display_->name(), proxyEnvironment);
        ASSERT_FALSE(session_->focusMainWindow().empty()) << session_->report();
    }
    // Waits for the program to end and checks that it ended as a normal close does.
    void expectNormalEnd() {
        const auto status = session_->program().waitForExit();
        EXPECT_TRUE(exitedWith(status, 0)) << describe(status) << "\n" << session_->report();
    }
    Session& session() { return *session_; }
    std::string accountFileBytes() const { return readFileBytes(installation_.accountFile()); }

    Installation installation_;

  private:
    // A window manager announces itself on the root window once it manages windows.
    bool waitForWindowManager() {
        const auto deadline = std::chrono::steady_clock::now() + kWaitBound;
        while (std::chrono::steady_clock::now() < deadline && windowManager_->running()) {
            const std::string output = installation_.dir().file("xprop.out");
            Child xprop({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"},
                        Child::Options{childEnvironment(display_->name()), output});
            if (exitedWith(xprop.waitForExit(), 0) &&
                readFileBytes(output).find("window id") != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::unique_ptr<VirtualDisplay> display_;
    std::unique_ptr<Child> windowManager_;  // ends before the display does
    std::unique_ptr<Session> session_;
};

TEST_F(QuorvelWindowTest, EscClosesTheWindowAndSavesEveryAccountOfTheFile) {
    writeFileBytes(installation_.accountFile(), kCraftedFile);
    ASSERT_NO_FATAL_FAILURE(startAndFocus());
    ASSERT_TRUE(session().key("Escape")) << session().report();
    expectNormalEnd();
    EXPECT_EQ(accountFileBytes(), kSavedRows);
}

TEST_F(QuorvelWindowTest, EscWithShiftCtrlOrAltLeavesTheWindowOpen) {
    writeFileBytes(installation_.accountFile(), kCraftedFile);
    ASSERT_NO_FATAL_FAILURE(startAndFocus());
    // Each modified Esc stands between keys that build the account added next: the row saved at
    // the close shows that the window took every one of them, so it was open after each.
    Session& s = session();
    ASSERT_TRUE(s.click(kUserNameBox)) << s.report();
    ASSERT_TRUE(s.type("ne")) << s.report();
    ASSERT_TRUE(s.key("shift+Escape")) << s.report();
    ASSERT_TRUE(s.type("u")) << s.report();
    ASSERT_TRUE(s.click(kPasswordBox)) << s.report();
    ASSERT_TRUE(s.key("ctrl+Escape")) << s.report();
    ASSERT_TRUE(s.type("pw4")) << s.report();
    ASSERT_TRUE(s.click(kDomainBox)) << s.report();
    ASSERT_TRUE(s.key("alt+Escape")) << s.report();
    ASSERT_TRUE(s.type("new.example.org")) << s.report();
    ASSERT_TRUE(s.click(kIpBox)) << s.report();
    ASSERT_TRUE(s.type("198.51.100.4")) << s.report();
    ASSERT_TRUE(s.click(kAddButton)) << s.report();
    ASSERT_TRUE(s.key("Escape")) << s.report();
    expectNormalEnd();
    EXPECT_EQ(accountFileBytes(), kSavedRows + "neu|pw4|new.example.org|198.51.100.4\r\n");
}

TEST_F(QuorvelWindowTest, WithoutAnAccountFileTheCloseLeavesAnEmptyOne) {
    ASSERT_NO_FATAL_FAILURE(startAndFocus());
    ASSERT_TRUE(session().key("Escape")) << session().report();
    expectNormalEnd();
    ASSERT_TRUE(std::filesystem::is_regular_file(installation_.accountFile()));
    EXPECT_EQ(std::filesystem::file_size(installation_.accountFile()), 0u);
    // The file holds passwords in clear text: its owner alone may read it.
    const auto permissions = std::filesystem::status(installation_.accountFile()).permissions();
    EXPECT_EQ(
        permissions & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
        std::filesystem::perms::none);
}

TEST_F(QuorvelWindowTest, OneClickUpdatesThroughTheProxyAndACloseDuringAHangingRequestEndsAtOnce) {
    if (!systemReportsConnection()) {
        GTEST_SKIP() << "the program tests the connection only where an interface other than "
                        "loopback is up";
    }
    // The provider, the IP-echo endpoint and the probe page all stand behind the proxy on
    // 127.0.0.1; the update request is never answered.
    LoopbackHttpServer proxy;
    proxy.answer([](const std::string& request) {
        if (request.starts_with("GET http://members.3322.org/dyndns/getip ")) {
            return httpReply(200, "203.0.113.9");
        }
        if (request.starts_with("GET http://members.3322.org/dyndns/update?")) {
            return silence();
        }
        return httpReply(200, "<html>home page</html>");
    });
    // No offline box: the start-up reached the probe page and the echo through the proxy.
    ASSERT_NO_FATAL_FAILURE(startAndFocus({"http_proxy=http://" + proxy.hostPort(), "no_proxy="}));
    ASSERT_TRUE(proxy.waitForRequests(2));
    const std::vector<std::string> startUp = proxy.requests();
    EXPECT_TRUE(startUp[0].starts_with("GET http://www.baidu.com/ HTTP/1.0\r\n")) << startUp[0];
    EXPECT_EQ(startUp[1],
              "GET http://members.3322.org/dyndns/getip HTTP/1.0\r\n"
              "Host: members.3322.org\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
              "Accept: */*\r\n"
              "Proxy-Connection: Keep-Alive\r\n"
              "\r\n");

    Session& s = session();
    ASSERT_TRUE(s.click(kUserNameBox)) << s.report();
    ASSERT_TRUE(s.type("neu")) << s.report();
    ASSERT_TRUE(s.click(kPasswordBox)) << s.report();
    ASSERT_TRUE(s.type("p:w@4")) << s.report();
    ASSERT_TRUE(s.click(kDomainBox)) << s.report();
    ASSERT_TRUE(s.type("new.example.org")) << s.report();
    ASSERT_TRUE(s.click(kAddButton)) << s.report();
    ASSERT_TRUE(s.click(kUpdateButton)) << s.report();
    ASSERT_TRUE(proxy.waitForRequests(3)) << s.report();
    EXPECT_EQ(proxy.requests()[2],
              "GET http://members.3322.org/dyndns/update?system=dyndns&hostname=new.example.org"
              "&myip=&wildcard=OFF HTTP/1.0\r\n"
              "Host: members.3322.org\r\n"
              "Authorization: Basic bmV1OnA6d0A0\r\n"  // neu:p:w@4
              "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
              "Accept: */*\r\n"
              "Proxy-Connection: Keep-Alive\r\n"
              "\r\n");

    // The request hangs for as long as the proxy stands; the close does not wait for it.
    ASSERT_TRUE(s.key("Escape")) << s.report();
    expectNormalEnd();
    EXPECT_EQ(accountFileBytes(), "neu|p:w@4|new.example.org|\r\n");
}

// A number that xwininfo reports after its label, or -1.
int fieldOf(const std::string& report, const std::string& label) {
    const std::size_t at = report.find(label);
    return at == std::string::npos ? -1 : std::atoi(report.c_str() + at + label.size());
}

TEST_F(QuorvelWindowTest, UnderAWindowManagerTheFrameIsCentredAtItsSizeAndAltF4ClosesIt) {
    writeFileBytes(installation_.accountFile(), kCraftedFile);
    ASSERT_NO_FATAL_FAILURE(startAndFocus({}, true));
    Session& s = session();
    // The manager reparents the window into its frame: the window's parent is the frame.
    const auto tree = s.tool({"xwininfo", "-id", s.window(), "-tree"});
    ASSERT_TRUE(tree) << s.report();
    const std::string label = "Parent window id: ";
    const std::size_t at = tree->find(label);
    ASSERT_NE(at, std::string::npos) << *tree;
    const std::size_t idStart = at + label.size();
    const std::string frame = tree->substr(idStart, tree->find(' ', idStart) - idStart);
    const auto info = s.tool({"xwininfo", "-id", frame});
    ASSERT_TRUE(info) << s.report();
    EXPECT_EQ(fieldOf(*info, "Width:"), 643) << *info;
    EXPECT_EQ(fieldOf(*info, "Height:"), 418) << *info;
    EXPECT_EQ(fieldOf(*info, "Absolute upper-left X:"), (1024 - 643) / 2) << *info;
    EXPECT_EQ(fieldOf(*info, "Absolute upper-left Y:"), (768 - 418) / 2) << *info;
    // A fixed size: the manager offers neither maximising nor resizing, but closing and minimising.
    const auto actions = s.tool({"xprop", "-id", s.window(), "_NET_WM_ALLOWED_ACTIONS"});
    ASSERT_TRUE(actions) << s.report();
    EXPECT_NE(actions->find("_NET_WM_ACTION_CLOSE"), std::string::npos) << *actions;
    EXPECT_NE(actions->find("_NET_WM_ACTION_MINIMIZE"), std::string::npos) << *actions;
    EXPECT_EQ(actions->find("_NET_WM_ACTION_MAXIMIZE"), std::string::npos) << *actions;
    EXPECT_EQ(actions->find("_NET_WM_ACTION_RESIZE"), std::string::npos) << *actions;

    // Alt+F4 is the manager's: it asks the window to close, as the close button does.
    ASSERT_TRUE(s.key("alt+F4")) << s.report();
    expectNormalEnd();
    EXPECT_EQ(accountFileBytes(), kSavedRows);
}

class QuorvelSessionEndTest : public QuorvelWindowTest,
                              public ::testing::WithParamInterface<int> {};

TEST_P(QuorvelSessionEndTest, ClosesTheWindowAndSavesTheAccounts) {
    writeFileBytes(installation_.accountFile(), kCraftedFile);
    ASSERT_NO_FATAL_FAILURE(startAndFocus());
    session().program().signal(GetParam());
    expectNormalEnd();
    EXPECT_EQ(accountFileBytes(), kSavedRows);
}

INSTANTIATE_TEST_SUITE_P(Signals, QuorvelSessionEndTest, ::testing::Values(SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == SIGTERM ? std::string("Sigterm")
                                                          : std::string("Sighup");
                         });

TEST(QuorvelProcess, WithoutADisplayItReportsTheFatalErrorAndEndsWith255) {
    Installation installation;
    writeFileBytes(installation.accountFile(), kCraftedFile);

    const auto program = installation.start(std::nullopt);
    const auto status = program->waitForExit();

    EXPECT_TRUE(exitedWith(status, 255)) << describe(status) << "\n" << installation.errors();
    const std::string errors = installation.errors();
    EXPECT_NE(errors.find(u8(u8"运行时出错!")), std::string::npos) << errors;
    EXPECT_NE(errors.find(u8(u8"错误信息：载入启动窗口失败")), std::string::npos) << errors;
    // No window was ever destroyed, so the file is as it was.
    EXPECT_EQ(readFileBytes(installation.accountFile()), kCraftedFile);
}

}  // namespace
}  // namespace quorvel::test
