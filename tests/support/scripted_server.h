#pragma once

// A TCP server on 127.0.0.1 for tests: each accepted connection plays a
// script of exact reads, sends, pauses and closes, so a client can be shown
// any byte sequence and any timing a real server might produce.
//
// Connections are served one after the other, in the order they are
// accepted, on one server thread: connection i plays scripts[i] to its end
// before connection i + 1 is accepted. A client under test is
// single-threaded, so this keeps what the server records in a fixed order.
// Connections beyond the scripts are accepted and closed at once.
//
// Every wait is bounded: each read step by its time limit (10 s unless
// Limit() says otherwise), each send by a send time-out of the same length,
// and the destructor stops a read or a pause within about 50 ms (a send that
// is blocked ends with its time-out). A step that cannot go on (time-out,
// unexpected close, send failure) records an error and what it had read, the
// connection is closed and the server goes on with the next connection.
//
// When a script ends without Close() or Reset(), the connection is closed
// as by Close(). Note that a socket closed while bytes it has not read are
// still waiting is answered with a reset by the system, not the orderly end
// of stream: read what the client sends before closing when the client must
// see an orderly close.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace test_support {

// What the server does on one accepted connection, step by step.
class Script {
  public:
    // Reads up to and including the first "\r\n\r\n" (an HTTP request head);
    // recorded in Received() and Requests().
    Script& ReadRequest();
    // Reads exactly n bytes (a request body); recorded.
    Script& ReadBytes(size_t n);
    // Reads up to and including the first "\n"; recorded.
    Script& ReadLine();
    // Reads up to and including the first `terminator` (the end of a mail's
    // data, "\r\n.\r\n"); recorded.
    Script& ReadThrough(std::string terminator);
    // Sends the bytes with one send call.
    Script& Send(std::string bytes);
    // Sends the bytes in pieces of `piece` bytes with a pause after each
    // piece but the last.
    Script& SendSlowly(std::string bytes, size_t piece, int pause_ms);
    Script& Pause(int ms);
    // Half close: the client sees the end of the stream, the server can
    // still read.
    Script& ShutdownSend();
    // Orderly close.
    Script& Close();
    // Abortive close (SO_LINGER 0): the client sees a reset (10054). Under
    // Wine a client that is not inside a receive when the reset arrives reads
    // the orderly end of stream instead (Wine loses the error).
    Script& Reset();
    // Reads until the client closes (orderly or by a reset), at most max_ms;
    // what arrives meanwhile is recorded as one entry. Not closing in time
    // is an error.
    Script& WaitForPeerClose(int max_ms);
    // Time limit for each of the following steps that wait on the client:
    // every read, and a send that waits for the client to take data
    // (default 10 s).
    Script& Limit(int ms);

  private:
    friend class ScriptedServer;
    enum class Kind {
        kReadRequest,
        kReadBytes,
        kReadLine,
        kReadThrough,
        kSend,
        kSendSlowly,
        kPause,
        kShutdownSend,
        kClose,
        kReset,
        kWaitForPeerClose,
        kLimit,
    };
    struct Step {
        Kind kind;
        std::string bytes;
        size_t count = 0;
        int ms = 0;
    };
    Script& Add(Step step);
    std::vector<Step> steps_;
};

class ScriptedServer {
  public:
    // Listens on 127.0.0.1 at a free port and starts serving: connection i
    // plays scripts[i].
    explicit ScriptedServer(std::vector<Script> scripts);
    // Stops the server thread and joins it; a step in progress is abandoned.
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by path.
    std::string Url(std::string_view path) const;

    // Connections accepted so far (including those beyond the scripts).
    int Connections() const;
    // Connections fully handled so far: their script has ended and the
    // socket is closed.
    int Finished() const;
    // Every ReadRequest result, over all connections, in order.
    std::vector<std::string> Requests() const;
    // Every recorded read of one connection, in order (empty for a
    // connection without a script or not accepted yet).
    std::vector<std::string> Received(int connection) const;
    // Bounded waits; false when the count was not reached within max_ms.
    bool WaitForConnections(int n, int max_ms) const;
    bool WaitForFinished(int n, int max_ms) const;
    // The first failure inside the server ("connection 0, step 1
    // (ReadRequest): ..."), empty if there was none.
    std::string Error() const;

  private:
    class Connection;
    void Run();
    void Serve(int index, platform::TcpSocket socket);
    void Play(int index, const Script::Step& step, Connection& connection);
    void RecordError(const std::string& error);
    void RecordRead(int index, std::string bytes, bool is_request);

    std::vector<Script> scripts_;
    platform::TcpSocket listener_;
    uint16_t port_ = 0;

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int connections_ = 0;
    int finished_ = 0;
    std::vector<std::string> requests_;
    std::vector<std::vector<std::string>> received_;
    std::string error_;

    std::thread thread_;  // last: starts when everything above is ready
};

}  // namespace test_support
