#include "transfer/http_client.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <vector>

#include "base/base64.h"
#include "base/text.h"
#include "platform/socket.h"
#include "transfer/url.h"

namespace transfer {

// The request as completed against the previous one.
struct THTTPClient::Target {
    std::string scheme, host, port_text, path, document, params;
    uint16_t port = 0;
    // A user name and a non-empty password, from this URL or, for a
    // relative one, from the request it is completed against.
    std::string username, password;
    bool has_credentials = false;
};

// Buffered reading from the connection: lines for the head and chunk sizes,
// exact byte counts for bodies. Bytes are received in pieces of at most
// kReceivePiece; a line may be at most kMaxLineLength bytes long.
class THTTPClient::Reader {
  public:
    Reader(TConnection& connection, int timeout_ms, const std::function<void()>& on_waiting)
        : connection_(connection), timeout_ms_(timeout_ms), on_waiting_(on_waiting) {}

    bool Closed() const { return closed_; }
    size_t Buffered() const { return data_.size() - begin_; }
    // Bytes received over this connection so far.
    uint64_t TotalReceived() const { return total_received_; }

    // The next line without its LF and without a CR before it; false when the
    // connection closed before a whole line arrived.
    bool ReadLine(std::string& line) {
        size_t scanned = 0;
        for (;;) {
            const char* start = data_.data() + begin_;
            const size_t available = Buffered();
            const void* lf = scanned < available
                                 ? std::memchr(start + scanned, '\n', available - scanned)
                                 : nullptr;
            if (lf != nullptr) {
                size_t length = static_cast<const char*>(lf) - start;
                const size_t consumed = length + 1;
                if (length > 0 && start[length - 1] == '\r') {
                    --length;
                }
                if (length > kMaxLineLength) {
                    throw ETransferError("Max line length exceeded.");
                }
                line.assign(start, length);
                Consume(consumed);
                return true;
            }
            scanned = available;
            // Even with a CR still to come, this line is already too long.
            if (available > kMaxLineLength + 1) {
                throw ETransferError("Max line length exceeded.");
            }
            if (!Fill()) {
                // The connection ended inside the line: the part is useless.
                data_.clear();
                begin_ = 0;
                return false;
            }
        }
    }

    // Moves up to `count` buffered bytes into `sink`; returns how many.
    size_t TakeBuffered(base::TStream& sink, size_t count) {
        const size_t n = std::min(count, Buffered());
        if (n > 0) {
            sink.WriteBuffer(data_.data() + begin_, static_cast<int64_t>(n));
            Consume(n);
        }
        return n;
    }

    // Moves `count` bytes into `sink`, receiving as needed; returns fewer
    // only when the connection closed first.
    size_t Transfer(base::TStream& sink, size_t count) {
        size_t done = TakeBuffered(sink, count);
        if (done < count && scratch_.size() < kReceivePiece) {
            scratch_.resize(kReceivePiece);
        }
        while (done < count && !closed_) {
            const size_t n = Receive(scratch_.data(), std::min(count - done, kReceivePiece));
            if (n == 0) {
                break;
            }
            sink.WriteBuffer(scratch_.data(), static_cast<int64_t>(n));
            done += n;
        }
        return done;
    }

  private:
    size_t Receive(char* buffer, size_t max) {
        if (closed_) {
            return 0;
        }
        int timeout_ms = timeout_ms_;
        if (on_waiting_) {
            // Slices of the wait, each followed by the hook; the read
            // time-out still bounds the sum.
            const auto start = std::chrono::steady_clock::now();
            while (!connection_.WaitReadable(kWaitSlice)) {
                on_waiting_();
                if (timeout_ms_ > 0 && std::chrono::steady_clock::now() - start >=
                                           std::chrono::milliseconds(timeout_ms_)) {
                    throw platform::ESocketError(platform::kWsaTimedOut);
                }
            }
            timeout_ms = 0;
        }
        const size_t n = connection_.Receive(buffer, max, timeout_ms);
        if (n == 0) {
            closed_ = true;
        }
        total_received_ += n;
        return n;
    }

