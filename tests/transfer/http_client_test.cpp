#include "transfer/http_client.h"

#include <gtest/gtest.h>

#include "fake_transport.h"
#include "platform/socket.h"

namespace transfer {
namespace {

using testing::FakeConnector;
using Events = std::vector<std::string>;

const std::string kUserAgent = "User-Agent: Mozilla/3.0 (compatible; Update Client)\r\n";

std::string Ok(std::string_view body, std::string_view extra = "") {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           std::string(extra) + "\r\n" + std::string(body);
}

class HttpClientTest : public ::testing::Test {
  protected:
    HttpClientTest() {
        auto owned = std::make_unique<FakeConnector>();
        fake = owned.get();
        client = std::make_unique<THTTPClient>(std::move(owned));
        client->OnWorkBegin = [this](THTTPClient& sender, TWorkMode mode, int32_t expected) {
            EXPECT_EQ(&sender, client.get());
            EXPECT_EQ(mode, TWorkMode::Read);
            events.push_back("begin " + std::to_string(expected));
        };
        client->OnWork = [this](THTTPClient&, TWorkMode, int32_t position) {
            events.push_back("work " + std::to_string(position));
        };
        client->OnWorkEnd = [this](THTTPClient&, TWorkMode) { events.push_back("end"); };
    }

    // The message of the error that `get` raises.
    template <typename E = base::Exception>
    std::string FailureOf(std::string_view url) {
        try {
            client->Get(url);
        } catch (const E& e) {
            return e.Message();
        }
        ADD_FAILURE() << "no " << typeid(E).name() << " for " << url;
        return {};
    }

