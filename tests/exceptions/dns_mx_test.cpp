// The mail exchanger lookup's bytes: the query for a domain, and the reading
// of hand-built replies, good, odd and hostile (pointer loops, forward
// pointers, lengths past the end, records outside the answers).

#include "exceptions/dns_mx.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dns_message.h"

namespace exceptions {
namespace {

using dns_test::kReplyFlags;
using dns_test::TMessage;

constexpr uint16_t kId = 0x5A17;
constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypeCname = 5;

// A reply to the query for example.com with the given answers.
TMessage Reply(uint16_t answers, uint16_t flags = kReplyFlags, uint16_t id = kId) {
    TMessage m;
    m.Header(id, flags, 1, answers).Question("example.com");
    return m;
}

// A reply whose one answer's exchange is a chain of `pointers` pointers
// (each to the one before it) ending at "mx.example.com".
TMessage PointerChain(int pointers) {
    TMessage m = Reply(2);
    // The chain lives in the data of an answer of a type nobody asks for.
    m.Pointer(12).Fixed(99, static_cast<uint16_t>(16 + 2 * pointers));
    size_t last = m.Here();
    m.Name("mx.example.com");
    for (int i = 0; i < pointers; ++i) {
        const size_t here = m.Here();
        m.Pointer(last);
        last = here;
    }
    m.Pointer(12).Fixed(kDnsTypeMx, 4).U16(5).Pointer(last);
    return m;
}

struct TReplyCase {
    const char* what;
    TMessage reply;
    TMxStatus status;
    std::string host = {};
    uint16_t preference = 0;
    std::string_view domain = "example.com";
    // For a broken reply: a part of the reason, which tells the checks apart.
    std::string_view reason = {};
};

TReplyCase Broken(const char* what, TMessage reply, std::string_view reason) {
    TReplyCase c{what, std::move(reply), TMxStatus::kMalformed};
    c.reason = reason;
    return c;
}

std::vector<TReplyCase> ReplyCases() {
    std::vector<TReplyCase> cases;
    cases.push_back({"lowest preference wins",
                     Reply(2).Mx(20, "mx20.example.com").Mx(10, "mx10.example.com"),
                     TMxStatus::kFound, "mx10.example.com", 10});
    cases.push_back({"first of equal preferences",
                     Reply(3)
                         .Mx(10, "first.example.com")
                         .Mx(10, "second.example.com")
                         .Mx(30, "third.example.com"),
                     TMxStatus::kFound, "first.example.com", 10});
    {
        // The exchange "mx" followed by a pointer to the question's name.
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 7).U16(1).Label("mx").Pointer(12);
        cases.push_back({"exchange compressed", m, TMxStatus::kFound, "mx.example.com", 1});
    }
    {
        TMessage m = Reply(2);
        m.Pointer(12).Fixed(kTypeCname, 11).Name("other.net");
        m.Pointer(12).Fixed(kDnsTypeMx, 7).U16(5).Label("mx").Pointer(12);
        cases.push_back({"CNAME before the MX", m, TMxStatus::kFound, "mx.example.com", 5});
    }
    cases.push_back(
        {"16 pointers followed", PointerChain(15), TMxStatus::kFound, "mx.example.com", 5});
    cases.push_back(Broken("17 pointers refused", PointerChain(16), "too many pieces"));
    cases.push_back({"letter case of the question",
                     [] {
                         TMessage m;
                         m.Header(kId, kReplyFlags, 1, 1).Question("ExAmple.COM");
                         return m.Mx(1, "mx.example.com");
                     }(),
                     TMxStatus::kFound, "mx.example.com", 1});
    cases.push_back({"questions skipped without a domain",
                     [] {
                         TMessage m;
                         m.Header(kId, kReplyFlags, 2, 1).Question("example.com");
                         m.Question("x.y", kTypeA).Mx(7, "mx.x.y");
                         return m;
                     }(),
                     TMxStatus::kFound, "mx.x.y", 7, ""});
    {
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 4).U16(1);
        const size_t self = m.Here();
        m.Pointer(self);
        cases.push_back(Broken("self pointer", m, "itself or to a later place"));
    }
    {
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 4).U16(1);
        m.Pointer(m.Here() + 2).Name("mx.example.com");
        cases.push_back(Broken("forward pointer", m, "itself or to a later place"));
    }
    {
        // "a" then a pointer back to that "a": a loop of backward pointers.
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 6).U16(1);
        const size_t label = m.Here();
        m.Label("a").Pointer(label);
        cases.push_back(Broken("backward pointer loop", m, "too many pieces"));
    }
    {
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 4).U16(1).Pointer(2);
        cases.push_back(Broken("pointer into the header", m, "into the header"));
    }
    {
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 2 + 2 + 1).U16(1).Pointer(0x3FF0).U8(0);
        cases.push_back(Broken("pointer out of range", m, "itself or to a later place"));
    }
    {
        // Five labels of 63 letters: 321 bytes encoded.
        const std::string label(63, 'q');
        std::string name = label;
        for (int i = 0; i < 4; ++i) {
            name += "." + label;
        }
        cases.push_back(Broken("name longer than 255", Reply(1).Mx(1, name), "longer than 255"));
        const std::string fits = label + "." + label + "." + label + "." + std::string(61, 'r');
        cases.push_back({"name of 255", Reply(1).Mx(1, fits), TMxStatus::kFound, fits, 1});
        cases.push_back(Broken("name of 256", Reply(1).Mx(1, fits + "r"), "longer than 255"));
    }
    {
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 6).U16(1).U8(0x41).U8('x').U8('y').U8(0);
        cases.push_back(Broken("label of an unknown kind", m, "unknown kind"));
    }
    {
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 6).U16(1).U8(9).U8('m').U8('x').U8(0);
        cases.push_back(Broken("label past the end", m, "name runs past the end"));
    }
    {
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 40).U16(1).Name("mx.example.com");
        cases.push_back(
            Broken("data length past the end", m, "data of an answer runs past the end"));
    }
    {
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 6).U16(1).Name("mx.example.com");
        cases.push_back(Broken("exchange longer than its data", m, "does not fill its answer"));
    }
    {
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 20).U16(1).Name("mx.example.com").U16(0);
        cases.push_back(Broken("exchange shorter than its data", m, "does not fill its answer"));
    }
    {
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 2).U16(1);
        cases.push_back(Broken("MX data without a name", m, "answer is too short"));
    }
    cases.push_back(Broken("answer count past the records", Reply(2).Mx(1, "mx.example.com"),
                           "past the end of the reply"));
    cases.push_back(
        Broken("exchange not a host name", Reply(1).Mx(1, "m x.example.com"), "not a host name"));
    {
        // No answers; the additional section holds the addresses.
        TMessage m;
        m.Header(kId, kReplyFlags, 1, 0, 0, 2).Question("example.com");
        m.Pointer(12).Fixed(kTypeA, 4).U32(0x7F000001);
        m.Pointer(12).Fixed(kTypeA, 4).U32(0x7F000002);
        cases.push_back({"no answers, additional A records", m, TMxStatus::kNoMx});
    }
    {
        TMessage m;
        m.Header(kId, kReplyFlags, 1, 0, 1).Question("example.com").Mx(1, "evil.example.net");
        cases.push_back({"MX in the authority records", m, TMxStatus::kNoMx});
    }
    cases.push_back({"MX of another class", Reply(1).Mx(1, "mx.example.com", 3), TMxStatus::kNoMx});
    cases.push_back({"null MX", Reply(1).Mx(0, ""), TMxStatus::kNoMail});
    cases.push_back({"RCODE 3", Reply(0, kReplyFlags | 3), TMxStatus::kServerError});
    cases.push_back({"RCODE 15", Reply(0, kReplyFlags | 15), TMxStatus::kServerError});
    cases.push_back({"RCODE 2 with an answer", Reply(1, kReplyFlags | 2).Mx(1, "mx.example.com"),
                     TMxStatus::kServerError});
    cases.push_back(
        Broken("truncated", Reply(1, kReplyFlags | 0x0200).Mx(1, "mx.example.com"), "cut short"));
    cases.push_back(
        {"wrong id", Reply(1, kReplyFlags, kId ^ 1).Mx(1, "mx.example.com"), TMxStatus::kNotOurs});
    cases.push_back(
        {"a query, not a reply", Reply(1, 0x0100).Mx(1, "mx.example.com"), TMxStatus::kNotOurs});
    cases.push_back(
        {"opcode 2", Reply(1, kReplyFlags | 0x1000).Mx(1, "mx.example.com"), TMxStatus::kNotOurs});
    cases.push_back({"another domain asked",
                     [] {
                         TMessage m;
                         m.Header(kId, kReplyFlags, 1, 1).Question("example.net");
                         return m.Mx(1, "mx.example.net");
                     }(),
                     TMxStatus::kNotOurs});
    cases.push_back({"another type asked",
                     [] {
                         TMessage m;
                         m.Header(kId, kReplyFlags, 1, 1).Question("example.com", kTypeA);
                         return m.Mx(1, "mx.example.com");
                     }(),
                     TMxStatus::kNotOurs});
    cases.push_back({"two questions repeated",
                     [] {
                         TMessage m;
                         m.Header(kId, kReplyFlags, 2, 1).Question("example.com");
                         return m.Question("example.com").Mx(1, "mx.example.com");
                     }(),
                     TMxStatus::kNotOurs});
    {
        TMessage m = Reply(1);
        m.Pointer(12).Fixed(kDnsTypeMx, 3).U16(1).U8(0xC0);
        cases.push_back(Broken("pointer cut in half", m, "name runs past the end"));
    }
    cases.push_back({"no question repeated",
                     [] {
                         TMessage m;
                         m.Header(kId, kReplyFlags, 0, 1);
                         return m.Mx(1, "mx.example.com");
                     }(),
                     TMxStatus::kNotOurs});
    cases.push_back(Broken("shorter than a header", TMessage().U16(kId).U16(kReplyFlags),
                           "shorter than its header"));
    cases.push_back({"one byte", TMessage().U8(0x5A), TMxStatus::kNotOurs});
    return cases;
}