    // Appends one received piece to the buffer; false at the connection's end.
    bool Fill() {
        if (begin_ > 0 && begin_ >= data_.size() / 2) {
            data_.erase(0, begin_);
            begin_ = 0;
        }
        const size_t old_size = data_.size();
        data_.resize(old_size + kReceivePiece);
        const size_t n = Receive(data_.data() + old_size, kReceivePiece);
        data_.resize(old_size + n);
        return n > 0;
    }

    void Consume(size_t n) {
        begin_ += n;
        if (begin_ == data_.size()) {
            data_.clear();
            begin_ = 0;
        }
    }

    TConnection& connection_;
    int timeout_ms_;
    const std::function<void()>& on_waiting_;
    std::string data_;
    size_t begin_ = 0;
    std::vector<char> scratch_;
    bool closed_ = false;
    uint64_t total_received_ = 0;
};

namespace {

int ParseStatusCode(std::string_view status_line) {
    const std::vector<std::string> tokens = base::SplitBytes(status_line, ' ');
    // The second token; runs of blanks give empty tokens, which are skipped.
    int index = 0;
    for (const std::string& token : tokens) {
        if (token.empty()) {
            continue;
        }
        if (++index == 2) {
            if (token.size() > 9) {
                return -1;
            }
            int code = 0;
            for (char c : token) {
                if (c < '0' || c > '9') {
                    return -1;
                }
                code = code * 10 + (c - '0');
            }
            return code;
        }
    }
    return -1;
}

// Content-Length as a number; -1 when absent or not a plain decimal number.
int64_t ParseContentLength(const THeaderList& headers) {
    const std::optional<std::string> value = headers.Find("Content-Length");
    if (!value) {
        return -1;
    }
    const std::string text = base::Trim(*value);
    if (text.empty() || text.size() > 18) {
        return -1;
    }
    int64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        n = n * 10 + (c - '0');
    }
    return n;
}

// The size of a chunk-size line: the hexadecimal number before the first
// blank or ";" (chunk extensions are ignored). False when there is none.
bool ParseChunkSize(std::string_view line, uint64_t& size) {
    const size_t end = line.find_first_of(" ;\t");
    std::string_view digits = line.substr(0, end);
    if (digits.empty()) {
        return false;
    }
    size = 0;
    for (char c : digits) {
        int v;
        if (c >= '0' && c <= '9') {
            v = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            v = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            v = c - 'A' + 10;
        } else {
            return false;
        }
        // Saturates: anything this large fails as an overflow later.
        size = size >= (uint64_t{1} << 56) ? size : size * 16 + static_cast<uint64_t>(v);
    }
    return true;
}

bool IsHttps(std::string_view scheme) {
    return SameText(scheme, "https");
}

// A socket error that means the server dropped the connection (as opposed
// to a time-out, a refusal or a local fault).
bool IsDropped(const platform::ESocketError& e) {
    return e.Code() == 10052 || e.Code() == 10053 || e.Code() == platform::kWsaConnReset;
}

}  // namespace

THTTPClient::THTTPClient() : THTTPClient(MakeSocketConnector()) {}

THTTPClient::THTTPClient(std::unique_ptr<TConnector> connector) : connector_(std::move(connector)) {
    request_.accept = "text/html, */*";
    request_.user_agent = "Mozilla/3.0 (compatible; Update Client)";
}

THTTPClient::~THTTPClient() = default;

