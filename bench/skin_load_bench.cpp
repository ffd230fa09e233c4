// Loading a stored skin (inflate, unpack the pictures, parse the description
// into objects) against zlib inflating the same compressed stream alone, in
// two ways:
//
//   - steady state: Google Benchmark runs each after a warm-up, long enough
//     for the median of the repetitions to settle, and the program prints
//     the ratio of the CPU times per load (goal: 2 or less);
//   - cold: `--cold=load` or `--cold=inflate` with `--stream=FILE` does one
//     load, or one inflate, in a process that has done nothing else, and
//     prints its CPU and wall time in microseconds. That is what a player
//     waits for when the updater starts: first use of the code, first touch
//     of fresh memory. scripts/bench-skin runs many such processes and
//     compares the medians (goal: a cold load at most 3 times a cold
//     inflate). `--write-stream=FILE` writes the stream they read.
//
// The skin is our "yellow" skin packed from its folder (YELLOW_SKIN, as
// scripts/bench-skin sets it), or a generated one: a main picture and a mask,
// six picture-list images (8 and 24 bits, smooth shading with some texture,
// as skin pictures have) and a description with every section and 44
// objects whose keys are all written, as a skin editor writes them. It is
// packed at level 9 as the packer does.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/exception.h"
#include "base/zstreams.h"
#include "framework/bitmap.h"
#include "framework/ini.h"
#include "skin/data/control_objects.h"
#include "skin/data/frame_objects.h"
#include "skin/data/skin_archive.h"
#include "skin/data/skin_data.h"
#include "skin/data/stored_skin.h"

namespace {

using framework::TBitmapData;

// A small deterministic generator: the same skin on every run.
class Random {
  public:
    uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

  private:
    uint32_t state_ = 12345;
};

TBitmapData MakePicture(int width, int height, framework::TPixelFormat format, Random& random) {
    TBitmapData picture(width, height, format);
    const int band = 4 + random.Below(12);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // A frame of bands and a little grain.
            const int edge = (x % band == 0 || y % band == 0) ? 60 : 0;
            const int grain = random.Below(100) < 3 ? random.Below(24) : 0;
            // Shading in steps of 8 levels: flat runs, as drawn pictures have.
            const int r = (((x * 255 / width) & 0xF8) + edge + grain) & 0xFF;
            const int g = (((y * 255 / height) & 0xF8) + grain) & 0xFF;
            const int b = (((x + y) * 128 / (width + height)) & 0xF8) + 100;
            if (framework::IsIndexed(format)) {
                picture.SetPixelIndex(x, y, (r >> 5) << 5 | (g >> 5) << 2 | (b >> 6));
            } else {
                picture.SetPixel(
                    x, y,
                    framework::MakeColor(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                         static_cast<uint8_t>(b)));
            }
        }
    }
    return picture;
}

// Gives each rectangle and point written with its default a plausible value.
void FillGeometry(framework::TMemIniFile& ini, const std::string& section, Random& random) {
    for (const std::string& key : ini.ReadSection(section)) {
        const std::string value = ini.ReadString(section, key, "");
        const int x = random.Below(150);
        const int y = random.Below(150);
        if (value == "0,0,0,0") {
            ini.WriteString(section, key,
                            std::to_string(x) + "," + std::to_string(y) + "," +
                                std::to_string(x + 5 + random.Below(60)) + "," +
                                std::to_string(y + 5 + random.Below(30)));
        } else if (value == "0,0") {
            ini.WriteString(section, key, std::to_string(x) + "," + std::to_string(y));
        }
    }
}

