#include "support/scripted_server.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

namespace test_support {

namespace {

using Clock = std::chrono::steady_clock;

constexpr platform::Ipv4 kLoopback = 0x7f000001;
// Longest single wait of the server thread before it looks at the stop flag.
constexpr int kSliceMs = 50;
constexpr int kDefaultLimitMs = 10000;
// ReadRequest, ReadLine and ReadThrough give up when their terminator is not in this many bytes.
constexpr size_t kMaxUnterminated = 1 << 20;
constexpr size_t kReadChunk = 64 * 1024;

// A step that cannot go on; the text becomes the server's error.
struct StepFailed {
    std::string message;
};

// The server is being destroyed: the script is abandoned without an error.
struct Stopped {};

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, 1 << 30)) : 0;
}

}  // namespace

// ---- Script

Script& Script::Add(Step step) {
    steps_.push_back(std::move(step));
    return *this;
}

Script& Script::ReadRequest() {
    return Add({Kind::kReadRequest, {}, 0, 0});
}
Script& Script::ReadBytes(size_t n) {
    return Add({Kind::kReadBytes, {}, n, 0});
}
Script& Script::ReadLine() {
    return Add({Kind::kReadLine, {}, 0, 0});
}
Script& Script::ReadThrough(std::string terminator) {
    return Add({Kind::kReadThrough, std::move(terminator), 0, 0});
}
Script& Script::Send(std::string bytes) {
    return Add({Kind::kSend, std::move(bytes), 0, 0});
}
Script& Script::SendSlowly(std::string bytes, size_t piece, int pause_ms) {
    return Add({Kind::kSendSlowly, std::move(bytes), std::max<size_t>(piece, 1), pause_ms});
}
Script& Script::Pause(int ms) {
    return Add({Kind::kPause, {}, 0, ms});
}
Script& Script::ShutdownSend() {
    return Add({Kind::kShutdownSend, {}, 0, 0});
}
Script& Script::Close() {
    return Add({Kind::kClose, {}, 0, 0});
}
Script& Script::Reset() {
    return Add({Kind::kReset, {}, 0, 0});
}
Script& Script::WaitForPeerClose(int max_ms) {
    return Add({Kind::kWaitForPeerClose, {}, 0, max_ms});
}
Script& Script::Limit(int ms) {
    return Add({Kind::kLimit, {}, 0, ms});
}

// ---- One connection being served

class ScriptedServer::Connection {
  public:
    Connection(platform::TcpSocket socket, const std::atomic<bool>& stop, std::vector<char>& chunk)
        : socket(std::move(socket)), stop_(stop), chunk_(chunk) {}

