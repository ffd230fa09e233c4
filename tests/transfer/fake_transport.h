#pragma once

// An in-memory transport for the HTTP client: each connection plays the
// server's bytes in exactly the pieces given, so a test decides which bytes
// arrive together with the head and which come later.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/socket.h"
#include "transfer/transport.h"

namespace transfer::testing {

struct FakeServerSide {
    std::vector<std::string> pieces;         // one per Receive (split if larger than asked)
    bool close_at_end = true;                // after the pieces: closed, or an error:
    int end_error = platform::kWsaTimedOut;  // a silent server by default
    bool peer_closed = false;                // what PeerClosed reports
    std::string sent;                        // every request byte
    size_t next = 0;
    int receives = 0;
};

class FakeConnection : public TConnection {
  public:
    explicit FakeConnection(std::shared_ptr<FakeServerSide> side) : side_(std::move(side)) {}

    void Send(std::string_view bytes) override { side_->sent += bytes; }

    size_t Receive(char* buffer, size_t max, int /*timeout_ms*/) override {
        ++side_->receives;
        if (side_->next >= side_->pieces.size()) {
            if (side_->close_at_end) {
                return 0;
            }
            throw platform::ESocketError(side_->end_error);
        }
        std::string& piece = side_->pieces[side_->next];
        const size_t n = std::min(max, piece.size());
        std::copy_n(piece.data(), n, buffer);
        piece.erase(0, n);
        if (piece.empty()) {
            ++side_->next;
        }
        return n;
    }

    bool PeerClosed() override { return side_->peer_closed; }

  private:
    std::shared_ptr<FakeServerSide> side_;
};

class FakeConnector : public TConnector {
  public:
    // Connection i opened by the client plays sides[i]; further opens are
    // refused. Secure connections are played the same way (the TLS itself
    // is not pretended) when `secure_available`; otherwise they are refused
    // as in a build without a secure transport.
    std::vector<std::shared_ptr<FakeServerSide>> sides;
    std::vector<std::pair<std::string, uint16_t>> opened;
    std::vector<bool> opened_secure;  // per connection in `opened`
    bool secure_available = false;

    std::shared_ptr<FakeServerSide> Add(std::vector<std::string> pieces, bool close_at_end = true) {
        auto side = std::make_shared<FakeServerSide>();
        side->pieces = std::move(pieces);
        side->close_at_end = close_at_end;
        sides.push_back(side);
        return side;
    }

    std::unique_ptr<TConnection> Open(const std::string& host, uint16_t port) override {
        return OpenAs(host, port, false);
    }

    std::unique_ptr<TConnection> OpenSecure(const std::string& host, uint16_t port) override {
        if (!secure_available) {
            return TConnector::OpenSecure(host, port);
        }
        return OpenAs(host, port, true);
    }

  private:
    std::unique_ptr<TConnection> OpenAs(const std::string& host, uint16_t port, bool secure) {
        if (opened.size() >= sides.size()) {
            throw platform::ESocketError(platform::kWsaConnRefused);
        }
        opened.emplace_back(host, port);
        opened_secure.push_back(secure);
        return std::make_unique<FakeConnection>(sides[opened.size() - 1]);
    }
};

}  // namespace transfer::testing
