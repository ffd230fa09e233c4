// updater.exe end to end: the real program under Wine against a real nginx
// on 127.0.0.1 (tests/support/nginx-fixture, started for this test), driven
// from this process with window messages as a person would drive it, and
// read back through the standard window and list-box messages.
//
// NGINX_FIXTURE_DIR: the fixture's folder (port file, document root www/).
// UPDATER_EXE, GAME_STUB_EXE: the programs under test.
//
// The window is also pictured from the screen while it waits for the start
// press, half way through a download and when it has finished: BMP files
// in UPDATER_TEST_OUTPUT/e2e/screenshots (test-output/ of the build folder),
// which scripts/screenshots turns into the README's pictures.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/sha256.h"
#include "framework/graphics.h"
#include "support/input.h"
#include "support/scripted_server.h"
#include "support/test_root.h"
#include "window_driver.h"

namespace {

using namespace e2e;
using framework::GbkText;

const std::string kFixture = NGINX_FIXTURE_DIR;

std::string Port() {
    std::string port = ReadHostFile(Wide(kFixture + "/port"));
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r')) {
        port.pop_back();
    }
    return port;
}

std::string Url(const std::string& target) {
    return "http://127.0.0.1:" + Port() + "/" + target;
}

// The same on one of the fixture's HTTPS servers ("https", "https-expired").
std::string SecureUrl(const std::string& server, const std::string& target) {
    std::string port = ReadHostFile(Wide(kFixture + "/" + server + "-port"));
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r')) {
        port.pop_back();
    }
    return "https://127.0.0.1:" + port + "/" + target;
}

