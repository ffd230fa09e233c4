// The manifest generator's parts: URLs of Chinese and other names, stamps,
// entries, the names it refuses and why, the checks of its settings, and a
// manifest made from a real folder that the updater's own check reads back:
// the files as they were written are current, one made older is pending.

#include "manifest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/sha256.h"
#include "base/text.h"
#include "platform/locale.h"
#include "updater/update_check.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace manifest {
namespace {

namespace fs = std::filesystem;

TEST(ManifestUrls, EachSegmentPercentEncodedInUtf8) {
    const struct {
        const char* base;
        std::u16string path;
        const char* url;
    } cases[] = {
        {"http://h/game", u"game.exe", "http://h/game/game.exe"},
        {"http://h/game///", u"data\\maps.pak", "http://h/game/data/maps.pak"},
        {"http://h", u"说明\\新 版.txt", "http://h/%E8%AF%B4%E6%98%8E/%E6%96%B0%20%E7%89%88.txt"},
        // Unreserved characters stay; everything else is encoded, "%" too.
        {"http://h/", u"Az09-._~", "http://h/Az09-._~"},
        {"http://h/", u"a+b&c=d#e%f;g'h!(i),j$",
         "http://h/a%2Bb%26c%3Dd%23e%25f%3Bg%27h%21%28i%29%2Cj%24"},
        // Outside the BMP: the four UTF-8 bytes of U+1F600.
        {"http://h/", u"\U0001F600", "http://h/%F0%9F%98%80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileUrl(c.base, c.path), c.url) << base::Utf16ToUtf8(c.path);
    }
}

TEST(ManifestStamps, LocalTimeToTheMillisecond) {
    const struct {
        base::DateTimeFields fields;
        const char* stamp;
    } cases[] = {
        {{2026, 12, 1, 10, 30, 0, 0}, "2026-12-01 10:30:00"},
        {{2026, 1, 2, 3, 4, 5, 678}, "2026-01-02 03:04:05.678"},
        {{1999, 12, 31, 23, 59, 59, 1}, "1999-12-31 23:59:59.001"},
        {{2100, 2, 28, 0, 0, 0, 990}, "2100-02-28 00:00:00.990"},
    };
    const base::TFormatSettings settings = base::ChinesePrcSettings(2026);
    for (const auto& c : cases) {
        const base::TDateTime value = base::EncodeDateTime(c.fields);
        const std::string stamp = FormatStamp(value);
        EXPECT_EQ(stamp, c.stamp);
        // The updater reads back the same instant.
        base::TDateTime read = 0;
        ASSERT_TRUE(base::TryParseStamp(stamp, settings, read)) << stamp;
        EXPECT_EQ(base::DecodeDateTime(read), c.fields) << stamp;
    }
}

TEST(ManifestEntries, FieldsInTheUpdatersOrder) {
    EXPECT_EQ(EntryText("2026-12-01 10:30:00", "新版地图", "data\\maps.pak", "http://h/m", ""),
              "2026-12-01 10:30:00@ 新版地图 @data\\maps.pak@http://h/m");
    EXPECT_EQ(EntryText("2026-12-01 10:30:00", "", "a.txt", "http://h/a.txt", "ab12"),
              "2026-12-01 10:30:00@ @a.txt@http://h/a.txt@sha256=ab12");
}

TEST(ManifestPaths, AcceptedNamesInGbk) {
    EXPECT_EQ(ManifestPath(u"game.exe"), "game.exe");
    EXPECT_EQ(ManifestPath(u"说明\\新 版.txt"), "说明\\新 版.txt");  // GBK literal
    EXPECT_EQ(ManifestPath(u"说明\\新 版.txt"), "\xcb\xb5\xc3\xf7\\\xd0\xc2 \xb0\xe6.txt");
    EXPECT_EQ(ManifestPath(u"COM10.txt"), "COM10.txt");
}

TEST(ManifestPaths, RefusedNamesSayWhy) {
    const struct {
        std::u16string path;
        const char* reason;  // a part of the message after "PATH: "
    } cases[] = {
        {u"한국\\a.txt", "GBK cannot hold U+D55C"},
        {u"a\\\U0001F600.txt", "GBK cannot hold U+1F600"},
        {u"mail@home.txt", "holds \"@\""},
        {u"丂.txt", "holds \"丂\", whose GBK bytes hold \"@\""},  // GBK 81 40
        {u"a:b.txt", "U+003A, which Windows cannot store"},
        {u"a\\b?.txt", "U+003F, which Windows cannot store"},
        {u"tab\there", "U+0009, which Windows cannot store"},
        {u"data.\\x.txt", "\"data.\" ends in a dot or a blank"},
        {u"x.txt ", "\"x.txt \" ends in a dot or a blank"},
        {u"data\\NUL.txt", "a device name"},
        {u"com1", "a device name"},
        {u" lead.txt", "starts with a blank"},
    };
    for (const auto& c : cases) {
        const std::string shown = base::Utf16ToGbkForDisplay(c.path);
        try {
            ManifestPath(c.path);
            ADD_FAILURE() << "accepted " << base::Utf16ToUtf8(c.path);
        } catch (const EManifestError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind(shown + ": ", 0), 0u) << message;
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        }
    }
}

TEST(ManifestSettings, BaseUrlAndDisplayText) {
    for (const char* url : {"http://h", "http://127.0.0.1:8080/game/", "https://h/a%20b"}) {
        EXPECT_NO_THROW(CheckBaseUrl(url)) << url;
    }
    for (const char* url : {"", "h/game", "://h", "http://", "http://u@h/", "http://h/a b",
                            "http://h/*", "http://h/\xd6\xd0"}) {
        EXPECT_THROW(CheckBaseUrl(url), EManifestError) << url;
    }
    for (const char* display : {"", "新版地图", "v1.2 (beta)"}) {
        EXPECT_NO_THROW(CheckDisplay(display)) << display;
    }
    for (const char* display : {"a@b", "a*b", "丂", "line\nbreak"}) {
        EXPECT_THROW(CheckDisplay(display), EManifestError) << display;
    }
}

TEST(ManifestFiles, RefusesNamesWindowsTakesForOneFile) {
    // Only a file system that tells letter case apart holds both; the check
    // comes before any file is read.
    const std::vector<TReleaseFile> files = {{u"Data\\a.pak", 0, 1}, {u"data\\A.PAK", 0, 1}};
    TOptions options;
    options.base_url = "http://h";
    try {
        BuildManifest(u"no-such-folder", files, options);
        ADD_FAILURE() << "two names for one file accepted";
    } catch (const EManifestError& e) {
        EXPECT_STREQ(e.what(),
                     "data\\A.PAK: differs from Data\\a.pak in letter case alone; Windows keeps "
                     "one file for both");
    }
}

// A release folder under the test output, made fresh.
class ManifestFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::path(base::Utf8ToUtf16(UPDATER_TEST_OUTPUT)) / u"manifest-release";
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    // A path with "\" between folders below the release folder.
    fs::path Path(std::u16string relative) const {
        for (char16_t& c : relative) {
            c = c == u'\\' ? u'/' : c;
        }
        return root / fs::path(relative).make_preferred();
    }

