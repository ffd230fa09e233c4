#pragma once

// The client's cookie store: cookies from Set-Cookie (and Set-Cookie2)
// response headers, sent back in one Cookie header on later requests.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace transfer {

struct TCookie {
    std::string name;
    std::string value;
    std::string domain;  // lower case, without a leading dot
    std::string path;
    std::optional<int64_t> expires;  // seconds since 1970 (UTC); none: kept for the session
    bool secure = false;
};

// Seconds since 1970 (UTC) of an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"); nothing
// for text that is none of these.
std::optional<int64_t> ParseHttpDate(std::string_view text);

class TCookieManager {
  public:
    // Bounds of the store: the number of cookies, and their total size
    // (name, value, domain and path). A cookie that does not fit pushes out
    // the oldest ones.
    static constexpr size_t kMaxCookies = 100;
    static constexpr size_t kMaxCookieBytes = 32768;

    // Stores one Set-Cookie value received from `host`. A cookie for another
    // domain than the host's is dropped; a cookie with the name, domain and
    // path of a stored one replaces it; one that has already expired removes
    // it. A cookie larger than the whole store is not kept.
    void Store(std::string_view set_cookie, std::string_view host, int64_t now);
    // Drops the cookies whose expiry has passed.
    void Expire(int64_t now);
    // The Cookie header value for a request: name=value pairs joined by
    // "; " of the cookies for this host and path prefix that have a value;
    // cookies marked secure only for a secure request. Empty when there are
    // none.
    std::string HeaderFor(std::string_view host, std::string_view path, bool secure = false) const;

    const std::vector<TCookie>& Cookies() const { return cookies_; }
    void Clear() { cookies_.clear(); }

  private:
    std::vector<TCookie> cookies_;
};

// True when `host` is `domain` or lies below it ("www.a.com" in "a.com").
bool DomainMatches(std::string_view host, std::string_view domain);

}  // namespace transfer