std::string Bytes(size_t n, unsigned seed) {
    std::string s(n, '\0');
    unsigned x = seed;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

// What the stub game wrote on its start (cwd and command line, each line
// ended by CR LF), once it is whole: the game holds the file open, unshared,
// while it writes, and a read meanwhile finds nothing.
std::wstring StartRecord(const std::wstring& folder) {
    std::wstring record;
    WaitUntil([&] {
        const std::string bytes = ReadHostFile(folder + L"\\started.txt");
        record.assign(reinterpret_cast<const wchar_t*>(bytes.data()),
                      bytes.size() / sizeof(wchar_t));
        return record.find(L"cmd=") != std::wstring::npos && record.ends_with(L"\r\n");
    });
    return record;
}

// The percentage at the end of a gauge text ("下载中... 47%"), -1 without.
int GaugePercent(const std::wstring& text) {
    if (!text.ends_with(L'%')) {
        return -1;
    }
    size_t digits = text.size() - 1;
    while (digits > 0 && iswdigit(text[digits - 1])) {
        --digits;
    }
    if (digits == text.size() - 1) {
        return -1;
    }
    return std::stoi(text.substr(digits, text.size() - 1 - digits));
}

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// The colour behind every picture: nothing of the updater is magenta, so a
// magenta pixel inside a window is a place nothing painted.
constexpr COLORREF kSentinel = RGB(255, 0, 255);

// Text that must show in a picture: pixels of the text's colour in an area of
// a window (window coordinates).
struct Ink {
    const char* what;
    HWND window;
    RECT area;
    COLORREF colour;
};

// A control's rectangle in its window's coordinates.
RECT AreaIn(HWND window, HWND control) {
    RECT w{}, c{};
    GetWindowRect(window, &w);
    GetWindowRect(control, &c);
    OffsetRect(&c, -w.left, -w.top);
    return c;
}

// The look of a finished product, checked on a picture taken over the
// sentinel: no sentinel pixel inside any window's region (nothing left
// unpainted, no seam), the sentinel at the top corners that a window's
// region cuts off (the shape works), and the text of each `ink`.
std::vector<std::string> LookFailures(const ScreenPicture& picture,
                                      const std::vector<HWND>& windows,
                                      const std::vector<Ink>& inks, bool shaped) {
    std::vector<std::string> failures;
    struct Shape {
        HWND window;
        RECT rect;
        HRGN region;  // window coordinates; null: the whole rectangle
    };
    std::vector<Shape> shapes;
    for (HWND w : windows) {
        Shape s{w, {}, CreateRectRgn(0, 0, 0, 0)};
        GetWindowRect(w, &s.rect);
        if (GetWindowRgn(w, s.region) == ERROR) {
            DeleteObject(s.region);
            s.region = nullptr;
        }
        shapes.push_back(s);
    }
    const auto inside = [](const Shape& s, POINT p) {
        if (!PtInRect(&s.rect, p)) {
            return false;
        }
        return s.region == nullptr || PtInRegion(s.region, p.x - s.rect.left, p.y - s.rect.top);
    };
    size_t holes = 0;
    POINT first{};
    for (LONG y = picture.area.top; y < picture.area.bottom; ++y) {
        for (LONG x = picture.area.left; x < picture.area.right; ++x) {
            const POINT p{x, y};
            if (picture.At(p) == kSentinel &&
                std::any_of(shapes.begin(), shapes.end(),
                            [&](const Shape& s) { return inside(s, p); })) {
                first = holes++ == 0 ? p : first;
            }
        }
    }
    if (holes > 0) {
        failures.push_back("the backdrop shows through, first at screen " +
                           std::to_string(first.x) + "," + std::to_string(first.y));
    }
    // The skinned windows are shaped; the corners they cut show the backdrop
    // unless another of the windows covers them.
    if (shaped) {
        if (shapes.front().region == nullptr) {
            failures.push_back("the window has no shape");
        }
    }
    for (const Shape& s : shapes) {
        if (s.region == nullptr) {
            continue;
        }
        for (const POINT corner :
             {POINT{s.rect.left, s.rect.top}, POINT{s.rect.right - 1, s.rect.top}}) {
            const bool covered = std::any_of(shapes.begin(), shapes.end(), [&](const Shape& o) {
                return o.window != s.window && inside(o, corner);
            });
            if (!inside(s, corner) && !covered) {
                if (picture.At(corner) != kSentinel) {
                    failures.push_back("a cut corner at " + std::to_string(corner.x) + "," +
                                       std::to_string(corner.y));
                }
            }
        }
    }
    for (const Shape& s : shapes) {
        DeleteObject(s.region);  // null is ignored
    }
    for (const Ink& ink : inks) {
        RECT place{};
        GetWindowRect(ink.window, &place);
        RECT area = ink.area;
        OffsetRect(&area, place.left, place.top);
        IntersectRect(&area, &area, &picture.area);
        int found = 0;
        for (LONG y = area.top; y < area.bottom; ++y) {
            for (LONG x = area.left; x < area.right; ++x) {
                found += picture.At(POINT{x, y}) == ink.colour ? 1 : 0;
            }
        }
        if (found < 3) {
            failures.push_back(std::string("no text drawn in ") + ink.what);
        }
    }
    return failures;
}

// Pictures the windows from the screen (over the fixture's backdrop) into
// UPDATER_TEST_OUTPUT/e2e/screenshots, and checks their finished look.
ScreenPicture Picture(const std::vector<HWND>& windows, const std::string& name,
                      const std::vector<Ink>& inks, bool shaped = true) {
    // Windows that have just changed may still be painting: the picture is
    // taken again until it looks finished, for two seconds at most.
    ScreenPicture picture;
    std::vector<std::string> failures;
    for (int attempt = 0; attempt < 20; ++attempt) {
        picture = CaptureScreen(windows);
        failures = picture.Empty() ? std::vector<std::string>{"nothing copied from the screen"}
                                   : LookFailures(picture, windows, inks, shaped);
        if (failures.empty()) {
            break;
        }
        Sleep(100);
    }
    for (const std::string& failure : failures) {
        ADD_FAILURE() << name << ": " << failure;
    }
    // The side picture alone has dozens of colours; a failed copy has one.
    EXPECT_GT(picture.DistinctColours(), 16u) << name << ": the copy shows nothing";
    EXPECT_TRUE(picture.SaveBmp(
        Wide(std::string(UPDATER_TEST_OUTPUT) + "/e2e/screenshots/" + name + ".bmp")))
        << name;
    return picture;
}

// Yellow's text colours: the caption's when the window is active and when it
// is not, and the labels'.
constexpr COLORREF kActiveCaption = RGB(0, 0, 0);
constexpr COLORREF kInactiveCaption = RGB(128, 128, 128);
constexpr COLORREF kLabelText = RGB(0x3C, 0x22, 0x00);
// The caption's text area in the update window and in a message box.
constexpr RECT kCaptionText{5, 4, 200, 25};
// A message box's text (yellow's "stdlabel").
constexpr COLORREF kMessageText = RGB(255, 255, 255);

// A message box over the update window: the box is active, the window not.
std::vector<Ink> BoxInks(HWND window, HWND box) {
    return {{"window caption", window, kCaptionText, kInactiveCaption},
            {"box caption", box, kCaptionText, kActiveCaption},
            {"message", box, AreaIn(box, FindWindowExW(box, nullptr, L"STATIC", nullptr)),
             kMessageText}};
}

// What other programs read of a window with the standard messages.
struct Reading {
    const char* what;
    HWND hwnd;
    std::wstring text;
};

void ExpectTexts(const std::vector<Reading>& readings) {
    for (const Reading& r : readings) {
        EXPECT_EQ(Text(r.hwnd), r.text) << r.what << ": " << GbkText(Text(r.hwnd));
    }
}

class UpdaterE2E : public ::testing::Test {
  protected:
    // The pointer out of the way: left over the close button by an earlier
    // case, it would light the button up in the next window's pictures. The
    // sentinel behind the updater's windows, for their pictures.
    void SetUp() override {
        test_support::MoveTo(POINT{0, 0});
        backdrop_ = std::make_unique<Backdrop>(
            RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, kSentinel);
        ASSERT_TRUE(backdrop_->Shown()) << "the backdrop did not show";
    }
    std::unique_ptr<Backdrop> backdrop_;
    // An install folder with a blank in its name and the stub game in it.
    std::wstring Install(const std::string& name, const std::wstring& suffix = L" 游戏") {
        const std::wstring folder =
            Wide(std::string(UPDATER_TEST_OUTPUT) + "/e2e/" + name) + suffix;
        EXPECT_TRUE(WriteHostFile(folder + L"\\placeholder.txt", ""));
        EXPECT_TRUE(
            CopyFileW(Wide(GAME_STUB_EXE).c_str(), (folder + L"\\game.exe").c_str(), FALSE));
        DeleteFileW((folder + L"\\started.txt").c_str());
        return folder;
    }
    // Publishes a file under www/e2e/<set>/ and returns its URL.
    std::string Publish(const std::string& set, const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(WriteHostFile(Wide(kFixture + "/www/e2e/" + set + "/" + name), bytes));
        return Url("e2e/" + set + "/" + name);
    }
};

TEST_F(UpdaterE2E, ChecksRunsAndLaunchesTheGame) {
    const std::wstring folder = Install("run");
    // The folders of a.pak come with the update.
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(folder + L"\\data"), ignored);
    const std::string a = Bytes(3 << 20, 1);
    const std::string b = "中文内容\r\n";
    const std::string c = Bytes(70000, 3);
    const std::string manifest =
        "2030-01-01 08:00:00@ 地图 @data\\maps\\a.pak@" + Publish("run", "a.pak", a) + "*" +
        "2030-01-01 08:00:00@@新建文件.txt@" + Publish("run", "b.txt", b) + "*" +
        "2030-01-01 08:00:00@@readme.dat@" + Publish("run", "c.dat", c) + "\r\n";
    const std::string manifestUrl = Publish("run", "list.txt", manifest);

    UpdaterProcess updater(UPDATER_EXE, folder, manifestUrl);
    ASSERT_TRUE(updater.Started());
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr) << "no update window";
    Controls ui(window);
    ASSERT_NE(ui.list, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 3; }));
    const std::vector<std::wstring> items = ListItems(ui.list);
    EXPECT_EQ(items[0], L"2030-01-01 08:00:00 地图 data\\maps\\a.pak");
    EXPECT_EQ(items[1], L"2030-01-01 08:00:00新建文件.txt");
    EXPECT_EQ(SendMessageW(ui.list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(Text(ui.gauge).rfind(L"3个更新程序包等待下载", 0), 0u) << GbkText(Text(ui.gauge));
    EXPECT_EQ(Text(ui.fileLabel), L"下载 0/3 data\\maps\\a.pak");
    EXPECT_EQ(Text(ui.start), L"开始升级");
    EXPECT_EQ(Text(ui.close), L"关闭");
    EXPECT_FALSE(IsWindowEnabled(ui.listFrame)) << "the list does not take input";

    Click(ui.start);
    HWND done = updater.Dialog(L"信息");
    ASSERT_NE(done, nullptr) << "no completion message; windows: "
                             << DescribeWindows(updater.Pid());
    EXPECT_EQ(DialogText(done), L"升级完成.");
    EXPECT_EQ(ReadHostFile(folder + L"\\data\\maps\\a.pak"), a);
    EXPECT_EQ(ReadHostFile(folder + L"\\新建文件.txt"), b);
    EXPECT_EQ(ReadHostFile(folder + L"\\readme.dat"), c);
    EXPECT_FALSE(Exists(folder + L"\\readme.dat.updating"));
    EXPECT_EQ(Text(ui.start), L"启动程序");
    EXPECT_EQ(Text(ui.gauge).rfind(L"升级完成 ", 0), 0u) << GbkText(Text(ui.gauge));
    EXPECT_EQ(Text(ui.fileLabel), L"下载 3/3 readme.dat  68KB of 68KB");
    EXPECT_EQ(SendMessageW(ui.list, LB_GETCURSEL, 0, 0), 2);
    ASSERT_TRUE(PressYes(done));

    // The launch: game.exe starts in the install folder, the updater ends.
    ASSERT_TRUE(
        WaitUntil([&] { return FindTopLevel(updater.Pid(), L"UpdaterForm", L"信息") == nullptr; }));
    Click(ui.start);
    ASSERT_TRUE(updater.Ended(15000)) << "the updater did not end after the launch";
    EXPECT_EQ(updater.ExitCode(), 0u);
    const std::wstring started = StartRecord(folder);
    EXPECT_NE(started.find(L"cwd="), std::wstring::npos);
    EXPECT_NE(started.find(L"run 游戏"), std::wstring::npos) << GbkText(started);
}

TEST_F(UpdaterE2E, AnInstallFolderOutsideGbkIsUpdatedAndLaunched) {
    // Korean and an emoji: code page 936 holds neither, yet the files must
    // land in exactly this folder and the game must start in it.
    const std::wstring folder = Install("outside-gbk", L" 게임 \U0001F3AE");
    ASSERT_TRUE(WriteHostFile(folder + L"\\数据\\keep.txt", "keep"));
    const std::string manifest =
        "2030-01-01 08:00:00@@数据\\new.txt@" + Publish("outside-gbk", "new.txt", "new content");
    UpdaterProcess updater(UPDATER_EXE, folder, Publish("outside-gbk", "list.txt", manifest));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr) << "no update window; ended: " << updater.Ended(0)
                               << ", windows: " << DescribeWindows(updater.Pid());
    Controls ui(window);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 1; }));
    Click(ui.start);
    HWND done = updater.Dialog(L"信息");
    ASSERT_NE(done, nullptr) << "no completion message; windows: "
                             << DescribeWindows(updater.Pid());
    EXPECT_EQ(ReadHostFile(folder + L"\\数据\\new.txt"), "new content");
    ASSERT_TRUE(PressYes(done));
    ASSERT_TRUE(
        WaitUntil([&] { return FindTopLevel(updater.Pid(), L"UpdaterForm", L"信息") == nullptr; }));
    Click(ui.start);
    ASSERT_TRUE(updater.Ended(15000)) << "the updater did not end after the launch";
    const std::wstring started = StartRecord(folder);
    std::wstring system_folder = folder;
    std::replace(system_folder.begin(), system_folder.end(), L'/', L'\\');
    EXPECT_NE(started.find(L"cwd=" + system_folder + L"\r\n"), std::wstring::npos)
        << GbkText(started);
}

