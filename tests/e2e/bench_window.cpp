// The cost of the update window's progress display: times a full run of
// updater.exe (from the start press to the completion message) and, in the
// same process run, httpget fetching the same files over one kept-alive
// connection twice: writing the bodies to one file (--output), and writing
// each to a file of its own the way the updater writes files (--into: in
// memory, then to a temporary file, flushed and moved into place). Prints the
// times and the ratios; window/(httpget --into) is what the display costs.
//
//   bench_window UPDATER_EXE HTTPGET_EXE INSTALL_DIR MANIFEST_URL URL_FILE OUTPUT INTO_DIR RUNS
//
// URL_FILE holds the file URLs one per line.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "window_driver.h"

using namespace e2e;

namespace {

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// httpget with an option, its value and every URL; seconds, or a negative
// value on failure.
double RunHttpget(const std::string& exe, const std::vector<std::string>& urls,
                  const std::string& option, const std::string& value) {
    std::wstring commandLine =
        L"\"" + Wide(exe) + L"\" " + Wide(option) + L" \"" + Wide(value) + L"\"";
    for (const std::string& url : urls) {
        commandLine += L" " + Wide(url);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessW(Wide(exe).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return -1;
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    const double seconds = Seconds(start);
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return code == 0 ? seconds : -1;
}

// The window's run from the start press to the completion message.
double RunWindow(const std::string& exe, const std::wstring& folder, const std::string& manifest,
                 size_t files) {
    UpdaterProcess updater(exe, folder, manifest);
    HWND window = updater.Window();
    if (window == nullptr) {
        return -1;
    }
    Controls ui(window);
    if (!WaitUntil(
            [&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == static_cast<LRESULT>(files); },
            60000)) {
        std::fprintf(stderr, "bench_window: the list was not filled: %s\n",
                     DescribeWindows(updater.Pid()).c_str());
        return -1;
    }
    const auto start = std::chrono::steady_clock::now();
    Click(ui.start);
    HWND done = nullptr;
    WaitUntil(
        [&] {
            done = FindTopLevel(updater.Pid(), L"UpdaterForm", L"信息");
            return done != nullptr ||
                   FindTopLevel(updater.Pid(), L"UpdaterForm", L"错误") != nullptr;
        },
        600000);
    const double seconds = Seconds(start);
    if (done == nullptr) {
        std::fprintf(stderr, "bench_window: the run did not finish: %s\n",
                     DescribeWindows(updater.Pid()).c_str());
        return -1;
    }
    PressYes(done);
    WaitUntil([&] { return FindTopLevel(updater.Pid(), L"UpdaterForm", L"信息") == nullptr; });
    Click(ui.close);
    updater.Ended(15000);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 9) {
        std::fprintf(stderr,
                     "usage: bench_window UPDATER_EXE HTTPGET_EXE INSTALL_DIR MANIFEST_URL "
                     "URL_FILE OUTPUT INTO_DIR RUNS\n");
        return 2;
    }
    const std::string updater = argv[1];
    const std::string httpget = argv[2];
    const std::wstring folder = Wide(argv[3]);
    const std::string manifest = argv[4];
    std::vector<std::string> urls;
    {
        std::ifstream in(argv[5]);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty()) {
                urls.push_back(line);
            }
        }
    }
    const std::string output = argv[6];
    const std::string into = argv[7];
    const int runs = std::max(1, std::atoi(argv[8]));

    double plainTotal = 0;
    double intoTotal = 0;
    double windowTotal = 0;
    for (int run = 0; run < runs; ++run) {
        const double plain = RunHttpget(httpget, urls, "--output", output);
        const double written = RunHttpget(httpget, urls, "--into", into);
        const double window = RunWindow(updater, folder, manifest, urls.size());
        if (plain < 0 || written < 0 || window < 0) {
            std::fprintf(stderr, "bench_window: run %d failed\n", run + 1);
            return 1;
        }
        std::printf("run %d: httpget --output %.2f s, httpget --into %.2f s, window %.2f s\n",
                    run + 1, plain, written, window);
        std::fflush(stdout);
        plainTotal += plain;
        intoTotal += written;
        windowTotal += window;
    }
    std::printf("means: httpget --output %.2f s, httpget --into %.2f s, window %.2f s\n",
                plainTotal / runs, intoTotal / runs, windowTotal / runs);
    std::printf("ratio window/(httpget --into) %.3f (the display's cost; goal <= 1.10)\n",
                windowTotal / intoTotal);
    std::printf(
        "ratio window/(httpget --output) %.3f (also the updater's safe writes; "
        "goal <= 1.25)\n",
        windowTotal / plainTotal);
    // For scripts: both ratios on one line.
    std::printf("ratios %.3f %.3f\n", windowTotal / intoTotal, windowTotal / plainTotal);
    return 0;
}
