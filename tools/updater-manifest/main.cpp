// updater-manifest: writes the manifest of a release folder, so that a
// publisher does not write stamps, paths and URLs by hand.
//
//   updater-manifest --base-url URL [--sha256] [--display TEXT] [--output FILE] [--utf8] DIR
//
// Writes the manifest (GBK) to standard output or, in one step, to FILE. A
// file whose name the updater would refuse or misread stops it with a
// message naming the file and the reason (in GBK, or UTF-8 with --utf8) and
// exit status 1; FILE is then left as it was.

#include <cstdio>
#include <cstring>
#include <string>

#include "base/exception.h"
#include "base/text.h"
#include "manifest.h"
#include "platform/file_stream.h"
#include "platform/process.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

bool g_utf8 = false;

// Messages are GBK as the program works with them, or UTF-8 with --utf8.
void Fail(const std::string& gbk) {
    std::string text = "updater-manifest: " + gbk + "\n";
    if (g_utf8) {
        try {
            text = base::Utf16ToUtf8(base::GbkToUtf16(text));
        } catch (const base::EEncodingError&) {
            // bytes that are not GBK go out as they are
        }
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
}

int Usage() {
    std::fputs(
        "usage: updater-manifest --base-url URL [--sha256] [--display TEXT] [--output FILE] "
        "[--utf8] DIR\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    manifest::TOptions options;
    int display_index = 0;
    int output_index = 0;
    int dir_index = 0;
    bool have_base_url = false;
    for (int i = 1; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (std::strcmp(argv[i], "--base-url") == 0 && has_value) {
            options.base_url = argv[++i];
            have_base_url = true;
        } else if (std::strcmp(argv[i], "--display") == 0 && has_value) {
            display_index = ++i;
        } else if (std::strcmp(argv[i], "--output") == 0 && has_value) {
            output_index = ++i;
        } else if (std::strcmp(argv[i], "--sha256") == 0) {
            options.sha256 = true;
        } else if (std::strcmp(argv[i], "--utf8") == 0) {
            g_utf8 = true;
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            return Usage();
        } else if (dir_index == 0) {
            dir_index = i;
        } else {
            return Usage();
        }
    }
    if (dir_index == 0 || !have_base_url) {
        return Usage();
    }

    try {
        std::u16string folder;
        std::u16string output;
        try {
            folder = platform::CommandLineArgument(argv, dir_index);
            output = output_index > 0 ? platform::CommandLineArgument(argv, output_index) : u"";
        } catch (const base::EEncodingError&) {
            Fail("the folder or the output file cannot be named (not UTF-8 text)");
            return 2;
        }
        while (folder.size() > 1 && (folder.back() == u'/' || folder.back() == u'\\')) {
            folder.pop_back();
        }
        if (display_index > 0) {
            try {
                options.display =
                    base::Utf16ToGbk(platform::CommandLineArgument(argv, display_index));
            } catch (const base::EEncodingError&) {
                Fail("the display text is not text that GBK can hold");
                return 1;
            }
        }
        const std::string text =
            manifest::BuildManifest(folder, manifest::ListReleaseFiles(folder), options);
        if (output.empty()) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            if (std::fflush(stdout) != 0) {
                Fail("the manifest could not be written to standard output");
                return 1;
            }
        } else {
            platform::WriteFileAtomically(output, text);
        }
    } catch (const base::Exception& e) {
        Fail(e.what());
        return 1;
    }
    return 0;
}
