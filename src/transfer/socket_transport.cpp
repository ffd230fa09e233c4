#include "platform/socket.h"
#include "transfer/transport.h"

#ifdef _WIN32
#include "transfer/win32/tls_connection.h"
#endif

namespace transfer {

namespace {

class SocketConnection : public TConnection {
  public:
    explicit SocketConnection(platform::TcpSocket socket) : socket_(std::move(socket)) {}

    void Send(std::string_view bytes) override { socket_.SendAll(bytes.data(), bytes.size()); }

    size_t Receive(char* buffer, size_t max, int timeout_ms) override {
        if (timeout_ms > 0 && !socket_.WaitReadable(timeout_ms)) {
            throw platform::ESocketError(platform::kWsaTimedOut);
        }
        return socket_.Receive(buffer, max);
    }

    bool WaitReadable(int timeout_ms) override { return socket_.WaitReadable(timeout_ms); }

    bool PeerClosed() override { return socket_.PeerClosed(); }

  private:
    platform::TcpSocket socket_;
};

class SocketConnector : public TConnector {
  public:
    std::unique_ptr<TConnection> Open(const std::string& host, uint16_t port) override {
        const platform::Ipv4 address = platform::ResolveIpv4(host);
        return std::make_unique<SocketConnection>(platform::TcpSocket::Connect(address, port));
    }

#ifdef _WIN32
    std::unique_ptr<TConnection> OpenSecure(const std::string& host, uint16_t port) override {
        const platform::Ipv4 address = platform::ResolveIpv4(host);
        return OpenTlsConnection(platform::TcpSocket::Connect(address, port), host);
    }
#endif
};

}  // namespace

std::unique_ptr<TConnector> MakeSocketConnector() {
    return std::make_unique<SocketConnector>();
}

}  // namespace transfer
