#pragma once

// The byte transport under the HTTP client. The client talks to a connection
// through this interface, so tests and the fuzz target can play exact server
// bytes, split exactly as they choose, without a network.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/exception.h"

namespace transfer {

// A secure connection that could not be made or kept: no secure transport
// in this build, a handshake the server or the system refused, a
// certificate that is not trusted, expired or made for another host, or a
// record that cannot be read. The message says which.
class ETlsError : public base::Exception {
  public:
    using Exception::Exception;
};

inline constexpr char kNoSecureTransport[] =
    "HTTPS is supported only in the Windows build of this program.";

class TConnection {
  public:
    virtual ~TConnection() = default;
    // Sends every byte.
    virtual void Send(std::string_view bytes) = 0;
    // Receives up to `max` bytes, blocking until at least one arrives; 0 means
    // the server has closed the connection. timeout_ms > 0 limits the wait
    // (raising the socket error "Connection timed out."); 0 waits forever.
    virtual size_t Receive(char* buffer, size_t max, int timeout_ms) = 0;
    // Waits up to timeout_ms for bytes or the server's close; false when
    // neither came. A transport that cannot wait answers true at once (its
    // Receive then does the waiting).
    virtual bool WaitReadable(int timeout_ms) {
        (void)timeout_ms;
        return true;
    }
    // Non-blocking: true when the server has closed the connection.
    virtual bool PeerClosed() = 0;
};

class TConnector {
  public:
    virtual ~TConnector() = default;
    // Resolves `host` and opens a connection, raising the socket error on
    // failure.
    virtual std::unique_ptr<TConnection> Open(const std::string& host, uint16_t port) = 0;
    // The same, secured by TLS: the server's certificate must chain to a
    // root the system trusts, be valid now and name `host`. Raises ETlsError
    // when it cannot be made; by default (a build without a secure
    // transport) always, with kNoSecureTransport.
    virtual std::unique_ptr<TConnection> OpenSecure(const std::string& host, uint16_t port) {
        (void)host;
        (void)port;
        throw ETlsError(kNoSecureTransport);
    }
};

// TCP connections through the platform's sockets; in the Windows build also
// secure ones, through the system's TLS.
std::unique_ptr<TConnector> MakeSocketConnector();

}  // namespace transfer