    // Sleeps up to the deadline in slices, leaving early when the server stops.
    void SleepUntil(Clock::time_point deadline) const {
        for (int left = MsLeft(deadline); left > 0; left = MsLeft(deadline)) {
            CheckStop();
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, kSliceMs)));
        }
        CheckStop();
    }

    // Waits until the socket is readable or the deadline passes. The loop
    // runs at most once per slice of the time that is left.
    bool WaitReadable(Clock::time_point deadline) {
        for (;;) {
            CheckStop();
            const int left = MsLeft(deadline);
            if (socket.WaitReadable(std::min(left, kSliceMs))) {
                return true;
            }
            if (left <= kSliceMs) {
                return false;
            }
        }
    }

    // Appends what arrives next to `pending`; false when the client has
    // closed its side. Fails when nothing arrives before the deadline.
    bool ReadMore(Clock::time_point deadline) {
        if (!WaitReadable(deadline)) {
            throw StepFailed{"nothing received within " + std::to_string(limit_ms) + " ms"};
        }
        const size_t n = socket.Receive(chunk_.data(), chunk_.size());
        pending.append(chunk_.data(), n);
        return n > 0;
    }

    // Reads up to and including `terminator` and returns those bytes.
    std::string ReadThrough(std::string_view terminator) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
        size_t searched = 0;
        for (;;) {  // each round adds at least one byte or ends the step
            const size_t from =
                searched >= terminator.size() ? searched - terminator.size() + 1 : 0;
            const size_t at = pending.find(terminator, from);
            if (at != std::string::npos) {
                return Take(at + terminator.size());
            }
            searched = pending.size();
            if (pending.size() > kMaxUnterminated) {
                throw StepFailed{"no end found in the first " + std::to_string(pending.size()) +
                                 " bytes"};
            }
            if (!ReadMore(deadline)) {
                throw StepFailed{"the client closed the connection after " +
                                 std::to_string(pending.size()) + " bytes"};
            }
        }
    }

    std::string ReadExactly(size_t n) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
        while (pending.size() < n) {  // each round adds at least one byte or ends the step
            if (!ReadMore(deadline)) {
                throw StepFailed{"the client closed the connection after " +
                                 std::to_string(pending.size()) + " of " + std::to_string(n) +
                                 " bytes"};
            }
        }
        return Take(n);
    }

    // Reads until the client closes or resets the connection; returns what came.
    std::string ReadToClose(int max_ms) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(max_ms);
        for (;;) {  // each round adds at least one byte or ends the step
            if (!WaitReadable(deadline)) {
                throw StepFailed{"the client did not close within " + std::to_string(max_ms) +
                                 " ms"};
            }
            try {
                const size_t n = socket.Receive(chunk_.data(), chunk_.size());
                if (n == 0) {
                    break;
                }
                pending.append(chunk_.data(), n);
            } catch (const platform::ESocketError&) {
                break;  // a reset is a close too
            }
        }
        return Take(pending.size());
    }

    std::string Take(size_t n) {
        std::string taken = pending.substr(0, n);
        pending.erase(0, n);
        return taken;
    }

    void CheckStop() const {
        if (stop_) {
            throw Stopped{};
        }
    }

    platform::TcpSocket socket;
    std::string pending;  // received, not yet taken by a step
    int limit_ms = kDefaultLimitMs;

  private:
    const std::atomic<bool>& stop_;
    std::vector<char>& chunk_;
};

// ---- Server

ScriptedServer::ScriptedServer(std::vector<Script> scripts)
    : scripts_(std::move(scripts)),
      listener_(platform::TcpSocket::Listen(kLoopback, 0)),
      port_(listener_.LocalPort()),
      received_(scripts_.size()),
      thread_([this] { Run(); }) {}

ScriptedServer::~ScriptedServer() {
    stop_ = true;
    // A connection of its own wakes a server thread that waits for clients,
    // so it need not finish its slice; a thread inside a script sees the flag
    // at its next slice.
    try {
        platform::TcpSocket wake = platform::TcpSocket::Connect(kLoopback, port_);
    } catch (const platform::ESocketError&) {
        // The slice ends the wait all the same.
    }
    thread_.join();
}

std::string ScriptedServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

int ScriptedServer::Connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

int ScriptedServer::Finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

std::vector<std::string> ScriptedServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> ScriptedServer::Received(int connection) const {
    std::lock_guard lock(mutex_);
    if (connection < 0 || static_cast<size_t>(connection) >= received_.size()) {
        return {};
    }
    return received_[static_cast<size_t>(connection)];
}

bool ScriptedServer::WaitForConnections(int n, int max_ms) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(max_ms),
                             [&] { return connections_ >= n; });
}

bool ScriptedServer::WaitForFinished(int n, int max_ms) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(max_ms),
                             [&] { return finished_ >= n; });
}

std::string ScriptedServer::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void ScriptedServer::RecordError(const std::string& error) {
    std::lock_guard lock(mutex_);
    if (error_.empty()) {
        error_ = error;
    }
}

void ScriptedServer::RecordRead(int index, std::string bytes, bool is_request) {
    std::lock_guard lock(mutex_);
    if (is_request) {
        requests_.push_back(bytes);
    }
    received_[static_cast<size_t>(index)].push_back(std::move(bytes));
}

