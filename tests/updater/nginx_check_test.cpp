// The update check end to end: a manifest served by a real nginx on
// 127.0.0.1 (started for this test by tests/support/nginx-fixture), read with
// the platform's own file times and regional settings against a folder of
// real files. The fixture's folder (NGINX_FIXTURE_DIR) holds the port and the
// document root; the test writes its manifests there and its game folder next
// to it. The updater-check tool is run as a black box too (UPDATER_CHECK).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/sha256.h"
#include "base/text.h"
#include "platform/locale.h"
#include "tool_run.h"
#include "transfer/http_client.h"
#include "updater/update_check.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace updater {
namespace {

namespace fs = std::filesystem;

const std::string kFixture = NGINX_FIXTURE_DIR;

using test::Quote;
using test::ReadFile;
using test::ToolRun;

std::string ReadFile(const std::string& path) {
    return ReadFile(fs::path(path));
}

// A GBK path (folders separated by "/" or "\") as the file system takes it.
fs::path HostPath(const std::string& gbk) {
    std::u16string wide = base::GbkToUtf16(gbk);
    for (char16_t& c : wide) {
        if (c == u'\\') {
            c = u'/';
        }
    }
    return fs::path(wide);
}

void WriteFile(const std::string& gbk_path, const std::string& bytes) {
    const fs::path path = HostPath(gbk_path);
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.good()) << "cannot write " << gbk_path;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << gbk_path;
}

std::string Url(const std::string& target) {
    static const std::string port = [] {
        std::string text = ReadFile(kFixture + "/port");
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        return text;
    }();
    return "http://127.0.0.1:" + port + target;
}

// The folder the check looks below, as the program names it.
std::string GameDir() {
    std::string dir = kFixture + "/game";
#ifdef _WIN32
    for (char& c : dir) {
        if (c == '/') {
            c = '\\';
        }
    }
#endif
    return dir;
}

// Entries with stamps far in the past or the future: the local files are
// written during the test, so whatever the clock and the time zone, a stamp
// of 2099 is later than them and one of 2001 is earlier.
const std::string kFuture = "2099-12-31 23:59:59";
const std::string kFutureMs = "2099-01-02 03:04:05.678";
const std::string kPast = "2001-02-03 04:05:06";

// Blanks and line breaks surround the fields. The display text is the first
// three fields joined as they are, blanks and line breaks included.
std::string Entry(const std::string& stamp, const std::string& text, const std::string& path,
                  const std::string& url) {
    return stamp + "@ " + text + " @" + path + "@ " + url + " ";
}

struct Expected {
    std::string display;
    std::string path;
    std::string url;
};

class NginxCheckTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const std::string game = kFixture + "/game/";
        fs::remove_all(HostPath(game));
        // Present and out of date (remote stamps in the future).
        WriteFile(game + "data\\maps.pak", "old maps");
        WriteFile(game + "说明.txt", "old readme");
        // Present and up to date (remote stamps in the past).
        WriteFile(game + "game.exe", "exe");
        WriteFile(game + "存档\\记录.dat", "save");
        // 新增\音效.wav is missing: pending whatever its stamp.
    }

    void SetUp() override {
        env.current_dir = base::Utf8ToUtf16(GameDir());
        env.settings = platform::ReadUserFormatSettings();
    }

    // Writes a manifest into the document root; gives its URL.
    std::string Publish(const std::string& name, const std::string& text) {
        WriteFile(kFixture + "/www/updater/" + name, text);
        return Url("/updater/" + name);
    }

    // The manifest of three pending entries among two current ones.
    std::string GoodManifest() {
        const std::string files = Url("/files/");
        return Entry(kFutureMs, "新版地图", "data\\maps.pak", files + "data/maps.pak") + "*\r\n" +
               Entry(kPast, "主程序", "game.exe", files + "game.exe") + "*\r\n" +
               Entry(kFuture, "说明文件", "说明.txt", files + "readme.txt") + "*\r\n" +
               Entry(kPast, "存档", "存档\\记录.dat", files + "save.dat") + "*\r\n" +
               Entry(kPast, "新的音效", "新增\\音效.wav", files + "new.wav") + "\r\n";
    }

    std::vector<Expected> GoodPending() {
        const std::string files = Url("/files/");
        return {
            {kFutureMs + " 新版地图 data\\maps.pak", "data\\maps.pak", files + "data/maps.pak"},
            {"\r\n" + kFuture + " 说明文件 说明.txt", "说明.txt", files + "readme.txt"},
            {"\r\n" + kPast + " 新的音效 新增\\音效.wav", "新增\\音效.wav", files + "new.wav"},
        };
    }

    TCheckEnvironment env;
};

