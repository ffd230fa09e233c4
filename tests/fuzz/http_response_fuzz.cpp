// libFuzzer target: arbitrary bytes as a server's answers to THTTPClient.
//
// Input layout:
//   byte 0     what to do: bits 0-1 how many GETs follow (1-4), bit 2 cookies
//              on, bit 3 HTTP/1.0 requests, bits 4-5 how each body is taken
//              (text, appended to a memory stream, streamed), bit 6 the first
//              URL carries a user name and password (the relative ones after
//              it keep them)
//   bytes 1-4  sizes of the receive pieces, used in turn (0 stands for the
//              largest piece the client asks for)
//   the rest   what the server sends, over every connection the client opens
//
// The server's bytes form one sequence: a connection that the client closes
// leaves the rest to the next one. When the bytes run out the server closes,
// so a silent server cannot stall a run. Errors the client raises
// (base::Exception) are expected; anything else escapes and is reported.
// Besides memory errors and undefined behaviour, the target checks what the
// client promises about progress events, the body and its failures.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "base/exception.h"
#include "base/streams.h"
#include "fuzz_check.h"
#include "transfer/http_client.h"
#include "transfer/transport.h"

namespace {

struct ServerBytes {
    std::string_view data;
    size_t next = 0;
    uint8_t pieces[4] = {};
    size_t piece_index = 0;
    int opened = 0;
    int requests = 0;          // requests sent
    int with_credentials = 0;  // of them, those with an Authorization header
};

class FuzzConnection : public transfer::TConnection {
  public:
    explicit FuzzConnection(ServerBytes& server) : server_(server) {}

    void Send(std::string_view bytes) override {
        FUZZ_CHECK(!bytes.empty());
        ++server_.requests;
        if (bytes.find("\r\nAuthorization: Basic dXNlcjpwdw==\r\n") != std::string_view::npos) {
            ++server_.with_credentials;
        }
    }

    size_t Receive(char* buffer, size_t max, int /*timeout_ms*/) override {
        FUZZ_CHECK(max > 0);
        const size_t left = server_.data.size() - server_.next;
        if (left == 0) {
            return 0;  // the server closes when it has nothing more to say
        }
        size_t n = server_.pieces[server_.piece_index++ % 4];
        if (n == 0 || n > max) {
            n = max;
        }
        n = std::min(n, left);
        std::memcpy(buffer, server_.data.data() + server_.next, n);
        server_.next += n;
        return n;
    }

    bool PeerClosed() override { return server_.next >= server_.data.size(); }

  private:
    ServerBytes& server_;
};

class FuzzConnector : public transfer::TConnector {
  public:
    explicit FuzzConnector(ServerBytes& server) : server_(server) {}

    std::unique_ptr<transfer::TConnection> Open(const std::string& host, uint16_t port) override {
        FUZZ_CHECK(host == "127.0.0.1" && port == 8080);
        ++server_.opened;
        return std::make_unique<FuzzConnection>(server_);
    }