    void Write(const std::u16string& relative, const std::string& bytes) {
        const fs::path path = Path(relative);
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    std::u16string Folder() const {
        std::u16string folder = root.u16string();
#ifdef _WIN32
        for (char16_t& c : folder) {
            c = c == u'/' ? u'\\' : c;
        }
#endif
        return folder;
    }

    std::vector<std::string> Pending(const std::string& manifest) {
        updater::TCheckEnvironment env;
        env.current_dir = Folder();
        env.settings = platform::ReadUserFormatSettings();
        std::vector<std::string> paths;
        for (const updater::TPendingUpdate& p : updater::ReadManifest(manifest, env)) {
            paths.push_back(p.path);
        }
        return paths;
    }

    fs::path root;
};

TEST_F(ManifestFolderTest, ListsEveryFileInAStableOrder) {
    Write(u"z.txt", "z");
    Write(u"说明\\新 版.txt", "new");
    Write(u"data\\maps\\a.pak", "a");
    Write(u"data\\b.pak", "bb");
    fs::create_directories(root / "empty");
    std::vector<std::u16string> paths;
    for (const TReleaseFile& file : ListReleaseFiles(Folder())) {
        paths.push_back(file.path);
        EXPECT_EQ(file.size, fs::file_size(Path(file.path)));
    }
    const std::vector<std::u16string> expected = {u"data\\b.pak", u"data\\maps\\a.pak", u"z.txt",
                                                  u"说明\\新 版.txt"};
    EXPECT_EQ(paths, expected);
}

TEST_F(ManifestFolderTest, TheUpdaterFindsTheFilesCurrentUntilOneIsOlder) {
    Write(u"game.exe", "exe");
    Write(u"data\\maps.pak", "maps");
    Write(u"说明.txt", "readme");
    TOptions options;
    options.base_url = "http://127.0.0.1/game";
    options.sha256 = true;
    options.display = "新版";
    const std::string manifest = BuildManifest(Folder(), ListReleaseFiles(Folder()), options);

    const std::vector<std::string> entries = base::SplitBytes(manifest, '*');
    ASSERT_EQ(entries.size(), 3u) << manifest;
    const std::vector<std::string> fields = base::SplitBytes(entries[1], '@');
    ASSERT_EQ(fields.size(), 5u) << entries[1];
    EXPECT_EQ(fields[1], " 新版 ");
    EXPECT_EQ(fields[2], "game.exe");
    EXPECT_EQ(fields[3], "http://127.0.0.1/game/game.exe");
    EXPECT_EQ(fields[4], "sha256=" + base::Sha256Hex("exe"));

    EXPECT_EQ(Pending(manifest), std::vector<std::string>{});
    // One second older than published: the updater fetches it again.
    const fs::path game = root / "game.exe";
    fs::last_write_time(game, fs::last_write_time(game) - std::chrono::seconds(1));
    EXPECT_EQ(Pending(manifest), std::vector<std::string>{"game.exe"});
    fs::remove(root / "data" / "maps.pak");
    EXPECT_EQ(Pending(manifest), (std::vector<std::string>{"data\\maps.pak", "game.exe"}));
}

#ifndef _WIN32
// What only a native file system holds: a "\\" inside a name, a pipe.
TEST_F(ManifestFolderTest, RefusesWhatNoWindowsFolderHolds) {
    const struct {
        const char* name;
        bool pipe;
        const char* message;
    } cases[] = {
        {"a\\b.txt", false,
         "a\\b.txt: its name holds \"\\\", which the updater takes for a folder separator"},
        {"fifo", true, "fifo: not a regular file"},
    };
    for (const auto& c : cases) {
        fs::remove_all(root);
        fs::create_directories(root);
        const std::string path = (root / c.name).string();
        if (c.pipe) {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        } else {
            std::ofstream(path) << "x";
        }
        try {
            ListReleaseFiles(Folder());
            ADD_FAILURE() << c.name << " listed";
        } catch (const EManifestError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}
#endif

TEST_F(ManifestFolderTest, EmptyFolderGivesAnEmptyManifest) {
    TOptions options;
    options.base_url = "http://h";
    EXPECT_EQ(BuildManifest(Folder(), ListReleaseFiles(Folder()), options), "");
    EXPECT_EQ(Pending(""), std::vector<std::string>{});
}

}  // namespace
}  // namespace manifest