TEST_F(UpdaterE2E, ANotFoundFileStopsTheRunAfterWritingTheFilesBeforeIt) {
    const std::wstring folder = Install("missing");
    const std::string manifest =
        "2030-01-01 08:00:00@@one.txt@" + Publish("missing", "one.txt", "1") +
        "*2030-01-01 08:00:00@@two.txt@" + Url("e2e/missing/nothing.txt") +
        "*2030-01-01 08:00:00@@three.txt@" + Publish("missing", "three.txt", "3");
    UpdaterProcess updater(UPDATER_EXE, folder, Publish("missing", "list.txt", manifest));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    Controls ui(window);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 3; }));
    Click(ui.start);
    HWND error = updater.Dialog(L"错误");
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(DialogText(error), L"HTTP/1.1 404 Not Found");
    Picture({window, error}, "message-404", BoxInks(window, error));
    EXPECT_EQ(ReadHostFile(folder + L"\\one.txt"), "1");
    EXPECT_FALSE(Exists(folder + L"\\two.txt"));
    EXPECT_FALSE(Exists(folder + L"\\three.txt"));
    ASSERT_TRUE(PressYes(error));
    ASSERT_TRUE(
        WaitUntil([&] { return FindTopLevel(updater.Pid(), L"UpdaterForm", L"错误") == nullptr; }));
    EXPECT_EQ(Text(ui.start), L"开始升级");
    Click(ui.close);
    EXPECT_TRUE(updater.Ended(15000));
}