int64_t THTTPClient::Now() const {
    if (Clock) {
        return Clock();
    }
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void THTTPClient::BeginWork(TWorkMode mode, int64_t expected) {
    WorkState& w = work_[static_cast<int>(mode)];
    if (w.level == 0) {
        if (expected > INT32_MAX) {
            throw ETransferError("Integer overflow");
        }
        w.expected = static_cast<int32_t>(expected);
        w.position = 0;
        if (OnWorkBegin) {
            ++w.level;  // an error from the handler still owes the end event
            try {
                OnWorkBegin(*this, mode, w.expected);
            } catch (...) {
                EndWork(mode);
                throw;
            }
            return;
        }
    }
    ++w.level;
}

void THTTPClient::DoWork(TWorkMode mode, int64_t count) {
    WorkState& w = work_[static_cast<int>(mode)];
    if (w.level <= 0) {
        return;
    }
    if (count > INT32_MAX - static_cast<int64_t>(w.position)) {
        throw ETransferError("Integer overflow");
    }
    w.position += static_cast<int32_t>(count);
    if (OnWork) {
        OnWork(*this, mode, w.position);
    }
}

void THTTPClient::EndWork(TWorkMode mode) {
    WorkState& w = work_[static_cast<int>(mode)];
    if (w.level <= 0) {
        return;
    }
    // The level drops first, so that a handler error leaves a clean state.
    const bool outermost = w.level == 1;
    --w.level;
    if (outermost && OnWorkEnd) {
        OnWorkEnd(*this, mode);
    }
}

THTTPClient::Target THTTPClient::Prepare(std::string_view url) {
    const TUri uri = ParseUri(url);
    Target t;
    t.path =
        !uri.path.empty() && uri.path.front() == '/' ? uri.path : JoinPath(prev_path_, uri.path);
    t.document = uri.document;
    t.params = uri.params;
    t.host = uri.host.empty() ? prev_host_ : uri.host;
    if (!uri.scheme.empty()) {
        t.scheme = uri.scheme;
    } else {
        t.scheme = IsHttps(prev_scheme_) ? "https" : "http";
    }
    if (!uri.port.empty()) {
        t.port_text = uri.port;
    } else if (SameText(uri.scheme, "http")) {
        t.port_text = "80";
    } else if (IsHttps(uri.scheme)) {
        t.port_text = "443";
    } else {
        t.port_text = prev_port_;
    }
    if (t.port_text.empty()) {
        throw ETransferError("");
    }
    if (!uri.host.empty()) {
        username_ = uri.username;
        password_ = uri.password;
    }
    t.username = username_;
    t.password = password_;
    t.has_credentials = !t.username.empty() && !t.password.empty();

    prev_scheme_ = t.scheme;
    prev_host_ = t.host;
    prev_port_ = t.port_text;
    prev_path_ = t.path;

    unsigned long port = 0;
    bool port_ok = t.port_text.size() <= 5;
    for (char c : t.port_text) {
        port_ok = port_ok && c >= '0' && c <= '9';
        port = port * 10 + static_cast<unsigned long>(c - '0');
    }
    if (!port_ok || port == 0 || port > 65535) {
        throw platform::ESocketError(10022);  // "Invalid argument."
    }
    t.port = static_cast<uint16_t>(port);
    return t;
}

void THTTPClient::CloseConnection() {
    reader_.reset();
    connection_.reset();
    reused_ = false;
}

bool THTTPClient::Connected() {
    return connection_ && !connection_->PeerClosed();
}

void THTTPClient::Disconnect() {
    CloseConnection();
}

void THTTPClient::OpenConnection(const Target& t) {
    const bool secure = IsHttps(t.scheme);
    if (connection_ && (!SameText(connection_host_, t.host) || connection_port_ != t.port ||
                        connection_secure_ != secure)) {
        CloseConnection();
    }
    if (connection_ &&
        (!response_.keep_alive || (reader_ && reader_->Closed()) || connection_->PeerClosed())) {
        CloseConnection();
    }
    if (connection_) {
        reused_ = true;
        return;
    }
    // A secure connection names the host as the URL does: its certificate
    // is checked against that name.
    connection_ =
        secure ? connector_->OpenSecure(t.host, t.port)
               : connector_->Open(SameText(t.host, "localhost") ? "127.0.0.1" : t.host, t.port);
    connection_host_ = t.host;
    connection_port_ = t.port;
    connection_secure_ = secure;
    reader_ = std::make_unique<Reader>(*connection_, read_timeout_, OnWaiting);
    reused_ = false;
}

void THTTPClient::SendRequest(const Target& t, bool with_credentials) {
    if (!ContainsText(request_.accept_encoding, "identity")) {
        request_.accept_encoding += request_.accept_encoding.empty() ? "identity" : ", identity";
    }
    TRequestHeaders headers = request_;
    headers.host = t.host.find(':') != std::string::npos ? "[" + t.host + "]" : t.host;
    if (t.port_text != (IsHttps(t.scheme) ? "443" : "80")) {
        headers.host += ":" + t.port_text;
    }
    if (cookies_created_ && allow_cookies_) {
        cookies_.Expire(Now());
        headers.cookie = cookies_.HeaderFor(t.host, t.path + t.document, IsHttps(t.scheme));
    }
    if (with_credentials) {
        headers.authorization = "Basic " + base::Base64(t.username + ":" + t.password);
    }
    std::string bytes =
        "GET " + t.path + t.document + t.params + " HTTP/" + protocol_version_ + "\r\n";
    for (const std::string& line : headers.Lines(protocol_version_)) {
        for (const std::string& folded : FoldHeaderLine(line)) {
            bytes += folded;
            bytes += "\r\n";
        }
    }
    bytes += "\r\n";
    connection_->Send(bytes);
}

void THTTPClient::ReadHead(bool& any_byte) {
    for (int interim = 0;; ++interim) {
        if (interim > kMaxInterimResponses) {
            throw ETransferError("Too many interim responses.");
        }
        response_ = THTTPResponse();
        std::string line;
        const uint64_t received = reader_->TotalReceived();
        const bool had_buffered = reader_->Buffered() > 0;
        if (!reader_->ReadLine(line)) {
            any_byte = any_byte || had_buffered || reader_->TotalReceived() != received;
            throw EConnClosedGracefully();
        }
        any_byte = true;
        response_.status_line = line;
        response_.code = ParseStatusCode(line);

        size_t header_bytes = 0;
        while (reader_->ReadLine(line)) {
            if (line.empty()) {
                break;
            }
            header_bytes += line.size();
            if (response_.headers.Count() >= kMaxHeaderLines || header_bytes > kMaxHeaderBytes) {
                throw ETransferError("Response header too large.");
            }
            if (line.front() == ' ' || line.front() == '\t') {
                response_.headers.Continue(line);
                continue;
            }
            const size_t colon = line.find(':');
            std::string name = base::Trim(std::string_view(line).substr(0, colon));
            std::string value =
                colon == std::string::npos ? std::string() : base::Trim(line.substr(colon + 1));
            response_.headers.Add(std::move(name), std::move(value));
        }

        if (!cookies_created_) {
            cookies_created_ = true;
        }
        if (allow_cookies_) {
            const int64_t now = Now();
            for (const char* name : {"Set-cookie", "Set-cookie2"}) {
                for (const std::string& value : response_.headers.All(name)) {
                    cookies_.Store(value, connection_host_, now);
                }
            }
        }
        // Interim answers (100 Continue, 102, 103 Early Hints, ...) come
        // before the real one, which follows on the same connection. Only a
        // switch of protocols (101) ends the exchange.
        if (response_.code < 100 || response_.code > 199 || response_.code == 101) {
            break;
        }
    }
    auto is_close = [this](const char* name) {
        return SameText(base::Trim(response_.headers.Value(name)), "close");
    };
    // After a switch of protocols the connection no longer speaks HTTP.
    response_.keep_alive = !reader_->Closed() && response_.code != 101 && !is_close("Connection") &&
                           !is_close("Proxy-Connection");
    response_.content_length = ParseContentLength(response_.headers);
}

// True when a WWW-Authenticate header offers the Basic scheme: a challenge
// ("Basic", "Basic realm=...") at the start of a value or after a comma.
bool THTTPClient::OffersBasic() const {
    for (const std::string& value : response_.headers.All("WWW-Authenticate")) {
        for (const std::string& part : base::SplitBytes(value, ',')) {
            const std::string challenge = base::Trim(part);
            const size_t end = challenge.find_first_of(" \t");
            if (SameText(std::string_view(challenge).substr(0, end), "Basic")) {
                return true;
            }
        }
    }
    return false;
}

// Success is a 2xx answer without a Location header; everything else
// (redirects, 304, 401, 407, other 4xx and 5xx, unparsable status lines)
// fails with its status line.
bool THTTPClient::AcceptsResponse() const {
    const int code = response_.code;
    return code >= 200 && code <= 299 && !response_.headers.Has("Location");
}

int64_t THTTPClient::ReadSequence(base::TStream& sink, int64_t expected) {
    BeginWork(TWorkMode::Read, expected < 0 ? 0 : expected);
    int64_t total = 0;
    try {
        const bool until_close = expected < 0;
        int64_t remaining = until_close ? INT64_MAX : expected;
        // Bytes that came with the head (or the chunk-size line) are
        // reported at once.
        const size_t first = reader_->TakeBuffered(
            sink, static_cast<size_t>(std::min<int64_t>(remaining, INT32_MAX)));
        if (first > 0) {
            total += static_cast<int64_t>(first);
            remaining -= static_cast<int64_t>(first);
            DoWork(TWorkMode::Read, static_cast<int64_t>(first));
        }
        const int64_t piece = std::min<int64_t>(remaining, kReceivePiece);
        while (remaining > 0) {
            const int64_t want = std::min(remaining, piece);
            const size_t got = reader_->Transfer(sink, static_cast<size_t>(want));
            if (got > 0) {
                total += static_cast<int64_t>(got);
                DoWork(TWorkMode::Read, static_cast<int64_t>(got));
            }
            if (static_cast<int64_t>(got) < want) {
                break;  // the connection closed
            }
            remaining -= want;
        }
    } catch (...) {
        try {
            EndWork(TWorkMode::Read);
        } catch (...) {
            // The first error is the one to report.
        }
        throw;
    }
    EndWork(TWorkMode::Read);
    return total;
}

void THTTPClient::ReadChunked(base::TStream& sink) {
    std::string line;
    for (;;) {
        if (!reader_->ReadLine(line)) {
            throw EConnClosedGracefully();
        }
        uint64_t size = 0;
        if (!ParseChunkSize(line, size)) {
            // Not a chunk size: the body ends here, and it is not whole.
            response_.incomplete = true;
            return;
        }
        if (size == 0) {
            // Trailer lines up to the empty line, dropped, within the limits
            // of a head. A server that closes here has sent everything.
            size_t lines = 0, bytes = 0;
            while (reader_->ReadLine(line) && !line.empty()) {
                bytes += line.size();
                if (++lines > kMaxHeaderLines || bytes > kMaxHeaderBytes) {
                    throw ETransferError("Response header too large.");
                }
            }
            return;
        }
        const int64_t got =
            ReadSequence(sink, size > INT64_MAX / 2 ? INT64_MAX / 2 : static_cast<int64_t>(size));
        response_.body_bytes += got;
        if (static_cast<uint64_t>(got) < size || !reader_->ReadLine(line)) {
            throw EConnClosedGracefully();
        }
    }
}

void THTTPClient::ReadBody(base::TStream& sink) {
    const int code = response_.code;
    // Informational, 204 and 304 responses never carry a body.
    if ((code >= 100 && code <= 199) || code == 204 || code == 304) {
        return;
    }
    const int64_t length = response_.content_length;
    if (length > 0) {
        response_.body_bytes = ReadSequence(sink, length);
        response_.incomplete = response_.body_bytes < length;
    } else if (length == 0) {
        return;
    } else if (response_.headers.Value("Transfer-Encoding").find("chunked") != std::string::npos) {
        ReadChunked(sink);
    } else {
        response_.body_bytes = ReadSequence(sink, -1);
    }
}

// Sends the request and reads the answer's head. A kept-alive connection
// that the server dropped just now (closed or reset before any byte of the
// answer) gets the request once more on a new connection: a GET can be
// repeated safely. A time-out is no such drop: the server took the request.
void THTTPClient::SendAndReadHead(const Target& target, bool with_credentials) {
    for (int attempt = 0;; ++attempt) {
        bool any_byte = false;
        try {
            SendRequest(target, with_credentials);
            ReadHead(any_byte);
            return;
        } catch (const EConnClosedGracefully&) {
            if (!reused_ || any_byte || attempt > 0) {
                throw;
            }
        } catch (const platform::ESocketError& e) {
            if (!reused_ || any_byte || attempt > 0 || !IsDropped(e)) {
                throw;
            }
        }
        CloseConnection();
        OpenConnection(target);
    }
}

// After a body: a connection that the server closed, that it asked to close,
// or whose body ended out of step is closed.
void THTTPClient::EndExchange() {
    if (reader_->Closed() || !response_.keep_alive || response_.incomplete) {
        response_.keep_alive = false;
        CloseConnection();
    }
}

std::optional<std::string> THTTPClient::SecureRedirect(const Target& target) const {
    const int code = response_.code;
    const std::optional<std::string> location = response_.headers.Find("Location");
    if (code < 300 || code > 399 || code == 304 || !location || location->empty()) {
        return std::nullopt;
    }
    const std::string scheme = ParseUri(*location).scheme;
    const bool to_secure = scheme.empty() ? IsHttps(target.scheme) : IsHttps(scheme);
    if (IsHttps(target.scheme) && !to_secure) {
        throw ETransferError("Redirect from HTTPS to an insecure location refused: " + *location);
    }
    if (!to_secure) {
        return std::nullopt;
    }
    return location;
}

void THTTPClient::Exchange(std::string_view url, base::TStream& dest) {
    std::string next(url);
    for (int redirects = 0;; ++redirects) {
        const Target target = Prepare(next);
        OpenConnection(target);
        try {
            SendAndReadHead(target, false);
            // A Basic challenge is answered once, with the URL's credentials.
            if (response_.code == 401 && target.has_credentials && OffersBasic()) {
                base::TForwardStream challenge_body;  // kept nowhere
                ReadBody(challenge_body);
                EndExchange();
                OpenConnection(target);
                SendAndReadHead(target, true);
            }
            if (AcceptsResponse()) {
                ReadBody(dest);
            } else {
                base::TMemoryStream error_body;
                ReadBody(error_body);
                EndExchange();
                // A redirect to HTTPS is followed; any other fails as it did.
                if (const std::optional<std::string> location = SecureRedirect(target)) {
                    if (redirects >= kMaxRedirects) {
                        throw ETransferError("Too many redirects.");
                    }
                    next = *location;
                    continue;
                }
                throw EHTTPProtocolException(response_.status_line, response_.code,
                                             error_body.ToString());
            }
        } catch (const EHTTPProtocolException&) {
            throw;
        } catch (...) {
            response_.keep_alive = false;
            CloseConnection();
            throw;
        }
        EndExchange();
        return;
    }
}

void THTTPClient::GetToStream(std::string_view url, base::TStream& dest) {
    Exchange(url, dest);
}

void THTTPClient::Get(std::string_view url, base::TMemoryStream& buffer) {
    const int64_t position = buffer.Position();
    const int64_t size = buffer.Size();
    // The bytes that the body may overwrite, to put back after a failure.
    const std::string tail = position < size
                                 ? std::string(buffer.View().substr(static_cast<size_t>(position)))
                                 : std::string();
    try {
        Exchange(url, buffer);
    } catch (...) {
        buffer.SetSize(size);
        if (!tail.empty()) {
            std::copy(tail.begin(), tail.end(), buffer.Memory() + position);
        }
        buffer.SetPosition(position);
        throw;
    }
}

std::string THTTPClient::Get(std::string_view url) {
    base::TMemoryStream body;
    Exchange(url, body);
    return body.ToString();
}

}  // namespace transfer
