#pragma once

// The mail exchanger of a mail domain, asked of a DNS server over UDP: the
// query the reporter sends and the reading of the server's reply. Pure
// functions on bytes; the sockets, the server list and the random query id
// belong to the caller.
//
// A reply is trusted only as far as it is checked: its id, its flags, the
// question it answers and every count and length it states. A name is read
// with its compression pointers followed at most kDnsMaxPointerHops times,
// each to an earlier place of the reply, so that no reply can make the
// reading loop or leave the bytes it was given.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/exception.h"

namespace exceptions {

// A domain that cannot be asked for (empty, an empty or too long label, a
// character other than letters, digits, "-" and "_", a name too long), or a
// name of a reply that cannot be read.
class EDnsError : public base::Exception {
  public:
    using Exception::Exception;
};

inline constexpr size_t kDnsHeaderSize = 12;
inline constexpr size_t kDnsMaxLabel = 63;
// The longest name in its encoded form: every label with its length byte,
// and the final zero byte.
inline constexpr size_t kDnsMaxName = 255;
inline constexpr int kDnsMaxPointerHops = 16;
inline constexpr uint16_t kDnsTypeMx = 15;
inline constexpr uint16_t kDnsClassIn = 1;

// The domain of a mail address: what follows its first "@", the whole text
// when there is none.
std::string MailDomainOf(std::string_view address);

// The query for the mail exchangers of `domain` (one final "." is allowed)
// with the given id: a standard query with recursion desired and one
// question of type MX, class IN. Throws EDnsError for a domain that
// cannot be asked for.
std::vector<uint8_t> MxQuery(std::string_view domain, uint16_t id);

enum class TMxStatus {
    // `host` is the exchanger of the lowest preference (the first of equal
    // ones).
    kFound,
    // The server answered without a mail exchanger: the domain itself takes
    // the mail.
    kNoMx,
    // The domain states that it takes no mail: its exchanger of the lowest
    // preference is the root name.
    kNoMail,
    // The bytes are not the reply to this query (another id, not a reply,
    // another kind of query, another question): the caller keeps waiting for
    // the real one.
    kNotOurs,
    // The server could not answer (its reply code, in `rcode`, is not 0; 3 is
    // "no such domain"): the caller asks the next server.
    kServerError,
    // A reply to this query that cannot be used: cut short by the server or
    // by the network, or broken. The caller asks the next server.
    kMalformed,
};

struct TMxReply {
    TMxStatus status = TMxStatus::kMalformed;
    std::string host;         // kFound only
    uint16_t preference = 0;  // kFound only
    uint8_t rcode = 0;        // kServerError only
    std::string reason;       // what was wrong, for every status but kFound and kNoMx
};

// Reads the reply to the query of `id`. When `domain` is not empty, the
// reply's question must be that domain (letter case aside) with type MX and
// class IN, otherwise the reply is not ours.
TMxReply ParseMxReply(std::span<const uint8_t> reply, uint16_t id, std::string_view domain = {});

// A name in dotted form ("mail.example.com", "" for the root) read from a
// message at `at`, with compression pointers followed as above. `next` gets
// the place after the name where it stands (after its first pointer). Throws
// EDnsError when the name is broken; never reads outside `message`.
std::string ReadDnsName(std::span<const uint8_t> message, size_t at, size_t& next);

}  // namespace exceptions