// A file whose entry names its SHA-256 is written only when it matches; a
// file that another program holds stays as it was. Each stops the run with
// a message naming the file.
TEST_F(UpdaterE2E, AFileThatDoesNotMatchItsHashOrIsInUseIsNotWritten) {
    const std::wstring folder = Install("verified");
    ASSERT_TRUE(WriteHostFile(folder + L"\\kept.txt", "old"));
    ASSERT_TRUE(WriteHostFile(folder + L"\\held.txt", "old"));
    const struct {
        std::string manifest;
        const wchar_t* message;
    } runs[] = {
        {"2030-01-01 08:00:00@@good.txt@" + Publish("verified", "good.txt", "good") +
             "@sha256=" + base::Sha256Hex("good") + "*2030-01-01 08:00:00@@kept.txt@" +
             Publish("verified", "kept.txt", "tampered") + "@sha256=" + base::Sha256Hex("new"),
         L"文件校验失败, 未写入: kept.txt"},
        {"2030-01-01 08:00:00@@held.txt@" + Publish("verified", "held.txt", "new"),
         L"文件正在使用中, 无法更新: held.txt"},
    };
    // The game holds held.txt open and lets others only read it.
    HANDLE held = CreateFileW((folder + L"\\held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    for (const auto& run : runs) {
        UpdaterProcess updater(UPDATER_EXE, folder, Publish("verified", "list.txt", run.manifest));
        HWND window = updater.Window();
        ASSERT_NE(window, nullptr);
        Controls ui(window);
        ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) > 0; }));
        Click(ui.start);
        HWND error = updater.Dialog(L"错误");
        ASSERT_NE(error, nullptr) << DescribeWindows(updater.Pid());
        EXPECT_EQ(DialogText(error), run.message);
        ASSERT_TRUE(PressYes(error));
        Click(ui.close);
        EXPECT_TRUE(updater.Ended(15000));
    }
    CloseHandle(held);
    EXPECT_EQ(ReadHostFile(folder + L"\\good.txt"), "good");
    EXPECT_EQ(ReadHostFile(folder + L"\\kept.txt"), "old");
    EXPECT_EQ(ReadHostFile(folder + L"\\held.txt"), "old");
    EXPECT_FALSE(Exists(folder + L"\\kept.txt.updating"));
    EXPECT_FALSE(Exists(folder + L"\\held.txt.updating"));
}

// An update of updater.exe itself: the running program is moved aside to
// updater.exe.old, the new one takes its place, and the next start removes
// the old one.
TEST_F(UpdaterE2E, TheUpdaterReplacesItselfAndRemovesTheOldOneAtTheNextStart) {
    const std::wstring folder = Install("self");
    const std::wstring program = folder + L"\\updater.exe";
    ASSERT_TRUE(CopyFileW(Wide(UPDATER_EXE).c_str(), program.c_str(), FALSE));
    DeleteFileW((program + L".old").c_str());
    const std::string build = ReadHostFile(Wide(UPDATER_EXE));
    // The new version: the same program with a few bytes after its end,
    // which Windows ignores.
    const std::string update = build + "new version";
    const std::string manifest =
        "2030-01-01 08:00:00@@updater.exe@" + Publish("self", "updater.bin", update);
    const std::string list = Publish("self", "list.txt", manifest);
    {
        UpdaterProcess updater(GbkText(program), folder, list);
        HWND window = updater.Window();
        ASSERT_NE(window, nullptr);
        Controls ui(window);
        ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 1; }));
        Click(ui.start);
        HWND done = updater.Dialog(L"信息");
        ASSERT_NE(done, nullptr) << DescribeWindows(updater.Pid());
        EXPECT_EQ(DialogText(done), L"升级完成.");
        EXPECT_EQ(ReadHostFile(program), update);
        EXPECT_EQ(ReadHostFile(program + L".old"), build);
        ASSERT_TRUE(PressYes(done));
        Click(ui.close);
        EXPECT_TRUE(updater.Ended(15000));
    }
    UpdaterProcess again(GbkText(program), folder, list);
    ASSERT_NE(again.Window(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return !Exists(program + L".old"); }));
    Click(Controls(again.Window()).close);
    EXPECT_TRUE(again.Ended(15000));
}

// A connection reset in the middle of a body is tried again after a second,
// the label saying so, and the file arrives whole.
TEST_F(UpdaterE2E, ATransferBrokenOffIsTriedAgain) {
    const std::wstring folder = Install("retry");
    const std::string body = Bytes(100000, 7);
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    using test_support::Script;
    test_support::ScriptedServer server(
        {Script().ReadRequest().Send(head + body.substr(0, 30000)).Reset(),
         Script().ReadRequest().Send(head + body).WaitForPeerClose(10000)});
    const std::string manifest = "2030-01-01 08:00:00@@retried.bin@" + server.Url("/retried.bin");
    UpdaterProcess updater(UPDATER_EXE, folder, Publish("retry", "list.txt", manifest));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    Controls ui(window);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 1; }));
    Click(ui.start);
    EXPECT_TRUE(WaitUntil([&] { return Text(ui.fileLabel) == L"连接中断, 1 秒后重试 (1/3)"; }))
        << GbkText(Text(ui.fileLabel));
    HWND done = updater.Dialog(L"信息");
    ASSERT_NE(done, nullptr) << DescribeWindows(updater.Pid());
    EXPECT_EQ(ReadHostFile(folder + L"\\retried.bin"), body);
    EXPECT_EQ(server.Connections(), 2);
    ASSERT_TRUE(PressYes(done));
    Click(ui.close);
    EXPECT_TRUE(updater.Ended(15000));
}

// The whole run over HTTPS, the certificates checked against a test
// authority that the Wine prefix trusts while the test runs: the manifest and
// one file from the HTTPS server, another through a redirect from HTTP to
// HTTPS. Then a file on a server whose certificate has expired stops the run
// with the reason.
TEST_F(UpdaterE2E, TheWholeRunGoesOverHttps) {
    const test_support::TrustedTestRoot root(ReadHostFile(Wide(kFixture + "/tls/ca.der")));
    const std::wstring folder = Install("https");
    const std::string a = Bytes(200000, 11);
    const std::string b = "经过重定向";
    Publish("https", "a.bin", a);
    Publish("https", "b.txt", b);
    const std::string manifest = "2030-01-01 08:00:00@@a.bin@" +
                                 SecureUrl("https", "e2e/https/a.bin") +
                                 "*2030-01-01 08:00:00@@b.txt@" + Url("to-https/e2e/https/b.txt");
    Publish("https", "list.txt", manifest);
    {
        UpdaterProcess updater(UPDATER_EXE, folder, SecureUrl("https", "e2e/https/list.txt"));
        HWND window = updater.Window();
        ASSERT_NE(window, nullptr);
        Controls ui(window);
        ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 2; }))
            << DescribeWindows(updater.Pid());
        Click(ui.start);
        HWND done = updater.Dialog(L"信息");
        ASSERT_NE(done, nullptr) << DescribeWindows(updater.Pid());
        EXPECT_EQ(DialogText(done), L"升级完成.");
        EXPECT_EQ(ReadHostFile(folder + L"\\a.bin"), a);
        EXPECT_EQ(ReadHostFile(folder + L"\\b.txt"), b);
        ASSERT_TRUE(PressYes(done));
        Click(ui.close);
        EXPECT_TRUE(updater.Ended(15000));
    }
    const std::string expired =
        "2030-01-01 08:00:00@@c.bin@" + SecureUrl("https-expired", "e2e/https/a.bin");
    UpdaterProcess updater(
        UPDATER_EXE, folder,
        SecureUrl("https", Publish("https", "expired.txt", expired).substr(Url("").size())));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    Controls ui(window);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 1; }));
    Click(ui.start);
    HWND error = updater.Dialog(L"错误");
    ASSERT_NE(error, nullptr) << DescribeWindows(updater.Pid());
    EXPECT_EQ(DialogText(error), L"The certificate of 127.0.0.1 has expired.");
    EXPECT_FALSE(Exists(folder + L"\\c.bin"));
    ASSERT_TRUE(PressYes(error));
    Click(ui.close);
    EXPECT_TRUE(updater.Ended(15000));
}

