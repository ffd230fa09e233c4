// The mail exchanger lookup against a fake DNS server on 127.0.0.1, and the
// list of servers it asks.

#include "exceptions/mx_lookup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dns_message.h"
#include "exceptions/socket_client.h"
#include "platform/socket.h"

namespace exceptions {
namespace {

using dns_test::kReplyFlags;
using dns_test::TMessage;

constexpr platform::Ipv4 kLoopback = 0x7f000001;
// A server's time when it is expected to answer: only reached when
// something is broken.
constexpr int kAnswerMs = 10000;
// A server's time when it is expected to stay silent; also the time the
// fake server has for its answer in the cases that have one, so not too
// short for a loaded machine.
constexpr int kSilentMs = 500;

struct TMx {
    uint16_t preference;
    std::string host;
};

// The reply to the query of `id` for `domain`.
std::vector<uint8_t> Reply(uint16_t id, const std::vector<TMx>& answers,
                           uint16_t flags = kReplyFlags, std::string_view domain = "example.com") {
    TMessage m;
    m.Header(id, flags, 1, static_cast<uint16_t>(answers.size())).Question(domain);
    for (const TMx& mx : answers) {
        m.Mx(mx.preference, mx.host);
    }
    return m.Bytes();
}

struct TDatagram {
    std::vector<uint8_t> bytes;
    bool from_other_port = false;  // sent from a second socket of the server
    int delay_ms = 0;              // waited before sending
};

// What the server sends for its query number `index` (from 0) with `id`.
using THandler = std::function<std::vector<TDatagram>(int index, uint16_t id)>;

// A DNS server on 127.0.0.1 in a thread of its own, answering each query as
// its handler says. Runs until destroyed, at most 30 s, and waits at most
// 20 ms at a time, so that it always stops soon.
class TFakeDnsServer {
  public:
    explicit TFakeDnsServer(THandler handler)
        : socket_(platform::UdpSocket::Bind(kLoopback, 0)),
          other_(platform::UdpSocket::Bind(kLoopback, 0)),
          handler_(std::move(handler)),
          thread_([this] { Run(); }) {}
    ~TFakeDnsServer() {
        stop_ = true;
        thread_.join();
    }

    uint16_t Port() const { return socket_.LocalPort(); }
    std::vector<std::vector<uint8_t>> Queries() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return queries_;
    }
    std::string Error() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return error_;
    }
    int Sent() const { return sent_; }

  private:
    void Run() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        try {
            while (!stop_ && std::chrono::steady_clock::now() < end) {
                std::vector<uint8_t> buffer(512);
                platform::Ipv4 from = 0;
                uint16_t from_port = 0;
                const auto size =
                    socket_.ReceiveFrom(buffer.data(), buffer.size(), 20, &from, &from_port);
                if (!size) {
                    continue;
                }
                buffer.resize(*size);
                int index;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    index = static_cast<int>(queries_.size());
                    queries_.push_back(buffer);
                }
                const uint16_t id = buffer.size() >= 2 ? (buffer[0] << 8 | buffer[1]) : 0;
                for (const TDatagram& d : handler_(index, id)) {
                    for (int waited = 0; waited < d.delay_ms && !stop_; waited += 10) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    }
                    if (stop_) {
                        break;
                    }
                    (d.from_other_port ? other_ : socket_)
                        .SendTo(from, from_port, d.bytes.data(), d.bytes.size());
                    ++sent_;
                }
            }
        } catch (const std::exception& e) {
            std::lock_guard<std::mutex> lock(mutex_);
            error_ = e.what();
        }
    }

    platform::UdpSocket socket_;
    platform::UdpSocket other_;
    THandler handler_;
    std::atomic<bool> stop_{false};
    std::atomic<int> sent_{0};
    mutable std::mutex mutex_;
    std::vector<std::vector<uint8_t>> queries_;
    std::string error_;
    std::thread thread_;  // last: starts once everything else is there
};

// A lookup of the fake server, listed `times` times, with ids 0x1000, 0x1001, ...
TMxLookup LookupOf(const TFakeDnsServer& server, int times, int timeout_ms) {
    TMxLookup lookup;
    lookup.servers.assign(static_cast<size_t>(times), "127.0.0.1");
    lookup.port = server.Port();
    lookup.timeout_ms = timeout_ms;
    auto next = std::make_shared<uint16_t>(0x1000);
    lookup.random_id = [next] { return (*next)++; };
    return lookup;
}

