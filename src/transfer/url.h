#pragma once

// URLs as the HTTP client takes them: split into their parts, then completed
// against the previous request so that relative URLs work.

#include <string>
#include <string_view>

namespace transfer {

struct TUri {
    std::string scheme;    // empty for a relative URL
    std::string username;  // from "user:password@" before the host
    std::string password;
    std::string host;       // without the brackets of an IPv6 address
    std::string port;       // as written; empty means the scheme's default
    std::string path;       // up to and including the last "/" before the parameters
    std::string document;   // after the path, up to the parameters
    std::string params;     // from "?" (or the first "=" when there is no "?") on
    bool absolute = false;  // the URL had "://"

    // Request target: path + document + parameters, byte for byte.
    std::string Target() const { return path + document + params; }
};

// Splits a URL. Every "\" that is not the second byte of a double-byte (GBK)
// character becomes "/"; a fragment ("#...") is dropped. Never fails: any
// text gives some parts.
TUri ParseUri(std::string_view url);

// Joins a relative path onto a base path by "/", letting each ".." remove the
// segment before it and collapsing repeated "/".
std::string JoinPath(std::string_view base, std::string_view relative);

}  // namespace transfer