TEST(DnsMxReply, Table) {
    for (const TReplyCase& c : ReplyCases()) {
        SCOPED_TRACE(c.what);
        // A copy holds exactly the reply's bytes, so that AddressSanitizer
        // sees any read past them.
        const std::vector<uint8_t> bytes(c.reply.Bytes());
        const TMxReply reply = ParseMxReply(bytes, kId, c.domain);
        EXPECT_EQ(reply.status, c.status) << reply.reason;
        EXPECT_EQ(reply.host, c.host);
        EXPECT_EQ(reply.preference, c.preference);
        const bool explained =
            reply.status == TMxStatus::kFound || reply.status == TMxStatus::kNoMx;
        EXPECT_EQ(reply.reason.empty(), explained) << reply.reason;
        EXPECT_NE(reply.reason.find(c.reason), std::string::npos) << reply.reason;
        EXPECT_EQ(reply.rcode, reply.status == TMxStatus::kServerError ? bytes[3] & 0x0F : 0);
    }
}

// Every cut of a good reply is either not ours (too short for the id) or
// broken; never a host.
TEST(DnsMxReply, EveryCutIsRefused) {
    const TMessage whole = Reply(2).Mx(20, "mx20.example.com").Mx(10, "mx10.example.com");
    ASSERT_EQ(ParseMxReply(whole.Bytes(), kId, "example.com").status, TMxStatus::kFound);
    for (size_t size = 0; size < whole.Bytes().size(); ++size) {
        SCOPED_TRACE(size);
        // A vector of its own, so that AddressSanitizer sees a read past the
        // cut.
        const std::vector<uint8_t> cut(whole.Bytes().begin(),
                                       whole.Bytes().begin() + static_cast<std::ptrdiff_t>(size));
        const TMxStatus status = ParseMxReply(cut, kId, "example.com").status;
        EXPECT_EQ(status, size < 2 ? TMxStatus::kNotOurs : TMxStatus::kMalformed);
    }
}

