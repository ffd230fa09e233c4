#include "transfer/cookies.h"

#include <algorithm>
#include <array>

#include "base/text.h"
#include "transfer/headers.h"

namespace transfer {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int ToInt(std::string_view s) {
    int v = 0;
    for (char c : s) {
        v = v * 10 + (c - '0');
    }
    return v;
}

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<int64_t>(era) * 146097 + doe - 719468;
}

// What a cookie costs the store.
size_t SizeOf(const TCookie& c) {
    return c.name.size() + c.value.size() + c.domain.size() + c.path.size();
}

}  // namespace

std::optional<int64_t> ParseHttpDate(std::string_view text) {
    static constexpr std::array<const char*, 12> kMonths = {
        "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    // Tokens are separated by blanks, commas and "-" (the two-digit-year
    // form writes the date as 06-Nov-94); the time keeps its colons.
    std::vector<std::string> tokens;
    std::string current;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '-' || c == '\t') {
            if (!current.empty()) {
                tokens.push_back(current);
                current.clear();
            }
        } else {
            current += c;
        }
    }
    if (!current.empty()) {
        tokens.push_back(current);
    }

    int day = -1, month = -1, year = -1, hour = -1, minute = -1, second = -1;
    for (const std::string& token : tokens) {
        if (token.find(':') != std::string::npos) {
            const auto parts = base::SplitBytes(token, ':');
            if (parts.size() != 3 || !AllDigits(parts[0]) || !AllDigits(parts[1]) ||
                !AllDigits(parts[2]) || parts[0].size() > 2 || parts[1].size() > 2 ||
                parts[2].size() > 2) {
                return std::nullopt;
            }
            hour = ToInt(parts[0]);
            minute = ToInt(parts[1]);
            second = ToInt(parts[2]);
            continue;
        }
        if (AllDigits(token)) {
            if (token.size() <= 2 && day < 0) {
                day = ToInt(token);
            } else if (year < 0 && (token.size() == 2 || token.size() == 4)) {
                year = ToInt(token);
                if (token.size() == 2) {
                    year += year < 70 ? 2000 : 1900;
                }
            } else {
                return std::nullopt;
            }
            continue;
        }
        const std::string upper = Upper(token.substr(0, 3));
        for (size_t i = 0; i < kMonths.size(); ++i) {
            if (token.size() >= 3 && upper == kMonths[i]) {
                month = static_cast<int>(i) + 1;
            }
        }
        // Weekday names and "GMT" need no checking.
    }
    if (day < 1 || day > 31 || month < 1 || year < 1601 || hour < 0 || hour > 23 || minute > 59 ||
        second > 60) {
        return std::nullopt;
    }
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

bool DomainMatches(std::string_view host, std::string_view domain) {
    if (domain.empty()) {
        return false;
    }
    if (SameText(host, domain)) {
        return true;
    }
    return host.size() > domain.size() && host[host.size() - domain.size() - 1] == '.' &&
           SameText(host.substr(host.size() - domain.size()), domain);
}

void TCookieManager::Store(std::string_view set_cookie, std::string_view host, int64_t now) {
    const std::vector<std::string> parts = base::SplitBytes(set_cookie, ';');
    if (parts.empty()) {
        return;
    }
    const std::string first = base::Trim(parts[0]);
    const size_t eq = first.find('=');
    if (eq == std::string::npos || eq == 0) {
        return;
    }
    TCookie cookie;
    cookie.name = base::Trim(first.substr(0, eq));
    cookie.value = base::Trim(first.substr(eq + 1));
    cookie.path.assign(1, '/');
    cookie.domain = Lower(host);
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string attribute = base::Trim(parts[i]);
        const size_t aeq = attribute.find('=');
        const std::string name = Upper(base::Trim(attribute.substr(0, aeq)));
        const std::string value =
            aeq == std::string::npos ? std::string() : base::Trim(attribute.substr(aeq + 1));
        if (name == "PATH") {
            std::string path = value;
            if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
                path = path.substr(1, path.size() - 2);
            }
            cookie.path = path.empty() ? "/" : path;
        } else if (name == "EXPIRES") {
            cookie.expires = ParseHttpDate(value);
        } else if (name == "DOMAIN" && !value.empty()) {
            std::string domain = Lower(value);
            while (!domain.empty() && domain.front() == '.') {
                domain.erase(0, 1);
            }
            cookie.domain = domain;
        } else if (name == "SECURE") {
            cookie.secure = true;
        }
    }
    if (!DomainMatches(host, cookie.domain)) {
        return;
    }
    std::erase_if(cookies_, [&cookie](const TCookie& c) {
        return c.name == cookie.name && c.domain == cookie.domain && c.path == cookie.path;
    });
    if ((cookie.expires && *cookie.expires <= now) || SizeOf(cookie) > kMaxCookieBytes) {
        return;
    }
    cookies_.push_back(std::move(cookie));
    size_t bytes = 0;
    for (const TCookie& c : cookies_) {
        bytes += SizeOf(c);
    }
    size_t dropped = 0;
    while (cookies_.size() - dropped > kMaxCookies || bytes > kMaxCookieBytes) {
        bytes -= SizeOf(cookies_[dropped]);
        ++dropped;
    }
    cookies_.erase(cookies_.begin(), cookies_.begin() + static_cast<std::ptrdiff_t>(dropped));
}

void TCookieManager::Expire(int64_t now) {
    std::erase_if(cookies_, [now](const TCookie& c) { return c.expires && *c.expires <= now; });
}

std::string TCookieManager::HeaderFor(std::string_view host, std::string_view path,
                                      bool secure) const {
    std::string header;
    for (const TCookie& c : cookies_) {
        if (c.value.empty() || (c.secure && !secure) || !DomainMatches(host, c.domain) ||
            path.substr(0, c.path.size()) != c.path) {
            continue;
        }
        if (!header.empty()) {
            header += "; ";
        }
        header += c.name + "=" + c.value;
    }
    return header;
}

}  // namespace transfer