// A file that cannot be written ends the run in a report: its message is
// shown, and the log beside the program gets an item whose call stack names
// the updater's write code.
TEST_F(UpdaterE2E, AFileThatCannotBeWrittenIsReportedAndLogged) {
    const std::wstring folder = Install("unwritable");
    std::wstring log = Wide(UPDATER_EXE);
    log.replace(log.size() - 4, 4, L".clg");
    DeleteFileW(log.c_str());
    std::wstring trace = log;
    trace.replace(trace.size() - 4, 4, L".log");
    DeleteFileW(trace.c_str());
    // A file where the update needs a folder.
    const std::string manifest =
        "2030-01-01 08:00:00@@placeholder.txt\\x.txt@" + Publish("unwritable", "x.txt", "x");
    // "DEBUG" after the manifest's address turns the reporter's trace on.
    UpdaterProcess updater(UPDATER_EXE, folder,
                           Publish("unwritable", "list.txt", manifest) + " DEBUG");
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    Controls ui(window);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 1; }));
    Click(ui.start);
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (box = FindTopLevel(updater.Pid(), L"#32770", L"Error.")) != nullptr; }));
    // The report dialog: the message in its text (item 101), pictured in the
    // compact view and, after "Details", in the detailed one.
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 101, text, 512);
    EXPECT_NE(std::wstring(text).find(L"Cannot create folder"), std::wstring::npos)
        << GbkText(text);
    Picture({box}, "report-compact", {{"message", box, AreaIn(box, GetDlgItem(box, 101)), 0}},
            false);
    SendMessageW(GetDlgItem(box, 4), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(GetDlgItem(box, 1000)) != FALSE; }));
    RedrawWindow(box, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Picture({box}, "report-detailed", {{"pages", box, AreaIn(box, GetDlgItem(box, 103)), 0}},
            false);
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    // The item is written once the message is closed.
    ASSERT_TRUE(
        WaitUntil([&] { return ReadHostFile(log).find("Operating System") != std::string::npos; }));
    const std::string item = ReadHostFile(log);
    EXPECT_EQ(item.rfind("Crashlore 4.5.4", 0), 0u);
    EXPECT_NE(item.find("2.3 Module : updater.exe"), std::string::npos);
    // Raised in the run of the update.
    EXPECT_NE(item.find("|updater::TUpdateLogic"), std::string::npos) << item;
    // The program goes on: the window still answers and closes.
    EXPECT_EQ(Text(ui.start), L"开始升级");
    Click(ui.close);
    EXPECT_TRUE(updater.Ended(15000));
    // The trace: the installation, the report and the end.
    const std::string traced = ReadHostFile(trace);
    EXPECT_NE(traced.find("InstallReporter = True"), std::string::npos) << traced;
    EXPECT_NE(traced.find("InternalExceptNotify($"), std::string::npos) << traced;
    EXPECT_NE(traced.find("  UninstallReporter\r\n"), std::string::npos) << traced;
}

// A right click on the caption opens the skinned system menu beside the
// cursor: a tool window of the updater that leaves the update window active
// and holds one item ("关闭(&C)", 26 pixels high with the skin's borders). Esc
// closes the menu only; Enter on its item closes the updater.
TEST_F(UpdaterE2E, TheSystemMenuOpensOnTheCaptionAndClosesTheUpdater) {
    const std::wstring folder = Install("menu");
    UpdaterProcess updater(
        UPDATER_EXE, folder,
        Publish("menu", "list.txt", "2030-01-01 08:00:00@@x.txt@" + Publish("menu", "x.txt", "x")));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    Controls ui(window);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 1; }));
    RECT frame{};
    GetWindowRect(window, &frame);
    const POINT caption{frame.left + 100, frame.top + 12};
    HWND menu = nullptr;
    const auto open = [&] {
        test_support::RightClickAt(caption);
        return WaitUntil(
            [&] {
                return (menu = FindTopLevel(updater.Pid(), L"TbsSkinPopupWindow", L"")) != nullptr;
            },
            5000);
    };
    ASSERT_TRUE(open()) << DescribeWindows(updater.Pid());
    RECT place{};
    GetWindowRect(menu, &place);
    EXPECT_EQ(place.left, caption.x);
    EXPECT_EQ(place.top, caption.y);
    EXPECT_EQ(place.bottom - place.top, 26);
    EXPECT_NE(GetWindowLongPtrW(menu, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
    EXPECT_EQ(GetForegroundWindow(), window);
    RedrawWindow(menu, nullptr, nullptr, RDW_UPDATENOW);
    Picture({window, menu}, "system-menu", {{"caption", window, kCaptionText, kActiveCaption}});

    // The keys go to the menu, whichever of the updater's windows has them.
    PostMessageW(ui.start, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }, 5000));
    // Not so soon that the second right click makes a double click.
    EXPECT_FALSE(updater.Ended(GetDoubleClickTime() + 100));
    ASSERT_TRUE(open());
    PostMessageW(ui.start, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(updater.Ended(15000));
}

