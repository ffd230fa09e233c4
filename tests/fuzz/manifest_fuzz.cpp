// libFuzzer target: arbitrary bytes as an update manifest, and as a path.
//
// The whole input goes to updater::ReadManifest with a fake machine: the game
// folder is C:\게임 (a name outside GBK), a few files there have fixed
// last-write times, local time is UTC and the regional settings are the
// Chinese (PRC) ones. The same bytes go to updater::IsSafeRelativePath.
// Errors the reading raises (base::Exception) are expected; anything else
// escapes and is reported.
// Besides memory errors and undefined behaviour, the target checks:
//   - a path called safe never starts with "\" or "/", holds no ":" and has no
//     ".." that climbs above the folder (folders split at "\" and "/" outside
//     valid GBK double-byte characters);
//   - the reading looks up only files below the folder, by paths that are safe
//     as Windows sees them once converted to UTF-16: no ":", no climb above
//     the folder, no device name, no name that ends in a dot or a blank;
//   - the pending list is never longer than the list of entries, and each
//     pending entry has a safe, trimmed path and a trimmed URL;
//   - a manifest that is read without error has four fields or more and a
//     safe path in every entry.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/exception.h"
#include "base/text.h"
#include "fuzz_check.h"
#include "updater/update_check.h"

namespace {

// Korean: the folder's name is outside GBK, as an install folder's may be.
const std::u16string kFolder = u"C:\\게임";

// A GBK double-byte character: a lead byte 0x81-0xFE and a trail byte
// 0x40-0xFE other than 0x7F. A lead byte before anything else is a byte of its
// own, and so is what follows it.
bool IsPair(unsigned char lead, unsigned char trail) {
    return lead >= 0x81 && lead <= 0xfe && trail >= 0x40 && trail <= 0xfe && trail != 0x7f;
}

// The invariants of a path that IsSafeRelativePath accepted, checked on its
// own terms.
void CheckSafePath(std::string_view path) {
    FUZZ_CHECK(!path.empty());
    FUZZ_CHECK(path[0] != '\\' && path[0] != '/');
    FUZZ_CHECK(path.find(':') == std::string_view::npos);
    int depth = 0;
    std::string segment;
    auto close = [&] {
        if (segment == "..") {
            --depth;
        } else if (!segment.empty() && segment != ".") {
            ++depth;
        }
        FUZZ_CHECK(depth >= 0);
        segment.clear();
    };
    for (size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (i + 1 < path.size() && IsPair(c, static_cast<unsigned char>(path[i + 1]))) {
            segment += path.substr(i, 2);
            ++i;
        } else if (c == '\\' || c == '/') {
            close();
        } else {
            segment += static_cast<char>(c);
        }
    }
    close();
    FUZZ_CHECK(depth > 0);
}

bool IsDevice(std::u16string name) {
    name = name.substr(0, name.find(u'.'));
    while (!name.empty() && name.back() == u' ') {
        name.pop_back();
    }
    for (char16_t& c : name) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
    }
    for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"}) {
        if (name == device) {
            return true;
        }
    }
    return name.size() == 4 && (name.starts_with(u"COM") || name.starts_with(u"LPT")) &&
           name[3] >= u'0' && name[3] <= u'9';
}

// A looked-up path below the folder, as Windows will see it.
void CheckSystemPath(std::u16string_view path) {
    FUZZ_CHECK(!path.empty());
    FUZZ_CHECK(path.find(u':') == std::u16string_view::npos);
    int depth = 0;
    size_t start = 0;
    for (;;) {
        const size_t end = path.find_first_of(u"\\/", start);
        const std::u16string name(path.substr(start, end == path.npos ? path.npos : end - start));
        FUZZ_CHECK(!name.empty());
        if (name == u"..") {
            --depth;
        } else if (name != u".") {
            FUZZ_CHECK(name.back() != u'.' && name.back() != u' ');
            FUZZ_CHECK(!IsDevice(name));
            ++depth;
        }
        FUZZ_CHECK(depth >= 0);
        if (end == path.npos) {
            break;
        }
        start = end + 1;
    }
    FUZZ_CHECK(depth > 0);
}

size_t CountEntries(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    size_t n = 1;
    for (char c : text) {
        n += c == '*' ? 1 : 0;
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    if (updater::IsSafeRelativePath(input)) {
        CheckSafePath(input);
    }

    static const std::map<std::u16string, platform::FileTime> files = {
        {kFolder + u"\\game.exe", 133'000'000'000'000'000ULL},
        {kFolder + u"\\data\\maps.pak", 134'000'000'000'000'000ULL},
        {kFolder + u"\\a", 1},
        {kFolder + u"\\b", 0xFFFF'FFFF'FFFF'FFFFULL},
    };
    std::vector<std::u16string> looked_up;
    updater::TCheckEnvironment env;
    env.current_dir = kFolder;
    env.settings = base::ChinesePrcSettings(2026);
    env.last_write_time = [&looked_up](const std::u16string& path) -> platform::FileTime {
        looked_up.push_back(path);
        const auto it = files.find(path);
        return it == files.end() ? 0 : it->second;
    };
    env.to_local = [](platform::FileTime t) { return t; };

    std::string_view manifest = input;
    const size_t zero = manifest.find('\0');
    if (zero != std::string_view::npos) {
        manifest = manifest.substr(0, zero);
    }
    const size_t entries = CountEntries(manifest);

    bool read = false;
    std::vector<updater::TPendingUpdate> pending;
    try {
        pending = updater::ReadManifest(input, env);
        read = true;
    } catch (const base::Exception&) {
    }

    FUZZ_CHECK(looked_up.size() <= entries);
    for (const std::u16string& path : looked_up) {
        // The folder exactly, "\", then a safe path (the whole is trimmed,
        // which leaves the folder's end alone).
        FUZZ_CHECK(path.compare(0, kFolder.size() + 1, kFolder + u"\\") == 0);
        CheckSystemPath(std::u16string_view(path).substr(kFolder.size() + 1));
    }
    FUZZ_CHECK(pending.size() <= entries);
    for (const updater::TPendingUpdate& p : pending) {
        FUZZ_CHECK(updater::IsSafeRelativePath(p.path));
        CheckSafePath(p.path);
        FUZZ_CHECK(base::Trim(p.path) == p.path);
        FUZZ_CHECK(base::Trim(p.url) == p.url);
    }
    if (read) {
        // Every entry was looked up, and every one had four fields.
        FUZZ_CHECK(looked_up.size() == entries);
        for (std::string& entry : base::SplitBytes(manifest, '*')) {
            const std::vector<std::string> fields = base::SplitBytes(entry, '@');
            FUZZ_CHECK(fields.size() >= 4);
            FUZZ_CHECK(updater::IsSafeRelativePath(base::Trim(fields[2])));
        }
    }
    return 0;
}
