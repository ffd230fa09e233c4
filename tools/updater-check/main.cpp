// updater-check: runs the updater's check of a manifest without the window,
// so that a publisher can try a manifest before releasing it.
//
//   updater-check [--dir DIR] [--utf8] URL
//
// Prints one line per pending entry (display text, path and URL separated by
// tabs), then the gauge text and the label text that the window would show.
// On failure prints the window's message and the reason, and exits with 1.

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "base/exception.h"
#include "base/text.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "transfer/http_client.h"
#include "updater/update_check.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>
#endif

namespace {

bool g_utf8 = false;

// Output is GBK as the program works with it, or UTF-8 with --utf8.
std::string Out(const std::string& gbk) {
    if (!g_utf8) {
        return gbk;
    }
    try {
        return base::Utf16ToUtf8(base::GbkToUtf16(gbk));
    } catch (const base::EEncodingError&) {
        return gbk;  // bytes that are not GBK go out as they are
    }
}

// Argument `index` as the system gave it: on Windows from the wide command
// line (the narrow arguments lose what the ANSI code page cannot hold),
// elsewhere from UTF-8.
std::u16string SystemArgument(char** argv, int index) {
#ifdef _WIN32
    (void)argv;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::u16string argument;
    if (args != nullptr && index < count) {
        const std::wstring_view wide(args[index]);
        argument.assign(wide.begin(), wide.end());
    }
    LocalFree(args);
    return argument;
#else
    return base::Utf8ToUtf16(argv[index]);
#endif
}

int Usage() {
    std::fputs("usage: updater-check [--dir DIR] [--utf8] URL\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    int dir_index = 0;
    std::string url;
    bool have_url = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            dir_index = ++i;
        } else if (std::strcmp(argv[i], "--utf8") == 0) {
            g_utf8 = true;
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            return Usage();
        } else if (!have_url) {
            url = argv[i];
            have_url = true;
        } else {
            return Usage();
        }
    }
    if (!have_url) {
        return Usage();
    }

    updater::TCheckEnvironment env;
    try {
        env.current_dir =
            dir_index > 0 ? SystemArgument(argv, dir_index) : platform::CurrentDirectory();
    } catch (const base::Exception& e) {
        std::fprintf(stderr, "updater-check: the folder cannot be named: %s\n", e.what());
        return 2;
    }
    env.settings = platform::ReadUserFormatSettings();
    transfer::THTTPClient client;
    const updater::TCheckResult result = updater::RunUpdateCheck(url, client, env);

    if (result.outcome != updater::TCheckResult::Outcome::kChecked) {
        std::string text = Out(result.message) + "\n";
        if (!result.reason.empty()) {
            text += "reason: " + Out(result.reason) + "\n";
        }
        std::fputs(text.c_str(), stderr);
        return 1;
    }
    std::string text;
    for (const updater::TPendingUpdate& p : result.pending) {
        text += Out(p.display) + "\t" + Out(p.path) + "\t" + Out(p.url) + "\n";
    }
    // With nothing pending the window keeps the text the manifest transfer
    // left in the gauge and its label as it was.
    text += Out(result.pending.empty() ? std::string("升级完成") : result.gauge_text) + "\n";
    text += Out(result.label_text) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
