#include "platform/process.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "base/text.h"

extern char** environ;

namespace platform {

uint32_t TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 static_cast<uint64_t>(ts.tv_nsec) / 1'000'000u);
}

bool StartProgram(const std::u16string& program, const std::u16string& folder) {
    std::u16string p = program;
    std::u16string d = folder;
    std::replace(p.begin(), p.end(), u'\\', u'/');
    std::replace(d.begin(), d.end(), u'\\', u'/');
    std::string path = base::Utf16ToUtf8(p);
    const std::string directory = base::Utf16ToUtf8(d);
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        if (!directory.empty() && chdir(directory.c_str()) != 0) {
            _exit(127);
        }
        char* const argv[] = {path.data(), nullptr};
        execve(path.c_str(), argv, environ);
        _exit(127);
    }
    return true;
}

std::u16string CommandLineArgument(char** argv, int index) {
    return index >= 0 && argv[index] != nullptr ? base::Utf8ToUtf16(argv[index]) : u"";
}

std::u16string ProgramPath() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return {};
    }
    try {
        return base::Utf8ToUtf16(std::string_view(path, static_cast<size_t>(length)));
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace platform
