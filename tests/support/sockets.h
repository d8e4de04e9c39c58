// The few socket calls that the loopback test servers need, the same on Winsock and POSIX: open,
// bind to 127.0.0.1, poll, close. Winsock is started once per process, by the first socket.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstddef>

namespace quorvel::test {

#ifdef _WIN32
using NativeSocket = SOCKET;
inline constexpr NativeSocket kNoSocket = INVALID_SOCKET;
// Windows raises no signal for a peer that went away.
inline constexpr int kSendFlags = 0;

inline NativeSocket openSocket(int type) {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    // Not inherited, so that a child process cannot hold a test's port open.
    return started ? ::WSASocketW(AF_INET, type, 0, nullptr, 0,
                                  WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT)
                   : kNoSocket;
}

inline NativeSocket acceptSocket(NativeSocket listener) {
    return ::accept(listener, nullptr, nullptr);
}

inline void closeSocket(NativeSocket socket) {
    if (socket != kNoSocket) {
        ::closesocket(socket);
    }
}

inline int pollSockets(pollfd* watched, std::size_t count) {
    return ::WSAPoll(watched, static_cast<ULONG>(count), -1);
}

inline long receiveSome(NativeSocket socket, char* buffer, std::size_t size) {
    return ::recv(socket, buffer, static_cast<int>(size), 0);
}

inline long sendSome(NativeSocket socket, const char* data, std::size_t size) {
    return ::send(socket, data, static_cast<int>(size), kSendFlags);
}

inline void shutdownSending(NativeSocket socket) {
    ::shutdown(socket, SD_SEND);
}
#else
using NativeSocket = int;
inline constexpr NativeSocket kNoSocket = -1;

inline NativeSocket openSocket(int type) {
    return ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
}

inline NativeSocket acceptSocket(NativeSocket listener) {
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

inline void closeSocket(NativeSocket socket) {
    if (socket != kNoSocket) {
        ::close(socket);
    }
}

inline int pollSockets(pollfd* watched, std::size_t count) {
    return ::poll(watched, count, -1);
}

inline long receiveSome(NativeSocket socket, char* buffer, std::size_t size) {
    return ::recv(socket, buffer, size, 0);
}

// A peer that went away must not raise SIGPIPE in the test program.
inline long sendSome(NativeSocket socket, const char* data, std::size_t size) {
    return ::send(socket, data, size, MSG_NOSIGNAL);
}

inline void shutdownSending(NativeSocket socket) {
    ::shutdown(socket, SHUT_WR);
}
#endif

// A socket of the given type bound to 127.0.0.1 on a port that the system picks; its port is
// stored in *port.
inline NativeSocket openLoopbackSocket(int type, int* port) {
    const NativeSocket socket = openSocket(type);
    if (socket == kNoSocket) {
        return kNoSocket;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closeSocket(socket);
        return kNoSocket;
    }
    *port = ntohs(address.sin_port);
    return socket;
}

}  // namespace quorvel::test
