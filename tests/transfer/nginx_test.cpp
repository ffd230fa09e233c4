// The HTTP client against a real nginx on 127.0.0.1, started for this test by
// tests/support/nginx-fixture. The fixture's folder (NGINX_FIXTURE_DIR) holds
// the port, the document root and nginx's access log, which tells which
// connection served each request. Natively, httpget is run as a black box too.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/streams.h"
#include "transfer/http_client.h"

#ifdef UPDATER_HTTPGET
#include <sys/wait.h>

#include <filesystem>

#include "platform/socket.h"
#include "support/scripted_server.h"
#endif

namespace transfer {
namespace {

const std::string kFixture = NGINX_FIXTURE_DIR;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot open " << path;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Document(const std::string& name) {
    return ReadFile(kFixture + "/www/" + name);
}

std::string Url(const std::string& target) {
    static const std::string port = [] {
        std::string text = ReadFile(kFixture + "/port");
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        return text;
    }();
    return "http://127.0.0.1:" + port + target;
}

// A query that marks this run's requests in the access log.
std::string Tag(const std::string& name) {
    static const std::string run = [] {
        std::random_device device;
        std::ostringstream text;
        text << std::hex << device() << device();
        return text.str();
    }();
    return "?" + name + "-" + run;
}

struct LogLine {
    std::string connection;
    long request_number = 0;  // on its connection, from 1
    std::string target;
    std::string status;
    std::string cookie;  // "-" when none was sent
};

std::vector<LogLine> ReadAccessLog() {
    std::vector<LogLine> lines;
    std::ifstream in(kFixture + "/logs/access.log", std::ios::binary);
    std::string text;
    while (std::getline(in, text)) {
        std::vector<std::string> fields;
        std::istringstream split(text);
        for (std::string field; std::getline(split, field, '\t');) {
            fields.push_back(field);
        }
        if (fields.size() != 5) {
            continue;  // a line still being written
        }
        lines.push_back({fields[0], std::atol(fields[1].c_str()), fields[2], fields[3], fields[4]});
    }
    return lines;
}

// The log lines of the given request targets, in that order. nginx writes a
// line after the response has left, so this waits a little (at most 5 s)
// for lines still to come; a target that never shows up fails the test.
std::vector<LogLine> LogOf(const std::vector<std::string>& targets) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        const std::vector<LogLine> log = ReadAccessLog();
        std::vector<LogLine> found;
        for (const std::string& target : targets) {
            for (const LogLine& line : log) {
                if (line.target == target) {
                    found.push_back(line);
                    break;
                }
            }
        }
        if (found.size() == targets.size()) {
            return found;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "access log lacks some of the requests";
            return std::vector<LogLine>(targets.size());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Records the progress events as text.
void RecordEvents(THTTPClient& client, std::vector<std::string>& events) {
    client.OnWorkBegin = [&events](THTTPClient&, TWorkMode, int32_t expected) {
        events.push_back("begin " + std::to_string(expected));
    };
    client.OnWork = [&events](THTTPClient&, TWorkMode, int32_t position) {
        events.push_back("work " + std::to_string(position));
    };
    client.OnWorkEnd = [&events](THTTPClient&, TWorkMode) { events.push_back("end"); };
}

// One begin with the size, positions that grow up to the size, one end.
void ExpectProgressOf(const std::vector<std::string>& events, size_t size) {
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front(), "begin " + std::to_string(size));
    EXPECT_EQ(events.back(), "end");
    long previous = 0;
    for (size_t i = 1; i + 1 < events.size(); ++i) {
        ASSERT_EQ(events[i].rfind("work ", 0), 0u) << events[i];
        const long position = std::atol(events[i].c_str() + 5);
        EXPECT_GT(position, previous) << events[i];
        previous = position;
    }
    EXPECT_EQ(previous, static_cast<long>(size));
}

TEST(NginxTest, SmallTextFileArrivesByteForByte) {
    THTTPClient client;
    const std::string expected = Document("small.txt");
    EXPECT_EQ(client.Get(Url("/small.txt")), expected);
    EXPECT_EQ(client.Response().status_line, "HTTP/1.1 200 OK");
    EXPECT_EQ(client.Response().code, 200);
    EXPECT_EQ(client.Response().content_length, static_cast<int64_t>(expected.size()));
    EXPECT_EQ(client.Response().headers.Value("Content-Type"), "text/plain");
    EXPECT_FALSE(client.Response().incomplete);
}

TEST(NginxTest, EmptyFileGivesAnEmptyBody) {
    THTTPClient client;
    std::vector<std::string> events;
    RecordEvents(client, events);
    EXPECT_EQ(client.Get(Url("/empty.txt")), "");
    EXPECT_EQ(client.Response().content_length, 0);
    // A zero Content-Length is not read at all: no progress.
    EXPECT_TRUE(events.empty());
    // The connection serves the next request.
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(client.Get(Url("/small.txt")), Document("small.txt"));
}

TEST(NginxTest, LargeBinaryFileArrivesByteForByteWithProgress) {
    const std::string expected = Document("random.bin");
    ASSERT_GT(expected.size(), 1048576u);
    THTTPClient client;
    std::vector<std::string> events;
    RecordEvents(client, events);

    const std::string body = client.Get(Url("/random.bin"));
    EXPECT_EQ(body.size(), expected.size());
    EXPECT_TRUE(body == expected) << "the body differs from the file";
    EXPECT_EQ(client.Response().body_bytes, static_cast<int64_t>(expected.size()));
    ExpectProgressOf(events, expected.size());

    // Streamed behind bytes already in the stream, on the same connection.
    events.clear();
    base::TMemoryStream stream;
    stream.WriteBuffer("prefix");
    client.GetToStream(Url("/random.bin"), stream);
    EXPECT_TRUE(stream.View() == "prefix" + expected) << "the streamed body differs";
    ExpectProgressOf(events, expected.size());
}

TEST(NginxTest, ChunkedBodyArrivesByteForByte) {
    const std::string expected = Document("random.bin");
    THTTPClient client;
    const std::string body = client.Get(Url("/chunked/random.bin"));
    // The fixture's location must really have sent chunks.
    EXPECT_NE(client.Response().headers.Value("Transfer-Encoding").find("chunked"),
              std::string::npos);
    EXPECT_EQ(client.Response().content_length, -1);
    EXPECT_EQ(body.size(), expected.size());
    EXPECT_TRUE(body == expected) << "the chunked body differs from the file";
    EXPECT_FALSE(client.Response().incomplete);
    // After the last chunk the connection is in step for the next response.
    EXPECT_EQ(client.Get(Url("/chunked/small.txt")), Document("small.txt"));
}

TEST(NginxTest, KeepAliveServesRequestsOnOneConnection) {
    THTTPClient client;
    const std::string first = "/small.txt" + Tag("keep-1");
    const std::string second = "/random.bin" + Tag("keep-2");
    const std::string third = "/small.txt" + Tag("keep-3");
    EXPECT_EQ(client.Get(Url(first)), Document("small.txt"));
    EXPECT_TRUE(client.Response().keep_alive);
    EXPECT_TRUE(client.Connected());
    EXPECT_TRUE(client.Get(Url(second)) == Document("random.bin"));
    EXPECT_EQ(client.Get(Url(third)), Document("small.txt"));

    const std::vector<LogLine> log = LogOf({first, second, third});
    EXPECT_EQ(log[1].connection, log[0].connection);
    EXPECT_EQ(log[2].connection, log[0].connection);
    EXPECT_EQ(log[0].request_number, 1);
    EXPECT_EQ(log[1].request_number, 2);
    EXPECT_EQ(log[2].request_number, 3);
}

TEST(NginxTest, ConnectionCloseMakesTheNextRequestOpenANewConnection) {
    THTTPClient client;
    const std::string closing = "/close/small.txt" + Tag("close-1");
    const std::string next = "/small.txt" + Tag("close-2");
    EXPECT_EQ(client.Get(Url(closing)), Document("small.txt"));
    EXPECT_EQ(client.Response().headers.Value("Connection"), "close");
    EXPECT_FALSE(client.Response().keep_alive);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.Get(Url(next)), Document("small.txt"));

