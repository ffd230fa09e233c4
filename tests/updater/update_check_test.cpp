#include "updater/update_check.h"

#include <gtest/gtest.h>

#include <cctype>

#include <cstdio>
#include <map>

#include "support/scripted_server.h"
#include "transfer/fake_transport.h"

namespace updater {
namespace {

using Paths = std::vector<std::string>;

// File-time ticks of a local date and time, for the fake file system.
platform::FileTime Ticks(int y, int mo, int d, int h, int mi, int s, int ms = 0,
                         int extra_ticks = 0) {
    base::TDateTime day = 0;
    EXPECT_TRUE(base::TryEncodeDate(y, mo, d, day));
    const int64_t days = static_cast<int64_t>(day) + 109205;
    const int64_t msec = ((h * 60 + mi) * 60 + s) * int64_t{1000} + ms;
    return static_cast<platform::FileTime>(days * 864'000'000'000 + msec * 10'000 + extra_ticks);
}

class UpdateCheckTest : public ::testing::Test {
  protected:
    UpdateCheckTest() {
        env.current_dir = u"C:\\game";
        env.settings = base::ChinesePrcSettings(2026);
        env.last_write_time = [this](const std::u16string& path) -> platform::FileTime {
            looked_up.push_back(path);
            const auto it = files.find(path);
            return it == files.end() ? 0 : it->second;
        };
        env.to_local = [](platform::FileTime t) { return t; };
    }

    std::vector<TPendingUpdate> Read(std::string_view manifest) {
        return ReadManifest(manifest, env);
    }

    Paths PendingPaths(std::string_view manifest) {
        Paths paths;
        for (const TPendingUpdate& p : Read(manifest)) {
            paths.push_back(p.path);
        }
        return paths;
    }

    TCheckEnvironment env;
    std::map<std::u16string, platform::FileTime> files;
    std::vector<std::u16string> looked_up;
};

TEST(SplitText, PartsFollowTheSeparators) {
    auto parts = [](std::string_view text) {
        const base::TStringList list = SplitText(text, '*');
        Paths out;
        for (int i = 0; i < list.Count(); ++i) {
            out.push_back(list[i]);
        }
        return out;
    };
    EXPECT_EQ(parts(""), Paths{});
    EXPECT_EQ(parts("a"), Paths{"a"});
    EXPECT_EQ(parts("a*b"), (Paths{"a", "b"}));
    EXPECT_EQ(parts("*a*"), (Paths{"", "a", ""}));
    EXPECT_EQ(parts("a**b"), (Paths{"a", "", "b"}));
}

TEST(SafePaths, PathsThatStayBelowTheFolder) {
    for (const char* path : {"game.exe", "data\\maps\\a.pak", "data/maps/a.pak", "a\\..\\b.txt",
                             ".\\x.dat", "新建\\文件.txt", "dir\\\x95\x5c.txt", "a.b.c", "x..y",
                             "a .txt", ".profile", "COM10.txt", "CONIN"}) {
        EXPECT_TRUE(IsSafeRelativePath(path)) << path;
    }
}

TEST(SafePaths, PathsThatLeaveTheFolderOrCannotBeStored) {
    for (const char* path :
         {"", "\\Windows\\x.dll", "/etc/passwd", "C:\\x.dll", "c:x.dll", "\\\\srv\\share\\x",
          "..\\x.dll", "a\\..\\..\\x.dll", "a\\..", ".", "..", "a\\", "a\\\\b", "a<b", "a>b", "a|b",
          "a?b", "a*b", "a\"b", "a\x01b", "a\tb", "CON", "nul.txt", "Com1", "lpt9.log",
          "x\\aux\\y.txt", "x\\AUX .txt", "COM0", "lpt0.log", "CONIN$", "x\\conout$.txt",
          // Windows drops a final dot or blank, so these name another file.
          "a.", "a ", "dir.\\a.txt", "dir \\a.txt", "a\\...", "a\\b. ",
          // A lead byte before a byte that cannot end a GBK character does
          // not hide that byte.
          "\xa3:", "\x81/..\\..\\x", ".\\.\\\xa0/.."}) {
        EXPECT_FALSE(IsSafeRelativePath(path)) << path;
    }
}

TEST_F(UpdateCheckTest, EntriesFieldsAndDisplayText) {
    const auto pending = Read(
        "2026-12-09 10:30:00@ 新 地图 @maps\\new.pak@ http://h/maps/new.pak *\r\n"
        "2026-12-09 10:30:00@x@game.exe@http://h/game.exe@extra@more\r\n");
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].display, "2026-12-09 10:30:00 新 地图 maps\\new.pak");
    EXPECT_EQ(pending[0].url, "http://h/maps/new.pak");
    EXPECT_EQ(pending[0].path, "maps\\new.pak");
    // Line breaks belong to the neighbouring fields: trimmed away where a
    // field is trimmed, kept in the display text.
    EXPECT_EQ(pending[1].display, "\r\n2026-12-09 10:30:00xgame.exe");
    EXPECT_EQ(pending[1].url, "http://h/game.exe");
    EXPECT_EQ(looked_up,
              (std::vector<std::u16string>{u"C:\\game\\maps\\new.pak", u"C:\\game\\game.exe"}));
}

