#include "exceptions/socket_client.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace exceptions {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::string Quoted(int code) {
    return "\"" + platform::SocketErrorText(code) + "\"";
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The part of the transcript kept from its start (the connection and the
// greeting); the rest of the limit holds its latest part.
constexpr size_t kTranscriptHead = 1024;
constexpr char kCutMark[] = "...\r\n";

}  // namespace

int SmtpReplyCode(std::string_view reply) {
    int code = 0;
    size_t i = 0;
    while (i < reply.size() && IsDigit(reply[i]) && i < 9) {
        code = code * 10 + (reply[i] - '0');
        ++i;
    }
    return i == 0 ? -1 : code;
}

bool SmtpReplyComplete(std::string_view buffer, size_t* lines_end) {
    size_t start = 0;
    while (start < buffer.size()) {
        const size_t end = buffer.find('\n', start);
        if (end == std::string_view::npos) {
            return false;
        }
        const std::string_view line = buffer.substr(start, end - start);
        const bool continues = line.size() >= 4 && IsDigit(line[0]) && IsDigit(line[1]) &&
                               IsDigit(line[2]) && line[3] == '-';
        start = end + 1;
        if (!continues) {
            if (lines_end != nullptr) {
                *lines_end = start;
            }
            return true;
        }
    }
    return false;
}

TVivavaClientSocket::TVivavaClientSocket(std::string host, int timeout_ms, uint16_t port)
    : host_(std::move(host)), port_(port), timeout_ms_(std::max(timeout_ms, 1)) {}

void TVivavaClientSocket::Raise(const std::string& message) {
    if (onError) {
        onError(message);
    }
    if (abortOnError) {
        throw base::EAbort(message);
    }
    throw EVivavaSocketError(message);
}

void TVivavaClientSocket::Note(std::string_view text) {
    transcript_.append(text);
    if (transcript_.size() <= kTranscriptLimit) {
        return;
    }
    // Keep the head as it is and the latest bytes after a mark (an earlier
    // mark falls out with the middle).
    const size_t tail = kTranscriptLimit - kTranscriptHead - (sizeof(kCutMark) - 1);
    std::string kept = transcript_.substr(0, kTranscriptHead);
    kept += kCutMark;
    kept += transcript_.substr(transcript_.size() - tail);
    transcript_ = std::move(kept);
}

void TVivavaClientSocket::NoteConnected(platform::Ipv4 address) {
    transcript_ = "Connected to " + std::to_string((address >> 24) & 0xff) + "." +
                  std::to_string((address >> 16) & 0xff) + "." +
                  std::to_string((address >> 8) & 0xff) + "." + std::to_string(address & 0xff) +
                  " port " + std::to_string(port_) + "\r\n";
}

void TVivavaClientSocket::Connect() {
    if (Connected()) {
        return;
    }
    try {
        const platform::Ipv4 address = platform::ResolveIpv4(host_);
        socket_ = platform::TcpSocket::Connect(address, port_, timeout_ms_);
        NoteConnected(address);
    } catch (const platform::ESocketError& error) {
        socket_.Close();
        Raise("Connection error: " + Quoted(error.Code()));
    }
}

void TVivavaClientSocket::Close() {
    socket_.Close();
    transcript_.clear();
}

void TVivavaClientSocket::SendText(std::string_view text) {
    if (!Connected()) {
        Raise("Error into \"send\": " + Quoted(platform::kWsaNotConnected));
    }
    try {
        socket_.SetSendTimeout(timeout_ms_);
        for (size_t position = 0; position < text.size();) {
            const size_t piece = std::min(kSendPiece, text.size() - position);
            socket_.SendAll(text.data() + position, piece);
            position += piece;
            if (onProgress) {
                onProgress(position, text.size());
            }
        }
    } catch (const platform::ESocketError& error) {
        socket_.Close();
        Raise("Error into \"send\": " + Quoted(error.Code()));
    }
}

std::string TVivavaClientSocket::ReadReply() {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms_);
    std::string reply;
    char buffer[4096];
    size_t end = 0;
    while (!SmtpReplyComplete(reply, &end)) {
        if (!Connected()) {
            Raise("Error into \"recv\": " + Quoted(platform::kWsaNotConnected));
        }
        size_t got = 0;
        try {
            const int left = RemainingMs(deadline);
            if (left == 0 || !socket_.WaitReadable(left)) {
                Note(reply);
                Raise("Socket timeout.");
            }
            got = socket_.Receive(buffer, sizeof buffer);
        } catch (const platform::ESocketError& error) {
            socket_.Close();
            Raise("Error into \"recv\": " + Quoted(error.Code()));
        }
        if (got == 0) {
            // The server closed the connection: what it sent is its reply.
            socket_.Close();
            if (reply.empty()) {
                Raise("Error into \"recv\": " + Quoted(platform::kWsaConnReset));
            }
            end = reply.size();
            break;
        }
        reply.append(buffer, got);
        if (reply.size() > kReplyLimit) {
            Note(reply.substr(0, kTranscriptHead));
            Raise("The server's reply is longer than " + std::to_string(kReplyLimit) + " bytes.");
        }
    }
    // Bytes after the reply would belong to the next one; a server that
    // sends them before being asked is not following the exchange, and they
    // are left out.
    reply.resize(end);
    Note(reply);
    return reply;
}

void TVivavaClientSMTP::Connect() {
    TVivavaClientSocket::Connect();
    if (!CheckReply({220})) {
        Raise(Transcript());
    }
}

bool TVivavaClientSMTP::CheckReply(std::initializer_list<int> accepted) {
    const std::string reply = ReadReply();
    const int code = SmtpReplyCode(reply);
    if (code < 0) {
        Raise(Transcript());
    }
    return std::find(accepted.begin(), accepted.end(), code) != accepted.end();
}

void TVivavaClientSMTP::Command(std::string_view text, std::initializer_list<int> accepted,
                                TTranscriptAs as) {
    if (text.empty()) {
        return;
    }
    std::string line(text);
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) {
        line += "\r\n";
    }
    SendText(line);
    switch (as) {
        case TTranscriptAs::kText:
            Note(line);
            break;
        case TTranscriptAs::kSecret:
            Note("***\r\n");
            break;
        case TTranscriptAs::kData:
            Note("<message of " + std::to_string(line.size()) + " bytes>\r\n");
            break;
    }
    if (!CheckReply(accepted)) {
        Raise(Transcript());
    }
}

}  // namespace exceptions
