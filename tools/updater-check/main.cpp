// updater-check: runs the updater's check of a manifest without the window,
// so that a publisher can try a manifest before releasing it.
//
//   updater-check [--dir DIR] [--utf8] [--run] URL
//
// Prints one line per pending entry (display text, path and URL separated by
// tabs), then the gauge text and the label text that the window would show.
// On failure prints the window's message and the reason, and exits with 1.
//
// With --run it also does what the start button does: downloads and writes
// every pending file into DIR exactly as the updater does, and prints the
// message the window would show ("升级完成." or the failure); the exit status
// is 1 when the run did not finish.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/exception.h"
#include "base/text.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/process.h"
#include "transfer/http_client.h"
#include "updater/update_check.h"
#include "updater/update_logic.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
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

int Usage() {
    std::fputs("usage: updater-check [--dir DIR] [--utf8] [--run] URL\n", stderr);
    return 2;
}

// The update window without a window: the list, and the messages on the
// standard output.
class TConsoleView : public updater::TUpdateView {
  public:
    int ItemCount() const override { return static_cast<int>(items_.size()); }
    int ItemIndex() const override { return index_; }
    void SetItemIndex(int index) override { index_ = index; }
    void ClearItems() override {
        items_.clear();
        index_ = -1;
    }
    void AddItem(const std::string& text) override { items_.push_back(text); }
    void SetProgressText(const std::string&) override {}
    void SetGaugeMax(int value) override { max_ = value; }
    void SetGaugeMin(int) override {}
    void SetGaugeValue(int) override {}
    int GaugeMax() const override { return max_; }
    void SetFileLabel(const std::string&) override {}
    void SetSpeedLabel(const std::string&) override {}
    void SetStartCaption(const std::string&) override {}
    void Wait(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    void ShowMessage(const std::string& text, updater::TMessageKind kind) override {
        const std::string line = Out(text) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
        failed = failed || kind == updater::TMessageKind::Error;
    }
    void CloseWindow() override {}

    bool failed = false;

  private:
    std::vector<std::string> items_;
    int index_ = -1;
    int max_ = 100;
};

// The run of the start button into env.current_dir; true when it finished.
bool Run(const std::string& url, const updater::TCheckEnvironment& check) {
    transfer::THTTPClient client;
    TConsoleView view;
    updater::TUpdateEnvironment env;
    env.argument = url;
    env.check = check;
    env.tick_count = platform::TickCount;
    env.start_program = [](const std::u16string&, const std::u16string&) {};
    updater::TUpdateLogic logic(view, client, env);
    logic.FormCreate();
    logic.FormShow();
    if (view.ItemCount() > 0) {
        logic.StartPressed();
    }
    std::fflush(stdout);
    return !view.failed && (logic.Finished() || view.ItemCount() == 0);
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
    bool run = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            dir_index = ++i;
        } else if (std::strcmp(argv[i], "--utf8") == 0) {
            g_utf8 = true;
        } else if (std::strcmp(argv[i], "--run") == 0) {
            run = true;
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
        env.current_dir = dir_index > 0 ? platform::CommandLineArgument(argv, dir_index)
                                        : platform::CurrentDirectory();
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
    if (run) {
        std::fflush(stdout);
        try {
            return Run(url, env) ? 0 : 1;
        } catch (const std::exception& e) {
            // What the window's exception handling would show.
            const std::string line = Out(e.what()) + "\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
            return 1;
        }
    }
    return 0;
}