TEST(DnsMxReply, QueryIsAnsweredByItsOwnQuestion) {
    // A server copies the query's header and question into its reply.
    std::vector<uint8_t> bytes = MxQuery("Mail.Example.org", 0xBEEF);
    bytes[2] |= 0x80;
    bytes[7] = 1;
    TMessage answer;
    answer.Mx(3, "in.mail.example.org");
    bytes.insert(bytes.end(), answer.Bytes().begin(), answer.Bytes().end());
    const TMxReply reply = ParseMxReply(bytes, 0xBEEF, "mail.example.org");
    EXPECT_EQ(reply.status, TMxStatus::kFound) << reply.reason;
    EXPECT_EQ(reply.host, "in.mail.example.org");
    EXPECT_EQ(ParseMxReply(bytes, 0xBEEE, "mail.example.org").status, TMxStatus::kNotOurs);
}

TEST(DnsName, PlaceAfterTheName) {
    TMessage m = Reply(0);
    const size_t plain = m.Here();
    m.Name("a.bc");
    const size_t compressed = m.Here();
    m.Label("x").Pointer(12).U8(0xEE);
    const size_t root = m.Here();
    m.U8(0);
    const struct {
        size_t at;
        std::string name;
        size_t next;
    } cases[] = {
        {12, "example.com", 25},
        {plain, "a.bc", plain + 6},
        {compressed, "x.example.com", compressed + 4},
        {root, "", root + 1},
    };
    for (const auto& c : cases) {
        size_t next = 0;
        EXPECT_EQ(ReadDnsName(m.Bytes(), c.at, next), c.name);
        EXPECT_EQ(next, c.next) << c.name;
    }
    size_t next = 0;
    EXPECT_THROW(ReadDnsName(m.Bytes(), m.Bytes().size(), next), EDnsError);
}