std::string MakeDescription(Random& random) {
    framework::TMemIniFile ini;
    ini.WriteString("VERSION", "skinname", "bench");
    ini.WriteString("VERSION", "skinauthor", "updater team");
    ini.WriteString("VERSION", "skincomments", "generated for the load benchmark");
    ini.WriteString("PICTURES", "picture", "main.bmp");
    ini.WriteString("PICTURES", "inactivepicture", "");
    ini.WriteString("PICTURES", "mask", "mask.bmp");
    ini.WriteInteger("PICTURES", "activepicturescount", 6);
    for (int i = 0; i < 6; ++i) {
        ini.WriteString("PICTURES", std::to_string(i), "picture" + std::to_string(i) + ".bmp");
    }
    skin::TSkinFormInfo form;
    form.Save(ini);
    FillGeometry(ini, "FORMINFO", random);
    skin::TbsDataSkinPopupWindow popup;
    popup.Save(ini);
    FillGeometry(ini, "POPUPWINDOW", random);
    skin::TbsDataSkinHintWindow hint;
    hint.Save(ini);
    FillGeometry(ini, "HINTWINDOW", random);

    const std::pair<const char*, const char*> frame[] = {
        {"caption", "caption"},          {"closebutton", "stdbutton"},
        {"maxbutton", "stdbutton"},      {"minbutton", "stdbutton"},
        {"sysmenu", "stdbutton"},        {"rollup", "stdbutton"},
        {"traybutton", "stdbutton"},     {"MENUITEM", "menuitem"},
        {"barItem", "mainmenubaritem"},  {"barclose", "mainmenubarbutton"},
        {"barmin", "mainmenubarbutton"}, {"logo", "animate"},
        {"grip", "userobject"},
    };
    ini.WriteInteger("SKINOBJECTS", "count", static_cast<int>(std::size(frame)));
    for (size_t i = 0; i < std::size(frame); ++i) {
        ini.WriteString("SKINOBJECTS", std::to_string(i),
                        std::string(frame[i].first) + ":" + frame[i].second);
    }
    const std::pair<const char*, const char*> controls[] = {
        {"button", "button"},
        {"gauge", "gauge"},
        {"label", "label"},
        {"stdlabel", "stdlabel"},
        {"listbox", "listbox"},
        {"checklistbox", "checklistbox"},
        {"vscrollbar", "scrollbar"},
        {"hscrollbar", "scrollbar"},
        {"bothhscrollbar", "scrollbar"},
        {"panel", "panel"},
        {"expanel", "expanel"},
        {"checkbox", "checkradio"},
        {"radiobox", "checkradio"},
        {"splitter", "splitter"},
        {"trackbar", "trackbar"},
        {"updown", "updown"},
        {"grid", "grid"},
        {"tab", "tab"},
        {"mainmenubar", "mainmenubar"},
        {"controlbar", "controlbar"},
        {"memo", "memo"},
        {"edit", "edit"},
        {"combobox", "combobox"},
        {"spinedit", "spinedit"},
        {"scrollbox", "scrollbox"},
        {"treeview", "treeview"},
        {"listview", "listview"},
        {"richedit", "richedit"},
        {"bevel", "bevel"},
        {"slider", "slider"},
        {"menubutton", "menubutton"},
    };
    ini.WriteInteger("SKINCONTROLS", "count", static_cast<int>(std::size(controls)));
    for (size_t i = 0; i < std::size(controls); ++i) {
        ini.WriteString("SKINCONTROLS", std::to_string(i),
                        std::string(controls[i].first) + ":" + controls[i].second);
    }
    for (const auto& [name, type] : frame) {
        skin::CreateFrameObject(type, name)->Save(ini);
        FillGeometry(ini, name, random);
        ini.WriteInteger(name, "activepictureindex", random.Below(6));
    }
    for (const auto& [name, type] : controls) {
        skin::CreateControlObject(type, name)->Save(ini);
        FillGeometry(ini, name, random);
        ini.WriteInteger(name, "pictureindex", random.Below(6));
    }
    return ini.ToText();
}

struct BenchSkin {
    std::string compressed;
    size_t archive_size = 0;
    size_t picture_bytes = 0;
    size_t objects = 0;
};

// The skin the benchmark loads: our "yellow" skin packed from its folder
// (YELLOW_SKIN), or, when that is not given, a generated one of similar size.
const BenchSkin& Skin();

BenchSkin GeneratedSkin();

BenchSkin YellowSkin(const char* description) {
    skin::TbsCompressedStoredSkin stored(nullptr);
    stored.PackSkinFolder(description);
    BenchSkin result;
    result.compressed = std::string(stored.CompressedData());
    result.archive_size = base::ZDecompress(result.compressed).size();
    return result;
}

const BenchSkin& Skin() {
    static const BenchSkin skin = [] {
        if (const char* yellow = std::getenv("YELLOW_SKIN")) {
            return YellowSkin(yellow);
        }
        return GeneratedSkin();
    }();
    return skin;
}

