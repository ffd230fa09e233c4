// Winsock for the Windows build. WSAGetLastError() numbers are raised as they
// are; the POSIX build maps its errno values onto the same numbers.

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mswsock.h>  // after winsock2.h, which it needs

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <utility>

#include "platform/socket.h"
#include "platform/socket_detail.h"

namespace platform {

namespace {

// Most bytes handed to one send or recv call: their length is an int.
constexpr size_t kMaxPerCall = static_cast<size_t>(1) << 30;

// Winsock is started once, by the first caller, on any thread (the static is
// initialised under the compiler's lock). It is never cleaned up: sockets
// may live until the process ends, and the system releases everything then.
void EnsureStarted() {
    static const int result = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (result != 0) {
        throw ESocketError(result);
    }
}

[[noreturn]] void RaiseLast() {
    throw ESocketError(WSAGetLastError());
}

SOCKET Sock(intptr_t handle) {
    const SOCKET s = static_cast<SOCKET>(handle);
    if (s == INVALID_SOCKET) {
        throw ESocketError(WSAENOTSOCK);
    }
    return s;
}

sockaddr_in MakeAddress(Ipv4 address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address);
    return sa;
}

// Sockets are not handed down to processes the program starts (the game).
// Best effort: a layered provider may not allow it, which does no harm.
void NotInherited(SOCKET s) {
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
}

SOCKET NewSocket(int type = SOCK_STREAM, int protocol = IPPROTO_TCP) {
    EnsureStarted();
    const SOCKET s = ::socket(AF_INET, type, protocol);
    if (s == INVALID_SOCKET) {
        RaiseLast();
    }
    NotInherited(s);
    return s;
}

// Requests go out in one send and nothing waits for more: no reason to let
// the system hold small segments back. Best effort: a connection that has
// already failed may refuse the option, and then its next receive reports why.
void SetNoDelay(SOCKET s) {
    const BOOL on = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on));
}

// select() on one socket for reading; timeout_ms < 0 waits without limit.
bool SelectReadable(SOCKET s, int timeout_ms) {
    fd_set read_set;
    FD_ZERO(&read_set);
    FD_SET(s, &read_set);
    timeval tv{};
    timeval* limit = nullptr;
    if (timeout_ms >= 0) {
        tv.tv_sec = timeout_ms / 1000;
        tv.tv_usec = (timeout_ms % 1000) * 1000;
        limit = &tv;
    }
    const int n = ::select(0, &read_set, nullptr, nullptr, limit);
    if (n == SOCKET_ERROR) {
        RaiseLast();
    }
    return n > 0;
}

void SetNonBlocking(SOCKET s, bool on) {
    u_long value = on ? 1 : 0;
    if (::ioctlsocket(s, FIONBIO, &value) == SOCKET_ERROR) {
        RaiseLast();
    }
}

uint16_t LocalPortOf(SOCKET s) {
    sockaddr_in sa{};
    int len = sizeof(sa);
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) == SOCKET_ERROR) {
        RaiseLast();
    }
    return ntohs(sa.sin_port);
}

}  // namespace

Ipv4 ResolveIpv4(const std::string& host) {
    if (const auto literal = detail::ResolveWithoutResolver(host)) {
        return *literal;
    }
    EnsureStarted();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        throw ESocketError(kWsaHostNotFound);
    }
    Ipv4 address = 0;
    bool have = false;
    for (const addrinfo* a = found; a != nullptr && !have; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr != nullptr &&
            a->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in sa;
            std::memcpy(&sa, a->ai_addr, sizeof(sa));
            address = ntohl(sa.sin_addr.s_addr);
            have = true;
        }
    }
    ::freeaddrinfo(found);
    if (!have) {
        throw ESocketError(kWsaHostNotFound);
    }
    return address;
}

TcpSocket TcpSocket::Connect(Ipv4 address, uint16_t port) {
    return Connect(address, port, -1);
}

