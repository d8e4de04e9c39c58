// The loopback test provider: one thread accepts, one thread serves each connection.
#include "support/loopback_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace quorvel::test {

namespace {

const char* reasonOf(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 401:
            return "Unauthorized";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

void sendAll(int socket, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(socket, data, size, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace

Reply httpReply(int status, const std::string& body, bool withContentLength,
                const std::string& extraHeaders) {
    std::string bytes = "HTTP/1.0 " + std::to_string(status) + " " + reasonOf(status) + "\r\n";
    bytes += "Content-Type: text/plain\r\n" + extraHeaders;
    if (withContentLength) {
        bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    bytes += "\r\n" + body;
    return Reply{bytes};
}

Reply silence() {
    return Reply{"", true};
}

LoopbackHttpServer::LoopbackHttpServer() {
    answerAlways(httpReply(200, "good 127.0.0.1"));
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 64);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        stopPipe_[0] = stopPipe_[1] = -1;
    }
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    ::close(stopPipe_[1]);  // wakes every thread that polls the pipe's other end
    acceptor_.join();
    for (std::thread& connection : connections_) {
        connection.join();
    }
    ::close(stopPipe_[0]);
    ::close(listener_);
}

std::string LoopbackHttpServer::hostPort() const {
    return "127.0.0.1:" + std::to_string(port_);
}

void LoopbackHttpServer::answer(Script script) {
    std::lock_guard lock(mutex_);
    script_ = std::move(script);
}

void LoopbackHttpServer::answerAlways(const Reply& reply) {
    answer([reply](const std::string&) { return reply; });
}

std::vector<std::string> LoopbackHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool LoopbackHttpServer::waitForRequests(std::size_t n) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(60), [&] { return requests_.size() >= n; });
}

void LoopbackHttpServer::acceptLoop() {
    for (;;) {
        pollfd watched[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0 || watched[1].revents != 0) {
            return;
        }
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            connections_.emplace_back([this, client] { serve(client); });
        }
    }
}

void LoopbackHttpServer::serve(int client) {
    std::string request;
    char buffer[4096];
    bool stopped = false;
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd watched[2] = {{client, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0 || watched[1].revents != 0) {
            stopped = true;
            break;
        }
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        request.append(buffer, static_cast<std::size_t>(n));
    }
    if (!stopped && !request.empty()) {
        Reply reply;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
            reply = script_(request);
        }
        arrived_.notify_all();
        sendAll(client, reply.bytes.data(), std::min(reply.bytes.size(), reply.closeAfter));
        if (reply.hang) {
            // Silent until the client gives up or the server stops.
            pollfd watched[2] = {{client, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            while (::poll(watched, 2, -1) > 0 && watched[1].revents == 0 &&
                   ::recv(client, buffer, sizeof buffer, 0) > 0) {
            }
        }
    }
    ::close(client);
}

}  // namespace quorvel::test