BenchSkin GeneratedSkin() {
    {
        Random random;
        const TBitmapData main = MakePicture(161, 159, framework::pf24bit, random);
        const TBitmapData mask = MakePicture(161, 159, framework::pf1bit, random);
        std::vector<TBitmapData> list;
        list.push_back(MakePicture(120, 130, framework::pf24bit, random));
        list.push_back(MakePicture(100, 100, framework::pf24bit, random));
        list.push_back(MakePicture(90, 80, framework::pf24bit, random));
        list.push_back(MakePicture(66, 52, framework::pf24bit, random));
        list.push_back(MakePicture(160, 120, framework::pf8bit, random));
        list.push_back(MakePicture(64, 48, framework::pf24bit, random));

        skin::TSkinArchiveWriter archive;
        archive.WriteInt32(skin::kSkinArchiveVersion);
        archive.WritePictureRecord(&main);
        archive.WritePictureRecord(nullptr);
        archive.WritePictureRecord(&mask);
        archive.WriteInt32(static_cast<int32_t>(list.size()));
        BenchSkin result;
        result.picture_bytes = main.SaveToBytes().size() + mask.SaveToBytes().size();
        for (const TBitmapData& picture : list) {
            archive.WriteImage(picture);
            result.picture_bytes += picture.SaveToBytes().size();
        }
        archive.WriteBytes(MakeDescription(random));
        result.archive_size = archive.Bytes().size();
        result.compressed = base::ZCompress(archive.Bytes(), 9);
        return result;
    }
}

// The floor: zlib alone, into a buffer of the right size, in one call.
void BM_ZlibInflateOnly(benchmark::State& state) {
    const BenchSkin& skin = Skin();
    std::string out(skin.archive_size, '\0');
    for (auto _ : state) {
        z_stream zs{};
        inflateInit(&zs);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(skin.compressed.data()));
        zs.avail_in = static_cast<uInt>(skin.compressed.size());
        zs.next_out = reinterpret_cast<Bytef*>(out.data());
        zs.avail_out = static_cast<uInt>(out.size());
        if (inflate(&zs, Z_FINISH) != Z_STREAM_END) {
            state.SkipWithError("inflate failed");
        }
        inflateEnd(&zs);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(skin.archive_size));
}
// A warm-up first (first touch of the buffers, caches, the allocator's
// first growth), then at least two seconds per repetition: the steady state,
// not the first loads.
constexpr double kWarmUpSeconds = 1.0;
constexpr double kMinSeconds = 2.0;
BENCHMARK(BM_ZlibInflateOnly)
    ->Unit(benchmark::kMicrosecond)
    ->MinWarmUpTime(kWarmUpSeconds)
    ->MinTime(kMinSeconds);

// The whole load, as setting CompressedStoredSkin runs it.
void BM_LoadStoredSkin(benchmark::State& state) {
    const BenchSkin& skin = Skin();
    skin::TbsCompressedStoredSkin stored(nullptr);
    stored.SetCompressedData(skin.compressed);
    skin::TbsSkinData data(nullptr);
    for (auto _ : state) {
        data.LoadStoredSkin(stored);
        if (data.SkinEmpty() || data.PictureList().size() != 6) {
            state.SkipWithError("the skin did not load");
        }
        benchmark::DoNotOptimize(data.ControlObjects().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(skin.archive_size));
    state.counters["objects"] =
        static_cast<double>(data.FrameObjects().size() + data.ControlObjects().size());
}
BENCHMARK(BM_LoadStoredSkin)
    ->Unit(benchmark::kMicrosecond)
    ->MinWarmUpTime(kWarmUpSeconds)
    ->MinTime(kMinSeconds);

// Shows the runs as usual and keeps the CPU time per iteration of each
// benchmark (the median when repetitions are asked for).
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal: the summary lines are read by scripts.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") {
                    median_[name] = run.GetAdjustedCPUTime();
                }
            } else {
                last_[name] = run.GetAdjustedCPUTime();
            }
        }
    }

    double Time(const std::string& name) const {
        if (auto it = median_.find(name); it != median_.end()) {
            return it->second;
        }
        auto it = last_.find(name);
        return it != last_.end() ? it->second : 0.0;
    }

  private:
    std::map<std::string, double> median_;
    std::map<std::string, double> last_;
};

// --- cold runs -------------------------------------------------------------------------

