#pragma once

// Mail in tests: a scripted SMTP server that takes one message, and the
// DATA of a message read back into its headers and MIME parts, with Base64
// parts decoded. Only as much MIME as the reporter writes: one
// multipart/mixed level with a fixed boundary.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/base64.h"
#include "support/scripted_server.h"

namespace exceptions::test {

inline constexpr char kMailBoundary[] = "=_xcjvnxkbhvfkxzhfdbvzldjhfv";

// A server that takes one message, logging in first when `auth`, after a
// pause before its greeting. Its connection records the commands, then the
// DATA (Received(i)[5], or [8] with `auth`).
inline test_support::Script AcceptingSmtp(bool auth = false, int pause_ms = 0) {
    test_support::Script script;
    if (pause_ms > 0) {
        script.Pause(pause_ms);
    }
    script.Send("220 mail.test ready\r\n");
    if (auth) {
        script.ReadLine().Send("250-mail.test\r\n250-SIZE 1000000\r\n250 AUTH LOGIN PLAIN\r\n");
        script.ReadLine().Send("250 reset\r\n");
        script.ReadLine().Send("334 VXNlcm5hbWU6\r\n");
        script.ReadLine().Send("334 UGFzc3dvcmQ6\r\n");
        script.ReadLine().Send("235 welcome\r\n");
    } else {
        script.ReadLine().Send("250 hello\r\n");
        script.ReadLine().Send("250 reset\r\n");
    }
    script.ReadLine().Send("250 sender ok\r\n");
    script.ReadLine().Send("250 recipient ok\r\n");
    script.ReadLine().Send("354 go ahead\r\n");
    script.ReadThrough("\r\n.\r\n").Send("250 queued\r\n");
    return script.WaitForPeerClose(5000);
}

// Base64 in lines: every line as base::Base64 writes it.
inline std::string DecodeBase64(std::string_view text) {
    std::string joined;
    for (char c : text) {
        if (c != '\r' && c != '\n') {
            joined += c;
        }
    }
    return base::Base64Decode(joined).value_or("(not Base64)");
}

struct MimePart {
    std::string headers;  // the header lines, each ending CR LF
    std::string body;     // decoded when the part says base64
};

struct MimeMessage {
    std::string headers;
    std::vector<MimePart> parts;
    bool well_formed = false;  // dot-stuffed lines and the end as SMTP needs them
};

// The header value of `name` ("To"), up to its line end; "" when absent.
inline std::string HeaderValue(std::string_view headers, std::string_view name) {
    const std::string key = "\r\n" + std::string(name) + ": ";
    const std::string all = "\r\n" + std::string(headers);
    const size_t at = all.find(key);
    if (at == std::string::npos) {
        return "";
    }
    const size_t start = at + key.size();
    return all.substr(start, all.find("\r\n", start) - start);
}

// `data` as sent after DATA, the final ".\r\n" included.
inline MimeMessage ReadMimeData(std::string_view data, std::string_view boundary = kMailBoundary) {
    MimeMessage message;
    constexpr std::string_view kEnd = "\r\n.\r\n";
    if (data.size() < kEnd.size() || data.substr(data.size() - kEnd.size()) != kEnd) {
        return message;
    }
    // Undo the dot-stuffing line by line.
    std::string text;
    const std::string_view lines = data.substr(0, data.size() - 3);
    for (size_t start = 0; start < lines.size();) {
        size_t end = lines.find("\r\n", start);
        end = end == std::string_view::npos ? lines.size() : end + 2;
        std::string_view line = lines.substr(start, end - start);
        if (!line.empty() && line[0] == '.') {
            line.remove_prefix(1);
        }
        text += line;
        start = end;
    }
    const size_t head_end = text.find("\r\n\r\n");
    if (head_end == std::string::npos) {
        return message;
    }
    message.headers = text.substr(0, head_end + 2);
    const std::string separator = "\r\n--" + std::string(boundary);
    size_t at = text.find(separator);
    while (at != std::string::npos) {
        const size_t start = at + separator.size();
        if (text.compare(start, 2, "--") == 0) {
            message.well_formed = text.compare(start + 2, std::string::npos, "\r\n") == 0;
            break;
        }
        const size_t next = text.find(separator, start);
        const std::string part =
            text.substr(start + 2, (next == std::string::npos ? text.size() : next) - start - 2);
        const size_t body_at = part.find("\r\n\r\n");
        MimePart parsed;
        parsed.headers = part.substr(0, body_at + 2);
        parsed.body = body_at == std::string::npos ? "" : part.substr(body_at + 4);
        if (parsed.headers.find("Content-Transfer-Encoding: base64") != std::string::npos) {
            parsed.body = DecodeBase64(parsed.body);
        }
        message.parts.push_back(std::move(parsed));
        at = next;
    }
    return message;
}

}  // namespace exceptions::test