// The frame's close button with real input: it takes its active look under
// the pointer; pressed and released away from it the updater stays; a click
// closes it. Alt+F4 closes it as well.
TEST_F(UpdaterE2E, TheCloseButtonHoversAndClosesOnlyOnAClick) {
    const std::wstring folder = Install("closebutton");
    const std::string manifest =
        Publish("closebutton", "list.txt",
                "2030-01-01 08:00:00@@x.txt@" + Publish("closebutton", "x.txt", "x"));
    {
        UpdaterProcess updater(UPDATER_EXE, folder, manifest);
        HWND window = updater.Window();
        ASSERT_NE(window, nullptr);
        Controls ui(window);
        ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 1; }));
        RECT place{};
        GetWindowRect(window, &place);
        const POINT button{place.left + 479, place.top + 14};
        const POINT away{place.left + 300, place.top + 120};
        test_support::MoveTo(away);
        Sleep(200);
        const COLORREF normal = CaptureScreen({window}).At(button);
        test_support::MoveTo(button);
        ASSERT_TRUE(WaitUntil([&] { return CaptureScreen({window}).At(button) != normal; }, 5000))
            << "the close button did not light up";
        Picture({window}, "close-hovered", {{"caption", window, kCaptionText, kActiveCaption}});
        test_support::PressAt(button);
        Sleep(100);
        test_support::MoveTo(away);
        Sleep(150);
        test_support::ReleaseAt(away);
        EXPECT_FALSE(updater.Ended(1000)) << "closed by a release away from the button";
        EXPECT_TRUE(WaitUntil([&] { return CaptureScreen({window}).At(button) == normal; }, 5000));
        test_support::MoveTo(button);
        Sleep(150);
        test_support::ClickAt(button);
        EXPECT_TRUE(updater.Ended(15000));
    }
    UpdaterProcess updater(UPDATER_EXE, folder, manifest);
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil(
        [&] {
            SetForegroundWindow(window);
            return GetForegroundWindow() == window;
        },
        5000));
    test_support::KeyDownUp({VK_MENU, VK_F4});
    EXPECT_TRUE(updater.Ended(15000));
}

// A layered window's opacity; -1 when it is not layered with one.
int Alpha(HWND window) {
    BYTE alpha = 0;
    DWORD flags = 0;
    return GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) && (flags & LWA_ALPHA) != 0
               ? alpha
               : -1;
}

// Where the system offers layered windows (Wine told to be Windows XP for
// updater.exe) the window and its message boxes fade in to 230 of 255.
TEST_F(UpdaterE2E, AsWindowsXpTheWindowFadesInTo230) {
    const wchar_t* key = L"Software\\Wine\\AppDefaults\\updater.exe";
    HKEY k = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
        ERROR_SUCCESS);
    const wchar_t xp[] = L"winxp";
    RegSetValueExW(k, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(xp), sizeof xp);
    RegCloseKey(k);
    // Whatever happens below, the other cases run as Wine is set up.
    const std::unique_ptr<const wchar_t, void (*)(const wchar_t*)> forget(
        key, [](const wchar_t* name) { RegDeleteKeyW(HKEY_CURRENT_USER, name); });
    const std::wstring folder = Install("fade");
    {
        UpdaterProcess updater(
            UPDATER_EXE, folder,
            Publish("fade", "list.txt",
                    "2030-01-01 08:00:00@@x.txt@" + Publish("fade", "x.txt", "x")));
        HWND window = updater.Window();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return Alpha(window) == 230; }, 5000)) << Alpha(window);
        EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
        // Its message boxes fade in to the same opacity.
        Click(Controls(window).start);
        HWND done = updater.Dialog(L"信息");
        ASSERT_NE(done, nullptr) << DescribeWindows(updater.Pid());
        EXPECT_TRUE(WaitUntil([&] { return Alpha(done) == 230; }, 5000)) << Alpha(done);
        ASSERT_TRUE(PressYes(done));
    }
}

TEST_F(UpdaterE2E, TheWindowItsFocusOrderAndTheCloseButton) {
    const std::wstring folder = Install("close");
    UpdaterProcess updater(UPDATER_EXE, folder,
                           Publish("close", "list.txt",
                                   "2030-01-01 08:00:00@@x.txt@" + Publish("close", "x.txt", "x")));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    Controls ui(window);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 1; }));

    // The window: 480 x 263 client pixels, centred, above other windows.
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 480);
    EXPECT_EQ(client.bottom, 263);
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
    EXPECT_NE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    // The skin's frame around it: 495 x 301, the caption and the close
    // button where the skin puts them, the corners cut away.
    EXPECT_EQ(frame.right - frame.left, 495);
    EXPECT_EQ(frame.bottom - frame.top, 301);
    auto hit = [&](int x, int y) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(frame.left + x, frame.top + y),
                            SMTO_NORMAL, 2000, &result);
        return static_cast<LRESULT>(result);
    };
    EXPECT_EQ(hit(100, 14), HTCAPTION);
    EXPECT_EQ(hit(479, 14), 19) << "the close button is a frame object";
    EXPECT_EQ(hit(200, 150), HTCLIENT);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(window, region), ERROR);
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    EXPECT_TRUE(PtInRegion(region, 5, 0));
    EXPECT_FALSE(PtInRegion(region, 494, 300));
    EXPECT_TRUE(PtInRegion(region, 247, 150));
    DeleteObject(region);

    // Tab moves the focus between the two buttons only: the close button
    // first, then the start button, then round again.
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    auto focused = [thread] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(thread, &info);
        return info.hwndFocus;
    };
    ASSERT_TRUE(WaitUntil([&] { return focused() == ui.close; }, 5000));
    PostMessageW(ui.close, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(WaitUntil([&] { return focused() == ui.start; }, 5000));
    PostMessageW(ui.start, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(WaitUntil([&] { return focused() == ui.close; }, 5000));

    Click(ui.close);
    EXPECT_TRUE(updater.Ended(15000));
    EXPECT_FALSE(Exists(folder + L"\\x.txt"));
    EXPECT_FALSE(Exists(folder + L"\\started.txt"));
}

// Where the skin puts the gauge and the labels: its pictures are 19 and 18
// pixels high, the widths and places are the window's own.
TEST_F(UpdaterE2E, TheGaugeAndTheLabelsTakeTheSkinsHeights) {
    const std::wstring folder = Install("geometry");
    UpdaterProcess updater(
        UPDATER_EXE, folder,
        Publish("geometry", "list.txt",
                "2030-01-01 08:00:00@@x.txt@" + Publish("geometry", "x.txt", "x")));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    Controls ui(window);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 1; }));
    const struct {
        const char* what;
        HWND control;
        RECT place;
    } cases[] = {
        {"gauge", ui.gauge, {116, 204, 116 + 364, 204 + 19}},
        {"file label", ui.fileLabel, {119, 179, 119 + 274, 179 + 18}},
        {"speed label", ui.speedLabel, {396, 179, 396 + 82, 179 + 18}},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.control, nullptr) << c.what;
        EXPECT_EQ(GetParent(c.control), window) << c.what;
        EXPECT_EQ(Describe(PlaceInParent(c.control)), Describe(c.place)) << c.what;
    }
    Click(ui.close);
    EXPECT_TRUE(updater.Ended(15000));
}

