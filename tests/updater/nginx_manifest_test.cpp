// updater-manifest end to end: a release folder under the document root of a
// real nginx on 127.0.0.1 (tests/support/nginx-fixture), its manifest made
// by the tool and served, and updater-check run against an install folder:
// it lists exactly the files that differ, and their percent-encoded URLs
// fetch the files. Both tools run as black boxes (UPDATER_MANIFEST,
// UPDATER_CHECK), natively and under Wine.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/sha256.h"
#include "base/text.h"
#include "tool_run.h"
#include "transfer/http_client.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

namespace fs = std::filesystem;

const std::string kFixture = NGINX_FIXTURE_DIR;

// A path with "/" between folders below the fixture's folder, as the file
// system takes it (GBK in the source).
fs::path HostPath(const std::string& gbk) {
    return fs::path(base::GbkToUtf16(kFixture + "/" + gbk)).make_preferred();
}

// The same path as a program is given it.
std::string ProgramPath(const std::string& ascii) {
    std::string path = kFixture + "/" + ascii;
#ifdef _WIN32
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
#endif
    return path;
}

using updater::test::Quote;
using updater::test::ReadFile;
using updater::test::ToolRun;

ToolRun RunTool(const std::string& program, const std::string& arguments) {
    return updater::test::RunTool(program, arguments, ProgramPath("manifest-tool"));
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << "cannot write " << path.string();
}

std::string Port() {
    std::string text = ReadFile(kFixture + "/port");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

struct TFile {
    std::string path;  // GBK, "/" between folders
    std::string bytes;
    enum { kSame, kOlder, kMissing } install;
};

const TFile kRelease[] = {
    {"game.exe", "the new game", TFile::kSame},
    {"data/maps.pak", "new maps", TFile::kOlder},
    {"说明/新 版.txt", "新版说明", TFile::kSame},
    {"新增/音效.wav", "new sound", TFile::kMissing},
};

TEST(NginxManifestTest, CheckListsExactlyTheFilesThatDiffer) {
    fs::remove_all(HostPath("www/release"));
    fs::remove_all(HostPath("install"));
    for (const TFile& file : kRelease) {
        const fs::path from = HostPath("www/release/" + file.path);
        WriteFile(from, file.bytes);
        const fs::path to = HostPath("install/" + file.path);
        fs::create_directories(to.parent_path());
        if (file.install == TFile::kMissing) {
            continue;
        }
        // The installed copy with the release file's time, or older. The
        // time is set to a whole second on both: the Windows runtime sets
        // file times to the second.
        WriteFile(to, "installed");
        const auto time = std::chrono::floor<std::chrono::seconds>(fs::last_write_time(from));
        fs::last_write_time(from, time);
        fs::last_write_time(to,
                            file.install == TFile::kSame ? time : time - std::chrono::seconds(10));
    }
    const std::string base_url = "http://127.0.0.1:" + Port() + "/release";
    const ToolRun made =
        RunTool(UPDATER_MANIFEST, "--base-url " + base_url + "/ --sha256 --output " +
                                      Quote(ProgramPath("www/release.txt")) + " " +
                                      Quote(ProgramPath("www/release")));
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, "");
    EXPECT_EQ(made.err, "");
    const std::string manifest = ReadFile(HostPath("www/release.txt"));
    for (const TFile& file : kRelease) {
        EXPECT_NE(manifest.find("@sha256=" + base::Sha256Hex(file.bytes)), std::string::npos)
            << file.path;
    }

    const ToolRun check =
        RunTool(UPDATER_CHECK, "--dir " + Quote(ProgramPath("install")) + " " + base_url + ".txt");
    ASSERT_EQ(check.status, 0) << check.err;
    const std::vector<std::string> lines = base::SplitBytes(check.out, '\n');
    // Two pending files, the gauge and label texts and the end of the last line.
    ASSERT_EQ(lines.size(), 5u) << check.out;
    EXPECT_EQ(lines[2], "2个更新程序包等待下载");
    const struct {
        const char* path;
        const char* url;
        const char* bytes;
    } pending[] = {
        {"data\\maps.pak", "/data/maps.pak", "new maps"},
        {"新增\\音效.wav", "/%E6%96%B0%E5%A2%9E/%E9%9F%B3%E6%95%88.wav", "new sound"},
    };
    transfer::THTTPClient client;
    for (size_t i = 0; i < 2; ++i) {
        const std::vector<std::string> fields = base::SplitBytes(lines[i], '\t');
        ASSERT_EQ(fields.size(), 3u) << lines[i];
        EXPECT_EQ(fields[1], pending[i].path);
        EXPECT_EQ(fields[2], base_url + pending[i].url);
        EXPECT_EQ(client.Get(fields[2]), pending[i].bytes) << fields[2];
        EXPECT_EQ(client.Response().code, 200) << fields[2];
    }
}

TEST(NginxManifestTest, ARefusedNameLeavesTheOldManifest) {
    fs::remove_all(HostPath("www/refused"));
    WriteFile(HostPath("www/refused/ok.txt"), "ok");
    WriteFile(HostPath("www/refused/data/丂.txt"), "the trail byte is @");
    WriteFile(HostPath("www/refused.txt"), "the manifest before");
    const ToolRun run = RunTool(UPDATER_MANIFEST, "--utf8 --base-url http://127.0.0.1/ --output " +
                                                      Quote(ProgramPath("www/refused.txt")) + " " +
                                                      Quote(ProgramPath("www/refused")));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              base::Utf16ToUtf8(base::GbkToUtf16(
                  "updater-manifest: data\\丂.txt: it holds \"丂\", whose GBK bytes "
                  "hold \"@\", which the updater reads as a separator of the manifest\n")));
    EXPECT_EQ(ReadFile(HostPath("www/refused.txt")), "the manifest before");
}

}  // namespace
