#pragma once

// A blocking HTTP/1.1 GET client: keep-alive, cookies, body framing by
// Content-Length, chunks or the connection's end, and progress events while
// a body is read. Every failure raises an exception whose message is meant
// for the user.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/exception.h"
#include "base/streams.h"
#include "transfer/cookies.h"
#include "transfer/headers.h"
#include "transfer/transport.h"

namespace transfer {

// A failure decided by the response's status: the message is the status
// line exactly as received.
class EHTTPProtocolException : public base::Exception {
  public:
    EHTTPProtocolException(std::string status_line, int code, std::string error_body)
        : Exception(std::move(status_line)), code_(code), error_body_(std::move(error_body)) {}
    int ErrorCode() const { return code_; }
    const std::string& ErrorMessage() const { return error_body_; }

  private:
    int code_;
    std::string error_body_;
};

// The server closed the connection where more was due.
class EConnClosedGracefully : public base::Exception {
  public:
    EConnClosedGracefully() : Exception("Connection Closed Gracefully.") {}
};

// Other failures of the exchange: overlong lines, too many headers, a scheme
// without a transport, a position past the 32-bit range.
class ETransferError : public base::Exception {
  public:
    using Exception::Exception;
};

enum class TWorkMode { Read, Write };

struct THTTPResponse {
    std::string status_line;
    int code = -1;  // second blank-separated token of the status line, -1 if none
    THeaderList headers;
    bool keep_alive = false;      // the connection may serve the next request
    int64_t content_length = -1;  // as announced; -1 without the header
    int64_t body_bytes = 0;       // bytes of the body delivered
    // The body ended before its announced end: the connection closed before
    // Content-Length bytes arrived, or a chunk-size line could not be read.
    // Such a connection is out of step and is not used again.
    bool incomplete = false;
};

class THTTPClient {
  public:
    static constexpr size_t kMaxLineLength = 16384;
    static constexpr size_t kReceivePiece = 32768;
    static constexpr size_t kMaxHeaderLines = 1000;
    static constexpr size_t kMaxHeaderBytes = 1 << 20;
    // Interim (1xx) answers to one request before the client gives up.
    static constexpr int kMaxInterimResponses = 10;
    static constexpr int kDefaultReadTimeout = 60000;
    // Redirects to HTTPS followed for one request.
    static constexpr int kMaxRedirects = 5;

    THTTPClient();
    explicit THTTPClient(std::unique_ptr<TConnector> connector);
    ~THTTPClient();
    THTTPClient(const THTTPClient&) = delete;
    THTTPClient& operator=(const THTTPClient&) = delete;

    // The whole body as 8-bit text, byte for byte.
    std::string Get(std::string_view url);
    // Appends the body to `buffer` at its position. On failure the buffer is
    // left as it was.
    void Get(std::string_view url, base::TMemoryStream& buffer);
    // Writes the body to `dest` as it arrives; on failure `dest` may hold the
    // part that arrived.
    void GetToStream(std::string_view url, base::TStream& dest);

    // True while a connection is open and the server has not closed it.
    bool Connected();
    void Disconnect();

    const THTTPResponse& Response() const { return response_; }
    TRequestHeaders& Request() { return request_; }
    TCookieManager& CookieManager() { return cookies_; }

    std::string ProtocolVersion() const { return protocol_version_; }
    void SetProtocolVersion(std::string version) { protocol_version_ = std::move(version); }
    bool AllowCookies() const { return allow_cookies_; }
    void SetAllowCookies(bool value) { allow_cookies_ = value; }
    // Longest wait for the next bytes of a response, in milliseconds; 0 waits
    // without limit. A silent server fails with "Connection timed out.".
    int ReadTimeout() const { return read_timeout_; }
    void SetReadTimeout(int ms) { read_timeout_ = ms; }
    // Seconds since 1970 (UTC), for cookie expiry; replaceable in tests.
    std::function<int64_t()> Clock;
    // When set, a wait for the server's next bytes goes in slices of
    // kWaitSlice milliseconds and this runs after each empty slice, on the
    // thread that reads: a window that shows progress from that thread keeps
    // its display current while the server is silent. The read time-out
    // still counts the whole wait.
    std::function<void()> OnWaiting;
    static constexpr int kWaitSlice = 25;

    // Progress of a body read: begin with the expected size (0 = unknown),
    // work with the running total, end on every way out of the read.
    std::function<void(THTTPClient&, TWorkMode, int32_t)> OnWorkBegin;
    std::function<void(THTTPClient&, TWorkMode, int32_t)> OnWork;
    std::function<void(THTTPClient&, TWorkMode)> OnWorkEnd;

    // The work state, nested begin/end pairs raising events at the outermost.
    void BeginWork(TWorkMode mode, int64_t expected);
    void DoWork(TWorkMode mode, int64_t count);
    void EndWork(TWorkMode mode);

  private:
    struct Target;
    class Reader;
    struct WorkState {
        int32_t level = 0;
        int32_t expected = 0;
        int32_t position = 0;
    };

    Target Prepare(std::string_view url);
    void OpenConnection(const Target& target);
    void Exchange(std::string_view url, base::TStream& dest);
    // The location of a redirect to follow: a 3xx answer (not 304) whose
    // Location leads to HTTPS. A redirect from HTTPS elsewhere raises
    // ETransferError; any other redirect gives nothing (it fails as a
    // status).
    std::optional<std::string> SecureRedirect(const Target& target) const;
    void SendAndReadHead(const Target& target, bool with_credentials);
    void SendRequest(const Target& target, bool with_credentials);
    void ReadHead(bool& any_byte);
    bool OffersBasic() const;
    bool AcceptsResponse() const;
    void EndExchange();
    void ReadBody(base::TStream& sink);
    int64_t ReadSequence(base::TStream& sink, int64_t expected);
    void ReadChunked(base::TStream& sink);
    void CloseConnection();
    int64_t Now() const;

    std::unique_ptr<TConnector> connector_;
    std::unique_ptr<TConnection> connection_;
    std::unique_ptr<Reader> reader_;
    std::string connection_host_;
    uint16_t connection_port_ = 0;
    bool connection_secure_ = false;
    bool reused_ = false;

    // The previous request, against which relative URLs are completed. The
    // credentials stay with relative URLs (they go to the same host).
    std::string prev_scheme_, prev_host_, prev_port_, prev_path_;
    std::string username_, password_;

    TRequestHeaders request_;
    THTTPResponse response_;
    TCookieManager cookies_;
    bool cookies_created_ = false;
    std::string protocol_version_ = "1.1";
    bool allow_cookies_ = true;
    int read_timeout_ = kDefaultReadTimeout;
    WorkState work_[2];
};

}  // namespace transfer
