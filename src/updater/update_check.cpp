#include "updater/update_check.h"

#include <array>

#include "base/exception.h"
#include "base/text.h"

namespace updater {

namespace {

// Day 0 of the date-time values (30 December 1899) in days since 1 January
// 1601, the start of file times.
constexpr int64_t kFileTimeDayOfDateTimeZero = 109'205;

const char* const kBadArgument = "非法参数调用.";
const char* const kCheckFailed = "获取升级信息失败.";
const char* const kPendingSuffix = "个更新程序包等待下载";
const char* const kDownloadPrefix = "下载 ";

bool IsGbkLead(unsigned char c) {
    return c >= 0x81 && c <= 0xfe;
}
bool IsGbkTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xfe && c != 0x7f;
}

bool IsDeviceName(std::string_view segment) {
    // The name before the first dot decides: "nul.txt" is the device too.
    std::string base(segment.substr(0, segment.find('.')));
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    for (char& c : base) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    static constexpr std::array<const char*, 6> kPlain = {"CON", "PRN",    "AUX",
                                                          "NUL", "CONIN$", "CONOUT$"};
    for (const char* name : kPlain) {
        if (base == name) {
            return true;
        }
    }
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '0' && base[3] <= '9';
}

// A date-time value (millisecond exact) as 100-ns ticks since 1 January 1601.
int64_t DateTimeToTicks(base::TDateTime value) {
    const base::DateTimeFields f = base::DecodeDateTime(value);
    base::TDateTime day = 0;
    base::TryEncodeDate(f.year, f.month, f.day, day);
    const int64_t days = static_cast<int64_t>(day) + kFileTimeDayOfDateTimeZero;
    const int64_t ms = ((f.hour * 60 + f.minute) * 60 + f.second) * int64_t{1000} + f.millisecond;
    return days * static_cast<int64_t>(platform::kTicksPerDay) +
           ms * static_cast<int64_t>(platform::kTicksPerMillisecond);
}

std::string EntryError(size_t index, const std::string& what) {
    return "Manifest entry " + std::to_string(index + 1) + ": " + what;
}

// The hash of a fifth field "sha256=<64 hexadecimal digits>" (any letter
// case), in lower case. Any other fifth field is no hash and is ignored, as
// fields after the fourth always were; a "sha256=" field that holds no hash
// is an error rather than a file left unchecked.
std::string HashField(size_t index, std::string_view field) {
    constexpr std::string_view kPrefix = "sha256=";
    std::string text = base::Trim(field);
    for (size_t i = 0; i < text.size() && i < kPrefix.size(); ++i) {
        if (text[i] >= 'A' && text[i] <= 'Z') {
            text[i] = static_cast<char>(text[i] - 'A' + 'a');
        }
    }
    if (text.compare(0, kPrefix.size(), kPrefix) != 0) {
        return {};
    }
    std::string hash = text.substr(kPrefix.size());
    bool valid = hash.size() == 64;
    for (char& c : hash) {
        if (c >= 'A' && c <= 'F') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        valid = valid && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    }
    if (!valid) {
        throw base::Exception(EntryError(
            index, "\"" + base::Trim(field) + "\" is not sha256= and 64 hexadecimal digits"));
    }
    return hash;
}

}  // namespace

base::TStringList SplitText(std::string_view text, char separator) {
    base::TStringList list;
    for (std::string& part : base::SplitBytes(text, separator)) {
        list.Add(std::move(part));
    }
    return list;
}

bool IsSafeRelativePath(std::string_view path) {
    if (path.empty()) {
        return false;
    }
    int depth = 0;
    std::string segment;
    auto close_segment = [&depth, &segment]() {
        if (segment.empty()) {
            return false;  // "\\" inside, a leading or a trailing separator
        }
        if (segment == "..") {
            --depth;
        } else if (segment != ".") {
            // Windows drops a final dot or blank of a name, so "a." would
            // write "a"; a device name is no file at all.
            if (segment.back() == '.' || segment.back() == ' ' || IsDeviceName(segment)) {
                return false;
            }
            ++depth;
        }
        segment.clear();
        return depth >= 0;
    };
    for (size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (IsGbkLead(c) && i + 1 < path.size() &&
            IsGbkTrail(static_cast<unsigned char>(path[i + 1]))) {
            // A double-byte character: its second byte may be "\" but is no
            // separator.
            segment += path.substr(i, 2);
            ++i;
            continue;
        }
        if (c == '\\' || c == '/') {
            if (!close_segment()) {
                return false;
            }
            continue;
        }
        if (c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
            c == '*' || c == 0x7f) {
            return false;
        }
        segment += static_cast<char>(c);
    }
    const bool last_is_name = segment != "." && segment != "..";
    return close_segment() && last_is_name && depth > 0;
}