uint16_t IdOf(const std::vector<uint8_t>& query) {
    return query.size() >= 2 ? static_cast<uint16_t>(query[0] << 8 | query[1]) : 0;
}

// The message of the EVivavaSocketError that f raises.
template <typename F>
std::string LookupError(F&& f) {
    try {
        const std::string host = f();
        ADD_FAILURE() << "no error; the host is " << host;
    } catch (const EVivavaSocketError& e) {
        return e.Message();
    }
    return {};
}

struct TLookupCase {
    const char* what;
    const char* address;
    int servers;     // times the fake server is listed
    int timeout_ms;  // per server
    THandler handler;
    std::string host;  // expected; empty: the error for example.com
    int queries;       // queries the server gets
};

TEST(MxLookupTest, Table) {
    const auto silent = [](int, uint16_t) { return std::vector<TDatagram>{}; };
    const std::vector<TLookupCase> cases = {
        {"lowest preference", "user@example.com", 1, kAnswerMs,
         [](int, uint16_t id) {
             return std::vector<TDatagram>{
                 {Reply(id, {{20, "mx20.example.com"}, {10, "mx10.example.com"}})}};
         },
         "mx10.example.com", 1},
        {"no MX: the domain itself; no \"@\": the whole text", "example.com", 1, kAnswerMs,
         [](int, uint16_t id) { return std::vector<TDatagram>{{Reply(id, {})}}; }, "example.com",
         1},
        {"final dot left off the domain", "a@example.com.", 1, kAnswerMs,
         [](int, uint16_t id) { return std::vector<TDatagram>{{Reply(id, {})}}; }, "example.com",
         1},
        {"silent first server, the second answers", "a@example.com", 2, kSilentMs,
         [](int index, uint16_t id) {
             if (index == 0) {
                 return std::vector<TDatagram>{};
             }
             return std::vector<TDatagram>{{Reply(id, {{5, "second.example.com"}})}};
         },
         "second.example.com", 2},
        {"reply from another port passed over", "a@example.com", 1, kAnswerMs,
         [](int, uint16_t id) {
             return std::vector<TDatagram>{{Reply(id, {{1, "other.example.com"}}), true},
                                           {Reply(id, {{1, "mx.example.com"}})}};
         },
         "mx.example.com", 1},
        {"reply from another port only", "a@example.com", 1, kSilentMs,
         [](int, uint16_t id) {
             return std::vector<TDatagram>{{Reply(id, {{1, "other.example.com"}}), true}};
         },
         "", 1},
        {"wrong id then the right one", "a@example.com", 1, kAnswerMs,
         [](int, uint16_t id) {
             return std::vector<TDatagram>{
                 {Reply(static_cast<uint16_t>(id + 1), {{1, "forged.example.com"}})},
                 {Reply(id, {{1, "mx.example.com"}})}};
         },
         "mx.example.com", 1},
        {"no such domain on the first, MX on the second", "a@example.com", 2, kAnswerMs,
         [](int index, uint16_t id) {
             if (index == 0) {
                 return std::vector<TDatagram>{{Reply(id, {}, kReplyFlags | 3)}};
             }
             return std::vector<TDatagram>{{Reply(id, {{1, "mx.example.com"}})}};
         },
         "mx.example.com", 2},
        {"broken reply on the first, MX on the second", "a@example.com", 2, kAnswerMs,
         [](int index, uint16_t id) {
             std::vector<uint8_t> reply = Reply(id, {{1, index == 0 ? "cut" : "mx.example.com"}});
             if (index == 0) {
                 reply.resize(reply.size() - 3);
             }
             return std::vector<TDatagram>{{reply}};
         },
         "mx.example.com", 2},
        {"nothing anywhere", "a@example.com", 2, kSilentMs, silent, "", 2},
        {"null MX: no other server is asked", "a@example.com", 2, kAnswerMs,
         [](int, uint16_t id) {
             return std::vector<TDatagram>{{Reply(id, {{0, ""}})}};
         },
         "", 1},
    };
    for (const TLookupCase& c : cases) {
        SCOPED_TRACE(c.what);
        TFakeDnsServer server(c.handler);
        const TMxLookup lookup = LookupOf(server, c.servers, c.timeout_ms);
        if (c.host.empty()) {
            EXPECT_EQ(LookupError([&] { return MxHostOf(c.address, lookup); }),
                      "Cannot resolve the \"example.com\" MX record.");
        } else {
            EXPECT_EQ(MxHostOf(c.address, lookup), c.host);
        }
        // Each server was asked once, with a fresh id, for the domain.
        const std::string domain = MailDomainOf(c.address);
        const std::vector<std::vector<uint8_t>> queries = server.Queries();
        ASSERT_EQ(static_cast<int>(queries.size()), c.queries);
        for (size_t i = 0; i < queries.size(); ++i) {
            EXPECT_EQ(IdOf(queries[i]), 0x1000 + i);
            EXPECT_EQ(queries[i], MxQuery(domain, IdOf(queries[i])));
        }
        EXPECT_EQ(server.Error(), "");
    }
}

