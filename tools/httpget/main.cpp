// httpget: fetches each URL in turn with one HTTP client, so that keep-alive,
// cookies and relative URLs work as they do in the updater, and writes the
// bodies to standard output or, appended in order, to one file. With --into,
// each body goes to a file of its own in DIR (named after the URL's last path
// segment) exactly as the updater writes files: streamed into a temporary
// file as it arrives, then flushed and moved over the old one on a writer
// thread while the next body downloads. A name that would not stay in DIR, or
// that Windows would change, is refused before anything is fetched.
//
//   httpget [--events] [--output FILE | --into DIR] [--timeout MS] URL...
//
// Exit status: 0 when every body arrived whole, 1 on the first failure (its
// message on standard error), 2 on a usage error.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "base/exception.h"
#include "base/streams.h"
#include "base/text.h"
#include "platform/file_stream.h"
#include "transfer/http_client.h"
#include "updater/file_writing.h"
#include "updater/update_check.h"

namespace {

constexpr const char* kUsage =
    "usage: httpget [--events] [--output FILE | --into DIR] [--timeout MS] URL...";

// A write-only stream over a C file. It only moves forward: the position is
// the number of bytes written, and seeking anywhere else is refused.
//
// The file itself is unbuffered: bytes are gathered in a buffer of our own
// and written out in large blocks. Few large writes cost the system less than
// one write per receive piece of the client, and a run of short bodies does
// not cost a write call each.
class TFileWriter : public base::TForwardStream {
  public:
    static constexpr size_t kBufferSize = 1 << 18;

    explicit TFileWriter(std::FILE* file) : file_(file), buffer_(kBufferSize) {
        std::setvbuf(file_, nullptr, _IONBF, 0);
    }

    int64_t Read(void*, int64_t) override { throw base::EReadError("Stream read error"); }

    int64_t Write(const void* data, int64_t count) override {
        if (count <= 0 || failed_) {
            return 0;
        }
        const size_t n = static_cast<size_t>(count);
        if (used_ + n > buffer_.size() && !Flush()) {
            return 0;
        }
        if (n >= buffer_.size()) {
            const size_t done = std::fwrite(data, 1, n, file_);
            failed_ = done < n;
            Advance(static_cast<int64_t>(done));
            return static_cast<int64_t>(done);
        }
        std::memcpy(buffer_.data() + used_, data, n);
        used_ += n;
        Advance(count);
        return count;
    }

    // Writes out what is gathered; false when the file refused bytes, now
    // or before.
    bool Flush() {
        if (used_ > 0 && !failed_) {
            failed_ = std::fwrite(buffer_.data(), 1, used_, file_) < used_;
        }
        used_ = 0;
        return !failed_;
    }

  private:
    std::FILE* file_;
    std::vector<char> buffer_;
    size_t used_ = 0;
    bool failed_ = false;
};

struct Options {
    bool events = false;
    std::string output;   // empty: standard output
    std::string into;     // empty: bodies go to `output`
    int timeout_ms = -1;  // -1: the client's default
    std::vector<std::string> urls;
};

// A whole non-negative decimal number that fits an int; -1 otherwise.
int ParseMilliseconds(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return -1;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

bool ParseArguments(int argc, char** argv, Options& options) {
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options_done || arg.size() < 2 || arg.substr(0, 2) != "--") {
            options.urls.emplace_back(arg);
        } else if (arg == "--") {
            options_done = true;
        } else if (arg == "--events") {
            options.events = true;
        } else if (arg == "--output" && i + 1 < argc && argv[i + 1][0] != '\0') {
            options.output = argv[++i];
        } else if (arg == "--into" && i + 1 < argc && argv[i + 1][0] != '\0') {
            options.into = argv[++i];
        } else if (arg == "--timeout" && i + 1 < argc) {
            options.timeout_ms = ParseMilliseconds(argv[++i]);
            if (options.timeout_ms < 0) {
                return false;
            }
        } else {
            return false;
        }
    }
    return !options.urls.empty() && (options.into.empty() || options.output.empty());
}