// Everything other programs read of the window (texts of the window, its
// buttons, labels and gauge; the list's items) in the three states, and a
// picture of each: waiting for the start press, half way through a download
// (from /slow/, 256 KiB/s), finished with the completion message up.
TEST_F(UpdaterE2E, TheWindowIsReadAndPicturedWaitingRunningAndFinished) {
    const std::wstring folder = Install("pictures");
    const std::string body = Bytes(1 << 20, 7);
    Publish("pictures", "slow.bin", body);
    const std::string manifest =
        "2030-01-01 08:00:00@@slow.bin@" + Url("slow/e2e/pictures/slow.bin") + "\r\n";
    UpdaterProcess updater(UPDATER_EXE, folder, Publish("pictures", "list.txt", manifest));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr) << "no update window";
    Controls ui(window);
    ASSERT_NE(ui.list, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 1; }));
    const std::vector<std::wstring> items{L"2030-01-01 08:00:00slow.bin"};

    // Waiting. A forced update paints what is still due before the picture.
    EXPECT_EQ(ListItems(ui.list), items);
    ExpectTexts({{"window", window, L"升级更新"},
                 {"gauge", ui.gauge, L"1个更新程序包等待下载100%"},
                 {"file label", ui.fileLabel, L"下载 0/1 slow.bin"},
                 {"speed label", ui.speedLabel, L""},
                 {"start", ui.start, L"开始升级"},
                 {"close", ui.close, L"关闭"}});
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const ScreenPicture waiting =
        Picture({window}, "waiting",
                {{"caption", window, kCaptionText, kActiveCaption},
                 {"file label", window, AreaIn(window, ui.fileLabel), kLabelText}});

    // Another window takes the focus: the frame takes its inactive look (the
    // close button's pixels change), and its active look again after.
    RECT place{};
    GetWindowRect(window, &place);
    const POINT closeButton{place.left + 479, place.top + 14};
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 120, 60,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
    const bool inactive = WaitUntil(
        [&] { return CaptureScreen({window}).At(closeButton) != waiting.At(closeButton); }, 5000);
    EXPECT_TRUE(inactive) << "the frame kept its active look";
    if (inactive) {
        Picture({window}, "inactive", {{"caption", window, kCaptionText, kInactiveCaption}});
    }
    DestroyWindow(other);
    // Asked again while waiting: the request can be lost while the other
    // window's end is still being processed.
    EXPECT_TRUE(WaitUntil(
        [&] {
            SetForegroundWindow(window);
            return CaptureScreen({window}).At(closeButton) == waiting.At(closeButton);
        },
        5000));

    // Running: pictured while the gauge's text says 45 to 65 per cent. The
    // window thread is in the transfer; the gauge and the labels paint as
    // progress comes (what the screen shows may be one progress event, about
    // 4 per cent, behind the text), and their texts are read as the system
    // keeps them.
    Click(ui.start);
    std::wstring gauge;
    auto percent = [&] {
        gauge = StoredText(ui.gauge);
        return gauge.starts_with(L"下载中... ") ? GaugePercent(gauge) : -1;
    };
    ASSERT_TRUE(WaitUntil([&] { return percent() >= 45; }, 20000))
        << "the download did not get under way: " << GbkText(gauge);
    const ScreenPicture running =
        Picture({window}, "running",
                {{"caption", window, kCaptionText, kActiveCaption},
                 {"file label", window, AreaIn(window, ui.fileLabel), kLabelText}});
    EXPECT_LE(percent(), 65) << "pictured too late: " << GbkText(gauge);
    const std::wstring file = StoredText(ui.fileLabel);
    EXPECT_TRUE(file.starts_with(L"下载 1/1 slow.bin  ") && file.ends_with(L"KB of 1024KB"))
        << GbkText(file);
    if (!running.Empty()) {
        // The gauge is filled at its left end and empty at its right end.
        RECT bar{};
        GetWindowRect(ui.gauge, &bar);
        const int middle = (bar.top + bar.bottom) / 2;
        EXPECT_NE(running.At({bar.left + 4, middle}), running.At({bar.right - 5, middle}))
            << "the picture shows no half-filled gauge";
    }

    // Finished, with the completion message over the window.
    HWND done = updater.Dialog(L"信息");
    ASSERT_NE(done, nullptr) << "no completion message; windows: "
                             << DescribeWindows(updater.Pid());
    EXPECT_EQ(ReadHostFile(folder + L"\\slow.bin"), body);
    EXPECT_EQ(DialogText(done), L"升级完成.");
    EXPECT_EQ(ListItems(ui.list), items);
    ExpectTexts({{"window", window, L"升级更新"},
                 {"gauge", ui.gauge, L"升级完成 100%"},
                 {"file label", ui.fileLabel, L"下载 1/1 slow.bin  1024KB of 1024KB"},
                 {"start", ui.start, L"启动程序"},
                 {"close", ui.close, L"关闭"}});
    // Three seconds at 256 KiB/s: the speed was shown at least once.
    EXPECT_TRUE(Text(ui.speedLabel).ends_with(L"KB/S")) << GbkText(Text(ui.speedLabel));
    Picture({window, done}, "finished", BoxInks(window, done));

    ASSERT_TRUE(PressYes(done));
    ASSERT_TRUE(
        WaitUntil([&] { return FindTopLevel(updater.Pid(), L"UpdaterForm", L"信息") == nullptr; }));
    Click(ui.close);
    EXPECT_TRUE(updater.Ended(15000));
}