TEST(MxLookupTest, ServersThatCannotBeAskedArePassedOver) {
    // No resolver is asked for a server given by name, and nothing is sent
    // for a domain that cannot be asked for.
    TFakeDnsServer server([](int, uint16_t id) {
        return std::vector<TDatagram>{{Reply(id, {{1, "mx.example.com"}})}};
    });
    TMxLookup lookup = LookupOf(server, 1, kAnswerMs);
    lookup.servers.insert(lookup.servers.begin(), {"", "localhost", "dns.example.com", "127.0.0",
                                                   "127.0.0.1.", "300.1.1.1", " 127.0.0.1"});
    EXPECT_EQ(MxHostOf("a@example.com", lookup), "mx.example.com");
    EXPECT_EQ(server.Queries().size(), 1u);

    for (const char* address : {"a@", "a@bad domain!", "a@x..y"}) {
        const std::string domain = std::string(address).substr(2);
        EXPECT_EQ(LookupError([&] { return MxHostOf(address, lookup); }),
                  "Cannot resolve the \"" + domain + "\" MX record.");
    }
    EXPECT_EQ(server.Queries().size(), 1u);
    EXPECT_EQ(LookupError([&] { return MxHostOf("a@example.com", TMxLookup{}); }),
              "Cannot resolve the \"example.com\" MX record.");
}

TEST(MxLookupTest, PassedOverDatagramsDoNotExtendTheWait) {
    // The server sends replies to another query every 30 ms for 6 s; the
    // lookup gives up after its own time, long before they end.
    constexpr int kTrickle = 200;
    TFakeDnsServer server([](int, uint16_t id) {
        std::vector<TDatagram> datagrams;
        for (int i = 0; i < kTrickle; ++i) {
            datagrams.push_back(
                {Reply(static_cast<uint16_t>(id ^ 0x8000), {{1, "forged.example.com"}}), false,
                 30});
        }
        return datagrams;
    });
    EXPECT_EQ(LookupError([&] { return MxHostOf("a@example.com", LookupOf(server, 1, 300)); }),
              "Cannot resolve the \"example.com\" MX record.");
    EXPECT_LT(server.Sent(), kTrickle);
}

TEST(MxLookupTest, TheSystemsRandomIdsByDefault) {
    std::vector<uint16_t> ids;
    TFakeDnsServer server([&](int, uint16_t id) {
        return std::vector<TDatagram>{{Reply(id, {{1, "mx.example.com"}})}};
    });
    TMxLookup lookup = LookupOf(server, 1, kAnswerMs);
    lookup.random_id = nullptr;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(MxHostOf("a@example.com", lookup), "mx.example.com");
    }
    const auto queries = server.Queries();
    ASSERT_EQ(queries.size(), 4u);
    // Four equal random ids have a chance of 2^-48.
    bool differ = false;
    for (const auto& query : queries) {
        differ = differ || IdOf(query) != IdOf(queries[0]);
    }
    EXPECT_TRUE(differ);
}

TEST(DnsServerListTest, Table) {
    const std::string fixed = kFallbackDnsServer;
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {{}, {fixed}},
        {{"0.0.0.0"}, {fixed}},
        {{" 0.0.0.0 ", "", "  ", "\t10.0.0.1\r\n"}, {"10.0.0.1", fixed}},
        {{"192.168.1.1", "10.0.0.1", "192.168.1.1 ", "10.0.0.1"},
         {"192.168.1.1", "10.0.0.1", fixed}},
        {{fixed, "10.0.0.1", " " + fixed}, {"10.0.0.1", fixed}},
    };
    for (const auto& [system, expected] : cases) {
        EXPECT_EQ(DnsServerList(system), expected) << ::testing::PrintToString(system);
    }
}

}  // namespace
}  // namespace exceptions