TEST_F(UpdateCheckTest, AFolderOutsideGbkIsJoinedExactly) {
    // Korean and an emoji (a surrogate pair): the folder keeps them, the
    // manifest's GBK path is converted where it is joined to it.
    env.current_dir = u"D:\\게임 \U0001F3AE";
    EXPECT_EQ(PendingPaths("2026-12-09 10:30:00@x@数据\\a.txt@http://h/a"), Paths{"数据\\a.txt"});
    EXPECT_EQ(looked_up, std::vector<std::u16string>{u"D:\\게임 \U0001F3AE\\数据\\a.txt"});
}

TEST_F(UpdateCheckTest, InvalidManifests) {
    const std::string entry = "2026-12-09 10:30:00@x@a.txt@http://h/a";
    for (const std::string& manifest : std::vector<std::string>{
             "*" + entry, entry + "*", entry + "**" + entry, entry + "*\r\n", std::string("a@b@c"),
             "2026-12-09 10:30:00@x@..\\a.txt@http://h/a", "not a date@x@a.txt@http://h/a",
             "2026-13-09 10:30:00@x@a.txt@http://h/a",
             // A path that is not GBK text names no file.
             "2026-12-09 10:30:00@x@\xff.txt@http://h/a"}) {
        EXPECT_THROW(Read(manifest), base::Exception) << manifest;
    }
}

// "sha256=<hex>" as the fifth field gives the file's hash; any other fifth
// field is ignored as before, and a broken hash is no hash to ignore.
TEST_F(UpdateCheckTest, AFifthFieldMayCarryTheFilesHash) {
    const std::string entry = "2026-12-09 10:30:00@x@a.txt@http://h/a";
    const std::string hash = "0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789ABCDEF";
    std::string lower = hash;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const struct {
        std::string tail;
        std::string expected;
    } cases[] = {
        {"", ""},
        {"@sha256=" + hash, lower},
        {"@ SHA256=" + hash + " @more", lower},
        {"@md5=abc", ""},
    };
    for (const auto& c : cases) {
        const auto pending = Read(entry + c.tail);
        ASSERT_EQ(pending.size(), 1u) << c.tail;
        EXPECT_EQ(pending[0].sha256, c.expected) << c.tail;
        EXPECT_EQ(pending[0].url, "http://h/a") << c.tail;
    }
    for (const std::string& tail : {std::string("@sha256="), "@sha256=" + hash.substr(1),
                                    "@sha256=" + hash + "0", "@sha256=" + hash.substr(1) + "g"}) {
        EXPECT_THROW(Read(entry + tail), base::Exception) << tail;
    }
}

