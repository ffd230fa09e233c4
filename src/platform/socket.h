#pragma once

// Blocking TCP and UDP sockets over IPv4: Winsock on Windows, BSD sockets
// elsewhere. Sockets are never inherited by processes the program starts.
//
// Failures raise ESocketError carrying the Windows Sockets error number on
// every platform (the POSIX build maps errno values onto those numbers), so
// an error reads the same wherever the program runs.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/exception.h"

namespace platform {

// Windows Sockets error numbers used by name in the code.
inline constexpr int kWsaInterrupted = 10004;   // WSAEINTR
inline constexpr int kWsaWouldBlock = 10035;    // WSAEWOULDBLOCK
inline constexpr int kWsaConnReset = 10054;     // WSAECONNRESET
inline constexpr int kWsaNotConnected = 10057;  // WSAENOTCONN
inline constexpr int kWsaTimedOut = 10060;      // WSAETIMEDOUT
inline constexpr int kWsaConnRefused = 10061;   // WSAECONNREFUSED
inline constexpr int kWsaHostNotFound = 11001;  // WSAHOST_NOT_FOUND

// The text for a Windows Sockets error number ("Connection refused." for
// 10061); empty for numbers without one.
std::string SocketErrorText(int code);

// "Socket Error # <code>\r\n<text>".
class ESocketError : public base::Exception {
  public:
    explicit ESocketError(int code);
    int Code() const { return code_; }

  private:
    int code_;
};

// IPv4 address in host byte order (127.0.0.1 is 0x7f000001).
using Ipv4 = uint32_t;

// "localhost" in any case is 127.0.0.1, a dotted address is used as it is,
// anything else goes to the system resolver. Raises ESocketError 11001 when
// the name is not found.
Ipv4 ResolveIpv4(const std::string& host);

// A blocking TCP socket. Movable, not copyable; closed by the destructor.
class TcpSocket {
  public:
    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Opens a connection, blocking for as long as the system's connect takes.
    static TcpSocket Connect(Ipv4 address, uint16_t port);
    // Opens a connection, waiting at most timeout_ms for it (< 0: as long as
    // the system's connect takes). Raises 10060 when the time is up, 10061
    // when the peer refuses. The socket returned is blocking as usual.
    static TcpSocket Connect(Ipv4 address, uint16_t port, int timeout_ms);
    // A listening socket (port 0: any free port); for servers in tests and tools.
    static TcpSocket Listen(Ipv4 address, uint16_t port, int backlog = 16);

    bool IsOpen() const;
    void Close();

    // Sends every byte, blocking as needed.
    void SendAll(const void* data, size_t size);
    // Receives up to `max` bytes, blocking until at least one arrives;
    // returns 0 when the peer has closed its side.
    size_t Receive(void* buffer, size_t max);
    // Waits until Receive would not block (data or the peer's close).
    // timeout_ms < 0 waits without limit. Returns false on time-out.
    bool WaitReadable(int timeout_ms);
    // Non-blocking: true when the peer has closed the connection or it has
    // failed; false while it is open (data waiting counts as open).
    bool PeerClosed();
    // Closes the sending direction; the peer sees the end of the stream.
    void ShutdownSend();
    // Closes with a reset instead of the orderly end of stream (SO_LINGER 0):
    // the peer's next receive fails with 10054. For test servers.
    void AbortiveClose();
    // Limits how long one blocked send may wait for the peer to take data
    // (0, the default: no limit). SendAll then raises 10060.
    void SetSendTimeout(int timeout_ms);

    TcpSocket Accept();
    uint16_t LocalPort() const;

  private:
    explicit TcpSocket(intptr_t handle) : handle_(handle) {}
    static constexpr intptr_t kInvalid = -1;
    intptr_t handle_ = kInvalid;
};

// A UDP socket. Movable, not copyable; closed by the destructor. Meant for
// one thread at a time.
class UdpSocket {
  public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // A socket on a free port of every local address (0.0.0.0), for asking
    // a server.
    static UdpSocket Open();
    // A socket on the given address and port (port 0: any free one); for
    // servers in tests and tools.
    static UdpSocket Bind(Ipv4 address, uint16_t port);

    bool IsOpen() const;
    void Close();

    // Sends one datagram.
    void SendTo(Ipv4 address, uint16_t port, const void* data, size_t size);
    // Waits at most timeout_ms (< 0: without limit) for one datagram and
    // stores up to `max` of its bytes; the rest of a longer one is dropped.
    // Returns the number of bytes stored and, where the pointers are not
    // null, the sender's address and port; nothing when the time ran out.
    // A "port unreachable" report for an earlier datagram does not end the
    // wait.
    std::optional<size_t> ReceiveFrom(void* buffer, size_t max, int timeout_ms, Ipv4* from,
                                      uint16_t* from_port);
    uint16_t LocalPort() const;

  private:
    explicit UdpSocket(intptr_t handle) : handle_(handle) {}
    static constexpr intptr_t kInvalid = -1;
    intptr_t handle_ = kInvalid;
};

}  // namespace platform
