// TLS connections through the system's security provider, under Wine,
// against nginx serving HTTPS on 127.0.0.1 (tests/support/nginx-fixture with
// --tls). The fixture's folder (NGINX_TLS_FIXTURE_DIR) holds the ports, the
// documents, the test CA and nginx's log of HTTPS requests. The test CA is
// trusted by this Wine prefix for the length of the run.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "support/scripted_server.h"
#include "support/test_root.h"
#include "transfer/transport.h"
#include "transfer/win32/tls_connection.h"

namespace transfer {
namespace {

using test_support::Script;
using test_support::ScriptedServer;

const std::string kFixture = NGINX_TLS_FIXTURE_DIR;
constexpr platform::Ipv4 kLoopback = 0x7f000001;
constexpr int kReadTimeoutMs = 10000;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot open " << path;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Document(const std::string& name) {
    return ReadFile(kFixture + "/www/" + name);
}

// The port of one of the fixture's servers ("https", "https-expired", ...).
uint16_t PortOf(const std::string& server) {
    return static_cast<uint16_t>(std::stoi(ReadFile(kFixture + "/" + server + "-port")));
}

// The test CA is trusted before the first chain is built: the system's
// chain engine reads the trusted roots once.
class TrustTestCa : public testing::Environment {
  public:
    void SetUp() override {
        root_ = std::make_unique<test_support::TrustedTestRoot>(ReadFile(kFixture + "/tls/ca.der"));
    }
    void TearDown() override { root_.reset(); }