    FakeConnector* fake = nullptr;
    std::unique_ptr<THTTPClient> client;
    Events events;
};

TEST_F(HttpClientTest, FirstRequestIsExactlyTheseBytes) {
    auto side = fake->Add({Ok("hello")});
    EXPECT_EQ(client->Get("http://example.com/dir/file.txt"), "hello");
    EXPECT_EQ(side->sent,
              "GET /dir/file.txt HTTP/1.1\r\nHost: example.com\r\nAccept: text/html, */*\r\n"
              "Accept-Encoding: identity\r\n" +
                  kUserAgent + "\r\n");
    ASSERT_EQ(fake->opened.size(), 1u);
    EXPECT_EQ(fake->opened[0], (std::pair<std::string, uint16_t>("example.com", 80)));
}

TEST_F(HttpClientTest, RequestTargetAndHostHeader) {
    struct Case {
        const char* url;
        const char* request_line;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"http://h", "GET / HTTP/1.1", "Host: h", 80},
        {"http://h:80/a", "GET /a HTTP/1.1", "Host: h", 80},
        {"http://h:8080/a/b.txt?x=1&y=2#frag", "GET /a/b.txt?x=1&y=2 HTTP/1.1", "Host: h:8080",
         8080},
        {"http://h\\dir\\f.txt", "GET /dir/f.txt HTTP/1.1", "Host: h", 80},
        // Blanks and GBK bytes travel unencoded.
        {"http://h/新 文件.txt", "GET /新 文件.txt HTTP/1.1", "Host: h", 80},
        {"HTTP://LocalHost:81/x", "GET /x HTTP/1.1", "Host: LocalHost:81", 81},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        client->Disconnect();
        auto side = fake->Add({Ok("x")});
        client->Get(c.url);
        EXPECT_EQ(side->sent.substr(0, side->sent.find("\r\n")), c.request_line);
        EXPECT_NE(side->sent.find(std::string("\r\n") + c.host + "\r\n"), std::string::npos)
            << side->sent;
        EXPECT_EQ(fake->opened.back().second, c.port);
    }
    // "localhost" in any case goes to 127.0.0.1 without the resolver.
    EXPECT_EQ(fake->opened.back().first, "127.0.0.1");
}

TEST_F(HttpClientTest, KeepAliveReusesOneConnection) {
    auto side = fake->Add({Ok("first"), Ok("second")}, false);
    EXPECT_EQ(client->Get("http://h/list.txt"), "first");
    EXPECT_TRUE(client->Connected());
    EXPECT_EQ(client->Get("http://h/a.pak"), "second");
    EXPECT_EQ(fake->opened.size(), 1u);
    EXPECT_NE(side->sent.find("GET /a.pak"), std::string::npos);
}

TEST_F(HttpClientTest, ConnectionCloseGivesANewConnectionPerRequest) {
    fake->Add({Ok("one", "Connection:  Close \r\n")}, false);
    fake->Add({Ok("two", "Proxy-Connection: close\r\n")}, false);
    fake->Add({Ok("three")}, false);
    EXPECT_EQ(client->Get("http://h/1"), "one");
    EXPECT_FALSE(client->Connected());
    EXPECT_EQ(client->Get("http://h/2"), "two");
    EXPECT_EQ(client->Get("http://h/3"), "three");
    EXPECT_EQ(fake->opened.size(), 3u);
}

TEST_F(HttpClientTest, IdleConnectionClosedByTheServerIsReplaced) {
    auto first = fake->Add({Ok("manifest")}, false);
    fake->Add({Ok("file")}, false);
    client->Get("http://h/m");
    first->peer_closed = true;
    EXPECT_FALSE(client->Connected());
    EXPECT_EQ(client->Get("http://h/f"), "file");
    EXPECT_EQ(fake->opened.size(), 2u);
    EXPECT_EQ(first->sent.find("GET /f"), std::string::npos);
}

TEST_F(HttpClientTest, ConnectionDroppedRightAfterTheCheckIsRetriedOnce) {
    // The server closes between the liveness check and the request: the
    // reused connection ends before any byte of the answer.
    auto first = fake->Add({Ok("manifest")}, true);
    auto second = fake->Add({Ok("file")}, false);
    client->Get("http://h/m");
    EXPECT_EQ(client->Get("http://h/f"), "file");
    EXPECT_EQ(fake->opened.size(), 2u);
    EXPECT_NE(second->sent.find("GET /f"), std::string::npos);

    // A reset before any byte of the answer is the same drop.
    second->end_error = platform::kWsaConnReset;
    fake->Add({Ok("again")}, false);
    EXPECT_EQ(client->Get("http://h/r"), "again");
    EXPECT_EQ(fake->opened.size(), 3u);

    // A fresh connection that closes at once is not retried.
    client->Disconnect();
    fake->Add({}, true);
    EXPECT_EQ(FailureOf<EConnClosedGracefully>("http://h/g"), "Connection Closed Gracefully.");
    EXPECT_EQ(fake->opened.size(), 4u);
}

TEST_F(HttpClientTest, TimeOutOnAReusedConnectionIsNotRetried) {
    // The server took the request and stays silent: asking again would only
    // double the wait.
    auto first = fake->Add({Ok("manifest")}, false);
    fake->Add({Ok("file")}, false);
    client->Get("http://h/m");
    EXPECT_EQ(FailureOf<platform::ESocketError>("http://h/f"),
              "Socket Error # 10060\r\nConnection timed out.");
    EXPECT_EQ(fake->opened.size(), 1u);
    EXPECT_FALSE(client->Connected());
}

TEST_F(HttpClientTest, AnotherHostClosesTheConnection) {
    fake->Add({Ok("a"), Ok("b")}, false);
    fake->Add({Ok("c")}, false);
    fake->Add({Ok("d")}, false);
    client->Get("http://h/a");
    client->Get("http://H/b");  // same host: names compare without case
    client->Get("http://h:81/c");
    EXPECT_EQ(fake->opened.size(), 2u);
    client->Get("http://other/c");
    EXPECT_EQ(fake->opened.size(), 3u);
}

TEST_F(HttpClientTest, RelativeUrlsAreCompletedAgainstThePreviousRequest) {
    auto side = fake->Add({Ok("m"), Ok("a"), Ok("b"), Ok("c"), Ok("d")}, false);
    client->Get("http://h:8080/game/list.txt");
    client->Get("files/a.pak");
    client->Get("../b.pak");
    client->Get("/root.txt?v=2");
    client->Get("c.txt");
    const std::string& sent = side->sent;
    EXPECT_NE(sent.find("GET /game/files/a.pak HTTP/1.1\r\nHost: h:8080\r\n"), std::string::npos);
    EXPECT_NE(sent.find("GET /game/b.pak HTTP/1.1"), std::string::npos);
    EXPECT_NE(sent.find("GET /root.txt?v=2 HTTP/1.1"), std::string::npos);
    EXPECT_NE(sent.find("GET /c.txt HTTP/1.1"), std::string::npos);
    EXPECT_EQ(fake->opened.size(), 1u);
}

TEST_F(HttpClientTest, UrlsThatCannotBeUsed) {
    // Without a secure transport (the native build) HTTPS says so.
    EXPECT_EQ(FailureOf<ETlsError>("https://h/x"), kNoSecureTransport);
    // A relative URL with nothing before it, and another scheme without a
    // port, have no port to go to.
    for (const char* url : {"ftp://h/x", "x.txt"}) {
        THTTPClient fresh(std::make_unique<FakeConnector>());
        try {
            fresh.Get(url);
            ADD_FAILURE() << url;
        } catch (const ETransferError& e) {
            EXPECT_EQ(e.Message(), "") << url;
        }
    }
    EXPECT_EQ(FailureOf<platform::ESocketError>("http://h:99999/x"),
              "Socket Error # 10022\r\nInvalid argument.");
    EXPECT_TRUE(fake->opened.empty());
}

TEST_F(HttpClientTest, StatusDecidesSuccessOrFailure) {
    struct Case {
        std::string response;
        bool success;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nLocation: /x\r\nContent-Length: 1\r\n\r\nx", false},
        {"HTTP/1.1 301 Moved Permanently\r\nContent-Length: 0\r\n\r\n", false},
        {"HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n", false},
        {"HTTP/1.1 304 Not Modified\r\n\r\n", false},
        {"HTTP/1.1 206 Partial Content\r\nContent-Length: 1\r\n\r\nx", true},
        {"HTTP/1.1 204 No Content\r\n\r\n", true},
        {"HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n", false},
        {"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n", false},
        {"HTTP/1.1 101 Switching\r\nContent-Length: 0\r\n\r\n", false},
        {"garbage\r\nContent-Length: 0\r\n\r\n", false},
        {"HTTP/1.1 2x0 Odd\r\nContent-Length: 0\r\n\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.response);
        fake->Add({c.response}, false);
        if (c.success) {
            EXPECT_NO_THROW(client->Get("http://h/x"));
        } else {
            const std::string status = c.response.substr(0, c.response.find("\r\n"));
            EXPECT_EQ(FailureOf<EHTTPProtocolException>("http://h/x"), status);
        }
        client->Disconnect();
    }
}

TEST_F(HttpClientTest, ErrorBodyIsReadWithEventsThenTheStatusLineIsRaised) {
    const std::string body(300, 'e');
    fake->Add({"HTTP/1.1 404 Not Found\r\nContent-Length: 300\r\n\r\n" + body, Ok("next")}, false);
    try {
        client->Get("http://h/missing");
        FAIL() << "no error";
    } catch (const EHTTPProtocolException& e) {
        EXPECT_EQ(e.Message(), "HTTP/1.1 404 Not Found");
        EXPECT_EQ(e.ErrorCode(), 404);
        EXPECT_EQ(e.ErrorMessage(), body);
    }
    EXPECT_EQ(events, (Events{"begin 300", "work 300", "end"}));
    // The connection stays in use: keep-alive holds for the error response.
    EXPECT_EQ(client->Get("http://h/next"), "next");
    EXPECT_EQ(fake->opened.size(), 1u);
}

// The number of requests in what a connection was sent, and how many of them
// carried the given header line.
std::pair<size_t, size_t> RequestsAndLines(const std::string& sent, const std::string& line) {
    auto count = [&sent](const std::string& what) {
        size_t n = 0;
        for (size_t pos = sent.find(what); pos != std::string::npos;
             pos = sent.find(what, pos + 1)) {
            ++n;
        }
        return n;
    };
    return {count("GET "), count("\r\n" + line + "\r\n")};
}

const std::string kBasicChallenge =
    "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\n"
    "Content-Length: 6\r\n\r\ndenied";
const std::string kUserPw = "Authorization: Basic dXNlcjpwdw==";  // "user:pw"

TEST_F(HttpClientTest, BasicChallengeIsAnsweredOnceWithTheUrlsCredentials) {
    struct Case {
        const char* url;
        std::vector<std::string> answers;
        const char* result;  // nullptr: fails with the 401 status line
        size_t requests;
        size_t with_credentials;
    } cases[] = {
        {"http://h/x", {kBasicChallenge}, nullptr, 1, 0},
        {"http://user@h/x", {kBasicChallenge}, nullptr, 1, 0},
        {"http://user:pw@h/x", {kBasicChallenge, Ok("secret")}, "secret", 2, 1},
        {"http://user:pw@h/x", {kBasicChallenge, kBasicChallenge}, nullptr, 2, 1},
        {"http://user:pw@h/x",
         {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"x\"\r\n"
          "WWW-Authenticate: Basicx\r\nContent-Length: 0\r\n\r\n"},
         nullptr,
         1,
         0},
        // Without a challenge there is nothing to answer either.
        {"http://user:pw@h/x",
         {"HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n"},
         nullptr,
         1,
         0},
        {"http://user:pw@h/x",
         {"HTTP/1.1 401 No\r\nWWW-Authenticate: Digest a=\"1\", basic\r\nContent-Length: 0\r\n\r\n",
          Ok("ok")},
         "ok",
         2,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url + (" then " + c.answers.back()));
        client->Disconnect();
        auto side = fake->Add(c.answers, false);
        if (c.result != nullptr) {
            EXPECT_EQ(client->Get(c.url), c.result);
        } else {
            const std::string status = c.answers.back().substr(0, c.answers.back().find("\r\n"));
            EXPECT_EQ(FailureOf<EHTTPProtocolException>(c.url), status);
        }
        // Every request went over the one connection.
        EXPECT_EQ(RequestsAndLines(side->sent, kUserPw),
                  std::make_pair(c.requests, c.with_credentials));
        EXPECT_EQ(side->sent.find("Authorization"), side->sent.find(kUserPw));
    }
}

TEST_F(HttpClientTest, CredentialsStayWithRelativeUrlsToTheSameHost) {
    // A challenge that closes the connection: the answer goes on a new one.
    auto first =
        fake->Add({"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic\r\n"
                   "Connection: close\r\nContent-Length: 0\r\n\r\n"});
    auto second = fake->Add({Ok("list"), kBasicChallenge, Ok("file"), kBasicChallenge}, false);
    EXPECT_EQ(client->Get("http://user:pw@h/game/list.txt"), "list");
    EXPECT_EQ(client->Get("data/a.pak"), "file");
    EXPECT_EQ(RequestsAndLines(first->sent, kUserPw), std::make_pair(size_t{1}, size_t{0}));
    EXPECT_EQ(RequestsAndLines(second->sent, kUserPw), std::make_pair(size_t{3}, size_t{2}));
    EXPECT_NE(second->sent.find("GET /game/data/a.pak"), std::string::npos);
    // An absolute URL without them, to the same host, has none.
    EXPECT_EQ(FailureOf<EHTTPProtocolException>("http://h/game/b.pak"),
              "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(RequestsAndLines(second->sent, kUserPw), std::make_pair(size_t{4}, size_t{2}));
}

TEST_F(HttpClientTest, ContinueThenTheRealResponse) {
    fake->Add({"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"});
    EXPECT_EQ(client->Get("http://h/x"), "ok");
    EXPECT_EQ(client->Response().status_line, "HTTP/1.1 200 OK");
    EXPECT_EQ(client->Response().code, 200);
}

TEST_F(HttpClientTest, InterimAnswersAreSkippedAndASwitchIsRefused) {
    fake->Add({"HTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\n" + Ok("first"), Ok("second")},
              false);
    EXPECT_EQ(client->Get("http://h/1"), "first");
    EXPECT_EQ(client->Get("http://h/2"), "second");

    fake->Add({"HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n"}, false);
    client->Disconnect();
    EXPECT_EQ(FailureOf<EHTTPProtocolException>("http://h/3"), "HTTP/1.1 101 Switching Protocols");
    EXPECT_FALSE(client->Connected());

    // A server that never stops sending interim answers is given up on.
    std::string interim;
    for (int i = 0; i < THTTPClient::kMaxInterimResponses; ++i) {
        interim += "HTTP/1.1 100 Continue\r\n\r\n";
    }
    fake->Add({interim + Ok("fourth")});
    EXPECT_EQ(client->Get("http://h/4"), "fourth");
    fake->Add({interim + "HTTP/1.1 102 Processing\r\n\r\n" + Ok("fifth")});
    EXPECT_EQ(FailureOf<ETransferError>("http://h/5"), "Too many interim responses.");
    EXPECT_FALSE(client->Connected());
}

TEST_F(HttpClientTest, FailedGetLeavesAPositionedBufferAsItWas) {
    fake->Add({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab"});
    base::TMemoryStream buffer;
    buffer.WriteBuffer("kept");
    buffer.SetPosition(2);
    EXPECT_THROW(client->Get("http://h/x", buffer), EConnClosedGracefully);
    EXPECT_EQ(buffer.ToString(), "kept");
    EXPECT_EQ(buffer.Position(), 2);
}

TEST_F(HttpClientTest, HeadersFoldAndTheFirstOccurrenceCounts) {
    fake->Add(
        {"HTTP/1.1 200 OK\r\nX-Long: one\r\n  two\r\n\tthree\r\ncontent-length: 2\r\n"
         "Content-Length: 5\r\n\r\nokxyz"});
    EXPECT_EQ(client->Get("http://h/x"), "ok");
    EXPECT_EQ(client->Response().headers.Value("x-long"), "one two three");
}

TEST_F(HttpClientTest, CloseBeforeOrInsideTheHead) {
    fake->Add({"HTTP/1.1 200 O"});
    EXPECT_EQ(FailureOf<EConnClosedGracefully>("http://h/x"), "Connection Closed Gracefully.");
    // Closed inside the headers: what was read is used, here an error status.
    fake->Add({"HTTP/1.1 503 Busy\r\nRetry-After: 1\r\n"});
    EXPECT_EQ(FailureOf<EHTTPProtocolException>("http://h/x"), "HTTP/1.1 503 Busy");
    // ... and a success whose body runs until the close is empty.
    fake->Add({"HTTP/1.1 200 OK\r\nX: 1\r\n"});
    EXPECT_EQ(client->Get("http://h/x"), "");
    EXPECT_FALSE(client->Connected());
}

TEST_F(HttpClientTest, ContentLengthBodyCutShortIsDeliveredAndMarkedIncomplete) {
    fake->Add({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n12345"});
    EXPECT_EQ(client->Get("http://h/x"), "12345");
    EXPECT_TRUE(client->Response().incomplete);
    EXPECT_EQ(client->Response().body_bytes, 5);
    EXPECT_EQ(client->Response().content_length, 10);
    EXPECT_EQ(events, (Events{"begin 10", "work 5", "end"}));

    fake->Add({Ok("whole")});
    client->Get("http://h/y");
    EXPECT_FALSE(client->Response().incomplete);
}

TEST_F(HttpClientTest, ChunkedBodies) {
    fake->Add({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
               "a\r\n0123456789\r\n14 \r\nabcdefghijklmnopqrst\r\n0\r\n\r\n", Ok("after")},
              false);
    EXPECT_EQ(client->Get("http://h/x"), "0123456789abcdefghijklmnopqrst");
    EXPECT_EQ(events, (Events{"begin 10", "work 10", "end", "begin 20", "work 20", "end"}));
    // The connection is still in step for the next response.
    EXPECT_EQ(client->Get("http://h/y"), "after");

    // Trailer lines are read up to the empty line and dropped.
    fake->Add({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n"
               "X-Sum: 1\r\nX-Other:\r\n  folded\r\n\r\n" +
                   Ok("next"),
               Ok("last")},
              false);
    client->Disconnect();
    EXPECT_EQ(client->Get("http://h/x"), "ab");
    EXPECT_FALSE(client->Response().headers.Has("X-Sum"));
    EXPECT_EQ(client->Get("http://h/y"), "next");
    EXPECT_EQ(client->Get("http://h/z"), "last");
    EXPECT_EQ(fake->opened.size(), 2u);

    // Chunk extensions are skipped.
    fake->Add(
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3;name=v\r\nabc\r\n0\r\n\r\n"});
    client->Disconnect();
    EXPECT_EQ(client->Get("http://h/x"), "abc");
    EXPECT_FALSE(client->Response().incomplete);
}

TEST_F(HttpClientTest, ChunkedWithACapitalCIsReadUntilTheClose) {
    const std::string raw = "5\r\nhello\r\n0\r\n\r\n";
    fake->Add({"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n" + raw});
    EXPECT_EQ(client->Get("http://h/x"), raw);
}

TEST_F(HttpClientTest, ChunkedBodyCutShortOrUnreadable) {
    fake->Add({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nshort"});
    EXPECT_EQ(FailureOf<EConnClosedGracefully>("http://h/x"), "Connection Closed Gracefully.");
    EXPECT_EQ(events, (Events{"begin 16", "work 5", "end"}));

    fake->Add({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"});
    EXPECT_EQ(FailureOf<EConnClosedGracefully>("http://h/x"), "Connection Closed Gracefully.");

    // A size line that is no number ends the body, which is marked as cut;
    // what follows it is unread, so the connection cannot serve another
    // request.
    fake->Add({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\nzz\r\n\r\n"
               "rest of the body\r\n"},
              false);
    fake->Add({Ok("fresh")}, false);
    EXPECT_EQ(client->Get("http://h/x"), "ab");
    EXPECT_TRUE(client->Response().incomplete);
    EXPECT_FALSE(client->Connected());
    EXPECT_EQ(client->Get("http://h/y"), "fresh");
}

TEST_F(HttpClientTest, WorkEventGranularity) {
    const std::string body(100000, 'x');
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    // 1 000 bytes arrive with the head, the rest in odd network pieces.
    fake->Add({head + body.substr(0, 1000), body.substr(1000, 50000), body.substr(51000, 7),
               body.substr(51007)});
    EXPECT_EQ(client->Get("http://h/x").size(), 100000u);
    EXPECT_EQ(events, (Events{"begin 100000", "work 1000", "work 33768", "work 66536", "work 99304",
                              "work 100000", "end"}));

    events.clear();
    fake->Add({"HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n" + std::string(20000, 'y')});
    client->Get("http://h/x");
    EXPECT_EQ(events, (Events{"begin 20000", "work 20000", "end"}));

    events.clear();
    fake->Add({"HTTP/1.1 200 OK\r\nContent-Length: 70000\r\n\r\n", std::string(70000, 'z')});
    client->Get("http://h/x");
    EXPECT_EQ(events, (Events{"begin 70000", "work 32768", "work 65536", "work 70000", "end"}));

    // Until the close: every 32 768 bytes, then the rest.
    events.clear();
    fake->Add({"HTTP/1.1 200 OK\r\n\r\n", std::string(70000, 'w')});
    EXPECT_EQ(client->Get("http://h/x").size(), 70000u);
    EXPECT_EQ(events, (Events{"begin 0", "work 32768", "work 65536", "work 70000", "end"}));

    // No events for an empty or a 204 body.
    events.clear();
    fake->Add({"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"});
    client->Get("http://h/x");
    fake->Add({"HTTP/1.1 204 No Content\r\n\r\n"});
    client->Get("http://h/x");
    EXPECT_TRUE(events.empty());
}

TEST_F(HttpClientTest, LinesLongerThanTheLimitFail) {
    const std::string at_limit(THTTPClient::kMaxLineLength - 8, 'v');  // "X-Pad: " + value
    fake->Add({"HTTP/1.1 200 OK\r\nX-Pad: " + at_limit + "v\r\nContent-Length: 0\r\n\r\n"});
    EXPECT_NO_THROW(client->Get("http://h/x"));
    EXPECT_EQ(client->Response().headers.Value("X-Pad").size() + 7, THTTPClient::kMaxLineLength);

    fake->Add({"HTTP/1.1 200 OK\r\nX-Pad: " + at_limit + "vv\r\nContent-Length: 0\r\n\r\n"});
    EXPECT_EQ(FailureOf<ETransferError>("http://h/x"), "Max line length exceeded.");
    EXPECT_FALSE(client->Connected());

    fake->Add({"HTTP/1.1 200 " + std::string(THTTPClient::kMaxLineLength, 'S')});
    EXPECT_EQ(FailureOf<ETransferError>("http://h/x"), "Max line length exceeded.");

    fake->Add({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
               std::string(THTTPClient::kMaxLineLength + 1, '0') + "\r\n"});
    EXPECT_EQ(FailureOf<ETransferError>("http://h/x"), "Max line length exceeded.");
}

TEST_F(HttpClientTest, HeaderFloodFails) {
    std::string head = "HTTP/1.1 200 OK\r\n";
    for (size_t i = 0; i <= THTTPClient::kMaxHeaderLines; ++i) {
        head += "X-" + std::to_string(i) + ": v\r\n";
    }
    fake->Add({head + "\r\n"});
    EXPECT_EQ(FailureOf<ETransferError>("http://h/x"), "Response header too large.");
}

TEST_F(HttpClientTest, PositionsPastThe32BitRangeFail) {
    fake->Add({"HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\nabc"});
    EXPECT_EQ(FailureOf<ETransferError>("http://h/x"), "Integer overflow");

    client->BeginWork(TWorkMode::Read, 0);
    client->DoWork(TWorkMode::Read, INT32_MAX);
    EXPECT_THROW(client->DoWork(TWorkMode::Read, 1), ETransferError);
    client->EndWork(TWorkMode::Read);
    EXPECT_EQ(events, (Events{"begin 0", "work 2147483647", "end"}));
}

TEST_F(HttpClientTest, WorkStateNestsAndEventsFireAtTheOutermostPair) {
    client->BeginWork(TWorkMode::Read, 10);
    client->BeginWork(TWorkMode::Read, 99);
    client->DoWork(TWorkMode::Read, 4);
    client->EndWork(TWorkMode::Read);
    client->DoWork(TWorkMode::Read, 6);
    client->EndWork(TWorkMode::Read);
    client->DoWork(TWorkMode::Read, 1);  // no pair open: nothing
    client->EndWork(TWorkMode::Read);
    EXPECT_EQ(events, (Events{"begin 10", "work 4", "work 10", "end"}));
}

TEST_F(HttpClientTest, HandlerErrorAbortsTheReadAndEndStillFires) {
    fake->Add({"HTTP/1.1 200 OK\r\nContent-Length: 70000\r\n\r\n", std::string(70000, 'z')});
    client->OnWork = [this](THTTPClient&, TWorkMode, int32_t position) {
        events.push_back("work " + std::to_string(position));
        throw base::Exception("stop");
    };
    base::TMemoryStream buffer;
    buffer.WriteBuffer("keep");
    EXPECT_THROW(client->Get("http://h/x", buffer), base::Exception);
    EXPECT_EQ(events, (Events{"begin 70000", "work 32768", "end"}));
    // The buffer gets nothing from a failed exchange.
    EXPECT_EQ(buffer.ToString(), "keep");
    EXPECT_EQ(buffer.Position(), 4);
    EXPECT_FALSE(client->Connected());
}

TEST_F(HttpClientTest, SilentServerTimesOut) {
    fake->Add({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n12"}, false);
    EXPECT_EQ(FailureOf<platform::ESocketError>("http://h/x"),
              "Socket Error # 10060\r\nConnection timed out.");
    EXPECT_EQ(events, (Events{"begin 10", "work 2", "end"}));
    EXPECT_FALSE(client->Connected());
}

TEST_F(HttpClientTest, CookiesAreStoredAndSentBack) {
    int64_t now = 1'700'000'000;
    client->Clock = [&now] { return now; };
    auto side = fake->Add({Ok("1",
                              "Set-Cookie: a=1; path=/\r\nset-cookie: b=2; Path=\"/game\"\r\n"
                              "Set-Cookie2: c=3; expires=Wed, 15-Nov-2023 00:00:00 GMT\r\n"
                              "Set-Cookie: s=4; secure\r\nSet-Cookie: e=\r\n"
                              "Set-Cookie: other=5; domain=elsewhere.com\r\n"),
                           Ok("2"), Ok("3"), Ok("4")},
                          false);
    client->Get("http://www.h.com/game/list.txt");
    client->Get("http://www.h.com/game/a.pak");
    client->Get("http://www.h.com/root.txt");
    now = 1'800'000'000;  // past c's expiry
    client->Get("http://www.h.com/game/b.pak");

    std::vector<std::string> cookie_lines;
    for (size_t pos = side->sent.find("Cookie: "); pos != std::string::npos;
         pos = side->sent.find("Cookie: ", pos + 1)) {
        cookie_lines.push_back(side->sent.substr(pos, side->sent.find("\r\n", pos) - pos));
    }
    EXPECT_EQ(cookie_lines, (std::vector<std::string>{"Cookie: a=1; b=2; c=3", "Cookie: a=1; c=3",
                                                      "Cookie: a=1; b=2"}));
    // The first request had no Cookie line; the store is made by a response.
    EXPECT_EQ(side->sent.find("Cookie"), side->sent.find("Cookie: a=1; b=2; c=3"));
}

// HTTPS goes through the connector's secure connections: the default port
// 443 left out of the Host header, a redirect to HTTPS followed (at most
// kMaxRedirects times), a redirect from HTTPS to anything else refused, and
// cookies marked secure sent over HTTPS only.
TEST_F(HttpClientTest, HttpsRedirectsAndSecureCookies) {
    fake->secure_available = true;
    auto plain =
        fake->Add({"HTTP/1.1 301 Moved\r\nLocation: https://h/y\r\n"
                   "Set-Cookie: s=1; secure\r\nSet-Cookie: p=2\r\n"
                   "Content-Length: 3\r\n\r\nold"});
    auto secure = fake->Add(
        {"HTTP/1.1 302 Found\r\nLocation: /z\r\nContent-Length: 0\r\n\r\n", Ok("body")}, false);
    EXPECT_EQ(client->Get("http://h/x"), "body");
    EXPECT_EQ(fake->opened_secure, (std::vector<bool>{false, true}));
    EXPECT_EQ(fake->opened[1], (std::pair<std::string, uint16_t>("h", 443)));
    EXPECT_NE(secure->sent.find("GET /y HTTP/1.1\r\nHost: h\r\n"), std::string::npos);
    EXPECT_NE(secure->sent.find("GET /z HTTP/1.1\r\nHost: h\r\n"), std::string::npos)
        << "a relative location stays secure, on the kept-alive connection";
    EXPECT_NE(secure->sent.find("Cookie: s=1; p=2"), std::string::npos);
    EXPECT_EQ(plain->sent.find("Cookie"), std::string::npos);

    fake->Add({"HTTP/1.1 302 Found\r\nLocation: http://h/down\r\nContent-Length: 0\r\n\r\n"});
    EXPECT_EQ(FailureOf<ETransferError>("https://h:8443/a"),
              "Redirect from HTTPS to an insecure location refused: http://h/down");
    EXPECT_NE(fake->sides.back()->sent.find("Host: h:8443\r\n"), std::string::npos);

    std::vector<std::string> loop;
    for (int i = 0; i <= THTTPClient::kMaxRedirects; ++i) {
        loop.push_back("HTTP/1.1 307 Again\r\nLocation: /again\r\nContent-Length: 0\r\n\r\n");
    }
    fake->Add(loop, false);
    EXPECT_EQ(FailureOf<ETransferError>("https://h/again"), "Too many redirects.");
}

TEST_F(HttpClientTest, LongHeaderLinesAreFolded) {
    client->Request().accept = std::string(60, 'a') + " " + std::string(30, 'b');
    auto side = fake->Add({Ok("x")});
    client->Get("http://h/x");
    EXPECT_NE(side->sent.find("Accept: " + std::string(60, 'a') + "\r\n " + std::string(30, 'b') +
                              "\r\n"),
              std::string::npos);
}

TEST_F(HttpClientTest, AcceptEncodingGetsIdentityOnce) {
    client->Request().accept_encoding = "gzip";
    auto side = fake->Add({Ok("a"), Ok("b")}, false);
    client->Get("http://h/1");
    client->Get("http://h/2");
    EXPECT_EQ(client->Request().accept_encoding, "gzip, identity");
    EXPECT_EQ(side->sent.find("Accept-Encoding: gzip, identity, identity"), std::string::npos);
}

}  // namespace
}  // namespace transfer
