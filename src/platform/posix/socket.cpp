// BSD sockets for the native build. Every failure is raised with the Windows
// Sockets number of the errno value, so messages match the Windows build.
//
// Mapping choices:
// - EPIPE (sending on a connection the peer has already torn down) becomes
//   10054, the number Windows gives in the same situation, so callers that
//   react to a reset (kWsaConnReset) see one number on both systems.
// - EINTR is retried wherever it can occur and never reaches the caller.
// - errno values without a Windows Sockets counterpart become 10022
//   (Invalid argument): a number with a text, never a raw errno that would
//   read as an unrelated Windows error.
// - A blocked send that runs out of its SetSendTimeout limit reports EAGAIN;
//   it is raised as 10060, as Windows does.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <utility>

#include "platform/socket.h"
#include "platform/socket_detail.h"

namespace platform {

namespace {

struct ErrnoMapping {
    int error;
    int code;
};

// EWOULDBLOCK is EAGAIN on Linux; the first match wins, so listing both is harmless.
constexpr ErrnoMapping kErrnoMappings[] = {
    {EAGAIN, 10035},          {EWOULDBLOCK, 10035},  {EINTR, 10004},
    {EBADF, 10009},           {EACCES, 10013},       {EPERM, 10013},
    {EFAULT, 10014},          {EINVAL, 10022},       {EMFILE, 10024},
    {ENFILE, 10024},          {EINPROGRESS, 10036},  {EALREADY, 10037},
    {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},        {ENETUNREACH, 10051},  {ENETRESET, 10052},
    {ECONNABORTED, 10053},    {ECONNRESET, 10054},   {EPIPE, 10054},
    {ENOBUFS, 10055},         {ENOMEM, 10055},       {EISCONN, 10056},
    {ENOTCONN, 10057},        {ESHUTDOWN, 10058},    {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},       {ECONNREFUSED, 10061}, {ELOOP, 10062},
    {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066},
};

}  // namespace

int detail::WsaFromErrno(int error) {
    for (const ErrnoMapping& m : kErrnoMappings) {
        if (m.error == error) {
            return m.code;
        }
    }
    return 10022;
}

namespace {

[[noreturn]] void RaiseErrno(int error) {
    throw ESocketError(detail::WsaFromErrno(error));
}
[[noreturn]] void RaiseLast() {
    RaiseErrno(errno);
}

int Fd(intptr_t handle) {
    if (handle < 0) {
        throw ESocketError(10038);  // no socket: what Windows says for INVALID_SOCKET
    }
    return static_cast<int>(handle);
}

sockaddr_in MakeAddress(Ipv4 address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address);
    return sa;
}

// `type` may carry SOCK_NONBLOCK; every socket is closed on exec.
int NewSocket(int type, int protocol) {
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        RaiseLast();
    }
    return fd;
}

void CloseFd(int fd) {
    // Not retried on EINTR: on Linux the descriptor is released either way.
    ::close(fd);
}

// Requests go out in one send and nothing waits for more: no reason to let
// the system hold small segments back. Best effort: a connection that has
// already failed may refuse the option, and then its next receive reports why.
void SetNoDelay(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

// poll() for one descriptor; EINTR resumes with the time that is left.
// Returns the revents, 0 on time-out.
short PollOne(int fd, short events, int timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    int wait_ms = timeout_ms;
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, wait_ms);
        if (n > 0) {
            return p.revents;
        }
        if (n == 0) {
            return 0;
        }
        if (errno != EINTR) {
            RaiseLast();
        }
        wait_ms = detail::WaitLeft(timeout_ms, deadline);
    }
}

uint16_t LocalPortOf(int fd) {
    sockaddr_in sa{};
    socklen_t len = sizeof(sa);
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        RaiseLast();
    }
    return ntohs(sa.sin_port);
}

}  // namespace

Ipv4 ResolveIpv4(const std::string& host) {
    if (const auto literal = detail::ResolveWithoutResolver(host)) {
        return *literal;
    }
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
            a->ai_addrlen >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
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
    // Started without blocking so that the wait for it has a limit; blocking
    // again once connected.
    TcpSocket s(NewSocket(SOCK_STREAM | SOCK_NONBLOCK, IPPROTO_TCP));
    const int fd = static_cast<int>(s.handle_);
    const sockaddr_in sa = MakeAddress(address, port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) != 0) {
        // EINTR: the connect goes on in the background as with EINPROGRESS.
        if (errno != EINPROGRESS && errno != EINTR) {
            RaiseLast();
        }
        if (PollOne(fd, POLLOUT, timeout_ms < 0 ? -1 : timeout_ms) == 0) {
            throw ESocketError(kWsaTimedOut);
        }
        int error = 0;
        socklen_t len = sizeof(error);
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) {
            RaiseLast();
        }
        if (error != 0) {
            RaiseErrno(error);
        }
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        RaiseLast();
    }
    SetNoDelay(fd);
    return s;
}

