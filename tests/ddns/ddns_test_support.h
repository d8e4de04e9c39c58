// Small helpers of the dynamic-DNS tests: the parts of a recorded request, an environment variable
// set for one test, and a body run in a child process.
#pragma once

#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>
#else
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

#include "support/refused_port.h"

namespace quorvel::test {

// The first line of a request, without its line end.
inline std::string requestLine(const std::string& request) {
    return request.substr(0, request.find("\r\n"));
}

// The value of a header ("" when absent); names are compared as written.
inline std::optional<std::string> headerValue(const std::string& request, const std::string& name) {
    const std::string key = "\r\n" + name + ": ";
    const std::size_t start = request.find(key);
    if (start == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t value = start + key.size();
    return request.substr(value, request.find("\r\n", value) - value);
}

// The hostname value of an update request's query.
inline std::string hostnameOf(const std::string& request) {
    const std::string line = requestLine(request);
    const std::size_t start = line.find("hostname=");
    if (start == std::string::npos) {
        return "<none>";
    }
    const std::size_t value = start + 9;
    return line.substr(value, line.find('&', value) - value);
}

// Sets (or with nullopt removes) an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        apply(value);
    }
    ~ScopedEnv() { apply(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void apply(const std::optional<std::string>& value) {
#ifdef _WIN32
        // The C runtime passes the change on to the process environment; "" removes the name.
        ::_putenv_s(name_, value ? value->c_str() : "");
#else
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
#endif
    }
    const char* name_;
    std::optional<std::string> old_;
};

struct ChildOutcome {
    bool finished = false;  // ended by itself within the limit
    int exitCode = -1;
    std::string report;  // what the body returned
};

#ifdef _WIN32
// Set in the environment of a child that runs one test again to report on its body.
inline constexpr char kChildReportVariable[] = "QUORVEL_TEST_CHILD_REPORT";

// Runs the body in a child process, so that process-wide changes (an aborted HTTP client) stay
// there. Windows cannot fork: the child is this program again, running the current test alone;
// there runInChild runs the body, writes its report to the file that the parent named, and ends
// the process. So whatever the test does before runInChild happens again in the child, on its
// own: a test prepares everything the body needs inside the body. A child that is not done
// within the limit is killed, so a hang fails the test instead of stalling it.
inline ChildOutcome runInChild(const std::function<std::string()>& body,
                               std::chrono::seconds limit = std::chrono::seconds(60)) {
    char reportPath[MAX_PATH];
    if (::GetEnvironmentVariableA(kChildReportVariable, reportPath, MAX_PATH) > 0) {
        const std::string report = body();
        std::ofstream(reportPath, std::ios::binary) << report;
        // Like _exit after a fork: no exit routines, no teardown of threads still blocked.
        ::TerminateProcess(::GetCurrentProcess(), 0);
    }
    ChildOutcome outcome;
    char program[MAX_PATH];
    char folder[MAX_PATH];
    if (::GetModuleFileNameA(nullptr, program, MAX_PATH) == 0 ||
        ::GetTempPathA(MAX_PATH, folder) == 0 ||
        ::GetTempFileNameA(folder, "qvc", 0, reportPath) == 0) {
        return outcome;
    }
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string command = "\"" + std::string(program) +
                          "\" --gtest_filter=" + test->test_suite_name() + "." + test->name();
    // The child's own test report would only repeat this one.
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE quiet = ::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, 0, &inherited,
                                       OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = quiet;
    PROCESS_INFORMATION child{};
    ::SetEnvironmentVariableA(kChildReportVariable, reportPath);
    const BOOL started = ::CreateProcessA(program, command.data(), nullptr, nullptr, TRUE, 0,
                                          nullptr, nullptr, &startup, &child);
    ::SetEnvironmentVariableA(kChildReportVariable, nullptr);
    ::CloseHandle(quiet);
    if (started) {
        const auto milliseconds =
            std::chrono::duration_cast<std::chrono::milliseconds>(limit).count();
        if (::WaitForSingleObject(child.hProcess, static_cast<DWORD>(milliseconds)) ==
            WAIT_OBJECT_0) {
            DWORD code = 0;
            ::GetExitCodeProcess(child.hProcess, &code);
            outcome.finished = true;
            outcome.exitCode = static_cast<int>(code);
            std::ifstream file(reportPath, std::ios::binary);
            outcome.report.assign(std::istreambuf_iterator<char>(file), {});
        } else {
            ::TerminateProcess(child.hProcess, 1);
            ::WaitForSingleObject(child.hProcess, INFINITE);
        }
        ::CloseHandle(child.hThread);
        ::CloseHandle(child.hProcess);
    }
    ::DeleteFileA(reportPath);
    return outcome;
}
#else
// Runs the body in a forked child, so that process-wide changes (an aborted HTTP client, another
// network namespace) stay there. The child's report comes back through a pipe; a child that is
// not done within the limit is killed, so a hang fails the test instead of stalling it.
inline ChildOutcome runInChild(const std::function<std::string()>& body,
                               std::chrono::seconds limit = std::chrono::seconds(60)) {
    ChildOutcome outcome;
    int channel[2];
    if (::pipe(channel) != 0) {
        return outcome;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return outcome;
    }
    if (child == 0) {
        ::close(channel[0]);
        const std::string report = body();
        const char* data = report.data();
        std::size_t left = report.size();
        while (left > 0) {
            const ssize_t n = ::write(channel[1], data, left);
            if (n <= 0) {
                break;
            }
            data += n;
            left -= static_cast<std::size_t>(n);
        }
        ::_exit(0);  // no exit routines, no test framework teardown in the child
    }
    ::close(channel[1]);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd watched{channel[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&watched, 1, static_cast<int>(left.count())) <= 0) {
            ::kill(child, SIGKILL);
            break;
        }
        const ssize_t n = ::read(channel[0], buffer, sizeof buffer);
        if (n <= 0) {
            outcome.finished = true;  // the child closed its end: it is done
            break;
        }
        outcome.report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (outcome.finished && WIFEXITED(status)) {
        outcome.exitCode = WEXITSTATUS(status);
    } else {
        outcome.finished = false;
    }
    return outcome;
}
#endif

}  // namespace quorvel::test