// The last path segment of a URL (without query or fragment), or "index"
// for an empty one, "." and "..". "\" separates segments as "/" does, as it
// does for the client, except as the second byte of a GBK character.
std::string FileNameOf(std::string_view url) {
    url = url.substr(0, url.find_first_of("?#"));
    size_t start = 0;
    for (size_t i = 0; i < url.size(); ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        const auto next = i + 1 < url.size() ? static_cast<unsigned char>(url[i + 1]) : 0;
        if (c >= 0x81 && c <= 0xfe && next >= 0x40 && next <= 0xfe && next != 0x7f) {
            ++i;
        } else if (c == '/' || c == '\\') {
            start = i + 1;
        }
    }
    std::string name(url.substr(start));
    return name.empty() || name == "." || name == ".." ? "index" : name;
}

// A name that stays one file in the folder on every system: no character
// Windows refuses, no device name, and no dot or blank at the end, which
// Windows would drop.
bool IsSafeFileName(const std::string& name) {
    return updater::IsSafeRelativePath(name) && name.back() != '.' && name.back() != ' ';
}

void Fail(const std::string& message) {
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fputc('\n', stderr);
}

int Run(const Options& options) {
    if (!options.into.empty()) {
        for (const std::string& url : options.urls) {
            const std::string name = FileNameOf(url);
            if (!IsSafeFileName(name)) {
                Fail("Unsafe file name \"" + name + "\" in " + url);
                return 1;
            }
        }
    }
    std::FILE* out = stdout;
    if (!options.output.empty()) {
        out = std::fopen(options.output.c_str(), "wb");
        if (out == nullptr) {
            Fail("Cannot create file \"" + options.output + "\"");
            return 1;
        }
    }
    transfer::THTTPClient client;
    if (options.timeout_ms >= 0) {
        client.SetReadTimeout(options.timeout_ms);
    }
    if (options.events) {
        client.OnWorkBegin = [](transfer::THTTPClient&, transfer::TWorkMode, int32_t expected) {
            std::fprintf(stderr, "begin %ld\n", static_cast<long>(expected));
        };
        client.OnWork = [](transfer::THTTPClient&, transfer::TWorkMode, int32_t position) {
            std::fprintf(stderr, "work %ld\n", static_cast<long>(position));
        };
        client.OnWorkEnd = [](transfer::THTTPClient&, transfer::TWorkMode) {
            std::fputs("end\n", stderr);
        };
    }

    int status = 0;
    TFileWriter writer(out);
    updater::TCommitQueue commits;
    try {
        for (const std::string& url : options.urls) {
            commits.RethrowFailure();
            std::unique_ptr<updater::TFileWriter> file;
            if (options.into.empty()) {
                client.GetToStream(url, writer);
            } else {
                file = updater::OpenReplacingFile(
                    base::GbkToUtf16(options.into + "/" + FileNameOf(url)));
                client.GetToStream(url, file->Stream());
            }
            const transfer::THTTPResponse& response = client.Response();
            if (response.incomplete) {
                std::string message = "Incomplete body: " + std::to_string(response.body_bytes);
                if (response.content_length >= 0) {
                    message += " of " + std::to_string(response.content_length);
                }
                Fail(message + " bytes");
                status = 1;
                break;
            }
            if (file) {
                commits.Add(std::move(file), {}, 0);
            }
        }
    } catch (const base::Exception& e) {
        Fail(e.Message());
        status = 1;
    } catch (const std::exception& e) {
        Fail(e.what());
        status = 1;
    }
    // The files that arrived whole are moved in, also after a failure.
    try {
        commits.Finish();
    } catch (const std::exception& e) {
        if (status == 0) {
            Fail(e.what());
            status = 1;
        }
    }
    // The bytes that arrived stay, also after a failure.
    const bool flushed = writer.Flush();
    const bool closed = out == stdout || std::fclose(out) == 0;
    if (status == 0 && !(flushed && closed)) {
        Fail("Stream write error");
        status = 1;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Bodies are bytes: no CR may be added before LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fprintf(stderr, "%s\n", kUsage);
        return 2;
    }
    return Run(options);
}
