// A test provider on 127.0.0.1: records the exact bytes of every request and answers as scripted,
// well or badly (no Content-Length, a zero byte, 401/500, redirects, a hang, a close mid-body).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::test {

struct Reply {
    std::string bytes;  // sent as they stand: status line, headers and body
    bool hang = false;  // after the bytes, keep the connection open and silent
    std::size_t closeAfter = std::string::npos;  // send only this many bytes, then close
};

// A complete response; without a Content-Length the body ends when the connection closes.
Reply httpReply(int status, const std::string& body, bool withContentLength = true,
                const std::string& extraHeaders = "");
// Accepts the connection and never answers.
Reply silence();

class LoopbackHttpServer {
  public:
    using Script = std::function<Reply(const std::string& request)>;

    // Answers every request with "good 127.0.0.1" until told otherwise.
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int port() const { return port_; }
    // "127.0.0.1:port", to stand where a host name goes.
    std::string hostPort() const;

    void answer(Script script);
    void answerAlways(const Reply& reply);

    // The requests received so far, each exactly as its bytes arrived.
    std::vector<std::string> requests() const;
    // Waits (bounded by a generous limit) until at least n requests have arrived.
    bool waitForRequests(std::size_t n) const;

  private:
#ifdef _WIN32
    using Socket = unsigned long long;  // Winsock's SOCKET
#else
    using Socket = int;
#endif

    void acceptLoop();
    void serve(Socket client);

    Socket listener_;
    int port_ = 0;
    // A datagram sent here when the server stops stays unread, so it wakes every waiting thread.
    Socket stopSignal_;
    int stopPort_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    Script script_;
    std::vector<std::string> requests_;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};

}  // namespace quorvel::test
