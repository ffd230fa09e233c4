// UDP sockets, connections with a time limit, and the system's random bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/random.h"
#include "platform/socket.h"
#include "socket_testing.h"

namespace platform {
namespace {

using test::ErrorCode;
using test::kLoopback;
using test::kWaitMs;

// A port on 127.0.0.1 where nothing listens any more (TCP or UDP).
template <typename Socket>
uint16_t ClosedPort() {
    if constexpr (std::is_same_v<Socket, TcpSocket>) {
        return TcpSocket::Listen(kLoopback, 0).LocalPort();
    } else {
        return UdpSocket::Bind(kLoopback, 0).LocalPort();
    }
}

struct Datagram {
    std::string bytes;
    Ipv4 from = 0;
    uint16_t from_port = 0;
};

std::optional<Datagram> Receive(UdpSocket& socket, size_t max, int timeout_ms) {
    std::vector<char> buffer(max + 1, '#');
    Datagram d;
    const std::optional<size_t> n =
        socket.ReceiveFrom(buffer.data(), max, timeout_ms, &d.from, &d.from_port);
    if (!n) {
        return std::nullopt;
    }
    EXPECT_LE(*n, max);
    EXPECT_EQ(buffer[max], '#') << "written past the buffer";
    d.bytes.assign(buffer.data(), *n);
    return d;
}

void Send(UdpSocket& socket, uint16_t port, const std::string& text) {
    socket.SendTo(kLoopback, port, text.data(), text.size());
}

// ---- Connections with a time limit

TEST(ConnectWithTimeLimitTest, ConnectsAndBlocksAgainAfterwards) {
    TcpSocket listener = TcpSocket::Listen(kLoopback, 0);
    TcpSocket client = TcpSocket::Connect(kLoopback, listener.LocalPort(), kWaitMs);
    ASSERT_TRUE(listener.WaitReadable(kWaitMs));
    TcpSocket server = listener.Accept();

    // A receive on the client waits for data that comes later: the socket
    // is blocking again (a non-blocking one would fail with 10035 at once).
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        server.SendAll("late", 4);
    });
    char buffer[4] = {};
    size_t got = 0;
    int code = 0;
    try {
        got = client.Receive(buffer, sizeof(buffer));
    } catch (const ESocketError& e) {
        code = e.Code();
    }
    later.join();
    EXPECT_EQ(code, 0);
    ASSERT_GT(got, 0u);
    EXPECT_EQ(std::string(buffer, got), std::string("late", got));
}

TEST(ConnectWithTimeLimitTest, ClosedPortIsRefused) {
    const uint16_t port = ClosedPort<TcpSocket>();
    EXPECT_EQ(ErrorCode([&] { TcpSocket::Connect(kLoopback, port, kWaitMs); }), kWsaConnRefused);
    EXPECT_EQ(ErrorCode([&] { TcpSocket::Connect(kLoopback, port, -1); }), kWsaConnRefused);
}

TEST(ConnectWithTimeLimitTest, TimesOutWhenTheListenerQueueIsFull) {
    // A listener that accepts nothing, with room for one waiting connection:
    // once its queue is full, the system drops further connection requests
    // without an answer, and the connect can only end by its time limit.
    TcpSocket listener = TcpSocket::Listen(kLoopback, 0, 1);
    const uint16_t port = listener.LocalPort();
    std::vector<TcpSocket> queued;
    int code = 0;
    for (int i = 0; i < 16 && code == 0; ++i) {
        try {
            queued.push_back(TcpSocket::Connect(kLoopback, port, 300));
        } catch (const ESocketError& e) {
            code = e.Code();
        }
    }
    if (code == kWsaConnRefused) {
        GTEST_SKIP() << "this system refuses connections beyond the listener's queue";
    }
    EXPECT_EQ(code, kWsaTimedOut);
    EXPECT_FALSE(queued.empty()) << "the first connection fits in the queue";
}

// ---- UDP

TEST(UdpSocketTest, RoundTripGivesTheSendersAddressAndPort) {
    UdpSocket server = UdpSocket::Bind(kLoopback, 0);
    UdpSocket client = UdpSocket::Open();
    ASSERT_TRUE(server.IsOpen());
    ASSERT_TRUE(client.IsOpen());
    const uint16_t server_port = server.LocalPort();
    const uint16_t client_port = client.LocalPort();
    EXPECT_NE(server_port, 0);
    EXPECT_NE(client_port, 0);
    EXPECT_NE(server_port, client_port);

    Send(client, server_port, "question");
    const std::optional<Datagram> question = Receive(server, 512, kWaitMs);
    ASSERT_TRUE(question);
    EXPECT_EQ(question->bytes, "question");
    EXPECT_EQ(question->from, kLoopback);
    EXPECT_EQ(question->from_port, client_port);

    server.SendTo(question->from, question->from_port, "answer", 6);
    const std::optional<Datagram> answer = Receive(client, 512, kWaitMs);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->bytes, "answer");
    EXPECT_EQ(answer->from, kLoopback);
    EXPECT_EQ(answer->from_port, server_port);
}

TEST(UdpSocketTest, DatagramsKeepTheirBoundariesAndTheSenderIsOptional) {
    UdpSocket server = UdpSocket::Bind(kLoopback, 0);
    UdpSocket client = UdpSocket::Open();
    const std::vector<std::string> sent = {"one", "", "three"};
    for (const std::string& text : sent) {
        Send(client, server.LocalPort(), text);
    }
    for (const std::string& text : sent) {
        char buffer[64];
        const std::optional<size_t> n =
            server.ReceiveFrom(buffer, sizeof(buffer), kWaitMs, nullptr, nullptr);
        ASSERT_TRUE(n) << "'" << text << "' did not arrive";
        EXPECT_EQ(std::string(buffer, *n), text);
    }
}