    const std::vector<LogLine> log = LogOf({closing, next});
    EXPECT_NE(log[1].connection, log[0].connection);
    EXPECT_EQ(log[1].request_number, 1);
}

TEST(NginxTest, NotFoundRaisesTheStatusLineWithTheErrorBody) {
    THTTPClient client;
    const std::string missing = "/no-such-file.txt" + Tag("404");
    try {
        client.Get(Url(missing));
        FAIL() << "no error for a missing file";
    } catch (const EHTTPProtocolException& e) {
        EXPECT_EQ(e.Message(), "HTTP/1.1 404 Not Found");
        EXPECT_EQ(e.ErrorCode(), 404);
        EXPECT_EQ(e.ErrorMessage(), Document("404.html"));
    }
    // The error body was read whole: the same connection goes on.
    const std::string next = "/small.txt" + Tag("after-404");
    EXPECT_EQ(client.Get(Url(next)), Document("small.txt"));
    const std::vector<LogLine> log = LogOf({missing, next});
    EXPECT_EQ(log[0].status, "404");
    EXPECT_EQ(log[1].status, "200");
    EXPECT_EQ(log[1].connection, log[0].connection);
}

TEST(NginxTest, RelativeUrlsFollowTheAbsoluteOne) {
    THTTPClient client;
    EXPECT_EQ(client.Get(Url("/dir/a.txt")), Document("dir/a.txt"));
    EXPECT_EQ(client.Get("b.txt"), Document("dir/b.txt"));
    EXPECT_EQ(client.Get("../small.txt"), Document("small.txt"));
    EXPECT_EQ(client.Get("/dir/a.txt"), Document("dir/a.txt"));
    const std::string tagged = "b.txt" + Tag("relative");
    EXPECT_EQ(client.Get(tagged), Document("dir/b.txt"));
    EXPECT_EQ(LogOf({"/dir/" + tagged})[0].status, "200");
}

