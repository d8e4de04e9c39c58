// The loopback test provider: one thread accepts, one thread serves each connection.
#include "support/loopback_http_server.h"

#include <algorithm>
#include <chrono>
#include <type_traits>

#include "support/sockets.h"

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

void sendAll(NativeSocket socket, const char* data, std::size_t size) {
    while (size > 0) {
        const long n = sendSome(socket, data, size);
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
    static_assert(std::is_same_v<Socket, NativeSocket>);
    answerAlways(httpReply(200, "good 127.0.0.1"));
    listener_ = openLoopbackSocket(SOCK_STREAM, &port_);
    if (listener_ != kNoSocket) {
        ::listen(listener_, 64);
    }
    stopSignal_ = openLoopbackSocket(SOCK_DGRAM, &stopPort_);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<unsigned short>(stopPort_));
    const char stop = 0;
    ::sendto(stopSignal_, &stop, 1, 0, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    acceptor_.join();
    for (std::thread& connection : connections_) {
        connection.join();
    }
    closeSocket(stopSignal_);
    closeSocket(listener_);
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
        pollfd watched[2] = {{listener_, POLLIN, 0}, {stopSignal_, POLLIN, 0}};
        if (pollSockets(watched, 2) < 0 || watched[1].revents != 0) {
            return;
        }
        const NativeSocket client = acceptSocket(listener_);
        if (client != kNoSocket) {
            connections_.emplace_back([this, client] { serve(client); });
        }
    }
}

void LoopbackHttpServer::serve(Socket client) {
    std::string request;
    char buffer[4096];
    bool stopped = false;
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd watched[2] = {{client, POLLIN, 0}, {stopSignal_, POLLIN, 0}};
        if (pollSockets(watched, 2) < 0 || watched[1].revents != 0) {
            stopped = true;
            break;
        }
        const long n = receiveSome(client, buffer, sizeof buffer);
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
        if (!reply.hang) {
            // The answer is over: the server ends its side, as HTTP servers do, and lets the client
            // end the connection. Closing at once while bytes lay unread (a client may already
            // have sent its next request on this connection) would reset the connection, and the
            // client could lose the answer.
            shutdownSending(client);
        }
        // Silent until the client gives up or the server stops; whatever else arrives is dropped.
        pollfd watched[2] = {{client, POLLIN, 0}, {stopSignal_, POLLIN, 0}};
        while (pollSockets(watched, 2) > 0 && watched[1].revents == 0 &&
               receiveSome(client, buffer, sizeof buffer) > 0) {
        }
    }
    closeSocket(client);
}

}  // namespace quorvel::test