  private:
    std::unique_ptr<test_support::TrustedTestRoot> root_;
};
testing::Environment* const kTrustTestCa = testing::AddGlobalTestEnvironment(new TrustTestCa);

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

// The fields of the HTTPS log line of a request target: connection, request
// number, target, status, protocol. Waits a little (at most 5 s) for nginx
// to write it.
std::vector<std::string> LogLineOf(const std::string& target) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
        std::ifstream in(kFixture + "/logs/https-access.log", std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> fields;
            std::istringstream split(line);
            for (std::string field; std::getline(split, field, '\t');) {
                fields.push_back(field);
            }
            if (fields.size() == 5 && fields[2] == target) {
                return fields;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    ADD_FAILURE() << "the HTTPS log lacks " << target;
    return std::vector<std::string>(5);
}

std::unique_ptr<TConnection> Connect(uint16_t port, const std::string& host = "localhost",
                                     int handshake_timeout_ms = kTlsHandshakeTimeoutMs) {
    return OpenTlsConnection(platform::TcpSocket::Connect(kLoopback, port), host,
                             handshake_timeout_ms);
}

std::string GetRequest(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
}

// Reads one response whose body has a Content-Length, never past its end.
// The body may come short when the connection ends first.
std::string ReadBody(TConnection& connection) {
    std::string data;
    char buffer[16384];
    size_t head_end;
    while ((head_end = data.find("\r\n\r\n")) == std::string::npos) {
        const size_t n = connection.Receive(buffer, sizeof(buffer), kReadTimeoutMs);
        if (n == 0) {
            ADD_FAILURE() << "the connection ended inside the response head";
            return "";
        }
        data.append(buffer, n);
    }
    const size_t field = data.find("Content-Length: ");
    if (field == std::string::npos || field > head_end) {
        ADD_FAILURE() << "no Content-Length in " << data.substr(0, head_end);
        return "";
    }
    const size_t length = std::stoul(data.substr(field + 16));
    std::string body = data.substr(head_end + 4);
    while (body.size() < length) {
        const size_t n = connection.Receive(buffer, std::min(sizeof(buffer), length - body.size()),
                                            kReadTimeoutMs);
        if (n == 0) {
            break;
        }
        body.append(buffer, n);
    }
    return body;
}

std::string Get(TConnection& connection, const std::string& target) {
    connection.Send(GetRequest(target));
    return ReadBody(connection);
}

TEST(TlsTest, SocketConnectorServesRequestsOnOneConnectionByteForByte) {
    const auto connection = MakeSocketConnector()->OpenSecure("localhost", PortOf("https"));
    const std::string first = "/small.txt" + Tag("one");
    const std::string second = "/random.bin" + Tag("two");
    EXPECT_EQ(Get(*connection, first), Document("small.txt"));
    const std::string big = Get(*connection, second);
    EXPECT_EQ(big.size(), Document("random.bin").size());
    EXPECT_TRUE(big == Document("random.bin")) << "the body differs from the file";
    // Everything read, the server waits for the next request.
    EXPECT_FALSE(connection->WaitReadable(0));
    EXPECT_FALSE(connection->PeerClosed());

    const std::vector<std::string> one = LogLineOf(first);
    const std::vector<std::string> two = LogLineOf(second);
    EXPECT_EQ(two[0], one[0]) << "not one connection";
    EXPECT_EQ(one[1], "1");
    EXPECT_EQ(two[1], "2");
}

// The protocol of a fresh connection's request, from nginx's log; or the
// error that stopped the connection.
std::string ProtocolOrError(const std::string& server, const std::string& host) {
    const std::string target = "/small.txt" + Tag(server + "-" + host);
    try {
        const auto connection = Connect(PortOf(server), host);
        EXPECT_EQ(Get(*connection, target), Document("small.txt"));
    } catch (const base::Exception& e) {
        return e.Message();
    }
    return LogLineOf(target)[4];
}

TEST(TlsTest, TlsOneTwoAndOneThreeWhereTheSystemHasThem) {
    const std::string failed = "TLS handshake with localhost failed: ";
    EXPECT_EQ(ProtocolOrError("https-tls12", "localhost"), "TLSv1.2");
    // Not every system has TLS 1.3 (Wine before 9 has not): without it,
    // the handshake fails with the reason.
    const std::string tls13 = ProtocolOrError("https-tls13", "localhost");
    const bool has_tls13 = tls13 == "TLSv1.3";
    if (!has_tls13) {
        EXPECT_EQ(tls13.rfind(failed, 0), 0u) << tls13;
        std::printf("note: this system offers no TLS 1.3 (%s)\n", tls13.c_str());
    }
    // A server with both gets the newest the system has; the address in
    // the certificate counts as its name.
    EXPECT_EQ(ProtocolOrError("https", "127.0.0.1"), has_tls13 ? "TLSv1.3" : "TLSv1.2");
    // Older protocols are refused even where the system would take them.
    const std::string old = ProtocolOrError("https-tls10", "localhost");
    EXPECT_EQ(old.rfind(failed, 0), 0u) << old;
}

TEST(TlsTest, CertificateFailuresNameTheReason) {
    struct Case {
        std::string server;
        std::string host;
        std::string message;
    };
    const Case cases[] = {
        {"https-expired", "localhost", "The certificate of localhost has expired."},
        {"https-other-host", "localhost", "The certificate of localhost is made for another host."},
        {"https", "example.invalid",
         "The certificate of example.invalid is made for another host."},
        {"https", "127.0.0.2", "The certificate of 127.0.0.2 is made for another host."},
        {"https-untrusted", "localhost", "The certificate of localhost is not trusted."},
        {"https-untrusted", "127.0.0.1", "The certificate of 127.0.0.1 is not trusted."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server + " as " + c.host);
        try {
            Connect(PortOf(c.server), c.host);
            ADD_FAILURE() << "no error";
        } catch (const ETlsError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(TlsTest, DecryptedBytesNotYetTakenAreReadableWithoutTheSocket) {
    const auto connection = Connect(PortOf("https"));
    connection->Send(GetRequest("/small.txt"));
    char buffer[4096];
    ASSERT_EQ(connection->Receive(buffer, 1, kReadTimeoutMs), 1u);
    EXPECT_EQ(buffer[0], 'H');
    // The rest of the record waits, decrypted; nothing more comes from the
    // server until the next request.
    EXPECT_TRUE(connection->WaitReadable(0));
    EXPECT_FALSE(connection->PeerClosed());
    std::string rest;
    for (int i = 0; i < 10 && rest.find(Document("small.txt")) == std::string::npos; ++i) {
        rest.append(buffer, connection->Receive(buffer, sizeof(buffer), kReadTimeoutMs));
    }
    EXPECT_EQ(rest.rfind("TTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(rest.find(Document("small.txt")), std::string::npos);
    EXPECT_FALSE(connection->WaitReadable(0));
}

TEST(TlsTest, RequestLongerThanOneRecordArrivesWhole) {
    // nginx refuses a POST to a file after reading its body; the next
    // request on the connection is answered only when every record of the
    // body arrived intact.
    const auto connection = Connect(PortOf("https"));
    const std::string body(100000, 'b');
    connection->Send("POST /small.txt HTTP/1.1\r\nHost: localhost\r\nContent-Length: " +
                     std::to_string(body.size()) + "\r\n\r\n" + body);
    ReadBody(*connection);
    EXPECT_EQ(Get(*connection, "/small.txt"), Document("small.txt"));
}

TEST(TlsTest, ServerCloseNotifyEndsTheStream) {
    const auto connection = Connect(PortOf("https"));
    EXPECT_EQ(Get(*connection, "/close/small.txt"), Document("small.txt"));
    char byte;
    EXPECT_EQ(connection->Receive(&byte, 1, kReadTimeoutMs), 0u);
    EXPECT_TRUE(connection->PeerClosed());
    EXPECT_TRUE(connection->WaitReadable(0));
}

TEST(TlsTest, SilentServerTimesOut) {
    // After the handshake: nginx waits for a request.
    const auto connection = Connect(PortOf("https"));
    EXPECT_FALSE(connection->WaitReadable(200));
    char byte;
    try {
        connection->Receive(&byte, 1, 200);
        ADD_FAILURE() << "no time-out";
    } catch (const platform::ESocketError& e) {
        EXPECT_EQ(e.Code(), platform::kWsaTimedOut);
    }

    // In the handshake: a server that takes the connection and never answers.
    ScriptedServer silent({Script().Pause(5000)});
    try {
        Connect(silent.Port(), "localhost", 300);
        ADD_FAILURE() << "no time-out";
    } catch (const platform::ESocketError& e) {
        EXPECT_EQ(e.Code(), platform::kWsaTimedOut);
    }
}

TEST(TlsTest, ServersThatDoNotSpeakTlsFailTheHandshake) {
    struct Case {
        std::string name;
        Script script;
        std::string message;  // empty: any "TLS handshake with localhost failed: ..."
    };
    const std::string failed = "TLS handshake with localhost failed: ";
    Case cases[] = {
        {"plain HTTP answer",
         Script().Pause(100).Send("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n"), ""},
        {"close before any answer", Script().Pause(100).ShutdownSend().Pause(2000),
         failed + "the server closed the connection."},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server({std::move(c.script)});
        try {
            Connect(server.Port(), "localhost", 5000);
            ADD_FAILURE() << "no error";
        } catch (const ETlsError& e) {
            if (c.message.empty()) {
                EXPECT_EQ(e.Message().rfind(failed, 0), 0u) << e.Message();
                EXPECT_GT(e.Message().size(), failed.size()) << "no reason given";
            } else {
                EXPECT_EQ(e.Message(), c.message);
            }
        }
    }
}

// Passes one connection through to nginx, record by record from the
// server's side; once `cut_after` bytes have been passed on, it ends the
// connection to the client, either after half of the next record or at the
// record's boundary.
class CuttingProxy {
  public:
    CuttingProxy(uint16_t target, size_t cut_after, bool inside_record)
        : listener_(platform::TcpSocket::Listen(kLoopback, 0)),
          target_(target),
          cut_after_(cut_after),
          inside_record_(inside_record) {
        thread_ = std::thread([this] { Run(); });
    }
    ~CuttingProxy() {
        stop_ = true;
        thread_.join();
    }
    uint16_t Port() const { return listener_.LocalPort(); }

  private:
    void Run() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        auto running = [&] { return !stop_ && std::chrono::steady_clock::now() < deadline; };
        while (running() && !listener_.WaitReadable(50)) {
        }
        if (!running()) {
            return;
        }
        platform::TcpSocket client = listener_.Accept();
        platform::TcpSocket server = platform::TcpSocket::Connect(kLoopback, target_);
        std::string pending;  // from the server, not passed on yet
        size_t passed = 0;
        std::vector<char> buffer(65536);
        while (running()) {
            if (client.WaitReadable(0)) {
                const size_t n = client.Receive(buffer.data(), buffer.size());
                if (n == 0) {
                    return;
                }
                server.SendAll(buffer.data(), n);
            }
            if (!server.WaitReadable(5)) {
                continue;
            }
            const size_t n = server.Receive(buffer.data(), buffer.size());
            if (n == 0) {
                return;
            }
            pending.append(buffer.data(), n);
            // Whole records only.
            while (pending.size() >= 5) {
                const size_t record =
                    5 + (static_cast<uint8_t>(pending[3]) << 8 | static_cast<uint8_t>(pending[4]));
                if (pending.size() < record) {
                    break;
                }
                if (passed >= cut_after_) {
                    if (inside_record_) {
                        client.SendAll(pending.data(), record / 2);
                    }
                    return;  // closes both connections
                }
                client.SendAll(pending.data(), record);
                passed += record;
                pending.erase(0, record);
            }
        }
    }

    platform::TcpSocket listener_;
    uint16_t target_;
    size_t cut_after_;
    bool inside_record_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(TlsTest, ServerClosingInsideARecordIsAnErrorNotTheEnd) {
    const std::string file = Document("random.bin");
    struct Case {
        bool inside_record;
        std::string message;  // empty: the stream ends early without an error
    };
    const Case cases[] = {
        {true, "The connection to localhost ended in the middle of a TLS record."},
        {false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inside_record ? "inside a record" : "between records");
        CuttingProxy proxy(PortOf("https"), 256 * 1024, c.inside_record);
        const auto connection = Connect(proxy.Port());
        try {
            const std::string body = Get(*connection, "/random.bin");
            EXPECT_TRUE(c.message.empty()) << "no error";
            EXPECT_GT(body.size(), 128u * 1024);
            EXPECT_LT(body.size(), file.size());
            EXPECT_TRUE(connection->PeerClosed());
        } catch (const ETlsError& e) {
            EXPECT_EQ(e.Message(), c.message);
            // And so it stays.
            char byte;
            EXPECT_THROW(connection->Receive(&byte, 1, kReadTimeoutMs), ETlsError);
        }
    }
}

}  // namespace
}  // namespace transfer
