#pragma once

// The reporter's own network client for mailing reports: a line-oriented TCP
// client with deadlines and a transcript, the SMTP exchange on top of it, and
// the error both raise (also raised by the mail exchanger lookup).
//
// Every wait has a deadline: the connection attempt, each blocked send and
// each reply (the whole reply, however slowly its bytes arrive). A reply ends
// with its last line ("250 OK", not "250-..."), so nothing waits for more
// once the server has said all it will say.
//
// The transcript is what an error shows of the exchange: the connection,
// each command and each reply. It is kept within kTranscriptLimit bytes,
// passwords and the AUTH lines never enter it, and the data of a message is
// noted by its size only.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/exception.h"
#include "platform/socket.h"

namespace exceptions {

// A network failure while mailing a report: the message says what failed
// (with the system's text for a socket error, or the exchange with the
// server, passwords left out).
class EVivavaSocketError : public base::Exception {
  public:
    using Exception::Exception;
};

inline constexpr int kSocketTimeoutMs = 30000;
inline constexpr size_t kTranscriptLimit = 4096;
// The longest reply taken from a server; a longer one is an error.
inline constexpr size_t kReplyLimit = 64 * 1024;
// Text goes out in pieces of this size, with progress after each.
inline constexpr size_t kSendPiece = 1024;

// How a command appears in the transcript.
enum class TTranscriptAs {
    kText,    // as it is
    kSecret,  // "***": a user name or password
    kData,    // "<message of N bytes>": the data of a message
};

class TVivavaClientSocket {
  public:
    // Called with each error's message before it is raised.
    using TOnError = std::function<void(const std::string& message)>;
    // Called after each piece of text sent: the bytes sent so far and the
    // whole length.
    using TOnProgress = std::function<void(size_t position, size_t total)>;

    TVivavaClientSocket(std::string host, int timeout_ms, uint16_t port);
    virtual ~TVivavaClientSocket() = default;
    TVivavaClientSocket(const TVivavaClientSocket&) = delete;
    TVivavaClientSocket& operator=(const TVivavaClientSocket&) = delete;

    // Resolves the host and connects, waiting at most the time-out. Nothing
    // when already connected. A host that cannot be resolved fails before any
    // connection is tried: "Connection error: \"<system text>\"".
    virtual void Connect();
    // Closes the connection and empties the transcript.
    virtual void Close();
    bool Connected() const { return socket_.IsOpen(); }

    // Sends all of `text` in pieces of kSendPiece bytes, reporting progress
    // after each; a piece the server does not take within the time-out ends
    // the connection with "Error into \"send\": ...".
    void SendText(std::string_view text);
    // One complete reply, its lines as they came: lines are read until one
    // that does not continue the reply ("NNN-" continues it). Raises
    // "Socket timeout." when the reply is not complete within the time-out,
    // counted from the call.
    std::string ReadReply();

    const std::string& Transcript() const { return transcript_; }
    uint16_t Port() const { return port_; }

    TOnError onError;
    TOnProgress onProgress;
    // Errors end with a silent base::EAbort instead of EVivavaSocketError.
    bool abortOnError = false;

  protected:
    // Calls onError, then raises EAbort or EVivavaSocketError with `message`.
    [[noreturn]] void Raise(const std::string& message);
    // Adds to the transcript, keeping its start and its latest part within
    // kTranscriptLimit.
    void Note(std::string_view text);

  private:
    void NoteConnected(platform::Ipv4 address);

    std::string host_;
    uint16_t port_;
    int timeout_ms_;
    platform::TcpSocket socket_;
    std::string transcript_;
};

// The SMTP exchange: the greeting on connecting, then commands each checked
// against the reply codes that let it go on.
class TVivavaClientSMTP : public TVivavaClientSocket {
  public:
    using TVivavaClientSocket::TVivavaClientSocket;

    // Connects and expects the greeting 220; anything else raises
    // EVivavaSocketError with the transcript.
    void Connect() override;
    // Reads a reply; true when its code (the leading digits of its first
    // line) is one of `accepted`. A reply that does not start with a digit
    // raises EVivavaSocketError with the transcript.
    bool CheckReply(std::initializer_list<int> accepted);
    // Sends `text` (CR LF added unless it ends with it) and checks the reply;
    // a reply not accepted raises EVivavaSocketError with the transcript.
    // An empty text does nothing.
    void Command(std::string_view text, std::initializer_list<int> accepted,
                 TTranscriptAs as = TTranscriptAs::kText);
};

// The reply code of a reply: the number its leading digits make; -1 when it
// does not start with a digit.
int SmtpReplyCode(std::string_view reply);
// Whether `buffer` holds a complete reply: a line ended by LF that does not
// continue the reply. `lines_end` gets the length up to that line's end.
bool SmtpReplyComplete(std::string_view buffer, size_t* lines_end = nullptr);

}  // namespace exceptions