  private:
    ServerBytes& server_;
};

// Counts the progress events and checks their order.
struct Progress {
    int begins = 0;
    int ends = 0;
    int32_t expected = 0;
    int32_t position = 0;
};

void Watch(transfer::THTTPClient& client, Progress& progress) {
    client.OnWorkBegin = [&progress](transfer::THTTPClient&, transfer::TWorkMode mode,
                                     int32_t expected) {
        FUZZ_CHECK(mode == transfer::TWorkMode::Read);
        FUZZ_CHECK(progress.begins == progress.ends);  // not nested at the outside
        FUZZ_CHECK(expected >= 0);
        ++progress.begins;
        progress.expected = expected;
        progress.position = 0;
    };
    client.OnWork = [&progress](transfer::THTTPClient&, transfer::TWorkMode, int32_t position) {
        FUZZ_CHECK(progress.begins == progress.ends + 1);
        FUZZ_CHECK(position > progress.position);
        progress.position = position;
    };
    client.OnWorkEnd = [&progress](transfer::THTTPClient&, transfer::TWorkMode) {
        FUZZ_CHECK(progress.begins == progress.ends + 1);
        ++progress.ends;
    };
}

// What a whole body means for the response that carried it.
void CheckBody(const transfer::THTTPResponse& response, int64_t written) {
    FUZZ_CHECK(response.body_bytes == written);
    const int code = response.code;
    const bool has_body = !((code >= 100 && code <= 199) || code == 204 || code == 304);
    if (has_body && response.content_length > 0 && !response.incomplete) {
        FUZZ_CHECK(written == response.content_length);
    }
    if (response.content_length >= 0 && !response.incomplete) {
        FUZZ_CHECK(written <= response.content_length);
    }
}

const char* const kUrls[] = {
    "http://127.0.0.1:8080/dir/list.txt",
    "file.bin",
    "../other/x.pak?v=1",
    "http://localhost:8080/a%20b/c",
};
const char* const kUrlWithCredentials = "http://user:pw@127.0.0.1:8080/dir/list.txt";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) {
        return 0;
    }
    ServerBytes server;
    server.data = std::string_view(reinterpret_cast<const char*>(data) + 5, size - 5);
    std::memcpy(server.pieces, data + 1, 4);
    const uint8_t mode = data[0];
    const int gets = 1 + (mode & 3);

    transfer::THTTPClient client(std::make_unique<FuzzConnector>(server));
    client.Clock = [] { return int64_t{1800000000}; };
    client.SetAllowCookies((mode & 4) != 0);
    if ((mode & 8) != 0) {
        client.SetProtocolVersion("1.0");
    }
    Progress progress;
    Watch(client, progress);

    const bool credentials = (mode & 64) != 0;
    for (int i = 0; i < gets; ++i) {
        const char* url = i == 0 && credentials ? kUrlWithCredentials : kUrls[i];
        const int way = ((mode >> 4) + i) % 3;
        const int requests_before = server.requests;
        const int with_credentials_before = server.with_credentials;
        try {
            if (way == 0) {
                const std::string body = client.Get(url);
                CheckBody(client.Response(), static_cast<int64_t>(body.size()));
            } else if (way == 1) {
                // The body goes after "kept", or over its last two bytes.
                const int64_t start = i % 2 == 0 ? 4 : 2;
                base::TMemoryStream buffer;
                buffer.WriteBuffer("kept");
                buffer.SetPosition(start);
                try {
                    client.Get(url, buffer);
                } catch (const base::Exception&) {
                    // On failure the buffer is exactly as it was.
                    FUZZ_CHECK(buffer.Size() == 4 && buffer.Position() == start);
                    FUZZ_CHECK(buffer.View() == "kept");
                    throw;
                }
                FUZZ_CHECK(buffer.View().substr(0, start) == std::string_view("kept", start));
                FUZZ_CHECK(buffer.Position() == start + client.Response().body_bytes);
                CheckBody(client.Response(), buffer.Position() - start);
            } else {
                base::TMemoryStream sink;
                client.GetToStream(url, sink);
                CheckBody(client.Response(), sink.Size());
            }
        } catch (const base::Exception&) {
            // Any failure the client reports is a fair answer to these bytes.
        }
        // Every way out of a body read ends its progress.
        FUZZ_CHECK(progress.begins == progress.ends);
        // Credentials go only with the answer to a challenge: at most once
        // per GET (twice counting the repetition on a dropped connection),
        // and never for a URL without them.
        const int sent = server.requests - requests_before;
        const int answered = server.with_credentials - with_credentials_before;
        FUZZ_CHECK(answered <= 2 && (answered == 0 || answered < sent));
        FUZZ_CHECK(answered == 0 || (credentials && i < 3));
        // The cookie store stays within its bounds.
        const auto& cookies = client.CookieManager().Cookies();
        FUZZ_CHECK(cookies.size() <= transfer::TCookieManager::kMaxCookies);
        size_t cookie_bytes = 0;
        for (const transfer::TCookie& c : cookies) {
            cookie_bytes += c.name.size() + c.value.size() + c.domain.size() + c.path.size();
        }
        FUZZ_CHECK(cookie_bytes <= transfer::TCookieManager::kMaxCookieBytes);
        // A body never takes more bytes than the server sent.
        FUZZ_CHECK(server.next <= server.data.size());
    }
    // Each connection but the first follows a closed one; the client cannot
    // open more than one per attempt and retries at most once per request.
    FUZZ_CHECK(server.opened <= 2 * gets);
    return 0;
}
