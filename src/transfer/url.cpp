#include "transfer/url.h"

#include <vector>

namespace transfer {

namespace {

bool IsGbkTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xfe && c != 0x7f;
}

bool IsGbkLead(unsigned char c) {
    return c >= 0x81 && c <= 0xfe;
}

std::string ForwardSlashes(std::string_view url) {
    std::string out(url);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (IsGbkLead(c) && i + 1 < out.size() &&
            IsGbkTrail(static_cast<unsigned char>(out[i + 1]))) {
            ++i;  // the trail byte of a double-byte character stays as it is
        } else if (c == '\\') {
            out[i] = '/';
        }
    }
    return out;
}

void SplitHostPort(std::string_view text, TUri& uri) {
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close != std::string_view::npos) {
            uri.host = std::string(text.substr(1, close - 1));
            std::string_view rest = text.substr(close + 1);
            if (!rest.empty() && rest.front() == ':') {
                uri.port = std::string(rest.substr(1));
            }
            return;
        }
    }
    const size_t colon = text.find(':');
    uri.host = std::string(text.substr(0, colon));
    if (colon != std::string_view::npos) {
        uri.port = std::string(text.substr(colon + 1));
    }
}

void SplitAuthority(std::string_view authority, TUri& uri) {
    const size_t at = authority.find('@');
    if (at != std::string_view::npos) {
        std::string_view user_info = authority.substr(0, at);
        const size_t colon = user_info.find(':');
        uri.username = std::string(user_info.substr(0, colon));
        if (colon != std::string_view::npos && !uri.username.empty()) {
            uri.password = std::string(user_info.substr(colon + 1));
        }
        authority = authority.substr(at + 1);
    }
    SplitHostPort(authority, uri);
}

void SplitPathPart(std::string_view part, TUri& uri) {
    const size_t hash = part.find('#');
    if (hash != std::string_view::npos) {
        part = part.substr(0, hash);
    }
    size_t params = part.find('?');
    if (params == std::string_view::npos) {
        params = part.find('=');
    }
    std::string_view before = part.substr(0, params);
    if (params != std::string_view::npos) {
        uri.params = std::string(part.substr(params));
    }
    const size_t slash = before.rfind('/');
    if (slash != std::string_view::npos) {
        uri.path = std::string(before.substr(0, slash + 1));
        uri.document = std::string(before.substr(slash + 1));
    } else {
        uri.document = std::string(before);
    }
    if (uri.absolute) {
        uri.path.insert(uri.path.begin(), '/');
    }
}

}  // namespace

TUri ParseUri(std::string_view url) {
    const std::string text = ForwardSlashes(url);
    std::string_view rest = text;
    TUri uri;
    const size_t sep = rest.find("://");
    if (sep != std::string_view::npos) {
        uri.absolute = true;
        uri.scheme = std::string(rest.substr(0, sep));
        rest = rest.substr(sep + 3);
        const size_t slash = rest.find('/');
        SplitAuthority(rest.substr(0, slash), uri);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    SplitPathPart(rest, uri);
    return uri;
}

std::string JoinPath(std::string_view base, std::string_view relative) {
    std::string joined(base);
    joined += '/';
    joined += relative;

    // Rebuild segment by segment: empty segments (repeated "/") vanish and
    // ".." takes the previous segment away.
    std::vector<std::string_view> segments;
    std::string_view view = joined;
    size_t start = 0;
    while (start <= view.size()) {
        size_t end = view.find('/', start);
        if (end == std::string_view::npos) {
            end = view.size();
        }
        std::string_view segment = view.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
        } else if (!segment.empty()) {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string result = "/";
    for (std::string_view segment : segments) {
        result += segment;
        result += '/';
    }
    // A path keeps its trailing "/" only if the joined text had one.
    if (!joined.empty() && joined.back() != '/' && result.size() > 1) {
        result.pop_back();
    }
    return result;
}

}  // namespace transfer