TcpSocket TcpSocket::Listen(Ipv4 address, uint16_t port, int backlog) {
    TcpSocket s(NewSocket(SOCK_STREAM, IPPROTO_TCP));
    const int fd = static_cast<int>(s.handle_);
    // A fixed port can be bound again at once while old connections on it
    // are still in TIME_WAIT.
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0) {
        RaiseLast();
    }
    const sockaddr_in sa = MakeAddress(address, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) != 0) {
        RaiseLast();
    }
    if (::listen(fd, backlog) != 0) {
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
        CloseFd(static_cast<int>(std::exchange(handle, kNoSocket)));
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
    ::setsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_LINGER, &lg, sizeof(lg));
    Close();
}

void TcpSocket::SetSendTimeout(int timeout_ms) {
    const int fd = Fd(handle_);
    if (timeout_ms < 0) {
        throw ESocketError(10022);
    }
    timeval tv{};
    tv.tv_sec = timeout_ms / 1000;
    tv.tv_usec = (timeout_ms % 1000) * 1000;
    if (::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv)) != 0) {
        RaiseLast();
    }
}

void TcpSocket::SendAll(const void* data, size_t size) {
    const int fd = Fd(handle_);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        // MSG_NOSIGNAL: a peer that has gone gives EPIPE, never SIGPIPE.
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                throw ESocketError(kWsaTimedOut);  // the send time limit ran out
            }
            RaiseLast();
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
}

size_t TcpSocket::Receive(void* buffer, size_t max) {
    const int fd = Fd(handle_);
    if (max == 0) {
        return 0;
    }
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, max, 0);
        if (n >= 0) {
            return static_cast<size_t>(n);
        }
        if (errno != EINTR) {
            RaiseLast();
        }
    }
}

bool TcpSocket::WaitReadable(int timeout_ms) {
    const int fd = Fd(handle_);
    // A failed or closed connection is "readable" too: Receive returns at
    // once (0 or an error) instead of blocking.
    return PollOne(fd, POLLIN, timeout_ms < 0 ? -1 : timeout_ms) != 0;
}

bool TcpSocket::PeerClosed() {
    if (handle_ == kInvalid) {
        return true;
    }
    const int fd = static_cast<int>(handle_);
    pollfd p{fd, POLLIN, 0};
    int n;
    do {
        n = ::poll(&p, 1, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return true;
    }
    if (n == 0) {
        return false;  // nothing has happened on the connection
    }
    char byte;
    for (;;) {
        const ssize_t got = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (got > 0) {
            return false;  // data waiting: still open
        }
        if (got == 0) {
            return true;  // orderly close
        }
        if (errno == EINTR) {
            continue;
        }
        return errno != EAGAIN && errno != EWOULDBLOCK;
    }
}

void TcpSocket::ShutdownSend() {
    if (::shutdown(Fd(handle_), SHUT_WR) != 0) {
        RaiseLast();
    }
}

TcpSocket TcpSocket::Accept() {
    const int fd = Fd(handle_);
    for (;;) {
        const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            TcpSocket s(client);
            SetNoDelay(client);
            return s;
        }
        if (errno != EINTR) {
            RaiseLast();
        }
    }
}

uint16_t TcpSocket::LocalPort() const {
    return LocalPortOf(Fd(handle_));
}

UdpSocket UdpSocket::Open() {
    return Bind(0, 0);
}

UdpSocket UdpSocket::Bind(Ipv4 address, uint16_t port) {
    UdpSocket s(NewSocket(SOCK_DGRAM, IPPROTO_UDP));
    const sockaddr_in sa = MakeAddress(address, port);
    if (::bind(static_cast<int>(s.handle_), reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) !=
        0) {
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
    const int fd = Fd(handle_);
    const sockaddr_in sa = MakeAddress(address, port);
    for (;;) {
        const ssize_t n = ::sendto(fd, data, size, MSG_NOSIGNAL,
                                   reinterpret_cast<const sockaddr*>(&sa), sizeof(sa));
        if (n >= 0) {
            return;  // a datagram goes out whole or not at all
        }
        if (errno != EINTR) {
            RaiseLast();
        }
    }
}

std::optional<size_t> UdpSocket::ReceiveFrom(void* buffer, size_t max, int timeout_ms, Ipv4* from,
                                             uint16_t* from_port) {
    using Clock = std::chrono::steady_clock;
    const int fd = Fd(handle_);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
    for (;;) {
        const int wait_ms = detail::WaitLeft(timeout_ms, deadline);
        if (PollOne(fd, POLLIN, wait_ms) == 0) {
            return std::nullopt;
        }
        sockaddr_in sa{};
        socklen_t len = sizeof(sa);
        // MSG_DONTWAIT: a datagram that poll saw may still be dropped (a bad
        // checksum), and then the receive must not block past the deadline.
        const ssize_t n =
            ::recvfrom(fd, buffer, max, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sa), &len);
        if (n >= 0) {
            if (from != nullptr) {
                *from = ntohl(sa.sin_addr.s_addr);
            }
            if (from_port != nullptr) {
                *from_port = ntohs(sa.sin_port);
            }
            return static_cast<size_t>(n);
        }
        // ECONNREFUSED: a "port unreachable" answer to an earlier datagram,
        // which says nothing about the datagrams still to come.
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK && errno != ECONNREFUSED) {
            RaiseLast();
        }
    }
}

uint16_t UdpSocket::LocalPort() const {
    return LocalPortOf(Fd(handle_));
}

}  // namespace platform
