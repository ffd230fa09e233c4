// Loading a stored skin (inflate, unpack the pictures, parse the description
// into objects) against zlib inflating the same compressed stream alone.
//
// The skin is made here: a main picture and a mask, six picture-list images
// (8 and 24 bits, smooth shading with some texture, as skin pictures have)
// and a description with every section and 44 objects whose keys are all
// written, as a skin editor writes them. It is packed at level 9 as the
// packer does. After the runs the program prints the ratio of the two CPU
// times per load (goal: 2 or less).

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
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
BENCHMARK(BM_ZlibInflateOnly)->Unit(benchmark::kMicrosecond);

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
BENCHMARK(BM_LoadStoredSkin)->Unit(benchmark::kMicrosecond);

// Shows the runs as usual and keeps the CPU time per iteration of each
// benchmark (the median when repetitions are asked for).
class RatioReporter : public benchmark::ConsoleReporter {
  public:
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

}  // namespace

int main(int argc, char** argv) {
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
        std::printf("ratio: not measured (run both benchmarks)\n");
        return 1;
    }
    std::printf("ratio load/inflate (CPU time): %.2f  (goal: 2.00 or less)\n", load / inflate);
    return 0;
}