// The stream file: the archive's size (8 bytes, little-endian), then the
// compressed stream.
bool WriteStream(const char* path) {
    const BenchSkin& skin = Skin();
    std::string bytes;
    for (int i = 0; i < 8; ++i) {
        bytes += static_cast<char>((static_cast<uint64_t>(skin.archive_size) >> (8 * i)) & 0xFF);
    }
    bytes += skin.compressed;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

struct Stream {
    size_t archive_size = 0;
    std::string compressed;
};

bool ReadStream(const char* path, Stream& stream) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 8) {
        return false;
    }
    uint64_t size = 0;
    for (int i = 7; i >= 0; --i) {
        size = (size << 8) | static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
    }
    stream.archive_size = static_cast<size_t>(size);
    stream.compressed = bytes.substr(8);
    return true;
}

double ThreadCpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// Times `operation` once: CPU time of this thread (page faults included)
// and wall time, in microseconds.
template <typename Operation>
void TimeOnce(const char* what, Operation operation) {
    const double cpu0 = ThreadCpuMicroseconds();
    const auto wall0 = std::chrono::steady_clock::now();
    const bool ok = operation();
    const auto wall1 = std::chrono::steady_clock::now();
    const double cpu1 = ThreadCpuMicroseconds();
    if (!ok) {
        std::fprintf(stderr, "skin_load_bench: the cold %s failed\n", what);
        std::exit(1);
    }
    std::printf("cold %s: cpu %.1f us, wall %.1f us\n", what, cpu1 - cpu0,
                std::chrono::duration<double, std::micro>(wall1 - wall0).count());
}

// One inflate into fresh memory of the archive's size, as a program that
// knows the size would do it.
bool ColdInflate(const Stream& stream) {
    std::unique_ptr<char[]> out(new char[stream.archive_size]);
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        return false;
    }
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.compressed.data()));
    zs.avail_in = static_cast<uInt>(stream.compressed.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.get());
    zs.avail_out = static_cast<uInt>(stream.archive_size);
    const bool ok = inflate(&zs, Z_FINISH) == Z_STREAM_END;
    inflateEnd(&zs);
    benchmark::DoNotOptimize(out.get());
    return ok;
}

// One load, as setting CompressedStoredSkin runs it while the window
// definition is read (the stored skin already holds its bytes then).
bool ColdLoad(const skin::TbsCompressedStoredSkin& stored) {
    skin::TbsSkinData data(nullptr);
    data.LoadStoredSkin(const_cast<skin::TbsCompressedStoredSkin&>(stored));
    return !data.SkinEmpty() && !data.PictureList().empty();
}

// Our own options: the value of --NAME=VALUE, removed from argv.
const char* TakeOption(int& argc, char** argv, std::string_view name) {
    const std::string prefix = "--" + std::string(name) + "=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) {
            const char* value = argv[i] + prefix.size();
            for (int j = i; j + 1 < argc; ++j) {
                argv[j] = argv[j + 1];
            }
            --argc;
            return value;
        }
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const char* write_stream = TakeOption(argc, argv, "write-stream");
    const char* cold = TakeOption(argc, argv, "cold");
    const char* stream_path = TakeOption(argc, argv, "stream");
    if (write_stream != nullptr) {
        return WriteStream(write_stream) ? 0 : 1;
    }
    if (cold != nullptr) {
        Stream stream;
        if (stream_path == nullptr || !ReadStream(stream_path, stream)) {
            std::fprintf(stderr, "skin_load_bench: --cold needs --stream=FILE (--write-stream)\n");
            return 2;
        }
        if (std::string_view(cold) == "inflate") {
            TimeOnce("inflate", [&] { return ColdInflate(stream); });
            return 0;
        }
        if (std::string_view(cold) == "load") {
            skin::TbsCompressedStoredSkin stored(nullptr);
            stored.SetCompressedData(stream.compressed);
            TimeOnce("load", [&] { return ColdLoad(stored); });
            return 0;
        }
        std::fprintf(stderr, "skin_load_bench: --cold=load or --cold=inflate\n");
        return 2;
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const BenchSkin& skin = Skin();
    std::printf("skin: %s, archive %zu bytes, compressed %zu bytes\n",
                std::getenv("YELLOW_SKIN") != nullptr ? "yellow" : "generated", skin.archive_size,
                skin.compressed.size());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double inflate = reporter.Time("BM_ZlibInflateOnly");
    const double load = reporter.Time("BM_LoadStoredSkin");
    if (inflate <= 0.0 || load <= 0.0) {
        std::printf("steady ratio: not measured (run both benchmarks)\n");
        return 1;
    }
    std::printf(
        "steady state, CPU time per load: load %.0f us, inflate %.0f us, ratio %.2f  "
        "(goal: 2.00 or less)\n",
        load, inflate, load / inflate);
    return 0;
}
