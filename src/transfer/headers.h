#pragma once

// Header lists of HTTP requests and responses.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace transfer {

// Compares ASCII letters without regard to case.
bool SameText(std::string_view a, std::string_view b);
// True when `needle` occurs in `haystack`, ASCII letters compared without case.
bool ContainsText(std::string_view haystack, std::string_view needle);

// Header fields in arrival order. Names are compared without regard to case,
// and when a name occurs more than once the first occurrence is the value.
class THeaderList {
  public:
    void Add(std::string name, std::string value);
    // Appends a continuation line to the last header, joined by one blank.
    void Continue(std::string_view text);
    void Clear() { fields_.clear(); }

    std::optional<std::string> Find(std::string_view name) const;
    std::string Value(std::string_view name) const { return Find(name).value_or(""); }
    bool Has(std::string_view name) const { return Find(name).has_value(); }
    // Every value of a name, in order (Set-Cookie occurs many times).
    std::vector<std::string> All(std::string_view name) const;

    size_t Count() const { return fields_.size(); }
    const std::vector<std::pair<std::string, std::string>>& Fields() const { return fields_; }

  private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

// The request header values that a client sends, written in this fixed order
// and each only when not empty.
struct TRequestHeaders {
    std::string connection;
    std::string content_version;
    std::string content_encoding;
    std::string content_language;
    std::string content_type;
    int64_t content_length = -1;  // sent only when 0 or more
    std::string content_range;
    std::string cache_control;
    std::string date;
    std::string expires;
    std::string pragma;
    std::string proxy_connection;
    std::string host;
    std::string accept;
    std::string accept_charset;
    std::string accept_encoding;
    std::string accept_language;
    std::string from;
    std::string referer;
    std::string user_agent;
    std::string range;
    std::string if_modified_since;
    std::string authorization;
    std::string cookie;

    // "Name: value" lines in the fixed order, without line ends. The
    // Connection header is left out for protocol version 1.1.
    std::vector<std::string> Lines(std::string_view protocol_version) const;
};

// A header line longer than 78 bytes is folded at blanks: each following
// line begins with the blank at which it was cut. A line without a blank to
// cut at stays whole.
std::vector<std::string> FoldHeaderLine(std::string_view line);

}  // namespace transfer
