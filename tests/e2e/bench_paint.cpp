// Whether the update window can show progress as fast as a transfer reports
// it: (a) the rate of progress events (OnWork, one per read of up to 32 KiB)
// of THTTPClient downloading a file over loopback, and (b) the rate at which
// a window with the updater's skinned gauge (364x20) and two skinned labels
// (274x22, and 82x22 right-aligned), bound to the skin "yellow", shows one
// event: the gauge's value and both captions set, each change painted at
// once (repaint pacing off). Prints both rates and paint/events (goal: at
// least 4).
//
//   bench_paint URL EVENTS
//
// URL: the file to download (scripts/bench-paint serves 256 MiB from a
// private nginx on 127.0.0.1). EVENTS: how many progress events (b) shows.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/rounding.h"
#include "base/streams.h"
#include "framework/forms.h"
#include "skin/controls/gauge.h"
#include "skin/controls/label.h"
#include "skin/controls/skin_control.h"
#include "skin/data/skin_data.h"
#include "skin/data/stored_skin.h"
#include "support/skins.h"
#include "transfer/http_client.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

struct DownloadResult {
    int64_t bytes = 0;
    int64_t events = 0;
    double seconds = 0;
};

DownloadResult Download(const std::string& url) {
    transfer::THTTPClient client;
    DownloadResult result;
    client.OnWork = [&](transfer::THTTPClient&, transfer::TWorkMode mode, int32_t) {
        if (mode == transfer::TWorkMode::Read) {
            ++result.events;
        }
    };
    base::TForwardStream sink;  // counts the bytes, keeps none
    const auto start = std::chrono::steady_clock::now();
    client.GetToStream(url, sink);
    result.seconds = Seconds(start);
    result.bytes = sink.Size();
    if (client.Response().code != 200 || client.Response().incomplete) {
        throw std::runtime_error("the download failed: " + client.Response().status_line);
    }
    return result;
}

// Dispatches what is queued (the form's first paint), for at most `ms`.
void Pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    MSG msg;
    while (std::chrono::steady_clock::now() < end) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

struct PaintResult {
    bool skinned = false;
    double seconds = 0;
};

// Shows `events` progress events of a download of `total` bytes the way the
// update window does, in a window laid out like it.
PaintResult Paint(int events, int64_t total) {
    using namespace skin;
    auto form = std::make_unique<framework::TForm>(nullptr);
    form->SetBounds(100, 100, 486, 290);
    auto* skinData = test_support::SkinDataOf(form.get(), "yellow");
    if (skinData->SkinEmpty()) {
        throw std::runtime_error("the skin yellow did not load");
    }

    auto* gauge = new TbsSkinGauge(form.get());
    auto* file = new TbsSkinLabel(form.get());
    auto* speed = new TbsSkinLabel(form.get());
    gauge->SetParent(form.get());
    gauge->SetBounds(116, 204, 364, 20);
    gauge->SetShowProgressText(true);
    gauge->SetShowPercent(true);
    gauge->SetProgressText("下载中... ");
    file->SetParent(form.get());
    file->SetBounds(119, 179, 274, 22);
    file->SetBorderStyle(bvNone);
    speed->SetParent(form.get());
    speed->SetBounds(396, 179, 82, 22);
    speed->SetBorderStyle(bvNone);
    speed->SetAlignment(taRightJustify);
    for (TbsSkinControl* c :
         {static_cast<TbsSkinControl*>(gauge), static_cast<TbsSkinControl*>(file),
          static_cast<TbsSkinControl*>(speed)}) {
        c->SetSkinData(skinData);
    }
    form->Show();
    Pump(300);

    // The gauge counts KiB: its range is an int.
    const int totalKb = static_cast<int>(total / 1024);
    gauge->SetMinValue(0);
    gauge->SetMaxValue(totalKb);
    const std::string of = "KB of " + base::KiloBytesText(total) + "KB";
    TbsSkinControl::SetRepaintPacing(false);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= events; ++i) {
        const int64_t position = total * i / events;
        gauge->SetValue(static_cast<int>(position / 1024));
        file->SetCaption("下载 1/1 data\\big.bin  " + base::KiloBytesText(position) + of);
        char rate[32];
        std::snprintf(rate, sizeof rate, "%d.%02dKB/s", 90000 + i % 9000, i % 100);
        speed->SetCaption(rate);
    }
    PaintResult result;
    result.seconds = Seconds(start);
    TbsSkinControl::SetRepaintPacing(true);
    result.skinned = gauge->DataIndex() >= 0 && file->DataIndex() >= 0 && speed->DataIndex() >= 0;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[2]) < 1) {
        std::fprintf(stderr, "usage: bench_paint URL EVENTS\n");
        return 2;
    }
    try {
        const DownloadResult download = Download(argv[1]);
        const double eventRate = static_cast<double>(download.events) / download.seconds;
        std::printf("download: %lld bytes in %.2f s, %lld progress events: %.0f events/s\n",
                    static_cast<long long>(download.bytes), download.seconds,
                    static_cast<long long>(download.events), eventRate);
        std::fflush(stdout);

        const int events = std::atoi(argv[2]);
        const PaintResult paint = Paint(events, download.bytes);
        const double paintRate = events / paint.seconds;
        std::printf("paint: %d events shown in %.2f s (%s): %.0f events/s\n", events, paint.seconds,
                    paint.skinned ? "skinned" : "PLAIN LOOK: the controls found no skin object",
                    paintRate);
        std::printf("ratio paint/events %.2f (goal: at least 4)\n", paintRate / eventRate);
        return paint.skinned ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_paint: %s\n", e.what());
        return 1;
    }
}