void ScriptedServer::Run() {
    // Runs until the destructor sets the stop flag; each round waits at most
    // one slice for a client.
    while (!stop_) {
        platform::TcpSocket socket;
        try {
            if (!listener_.WaitReadable(kSliceMs) || stop_) {
                continue;
            }
            socket = listener_.Accept();
        } catch (const platform::ESocketError& e) {
            RecordError("accepting: " + e.Message());
            std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
            continue;
        }
        int index;
        {
            std::lock_guard lock(mutex_);
            index = connections_++;
        }
        changed_.notify_all();
        if (static_cast<size_t>(index) < scripts_.size()) {
            Serve(index, std::move(socket));
        } else {
            socket.Close();
        }
        {
            std::lock_guard lock(mutex_);
            ++finished_;
        }
        changed_.notify_all();
    }
}

void ScriptedServer::Serve(int index, platform::TcpSocket socket) {
    std::vector<char> chunk(kReadChunk);
    Connection connection(std::move(socket), stop_, chunk);
    const std::vector<Script::Step>& steps = scripts_[static_cast<size_t>(index)].steps_;
    static constexpr const char* kStepNames[] = {
        "ReadRequest",  "ReadBytes", "ReadLine", "ReadThrough",      "Send",  "SendSlowly", "Pause",
        "ShutdownSend", "Close",     "Reset",    "WaitForPeerClose", "Limit",
    };
    try {
        // A send that the client does not take ends like a read that gets nothing.
        connection.socket.SetSendTimeout(connection.limit_ms);
    } catch (const platform::ESocketError& e) {
        RecordError("connection " + std::to_string(index) + ": " + e.Message());
        return;
    }
    for (size_t i = 0; i < steps.size(); ++i) {
        const Script::Step& step = steps[i];
        std::string failure;
        try {
            connection.CheckStop();
            Play(index, step, connection);
        } catch (const Stopped&) {
            return;  // the server is going away; nobody looks at the result
        } catch (const StepFailed& e) {
            failure = e.message;
        } catch (const std::exception& e) {
            failure = e.what();
        }
        if (!failure.empty()) {
            if (!connection.pending.empty()) {
                RecordRead(index, connection.Take(connection.pending.size()), false);
            }
            RecordError("connection " + std::to_string(index) + ", step " + std::to_string(i) +
                        " (" + kStepNames[static_cast<int>(step.kind)] + "): " + failure);
            return;  // the socket closes with the connection
        }
    }
}

void ScriptedServer::Play(int index, const Script::Step& step, Connection& connection) {
    using Kind = Script::Kind;
    if (step.kind == Kind::kLimit) {
        connection.limit_ms = std::max(step.ms, 1);
        if (connection.socket.IsOpen()) {
            connection.socket.SetSendTimeout(connection.limit_ms);
        }
        return;
    }
    if (step.kind == Kind::kPause) {
        connection.SleepUntil(Clock::now() + std::chrono::milliseconds(step.ms));
        return;
    }
    if (!connection.socket.IsOpen()) {
        throw StepFailed{"the connection is already closed"};
    }
    switch (step.kind) {
        case Kind::kReadRequest:
            RecordRead(index, connection.ReadThrough("\r\n\r\n"), true);
            break;
        case Kind::kReadBytes:
            RecordRead(index, connection.ReadExactly(step.count), false);
            break;
        case Kind::kReadLine:
            RecordRead(index, connection.ReadThrough("\n"), false);
            break;
        case Kind::kReadThrough:
            RecordRead(index, connection.ReadThrough(step.bytes), false);
            break;
        case Kind::kSend:
            connection.socket.SendAll(step.bytes.data(), step.bytes.size());
            break;
        case Kind::kSendSlowly:
            for (size_t at = 0; at < step.bytes.size(); at += step.count) {
                if (at > 0) {
                    connection.SleepUntil(Clock::now() + std::chrono::milliseconds(step.ms));
                }
                const size_t n = std::min(step.count, step.bytes.size() - at);
                connection.socket.SendAll(step.bytes.data() + at, n);
            }
            break;
        case Kind::kShutdownSend:
            connection.socket.ShutdownSend();
            break;
        case Kind::kClose:
            connection.socket.Close();
            break;
        case Kind::kReset:
            connection.socket.AbortiveClose();
            break;
        case Kind::kWaitForPeerClose:
            RecordRead(index, connection.ReadToClose(step.ms), false);
            break;
        case Kind::kLimit:
        case Kind::kPause:
            break;  // handled above
    }
}

}  // namespace test_support