TEST_F(UpdateCheckTest, ZeroByteEndsTheText) {
    const std::string manifest =
        std::string("2026-12-09 10:30:00@x@a.txt@http://h/a") + '\0' + "*garbage";
    EXPECT_EQ(PendingPaths(manifest), Paths{"a.txt"});
    EXPECT_TRUE(Read("").empty());
    EXPECT_TRUE(Read(std::string(1, '\0') + "junk").empty());
}

TEST_F(UpdateCheckTest, SplittingIsByBytes) {
    // "\x81\x40" is one GBK character, but its second byte is "@": the free
    // text ends inside it, and the fields after it move along.
    const auto pending = Read("2026-12-09 10:30:00@ab\x81@c.txt@http://h/c@x");
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].path, "c.txt");
    EXPECT_EQ(pending[0].url, "http://h/c");
}

TEST_F(UpdateCheckTest, StampsAreComparedToTheMillisecond) {
    const std::string manifest = "2026-12-09 10:30:00.500@x@a.txt@u";
    files[u"C:\\game\\a.txt"] = Ticks(2026, 12, 9, 10, 30, 0, 500);
    EXPECT_TRUE(Read(manifest).empty()) << "equal stamps";
    files[u"C:\\game\\a.txt"] = Ticks(2026, 12, 9, 10, 30, 0, 499, 10);  // 0.999 ms before
    EXPECT_TRUE(Read(manifest).empty()) << "0.999 ms older";
    files[u"C:\\game\\a.txt"] = Ticks(2026, 12, 9, 10, 30, 0, 499);
    EXPECT_EQ(Read(manifest).size(), 1u) << "1 ms older";
    files[u"C:\\game\\a.txt"] = Ticks(2027, 1, 1, 0, 0, 0);
    EXPECT_TRUE(Read(manifest).empty()) << "newer";
}

TEST_F(UpdateCheckTest, MissingFilesArePending) {
    EXPECT_EQ(PendingPaths("1990-01-01 00:00:00@ 说明 @sub\\dir\\new.dat@ http://h/new.dat "),
              Paths{"sub\\dir\\new.dat"});
    // The zero file time is 1 January 1601: a remote stamp before it is not
    // later than a missing file.
    EXPECT_TRUE(Read("1600-12-31 23:59:59@x@old.dat@u").empty());
}

TEST_F(UpdateCheckTest, IsoStampsServeEveryLocale) {
    env.settings.short_date_format = "yyyy/M/d";
    env.settings.date_separator = '/';
    EXPECT_EQ(PendingPaths("2026/12/9 10:30:00@x@a.txt@u*2026-12-09T10:30:00@x@b.txt@u"),
              (Paths{"a.txt", "b.txt"}));
}

TEST(FileTimes, LocalDateTimeOfAFileTime) {
    // 2026-12-09 10:30:00.123 and the zero file time, shifted by whatever
    // offset is in force: a day later is exactly one more.
    const platform::FileTime t = Ticks(2026, 12, 9, 10, 30, 0, 123);
    const double a = FileTimeToLocalDateTime(t);
    const double b = FileTimeToLocalDateTime(t + 864'000'000'000);
    EXPECT_NEAR(b - a, 1.0, 1e-9);
    const base::DateTimeFields f = base::DecodeDateTime(a);
    EXPECT_EQ(f.millisecond, 123);
    EXPECT_EQ(f.second, 0);
    // Before day 0 the time of day is subtracted from the day number.
    const double zero = FileTimeToLocalDateTime(0);
    EXPECT_LE(zero, -109205.0);
    EXPECT_GT(zero, -109206.0);
}

#ifndef _WIN32
TEST(FileTimes, OffsetInForceNowIsApplied) {
    const char* old = getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "CST-8", 1);  // eight hours east of UTC, no daylight saving
    tzset();
    const double local = FileTimeToLocalDateTime(Ticks(2026, 12, 9, 0, 0, 0));
    if (old) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    EXPECT_EQ(base::DecodeDateTime(local), (base::DateTimeFields{2026, 12, 9, 8, 0, 0, 0}));
}
#endif

