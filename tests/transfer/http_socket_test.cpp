// The HTTP client over real sockets against the scripted server on
// 127.0.0.1: connection reuse, closes at every point, time-outs and socket
// errors.

#include <gtest/gtest.h>

#include "platform/socket.h"
#include "support/scripted_server.h"
#include "transfer/http_client.h"

namespace transfer {
namespace {

using test_support::Script;
using test_support::ScriptedServer;

std::string Ok(std::string_view body, std::string_view extra = "") {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           std::string(extra) + "\r\n" + std::string(body);
}

std::string MessageOf(THTTPClient& client, const std::string& url) {
    try {
        client.Get(url);
    } catch (const base::Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

TEST(HttpOverSockets, KeepAliveServesBothRequestsOnOneConnection) {
    ScriptedServer server({Script()
                               .ReadRequest()
                               .Send(Ok("manifest"))
                               .ReadRequest()
                               .Send(Ok("file"))
                               .WaitForPeerClose(5000)});
    THTTPClient client;
    EXPECT_EQ(client.Get(server.Url("/game/list.txt")), "manifest");
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(client.Get("data/a.pak"), "file");
    client.Disconnect();
    EXPECT_FALSE(client.Connected());
    ASSERT_TRUE(server.WaitForFinished(1, 5000));
    EXPECT_EQ(server.Connections(), 1);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), "GET /game/list.txt HTTP/1.1");
    EXPECT_EQ(requests[1].substr(0, requests[1].find("\r\n")), "GET /game/data/a.pak HTTP/1.1");
    EXPECT_NE(requests[1].find("Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(server.Error(), "");
}

TEST(HttpOverSockets, ConnectionCloseMeansANewConnectionEachTime) {
    ScriptedServer server({Script().ReadRequest().Send(Ok("1", "Connection: close\r\n")).Close(),
                           Script().ReadRequest().Send(Ok("2", "Connection: close\r\n")).Close()});
    THTTPClient client;
    EXPECT_EQ(client.Get(server.Url("/1")), "1");
    EXPECT_EQ(client.Get(server.Url("/2")), "2");
    EXPECT_TRUE(server.WaitForFinished(2, 5000));
    EXPECT_EQ(server.Connections(), 2);
    EXPECT_EQ(server.Error(), "");
}

TEST(HttpOverSockets, IdleConnectionClosedByTheServerIsNoticedBeforeSending) {
    ScriptedServer server({Script().ReadRequest().Send(Ok("manifest")).Close(),
                           Script().ReadRequest().Send(Ok("file")).WaitForPeerClose(5000)});
    THTTPClient client;
    EXPECT_EQ(client.Get(server.Url("/m")), "manifest");
    ASSERT_TRUE(server.WaitForFinished(1, 5000));
    // The close may take a moment to reach this side.
    for (int i = 0; i < 100 && client.Connected(); ++i) {
        platform::TcpSocket::Listen(0x7f000001, 0).Close();  // a cheap pause
    }
    EXPECT_EQ(client.Get(server.Url("/f")), "file");
    client.Disconnect();
    EXPECT_TRUE(server.WaitForFinished(2, 5000));
    EXPECT_EQ(server.Connections(), 2);
    EXPECT_EQ(server.Error(), "");
}

TEST(HttpOverSockets, SocketErrors) {
    THTTPClient client;
    uint16_t closed_port;
    {
        platform::TcpSocket listener = platform::TcpSocket::Listen(0x7f000001, 0);
        closed_port = listener.LocalPort();
    }
    EXPECT_EQ(MessageOf(client, "http://127.0.0.1:" + std::to_string(closed_port) + "/x"),
              "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(MessageOf(client, "http://bad host!/x"), "Socket Error # 11001\r\nHost not found.");
}

TEST(HttpOverSockets, BodiesArriveWholeThroughSlowAndSplitSends) {
    std::string body;
    for (int i = 0; i < 200000; ++i) {
        body += static_cast<char>('a' + i % 23);
    }
    std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (size_t pos = 0; pos < body.size(); pos += 70000) {
        const std::string part = body.substr(pos, 70000);
        char size[16];
        std::snprintf(size, sizeof size, "%zx", part.size());
        chunked += std::string(size) + "\r\n" + part + "\r\n";
    }
    chunked += "0\r\n\r\n";
    ScriptedServer server({Script()
                               .ReadRequest()
                               .SendSlowly(Ok(body), 9000, 2)
                               .ReadRequest()
                               .SendSlowly(chunked, 50000, 5)
                               .ReadRequest()
                               .Send("HTTP/1.0 200 OK\r\n\r\n" + body)
                               .Close()});
    THTTPClient client;
    int32_t last = -1;
    client.OnWork = [&last](THTTPClient&, TWorkMode, int32_t position) { last = position; };
    EXPECT_EQ(client.Get(server.Url("/a")), body);
    EXPECT_EQ(last, 200000);
    EXPECT_EQ(client.Get(server.Url("/b")), body);
    EXPECT_EQ(last, 200000 - 140000);  // the last chunk's own position
    EXPECT_EQ(client.Get(server.Url("/c")), body);
    EXPECT_EQ(server.Connections(), 1);
    EXPECT_FALSE(client.Connected());
}

TEST(HttpOverSockets, EarlyCloses) {
    ScriptedServer server(
        {Script().ReadRequest().Send("HTTP/1.1 200 OK\r\nContent-Le").Close(),
         Script().ReadRequest().Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc").Close(),
         Script()
             .ReadRequest()
             .Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc")
             .Close(),
         Script().ReadRequest().Close()});
    THTTPClient client;
    // Inside the head: the headers read so far count; the body runs to the
    // close and is empty.
    EXPECT_EQ(client.Get(server.Url("/1")), "");
    EXPECT_EQ(client.Get(server.Url("/2")), "abc");
    EXPECT_TRUE(client.Response().incomplete);
    EXPECT_EQ(MessageOf(client, server.Url("/3")), "Connection Closed Gracefully.");
    EXPECT_EQ(MessageOf(client, server.Url("/4")), "Connection Closed Gracefully.");
    EXPECT_EQ(server.Connections(), 4);
}

TEST(HttpOverSockets, SilentServerTimesOut) {
    ScriptedServer server({Script()
                               .ReadRequest()
                               .Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n12")
                               .Pause(3000)
                               .Close()});
    THTTPClient client;
    client.SetReadTimeout(200);
    EXPECT_EQ(MessageOf(client, server.Url("/x")), "Socket Error # 10060\r\nConnection timed out.");
    EXPECT_FALSE(client.Connected());
}

TEST(HttpOverSockets, WithAWaitingHookASilentServerIsWaitedForInSlices) {
    ScriptedServer server({Script()
                               .ReadRequest()
                               .Send("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nab")
                               .Pause(300)
                               .Send("cd")
                               .ReadRequest()
                               .Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n12")
                               .Pause(3000)
                               .Close()});
    THTTPClient client;
    int waits = 0;
    client.OnWaiting = [&waits] { ++waits; };
    client.SetReadTimeout(2000);
    EXPECT_EQ(client.Get(server.Url("/a")), "abcd");
    EXPECT_GE(waits, 2) << "the hook runs while the server is silent";
    // The read time-out still bounds the whole wait.
    client.SetReadTimeout(200);
    const int before = waits;
    EXPECT_EQ(MessageOf(client, server.Url("/b")), "Socket Error # 10060\r\nConnection timed out.");
    EXPECT_GT(waits, before);
    EXPECT_FALSE(client.Connected());
}

TEST(HttpOverSockets, ResetInsideTheBodyFails) {
    ScriptedServer server({Script()
                               .ReadRequest()
                               .Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")
                               .Pause(100)
                               .Send("100\r\nabc")
                               .Reset()});
    THTTPClient client;
    const std::string message = MessageOf(client, server.Url("/x"));
    // Wine may report a reset that it saw outside a receive call as the
    // orderly end of the stream.
    EXPECT_TRUE(message == "Socket Error # 10054\r\nConnection reset by peer." ||
                message == "Connection Closed Gracefully.")
        << message;
}

}  // namespace
}  // namespace transfer