// Thirty pending updates: the list shows eight rows and its skinned scroll
// bar, which other programs read like a scroll bar. The files come slowly
// (from /slow/, each in four pieces an eighth of a second apart), and the
// window thread answers while it waits: the test reads the selection, the
// top row and the bar while the run selects each file in turn, and every
// selected file is in view with the bar at the top row.
TEST_F(UpdaterE2E, ALongListScrollsToTheFileItDownloads) {
    const std::wstring folder = Install("thirty");
    constexpr int kFiles = 30;
    std::string manifest;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(i) + ".bin";
        Publish("thirty", name, Bytes((96 << 10) + 1, static_cast<unsigned>(i)));
        manifest += (i > 0 ? "*" : "") + std::string("2030-01-01 08:00:00@@") + name + "@" +
                    Url("slow/e2e/thirty/" + name);
    }
    UpdaterProcess updater(UPDATER_EXE, folder, Publish("thirty", "list.txt", manifest));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    Controls ui(window);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == kFiles; }));
    HWND bar = FindWindowExW(ui.listFrame, nullptr, L"UpdaterControl", nullptr);
    ASSERT_NE(bar, nullptr) << "no scroll bar beside 30 items";
    EXPECT_EQ(Describe(PlaceInParent(bar)), Describe(RECT{346, 2, 362, 174}));

    // Readings follow each other: the selection, the top row, the bar, and
    // the selection again, which also begins the next reading. A reading
    // counts when the selection did not move in between.
    struct Reading {
        LRESULT selected = -1;
        LRESULT top = -1;
        SCROLLINFO bar{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    };
    auto ask = [](HWND hwnd, UINT msg, LPARAM lParam, LRESULT& answer) {
        DWORD_PTR result = 0;
        const bool answered =
            SendMessageTimeoutW(hwnd, msg, 0, lParam, SMTO_NORMAL, 2000, &result) != 0;
        answer = static_cast<LRESULT>(result);
        return answered;
    };
    LRESULT selected = -1;
    auto next = [&](Reading& r) {
        r.selected = selected;
        LRESULT gotBar = 0;
        const bool answered =
            ask(ui.list, LB_GETTOPINDEX, 0, r.top) &&
            ask(bar, SBM_GETSCROLLINFO, reinterpret_cast<LPARAM>(&r.bar), gotBar) && gotBar;
        const bool same = ask(ui.list, LB_GETCURSEL, 0, selected) && selected == r.selected;
        return answered && same;
    };
    ASSERT_TRUE(ask(ui.list, LB_GETCURSEL, 0, selected));
    Reading before;
    ASSERT_TRUE(next(before));
    EXPECT_EQ(before.selected, 0);
    EXPECT_EQ(before.bar.nMax, kFiles - 1);
    EXPECT_EQ(before.bar.nPage, 8u);
    EXPECT_EQ(before.bar.nPos, 0);

    Click(ui.start);
    std::vector<int> seen(kFiles, 0);
    HWND done = nullptr;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int round = 0; round < 20000 && done == nullptr; ++round) {
        ASSERT_LT(std::chrono::steady_clock::now(), end) << "the run did not end";
        Reading r;
        if (next(r) && r.selected >= 0 && r.selected < kFiles) {
            ++seen[static_cast<size_t>(r.selected)];
            EXPECT_LE(r.top, r.selected);
            EXPECT_LT(r.selected, r.top + 8) << "file " << r.selected << " is out of view";
            EXPECT_EQ(r.bar.nPos, r.top) << "file " << r.selected;
        }
        done = FindTopLevel(updater.Pid(), L"UpdaterForm", L"信息");
    }
    ASSERT_NE(done, nullptr);
    for (int i = 0; i < kFiles; ++i) {
        EXPECT_GT(seen[static_cast<size_t>(i)], 0) << "file " << i << " was never read selected";
    }
    Reading after;
    ASSERT_TRUE(next(after));
    EXPECT_EQ(after.selected, kFiles - 1);
    EXPECT_EQ(after.top, kFiles - 8);
    EXPECT_EQ(ReadHostFile(folder + L"\\f29.bin"), Bytes((96 << 10) + 1, 29));
    Picture({window}, "thirty", {{"caption", window, kCaptionText, kInactiveCaption}});
    ASSERT_TRUE(PressYes(done));
    Click(ui.close);
    EXPECT_TRUE(updater.Ended(15000));
}

// A manifest without updates: the start button says there is nothing to
// do, in a box of the skin's look.
TEST_F(UpdaterE2E, WithNothingToUpdateTheStartButtonSaysSo) {
    const std::wstring folder = Install("nothing");
    UpdaterProcess updater(UPDATER_EXE, folder, Publish("nothing", "list.txt", ""));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    Controls ui(window);
    Click(ui.start);
    HWND box = updater.Dialog(L"信息");
    ASSERT_NE(box, nullptr) << DescribeWindows(updater.Pid());
    EXPECT_EQ(DialogText(box), L"没有可供升级的项目.");
    Picture({window, box}, "message-nothing", BoxInks(window, box));
    ASSERT_TRUE(PressYes(box));
    ASSERT_TRUE(
        WaitUntil([&] { return FindTopLevel(updater.Pid(), L"UpdaterForm", L"信息") == nullptr; }));
    Click(ui.close);
    EXPECT_TRUE(updater.Ended(15000));
}

TEST_F(UpdaterE2E, WithoutAnArgumentTheUpdaterSaysSoAndEnds) {
    const std::wstring folder = Install("no-argument");
    UpdaterProcess updater(UPDATER_EXE, folder, "");
    HWND error = updater.Dialog(L"错误");
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(DialogText(error), L"非法参数调用.");
    ASSERT_TRUE(PressYes(error));
    EXPECT_TRUE(updater.Ended(15000));
}

TEST_F(UpdaterE2E, AManifestThatCannotBeFetchedEndsTheUpdater) {
    const std::wstring folder = Install("no-manifest");
    const std::string url = Url("e2e/none/list.txt");
    UpdaterProcess updater(UPDATER_EXE, folder, url);
    HWND error = updater.Dialog(L"错误");
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(GbkText(DialogText(error)), url + "获取升级信息失败.");
    ASSERT_TRUE(PressYes(error));
    EXPECT_TRUE(updater.Ended(15000));
}

}  // namespace