TEST(UdpSocketTest, NothingArrivesWithinTheTime) {
    UdpSocket socket = UdpSocket::Open();
    Ipv4 from = 0x01020304;
    uint16_t from_port = 77;
    char buffer[16];
    for (int timeout_ms : {0, 50}) {
        EXPECT_FALSE(socket.ReceiveFrom(buffer, sizeof(buffer), timeout_ms, &from, &from_port))
            << timeout_ms;
    }
    EXPECT_EQ(from, 0x01020304u);  // left alone
    EXPECT_EQ(from_port, 77);
}

TEST(UdpSocketTest, LongDatagramIsCutToTheBuffer) {
    UdpSocket server = UdpSocket::Bind(kLoopback, 0);
    UdpSocket client = UdpSocket::Open();
    std::string long_text(1000, '\0');
    for (size_t i = 0; i < long_text.size(); ++i) {
        long_text[i] = static_cast<char>('a' + i % 26);
    }
    Send(client, server.LocalPort(), long_text);
    Send(client, server.LocalPort(), "next");

    const std::optional<Datagram> cut = Receive(server, 10, kWaitMs);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->bytes, long_text.substr(0, 10));
    EXPECT_EQ(cut->from_port, client.LocalPort());
    // The rest of the long one is gone; the next datagram comes whole.
    const std::optional<Datagram> next = Receive(server, 512, kWaitMs);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->bytes, "next");
}

TEST(UdpSocketTest, UnreachablePortDoesNotEndTheWait) {
    // A datagram to a port where nothing listens may come back as "port
    // unreachable"; the wait for an answer goes on regardless, and a real
    // answer is still received.
    UdpSocket client = UdpSocket::Open();
    Send(client, ClosedPort<UdpSocket>(), "anyone?");
    char buffer[16];
    EXPECT_FALSE(client.ReceiveFrom(buffer, sizeof(buffer), 200, nullptr, nullptr));

    UdpSocket server = UdpSocket::Bind(kLoopback, 0);
    Send(client, ClosedPort<UdpSocket>(), "anyone?");
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Send(server, client.LocalPort(), "here");
    });
    const std::optional<Datagram> answer = Receive(client, 16, kWaitMs);
    later.join();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->bytes, "here");
}

TEST(UdpSocketTest, ClosedAndMovedSockets) {
    UdpSocket socket;
    EXPECT_FALSE(socket.IsOpen());
    char byte = 'x';
    EXPECT_EQ(ErrorCode([&] { socket.SendTo(kLoopback, 9, &byte, 1); }), 10038);
    EXPECT_EQ(ErrorCode([&] { socket.ReceiveFrom(&byte, 1, 0, nullptr, nullptr); }), 10038);
    EXPECT_EQ(ErrorCode([&] { socket.LocalPort(); }), 10038);
    socket.Close();  // harmless

    UdpSocket server = UdpSocket::Bind(kLoopback, 0);
    const uint16_t port = server.LocalPort();
    UdpSocket moved(std::move(server));
    EXPECT_FALSE(server.IsOpen());
    ASSERT_TRUE(moved.IsOpen());
    EXPECT_EQ(moved.LocalPort(), port);
    // The port is taken while the socket is open, and free once it closes.
    EXPECT_NE(ErrorCode([&] { UdpSocket::Bind(kLoopback, port); }), 0);
    moved = UdpSocket();
    EXPECT_FALSE(moved.IsOpen());
    UdpSocket again = UdpSocket::Bind(kLoopback, port);
    EXPECT_EQ(again.LocalPort(), port);
}

// ---- Random bytes

TEST(RandomBytesTest, FillsExactlyTheGivenBytes) {
    // Sentinels on both sides; a draw of 16 zero bytes, or two equal draws,
    // has a chance of 2^-128.
    for (size_t size : {size_t{1}, size_t{16}, size_t{4096}, size_t{1} << 20}) {
        std::vector<unsigned char> first(size + 2, 0);
        std::vector<unsigned char> second(size + 2, 0);
        first.front() = first.back() = 0xA5;
        RandomBytes(first.data() + 1, size);
        RandomBytes(second.data() + 1, size);
        EXPECT_EQ(first.front(), 0xA5);
        EXPECT_EQ(first.back(), 0xA5);
        if (size >= 16) {
            const auto tail = first.end() - 17;
            EXPECT_TRUE(std::any_of(tail, tail + 16, [](unsigned char b) { return b != 0; }))
                << "the last bytes of " << size << " were not written";
            EXPECT_NE(first, second) << size;
        }
    }
    RandomBytes(nullptr, 0);  // nothing to fill
}

TEST(RandomBytesTest, EveryByteValueTurnsUp) {
    std::vector<unsigned char> bytes(64 * 1024);
    RandomBytes(bytes.data(), bytes.size());
    std::array<int, 256> counts{};
    for (unsigned char b : bytes) {
        ++counts[b];
    }
    // 256 expected per value; below 128 has a chance far under 2^-40.
    for (int value = 0; value < 256; ++value) {
        EXPECT_GT(counts[value], 128) << value;
    }
}

}  // namespace
}  // namespace platform
