#include "transfer/headers.h"

#include "base/text.h"

namespace transfer {

namespace {
char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr size_t kFoldWidth = 78;
}  // namespace

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) {
            return false;
        }
    }
    return true;
}

bool ContainsText(std::string_view haystack, std::string_view needle) {
    if (needle.size() > haystack.size()) {
        return false;
    }
    for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        if (SameText(haystack.substr(i, needle.size()), needle)) {
            return true;
        }
    }
    return false;
}

void THeaderList::Add(std::string name, std::string value) {
    fields_.emplace_back(std::move(name), std::move(value));
}

void THeaderList::Continue(std::string_view text) {
    if (fields_.empty()) {
        return;
    }
    std::string& value = fields_.back().second;
    value += ' ';
    value += base::Trim(text);
}

std::optional<std::string> THeaderList::Find(std::string_view name) const {
    for (const auto& [field, value] : fields_) {
        if (SameText(field, name)) {
            return value;
        }
    }
    return std::nullopt;
}

std::vector<std::string> THeaderList::All(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [field, value] : fields_) {
        if (SameText(field, name)) {
            values.push_back(value);
        }
    }
    return values;
}

std::vector<std::string> TRequestHeaders::Lines(std::string_view protocol_version) const {
    std::vector<std::string> lines;
    auto add = [&lines](std::string_view name, const std::string& value) {
        if (!value.empty()) {
            lines.push_back(std::string(name) + ": " + value);
        }
    };
    if (protocol_version != "1.1") {
        add("Connection", connection);
    }
    add("Content-Version", content_version);
    add("Content-Encoding", content_encoding);
    add("Content-Language", content_language);
    add("Content-Type", content_type);
    if (content_length >= 0) {
        add("Content-Length", std::to_string(content_length));
    }
    add("Content-Range", content_range);
    add("Cache-control", cache_control);
    add("Date", date);
    add("Expires", expires);
    add("Pragma", pragma);
    add("Proxy-Connection", proxy_connection);
    add("Host", host);
    add("Accept", accept);
    add("Accept-Charset", accept_charset);
    add("Accept-Encoding", accept_encoding);
    add("Accept-Language", accept_language);
    add("From", from);
    add("Referer", referer);
    add("User-Agent", user_agent);
    add("Range", range);
    add("If-Modified-Since", if_modified_since);
    add("Authorization", authorization);
    add("Cookie", cookie);
    return lines;
}

std::vector<std::string> FoldHeaderLine(std::string_view line) {
    std::vector<std::string> lines;
    while (line.size() > kFoldWidth) {
        // The last blank that keeps this line within the width; failing that
        // the first blank after it. A blank at position 0 is where the line
        // itself was cut, so cutting there again would not shorten it.
        size_t cut = line.substr(0, kFoldWidth + 1).rfind(' ');
        if (cut == std::string_view::npos || cut == 0) {
            cut = line.find(' ', kFoldWidth + 1);
        }
        if (cut == std::string_view::npos) {
            break;
        }
        lines.emplace_back(line.substr(0, cut));
        line = line.substr(cut);
    }
    lines.emplace_back(line);
    return lines;
}

}  // namespace transfer
