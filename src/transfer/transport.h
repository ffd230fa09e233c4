#pragma once

// The byte transport under the HTTP client. The client talks to a connection
// through this interface, so tests and the fuzz target can play exact server
// bytes, split exactly as they choose, without a network.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace transfer {

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
};

// Plain TCP connections through the platform's sockets.
std::unique_ptr<TConnector> MakeSocketConnector();

}  // namespace transfer