std::u16string LocalFilePath(const std::u16string& folder, std::string_view relative) {
    const std::u16string path = folder + u'\\' + base::GbkToUtf16(relative);
    size_t begin = 0;
    size_t end = path.size();
    while (begin < end && path[begin] <= 0x20) {
        ++begin;
    }
    while (end > begin && path[end - 1] <= 0x20) {
        --end;
    }
    return path.substr(begin, end - begin);
}

base::TDateTime FileTimeToLocalDateTime(platform::FileTime utc) {
    const platform::FileTime local = platform::FileTimeToLocalFileTime(utc);
    const int64_t days =
        static_cast<int64_t>(local / platform::kTicksPerDay) - kFileTimeDayOfDateTimeZero;
    const int64_t ms =
        static_cast<int64_t>(local % platform::kTicksPerDay / platform::kTicksPerMillisecond);
    const double time = static_cast<double>(ms) / 86'400'000.0;
    return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

std::vector<TPendingUpdate> ReadManifest(std::string_view text, const TCheckEnvironment& env) {
    const size_t zero = text.find('\0');
    if (zero != std::string_view::npos) {
        text = text.substr(0, zero);
    }
    std::vector<TPendingUpdate> pending;
    const base::TStringList entries = SplitText(text, '*');
    for (int i = 0; i < entries.Count(); ++i) {
        const size_t index = static_cast<size_t>(i);
        const base::TStringList fields = SplitText(entries[i], '@');
        if (fields.Count() < 4) {
            throw base::Exception(EntryError(index, "fewer than four fields"));
        }
        const std::string stamp = base::Trim(fields[0]);
        const std::string path = base::Trim(fields[2]);
        const std::string url = base::Trim(fields[3]);
        if (!IsSafeRelativePath(path)) {
            throw base::Exception(EntryError(index, "unsafe path \"" + path + "\""));
        }
        base::TDateTime remote = 0;
        if (!base::TryParseStamp(stamp, env.settings, remote)) {
            throw base::Exception(EntryError(index, "\"" + stamp + "\" is not a date and time"));
        }
        std::u16string local_path;
        try {
            local_path = LocalFilePath(env.current_dir, path);
        } catch (const base::EEncodingError&) {
            throw base::Exception(EntryError(index, "path \"" + path + "\" is not GBK text"));
        }
        const platform::FileTime local = env.to_local(env.last_write_time(local_path));
        // Compared exactly, in file-time ticks: the remote stamp must be at
        // least one millisecond later than the local file.
        const int64_t difference = DateTimeToTicks(remote) - static_cast<int64_t>(local);
        if (difference >= static_cast<int64_t>(platform::kTicksPerMillisecond)) {
            pending.push_back({fields[0] + fields[1] + fields[2], url, path,
                               fields.Count() > 4 ? HashField(index, fields[4]) : std::string()});
        }
    }
    return pending;
}

TCheckResult RunUpdateCheck(std::string_view argument, transfer::THTTPClient& client,
                            const TCheckEnvironment& env) {
    TCheckResult result;
    const std::string url = base::Trim(argument);
    if (url.empty()) {
        result.outcome = TCheckResult::Outcome::kBadArgument;
        result.message = kBadArgument;
        return result;
    }
    try {
        const std::string manifest = client.Get(url);
        const transfer::THTTPResponse& response = client.Response();
        if (response.incomplete) {
            // Read as it is, a cut manifest would lose entries or end in a
            // cut URL.
            std::string reason = "Incomplete body: " + std::to_string(response.body_bytes);
            reason += response.content_length >= 0
                          ? " of " + std::to_string(response.content_length) + " bytes"
                          : " bytes, size unknown";
            throw base::Exception(reason);
        }
        result.pending = ReadManifest(manifest, env);
    } catch (const std::exception& e) {
        result.outcome = TCheckResult::Outcome::kFailed;
        result.message = url + kCheckFailed;
        result.reason = e.what();
        result.pending.clear();
        return result;
    }
    if (!result.pending.empty()) {
        const std::string count = std::to_string(result.pending.size());
        result.gauge_text = count + kPendingSuffix;
        result.label_text =
            kDownloadPrefix + std::string("0/") + count + " " + result.pending.front().path;
    }
    return result;
}

}  // namespace updater