void ExpectPending(const std::vector<TPendingUpdate>& pending,
                   const std::vector<Expected>& expected) {
    ASSERT_EQ(pending.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pending[i].display, expected[i].display);
        EXPECT_EQ(pending[i].path, expected[i].path);
        EXPECT_EQ(pending[i].url, expected[i].url);
    }
}

TEST_F(NginxCheckTest, ListsTheOutOfDateAndMissingFiles) {
    const std::string url = Publish("manifest.txt", GoodManifest());
    transfer::THTTPClient client;
    const TCheckResult result = RunUpdateCheck("  " + url + " ", client, env);
    ASSERT_EQ(result.outcome, TCheckResult::Outcome::kChecked) << result.reason;
    EXPECT_EQ(result.message, "");
    ExpectPending(result.pending, GoodPending());
    EXPECT_EQ(result.gauge_text, "3个更新程序包等待下载");
    EXPECT_EQ(result.label_text, "下载 0/3 data\\maps.pak");
}

TEST_F(NginxCheckTest, NothingPendingWhenEveryFileIsCurrent) {
    const std::string files = Url("/files/");
    const std::string url =
        Publish("current.txt", Entry(kPast, "主程序", "game.exe", files + "game.exe") + "*" +
                                   Entry(kPast, "存档", "存档\\记录.dat", files + "save.dat"));
    transfer::THTTPClient client;
    const TCheckResult result = RunUpdateCheck(url, client, env);
    ASSERT_EQ(result.outcome, TCheckResult::Outcome::kChecked) << result.reason;
    EXPECT_TRUE(result.pending.empty());
    EXPECT_EQ(result.gauge_text, "");
    EXPECT_EQ(result.label_text, "");
}

TEST_F(NginxCheckTest, MissingManifestFailsWithTheUrl) {
    const std::string url = Url("/updater/no-such-manifest.txt");
    transfer::THTTPClient client;
    const TCheckResult result = RunUpdateCheck(url, client, env);
    EXPECT_EQ(result.outcome, TCheckResult::Outcome::kFailed);
    EXPECT_EQ(result.message, url + "获取升级信息失败.");
    EXPECT_EQ(result.reason, "HTTP/1.1 404 Not Found");
    EXPECT_TRUE(result.pending.empty());
    EXPECT_EQ(result.gauge_text, "");
    EXPECT_EQ(result.label_text, "");
}

TEST_F(NginxCheckTest, UnsafePathFailsTheWholeCheck) {
    const std::string files = Url("/files/");
    // The first entry alone would be pending; the second climbs out.
    const std::string url =
        Publish("unsafe.txt", Entry(kFuture, "地图", "data\\maps.pak", files + "maps.pak") + "*" +
                                  Entry(kFuture, "坏", "..\\x", files + "x"));
    transfer::THTTPClient client;
    const TCheckResult result = RunUpdateCheck(url, client, env);
    EXPECT_EQ(result.outcome, TCheckResult::Outcome::kFailed);
    EXPECT_EQ(result.message, url + "获取升级信息失败.");
    EXPECT_EQ(result.reason, "Manifest entry 2: unsafe path \"..\\x\"");
    EXPECT_TRUE(result.pending.empty());
    EXPECT_EQ(result.gauge_text, "");
}

TEST_F(NginxCheckTest, NoArgumentIsABadArgument) {
    transfer::THTTPClient client;
    const TCheckResult result = RunUpdateCheck("  ", client, env);
    EXPECT_EQ(result.outcome, TCheckResult::Outcome::kBadArgument);
    EXPECT_EQ(result.message, "非法参数调用.");
}

// The tool as a black box: its exit status, standard output and error.

ToolRun RunTool(const std::string& arguments) {
    return test::RunTool(UPDATER_CHECK, arguments, kFixture + "/updater-check");
}

