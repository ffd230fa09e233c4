// The picture primitives against the least any of them could cost: a plain
// memcpy of as many pixel bytes as the picture they make (or, for a mask,
// read) has. Each pair runs in the same process; the ratios are printed at
// the end.
//
//   nine-part frame  BuildPartImage9 of a 480 x 263 window picture, centre drawn
//   button           BuildPartImage3H of the 49 x 25 button piece to 75 x 25
//   mask runs        MaskRuns of a 486 x 288 window mask (the run extraction;
//                    the region call itself is Win32 and not run here)

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "skin/data/mask.h"
#include "skin/data/picture.h"

namespace {

using framework::MakeColor;
using framework::pf24bit;
using framework::TBitmapData;
using skin::TPartGeometry;
using skin::TPoint;
using skin::TRect;

// A picture with some texture, so nothing is uniform by accident.
TBitmapData Picture(int width, int height) {
    TBitmapData b(width, height, pf24bit);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            b.SetPixel(x, y,
                       MakeColor(static_cast<uint8_t>(x * 7 + y), static_cast<uint8_t>(y * 3),
                                 static_cast<uint8_t>(x ^ y)));
        }
    }
    return b;
}

// A window mask: black, with the four corners rounded off (radius 12) and
// two notches in the caption edge.
TBitmapData WindowMask(int width, int height) {
    TBitmapData mask(width, height, pf24bit);
    constexpr int r = 12;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int dx = x < r ? r - x : x >= width - r ? x - (width - r - 1) : 0;
            const int dy = y < r ? r - y : y >= height - r ? y - (height - r - 1) : 0;
            const bool notch = y < 4 && ((x >= 100 && x < 140) || (x >= 300 && x < 340));
            if (dx * dx + dy * dy > r * r || notch) {
                mask.SetPixel(x, y, 0xFFFFFF);
            }
        }
    }
    return mask;
}

// memcpy of `bytes` between two buffers made once.
void CopyFloor(benchmark::State& state, size_t bytes) {
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

// --- the pairs -------------------------------------------------------------------------

void Frame(benchmark::State& state) {
    // A 180 x 140 frame picture: 6-pixel borders, a 30-pixel caption, the
    // caption and bottom middles between x = 40 and 140, the side middles
    // between y = 30 and 134.
    const TBitmapData source = Picture(180, 140);
    const TPartGeometry from{{40, 30}, {140, 30}, {40, 134}, {140, 134}, {6, 30, 174, 134}};
    const int w = 480, h = 263, dx = w - 180, dy = h - 140;
    const TPartGeometry to{{40, 30},
                           {140 + dx, 30},
                           {40, 134 + dy},
                           {140 + dx, 134 + dy},
                           {6, 30, 174 + dx, 134 + dy}};
    TBitmapData target;
    for (auto _ : state) {
        skin::BuildPartImage9(source, TRect{0, 0, 180, 140}, from, to, w, h, true, target);
        benchmark::DoNotOptimize(target.Bits());
    }
}

void Button(benchmark::State& state) {
    // The button picture holds four looks of 49 x 25 one below the other.
    const TBitmapData source = Picture(49, 100);
    TBitmapData target;
    for (auto _ : state) {
        skin::BuildPartImage3H(source, TRect{0, 25, 49, 50}, 8, 10, 75, target);
        benchmark::DoNotOptimize(target.Bits());
    }
}

void Mask(benchmark::State& state) {
    const TBitmapData mask = WindowMask(486, 288);
    for (auto _ : state) {
        skin::TMaskRuns runs = skin::MaskRuns(mask, 0, 0);
        benchmark::DoNotOptimize(runs.runs.data());
    }
}

struct Pair {
    const char* name;
    void (*build)(benchmark::State&);
    size_t bytes;  // pixel bytes of the picture made or read
};
const Pair kPairs[] = {
    {"nine-part frame 480x263", Frame, size_t{480} * 263 * 3},
    {"button 75x25", Button, size_t{75} * 25 * 3},
    {"mask runs 486x288", Mask, size_t{486} * 288 * 3},
};

// Keeps the median time of every benchmark while the console shows them.
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;  // nanoseconds
};

}  // namespace

int main(int argc, char** argv) {
    for (const Pair& p : kPairs) {
        const std::string name = p.name;
        benchmark::RegisterBenchmark((name + " / build").c_str(), p.build)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->Unit(benchmark::kNanosecond);
        const size_t bytes = p.bytes;
        benchmark::RegisterBenchmark((name + " / memcpy").c_str(),
                                     [bytes](benchmark::State& s) { CopyFloor(s, bytes); })
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->Unit(benchmark::kNanosecond);
    }
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n== ratio to a memcpy of the same pixel bytes (median of 5; goal 3.0 or less)\n");
    for (const Pair& p : kPairs) {
        const std::string name = p.name;
        const auto build = reporter.medians.find(name + " / build");
        const auto copy = reporter.medians.find(name + " / memcpy");
        if (build == reporter.medians.end() || copy == reporter.medians.end()) {
            continue;  // filtered out
        }
        std::printf("%-26s %10.0f ns   memcpy %9.0f ns   ratio %.2f\n", p.name, build->second,
                    copy->second, build->second / copy->second);
    }
    return 0;
}