TEST(RunUpdateCheck, OutcomesAndTexts) {
    using test_support::Script;
    const std::string manifest =
        "2026-12-09 10:30:00@ a @one.pak@/f/one.pak*2026-12-09 10:30:00@ b @two\\2.pak@/f/2.pak*"
        "2026-12-09 10:30:00@ c @three.pak@/f/3.pak";
    test_support::ScriptedServer server(
        {Script()
             .ReadRequest()
             .Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(manifest.size()) +
                   "\r\n\r\n" + manifest)
             .ReadRequest()
             .Send("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")
             .WaitForPeerClose(5000)});
    TCheckEnvironment env;
    env.current_dir = u"C:\\nowhere";
    env.settings = base::ChinesePrcSettings(2026);
    env.last_write_time = [](const std::u16string&) -> platform::FileTime { return 0; };
    transfer::THTTPClient client;

    TCheckResult bad = RunUpdateCheck(" \t ", client, env);
    EXPECT_EQ(bad.outcome, TCheckResult::Outcome::kBadArgument);
    EXPECT_EQ(bad.message, "非法参数调用.");

    const std::string url = server.Url("/list.txt");
    TCheckResult ok = RunUpdateCheck("  " + url + "\r\n", client, env);
    ASSERT_EQ(ok.outcome, TCheckResult::Outcome::kChecked) << ok.reason;
    ASSERT_EQ(ok.pending.size(), 3u);
    EXPECT_EQ(ok.gauge_text, "3个更新程序包等待下载");
    EXPECT_EQ(ok.label_text, "下载 0/3 one.pak");
    EXPECT_EQ(ok.pending[1].display, "2026-12-09 10:30:00 b two\\2.pak");

    TCheckResult failed = RunUpdateCheck(url, client, env);
    EXPECT_EQ(failed.outcome, TCheckResult::Outcome::kFailed);
    EXPECT_EQ(failed.message, url + "获取升级信息失败.");
    EXPECT_EQ(failed.reason, "HTTP/1.1 404 Not Found");
    EXPECT_TRUE(failed.pending.empty());
}

TEST(RunUpdateCheck, AManifestCutShortFails) {
    // Cut inside the last URL, the manifest would still read as valid.
    const std::string entry = "2026-12-09 10:30:00@x@a.txt@http://h/a";
    const std::string whole = entry + "*" + entry;
    const std::string cut = whole.substr(0, whole.size() - 3);
    char chunk_size[16];
    std::snprintf(chunk_size, sizeof chunk_size, "%zx", entry.size());
    struct Case {
        std::string response;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(whole.size()) + "\r\n\r\n" + cut,
         "Incomplete body: " + std::to_string(cut.size()) + " of " + std::to_string(whole.size()) +
             " bytes"},
        // After the first chunk, a size line that is no number.
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(chunk_size) +
             "\r\n" + entry + "\r\nzz\r\n\r\n",
         "Incomplete body: " + std::to_string(entry.size()) + " bytes, size unknown"},
    };
    auto connector = std::make_unique<transfer::testing::FakeConnector>();
    for (const Case& c : cases) {
        connector->Add({c.response});
    }
    transfer::THTTPClient client(std::move(connector));
    TCheckEnvironment env;
    env.current_dir = u"C:\\game";
    env.settings = base::ChinesePrcSettings(2026);
    env.last_write_time = [](const std::u16string&) -> platform::FileTime { return 0; };
    for (const Case& c : cases) {
        const TCheckResult result = RunUpdateCheck("http://h/list.txt", client, env);
        EXPECT_EQ(result.outcome, TCheckResult::Outcome::kFailed) << c.reason;
        EXPECT_EQ(result.message, "http://h/list.txt获取升级信息失败.");
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_TRUE(result.pending.empty());
    }
}

}  // namespace
}  // namespace updater