std::string Utf8(const std::string& gbk) {
    return base::Utf16ToUtf8(base::GbkToUtf16(gbk));
}

TEST_F(NginxCheckTest, ToolPrintsThePendingFilesAndTheTexts) {
    const std::string url = Publish("manifest.txt", GoodManifest());
    std::string expected;
    for (const Expected& e : GoodPending()) {
        expected += e.display + "\t" + e.path + "\t" + e.url + "\n";
    }
    expected += "3个更新程序包等待下载\n下载 0/3 data\\maps.pak\n";

    const ToolRun gbk = RunTool("--dir " + Quote(GameDir()) + " " + Quote(url));
    EXPECT_EQ(gbk.status, 0) << gbk.err;
    EXPECT_EQ(gbk.out, expected);
    EXPECT_EQ(gbk.err, "");

    const ToolRun utf8 = RunTool("--utf8 --dir " + Quote(GameDir()) + " " + Quote(url));
    EXPECT_EQ(utf8.status, 0) << utf8.err;
    EXPECT_EQ(utf8.out, Utf8(expected));
    EXPECT_EQ(utf8.err, "");
}

TEST_F(NginxCheckTest, ToolReportsAFailedCheck) {
    const std::string url = Url("/updater/no-such-manifest.txt");
    const ToolRun run = RunTool("--dir " + Quote(GameDir()) + " " + Quote(url));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, url + "获取升级信息失败.\nreason: HTTP/1.1 404 Not Found\n");

    const ToolRun utf8 = RunTool("--utf8 --dir " + Quote(GameDir()) + " " + Quote(url));
    EXPECT_EQ(utf8.status, 1);
    EXPECT_EQ(utf8.err, Utf8(url + "获取升级信息失败.\nreason: HTTP/1.1 404 Not Found\n"));
}

TEST_F(NginxCheckTest, ToolReportsAnUnsafePath) {
    const std::string url =
        Publish("unsafe-tool.txt", Entry(kFuture, "坏", "a\\..\\..\\x", Url("/files/x")));
    const ToolRun run = RunTool("--dir " + Quote(GameDir()) + " " + Quote(url));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, url +
                           "获取升级信息失败.\nreason: Manifest entry 1: unsafe path "
                           "\"a\\..\\..\\x\"\n");
}

// --run does what the start button does: the files land in the folder, in
// folders made for them, and a file whose hash does not match stops the run
// with nothing of it written.
TEST_F(NginxCheckTest, ToolRunsTheUpdateIntoTheFolder) {
    const std::string dir = kFixture + "/run";
    std::error_code ignored;
    fs::remove_all(HostPath(dir), ignored);
    WriteFile(dir + "/placeholder.txt", "");
    const std::string body(300000, 'r');
    WriteFile(kFixture + "/www/updater/run/big.bin", body);
    const std::string hash = base::Sha256Hex(body);
    const std::string url =
        Publish("run-manifest.txt",
                Entry(kFuture, "", "新目录\\子目录\\big.bin", Url("/updater/run/big.bin")) +
                    "@sha256=" + hash);
    std::string quoted_dir = dir;
#ifdef _WIN32
    for (char& c : quoted_dir) {
        if (c == '/') {
            c = '\\';
        }
    }
#endif
    const ToolRun run = RunTool("--run --dir " + Quote(quoted_dir) + " " + Quote(url));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(run.out.ends_with("升级完成.\n")) << run.out;
    EXPECT_EQ(base::Sha256Hex(ReadFile(HostPath(dir + "/新目录/子目录/big.bin"))), hash);

    const std::string bad =
        Publish("run-bad.txt", Entry(kFuture, "", "bad.bin", Url("/updater/run/big.bin")) +
                                   "@sha256=" + std::string(64, '0'));
    const ToolRun refused = RunTool("--run --dir " + Quote(quoted_dir) + " " + Quote(bad));
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.out.ends_with("文件校验失败, 未写入: bad.bin\n")) << refused.out;
    EXPECT_FALSE(fs::exists(HostPath(dir + "/bad.bin")));
    EXPECT_FALSE(fs::exists(HostPath(dir + "/bad.bin.updating")));
}

}  // namespace
}  // namespace updater