TEST(NginxTest, CookieFromTheServerIsSentBack) {
    THTTPClient client;
    const std::string setting = "/cookie/small.txt" + Tag("cookie-1");
    const std::string next = "/dir/a.txt" + Tag("cookie-2");
    EXPECT_EQ(client.Get(Url(setting)), Document("small.txt"));
    EXPECT_EQ(client.Get(Url(next)), Document("dir/a.txt"));
    const std::vector<LogLine> log = LogOf({setting, next});
    EXPECT_EQ(log[0].cookie, "-");
    EXPECT_EQ(log[1].cookie, "fixture=yes");
}

#ifdef UPDATER_HTTPGET

struct HttpgetRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs httpget with the arguments (each a single word) through the shell,
// standard output and error going to files in the fixture folder.
HttpgetRun RunHttpget(const std::string& arguments) {
    const std::string out = kFixture + "/httpget.out";
    const std::string err = kFixture + "/httpget.err";
    const std::string command =
        std::string("'") + UPDATER_HTTPGET + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    HttpgetRun run;
    if (raw != -1 && WIFEXITED(raw)) {
        run.status = WEXITSTATUS(raw);
    }
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(HttpgetTest, WritesTheBodyAndReportsProgress) {
    const std::string expected = Document("random.bin");
    const HttpgetRun run = RunHttpget("--events " + Url("/random.bin"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.size(), expected.size());
    EXPECT_TRUE(run.out == expected) << "standard output differs from the file";
    ExpectProgressOf(Lines(run.err), expected.size());
}

TEST(HttpgetTest, AppendsEveryBodyToTheOutputFileOnOneConnection) {
    const std::string file = kFixture + "/httpget-bodies.bin";
    const std::string first = "/small.txt" + Tag("httpget-1");
    const std::string second = "/chunked/random.bin" + Tag("httpget-2");
    const std::string third = "dir/a.txt" + Tag("httpget-3");  // relative to /small.txt
    const HttpgetRun run =
        RunHttpget("--timeout 10000 --output '" + file + "' '" + Url(first) + "' '" + Url(second) +
                   "' '" + Url(first) + "' '" + third + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const std::string small = Document("small.txt");
    EXPECT_TRUE(ReadFile(file) == small + Document("random.bin") + small + Document("dir/a.txt"))
        << "the output file does not hold the bodies in order";

    const std::vector<LogLine> log = LogOf({first, second, "/" + third});
    EXPECT_EQ(log[1].connection, log[0].connection);
    EXPECT_EQ(log[2].connection, log[0].connection);
    EXPECT_EQ(log[2].request_number, 4);
}

TEST(HttpgetTest, IntoWritesEachBodyToItsOwnFile) {
    const std::string dir = kFixture + "/httpget-into";
    std::system(("mkdir -p '" + dir + "'").c_str());
    const HttpgetRun run = RunHttpget("--into '" + dir + "' '" + Url("/random.bin") + "' '" +
                                      Url("/dir/a.txt?x=1") + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(ReadFile(dir + "/random.bin") == Document("random.bin"));
    EXPECT_EQ(ReadFile(dir + "/a.txt"), Document("dir/a.txt"));
    EXPECT_NE(RunHttpget("--into '" + dir + "' --output x '" + Url("/small.txt") + "'").status, 0)
        << "--into and --output exclude each other";
}

// The names of the entries of a folder, sorted.
std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(HttpgetTest, IntoKeepsEveryFileInsideItsFolder) {
    const std::string parent = kFixture + "/httpget-names";
    const std::string dir = parent + "/into";
    // "\" separates folders in a URL as "/" does, except as the second byte
    // of a GBK character.
    struct Case {
        const char* target;
        const char* name;
    } cases[] = {
        {"/a/..\\escape.txt", "escape.txt"},
        {"/a/b\\..", "index"},
        // GBK D6 5C, stored in UTF-8 on this system.
        {"/\xd6\x5c.txt", "\xe8\xac\x80.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        std::filesystem::remove_all(parent);
        std::filesystem::create_directories(dir);
        test_support::ScriptedServer server({test_support::Script().ReadRequest().Send(
            "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n\r\nbody")});
        const HttpgetRun run = RunHttpget("--into '" + dir + "' '" + server.Url(c.target) + "'");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Listing(parent), std::vector<std::string>{"into"});
        EXPECT_EQ(Listing(dir), std::vector<std::string>{c.name});
    }

    // Names that Windows would change or refuse are refused before anything
    // is fetched.
    test_support::ScriptedServer server({});
    for (const char* target : {"/nul", "/Com1.txt", "/a:b", "/a.", "/a ", "/a<b", "/a|b"}) {
        SCOPED_TRACE(target);
        const HttpgetRun run = RunHttpget("--into '" + dir + "' '" + server.Url("/ok.txt") + "' '" +
                                          server.Url(target) + "'");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "Unsafe file name \"" + std::string(target + 1) + "\" in " +
                               server.Url(target) + "\n");
    }
    EXPECT_EQ(server.Connections(), 0);
}

TEST(HttpgetTest, NotFoundFailsWithTheStatusLine) {
    const HttpgetRun run = RunHttpget("'" + Url("/small.txt") + "' '" + Url("/no-such-file.txt") +
                                      "' '" + Url("/dir/a.txt") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "HTTP/1.1 404 Not Found\n");
    // What came before the failure stays; nothing after it is fetched.
    EXPECT_EQ(run.out, Document("small.txt"));
}

TEST(HttpgetTest, RefusedConnectionFailsWithTheSocketError) {
    // A port that was free a moment ago.
    uint16_t port = 0;
    {
        platform::TcpSocket listener = platform::TcpSocket::Listen(0x7f000001, 0);
        port = listener.LocalPort();
    }
    const HttpgetRun run = RunHttpget("http://127.0.0.1:" + std::to_string(port) + "/x");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Socket Error # 10061\r\nConnection refused.\n");
}

TEST(HttpgetTest, BodyCutShortIsAFailure) {
    test_support::ScriptedServer server(
        {test_support::Script()
             .ReadRequest()
             .Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd")
             .Close()});
    const HttpgetRun run = RunHttpget("--events " + server.Url("/cut.bin"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "abcd");
    EXPECT_EQ(run.err, "begin 10\nwork 4\nend\nIncomplete body: 4 of 10 bytes\n");
    EXPECT_EQ(server.Error(), "");
}

TEST(HttpgetTest, UsageErrors) {
    for (const char* arguments : {"", "--events", "--output", "--timeout x http://h/",
                                  "--timeout -1 http://h/", "--bogus http://h/"}) {
        SCOPED_TRACE(arguments);
        const HttpgetRun run = RunHttpget(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind("usage: httpget ", 0), 0u) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

#endif  // UPDATER_HTTPGET

}  // namespace
}  // namespace transfer