TcpSocket TcpSocket::Connect(Ipv4 address, uint16_t port, int timeout_ms) {
    TcpSocket s(static_cast<intptr_t>(NewSocket()));
    const SOCKET sock = static_cast<SOCKET>(s.handle_);
    const sockaddr_in sa = MakeAddress(address, port);
    // Started without blocking so that the wait for it has a limit; blocking
    // again once connected.
    SetNonBlocking(sock, true);
    if (::connect(sock, reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            throw ESocketError(error);
        }
        // Success shows in the write set, failure in the except set.
        fd_set write_set;
        fd_set except_set;
        FD_ZERO(&write_set);
        FD_ZERO(&except_set);
        FD_SET(sock, &write_set);
        FD_SET(sock, &except_set);
        timeval tv{};
        timeval* limit = nullptr;
        if (timeout_ms >= 0) {
            tv.tv_sec = timeout_ms / 1000;
            tv.tv_usec = (timeout_ms % 1000) * 1000;
            limit = &tv;
        }
        const int n = ::select(0, nullptr, &write_set, &except_set, limit);
        if (n == SOCKET_ERROR) {
            RaiseLast();
        }
        if (n == 0) {
            throw ESocketError(kWsaTimedOut);
        }
        int result = 0;
        int len = sizeof(result);
        if (::getsockopt(sock, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&result), &len) ==
            SOCKET_ERROR) {
            RaiseLast();
        }
        if (result != 0) {
            throw ESocketError(result);
        }
        if (!FD_ISSET(sock, &write_set)) {
            throw ESocketError(WSAECONNREFUSED);  // failed without saying why
        }
    }
    SetNonBlocking(sock, false);
    SetNoDelay(sock);
    return s;
}

TcpSocket TcpSocket::Listen(Ipv4 address, uint16_t port, int backlog) {
    TcpSocket s(static_cast<intptr_t>(NewSocket()));
    const SOCKET sock = static_cast<SOCKET>(s.handle_);
    // No other socket may bind the same port while this one listens.
    // Best effort: the port is still ours if the option is not supported.
    const BOOL on = TRUE;
    ::setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                 sizeof(on));
    const sockaddr_in sa = MakeAddress(address, port);
    if (::bind(sock, reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) == SOCKET_ERROR) {
        RaiseLast();
    }
    if (::listen(sock, backlog) == SOCKET_ERROR) {
        RaiseLast();
    }
    return s;
}

namespace {

// Closes the socket that a TcpSocket or a UdpSocket holds and marks the
// handle closed (-1, their invalid handle).
constexpr intptr_t kNoSocket = -1;
void CloseSocket(intptr_t& handle) {
    if (handle != kNoSocket) {
        ::closesocket(static_cast<SOCKET>(std::exchange(handle, kNoSocket)));
    }
}

}  // namespace

bool TcpSocket::IsOpen() const {
    return handle_ != kInvalid;
}

void TcpSocket::Close() {
    CloseSocket(handle_);
}

void TcpSocket::AbortiveClose() {
    if (handle_ == kInvalid) {
        return;
    }
    linger lg{};
    lg.l_onoff = 1;
    lg.l_linger = 0;
    // Best effort: if the option cannot be set the socket still gets closed.
    ::setsockopt(static_cast<SOCKET>(handle_), SOL_SOCKET, SO_LINGER,
                 reinterpret_cast<const char*>(&lg), sizeof(lg));
    Close();
}

void TcpSocket::SetSendTimeout(int timeout_ms) {
    const SOCKET sock = Sock(handle_);
    if (timeout_ms < 0) {
        throw ESocketError(WSAEINVAL);
    }
    const DWORD ms = static_cast<DWORD>(timeout_ms);
    if (::setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms),
                     sizeof(ms)) == SOCKET_ERROR) {
        RaiseLast();
    }
}