TEST(DnsMxQuery, Bytes) {
    const std::vector<uint8_t> expected = {
        0x12, 0x34, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // header
        1,    'a',  1,    'b',  1,    'c',  0,                                   // name
        0x00, 0x0F, 0x00, 0x01,                                                  // MX, IN
    };
    EXPECT_EQ(MxQuery("a.b.c", 0x1234), expected);
    EXPECT_EQ(MxQuery("a.b.c.", 0x1234), expected);
    const std::vector<uint8_t> other = MxQuery("a.b.c", 0xFE01);
    EXPECT_EQ(other[0], 0xFE);
    EXPECT_EQ(other[1], 0x01);
    EXPECT_TRUE(std::equal(other.begin() + 2, other.end(), expected.begin() + 2));
}

TEST(DnsMxQuery, Names) {
    const std::string l63(63, 'a');
    const struct {
        std::string domain;
        bool valid;
    } cases[] = {
        {"example.com", true},
        {"my_host-1.Example.COM", true},
        {l63 + ".com", true},
        {l63 + "a.com", false},
        // 3 x 64 + 62 + 1 = 255 bytes encoded, then one more.
        {l63 + "." + l63 + "." + l63 + "." + std::string(61, 'b'), true},
        {l63 + "." + l63 + "." + l63 + "." + std::string(62, 'b'), false},
        {"", false},
        {".", false},
        {"a..b", false},
        {".a", false},
        {"a.b..", false},
        {"a b.com", false},
        {"a\r\n.com", false},
        {"[127.0.0.1]", false},
        {"\xc3\xa9.com", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.domain);
        if (c.valid) {
            const std::vector<uint8_t> query = MxQuery(c.domain, 7);
            size_t next = 0;
            EXPECT_EQ(ReadDnsName(query, kDnsHeaderSize, next), c.domain);
            EXPECT_EQ(next + 4, query.size());
        } else {
            EXPECT_THROW(MxQuery(c.domain, 7), EDnsError);
        }
    }
}

TEST(DnsMxQuery, MailDomain) {
    const struct {
        const char* address;
        const char* domain;
    } cases[] = {
        {"user@sub.example.com", "sub.example.com"},
        {"example.com", "example.com"},
        {"a@b@c.org", "b@c.org"},
        {"user@", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MailDomainOf(c.address), c.domain) << c.address;
    }
}

}  // namespace
}  // namespace exceptions