void TcpSocket::SendAll(const void* data, size_t size) {
    const SOCKET sock = Sock(handle_);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const int piece = static_cast<int>(std::min(size, kMaxPerCall));
        const int n = ::send(sock, p, piece, 0);
        if (n == SOCKET_ERROR) {
            RaiseLast();
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
}

size_t TcpSocket::Receive(void* buffer, size_t max) {
    const SOCKET sock = Sock(handle_);
    if (max == 0) {
        return 0;
    }
    const int n =
        ::recv(sock, static_cast<char*>(buffer), static_cast<int>(std::min(max, kMaxPerCall)), 0);
    if (n == SOCKET_ERROR) {
        RaiseLast();
    }
    return static_cast<size_t>(n);
}

bool TcpSocket::WaitReadable(int timeout_ms) {
    // A failed or closed connection is "readable" too: Receive returns at
    // once (0 or an error) instead of blocking.
    return SelectReadable(Sock(handle_), timeout_ms);
}

bool TcpSocket::PeerClosed() {
    if (handle_ == kInvalid) {
        return true;
    }
    const SOCKET sock = static_cast<SOCKET>(handle_);
    fd_set read_set;
    FD_ZERO(&read_set);
    FD_SET(sock, &read_set);
    timeval zero{};
    const int n = ::select(0, &read_set, nullptr, nullptr, &zero);
    if (n == SOCKET_ERROR) {
        return true;
    }
    if (n == 0) {
        return false;  // nothing has happened on the connection
    }
    // Readable: data, the peer's close or a failure. Peeking does not block now.
    char byte;
    const int got = ::recv(sock, &byte, 1, MSG_PEEK);
    if (got > 0) {
        return false;  // data waiting: still open
    }
    return true;  // 0: orderly close; SOCKET_ERROR: reset or other failure
}

void TcpSocket::ShutdownSend() {
    if (::shutdown(Sock(handle_), SD_SEND) == SOCKET_ERROR) {
        RaiseLast();
    }
}

TcpSocket TcpSocket::Accept() {
    const SOCKET client = ::accept(Sock(handle_), nullptr, nullptr);
    if (client == INVALID_SOCKET) {
        RaiseLast();
    }
    TcpSocket s(static_cast<intptr_t>(client));
    NotInherited(client);
    SetNoDelay(client);
    return s;
}

uint16_t TcpSocket::LocalPort() const {
    return LocalPortOf(Sock(handle_));
}

UdpSocket UdpSocket::Open() {
    return Bind(0, 0);
}

UdpSocket UdpSocket::Bind(Ipv4 address, uint16_t port) {
    UdpSocket s(static_cast<intptr_t>(NewSocket(SOCK_DGRAM, IPPROTO_UDP)));
    const SOCKET sock = static_cast<SOCKET>(s.handle_);
    // Never blocks: a receive only follows a select that saw something, and
    // must not wait past the caller's deadline if that was no datagram.
    SetNonBlocking(sock, true);
    // Without this, a "port unreachable" answer to a datagram sent earlier
    // fails a later receive with 10054. Best effort: ReceiveFrom passes over
    // that error anyway.
    BOOL report = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(sock, SIO_UDP_CONNRESET, &report, sizeof(report), nullptr, 0, &returned, nullptr,
               nullptr);
    const sockaddr_in sa = MakeAddress(address, port);
    if (::bind(sock, reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) == SOCKET_ERROR) {
        RaiseLast();
    }
    return s;
}

bool UdpSocket::IsOpen() const {
    return handle_ != kInvalid;
}

void UdpSocket::Close() {
    CloseSocket(handle_);
}

void UdpSocket::SendTo(Ipv4 address, uint16_t port, const void* data, size_t size) {
    const SOCKET sock = Sock(handle_);
    if (size > kMaxPerCall) {
        throw ESocketError(WSAEMSGSIZE);
    }
    const sockaddr_in sa = MakeAddress(address, port);
    // The socket does not block: a full send buffer waits here as a blocking
    // send would. Bounded in rounds; each round waits until the socket can
    // take the datagram.
    for (int round = 0;; ++round) {
        const int n = ::sendto(sock, static_cast<const char*>(data), static_cast<int>(size), 0,
                               reinterpret_cast<const sockaddr*>(&sa), sizeof(sa));
        if (n != SOCKET_ERROR) {
            return;  // a datagram goes out whole or not at all
        }
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK || round >= 1000) {
            throw ESocketError(error);
        }
        fd_set write_set;
        FD_ZERO(&write_set);
        FD_SET(sock, &write_set);
        if (::select(0, nullptr, &write_set, nullptr, nullptr) == SOCKET_ERROR) {
            RaiseLast();
        }
    }
}

std::optional<size_t> UdpSocket::ReceiveFrom(void* buffer, size_t max, int timeout_ms, Ipv4* from,
                                             uint16_t* from_port) {
    using Clock = std::chrono::steady_clock;
    const SOCKET sock = Sock(handle_);
    const int piece = static_cast<int>(std::min(max, kMaxPerCall));
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
    for (;;) {
        const int wait_ms = detail::WaitLeft(timeout_ms, deadline);
        if (!SelectReadable(sock, wait_ms)) {
            return std::nullopt;
        }
        sockaddr_in sa{};
        int len = sizeof(sa);
        int n = ::recvfrom(sock, static_cast<char*>(buffer), piece, 0,
                           reinterpret_cast<sockaddr*>(&sa), &len);
        if (n == SOCKET_ERROR) {
            const int error = WSAGetLastError();
            if (error == WSAEMSGSIZE) {
                n = piece;  // the buffer is full; the rest of the datagram is gone
            } else if (error == WSAECONNRESET || error == WSAENETRESET || error == WSAEWOULDBLOCK ||
                       error == WSAEINTR) {
                // A "port unreachable" (10054) or "time to live exceeded"
                // (10052) answer to an earlier datagram, or nothing after all:
                // the wait goes on.
                continue;
            } else {
                throw ESocketError(error);
            }
        }
        if (from != nullptr) {
            *from = ntohl(sa.sin_addr.s_addr);
        }
        if (from_port != nullptr) {
            *from_port = ntohs(sa.sin_port);
        }
        return static_cast<size_t>(n);
    }
}

uint16_t UdpSocket::LocalPort() const {
    return LocalPortOf(Sock(handle_));
}

}  // namespace platform
