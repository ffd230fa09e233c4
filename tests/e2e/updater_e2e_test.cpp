// updater.exe end to end: the real program under Wine against a real nginx
// on 127.0.0.1 (tests/support/nginx-fixture, started for this test), driven
// from this process with window messages as a person would drive it, and
// read back through the standard window and list-box messages.
//
// NGINX_FIXTURE_DIR: the fixture's folder (port file, document root www/).
// UPDATER_EXE, GAME_STUB_EXE: the programs under test.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "framework/graphics.h"

namespace {

using framework::GbkText;
using framework::WideText;

const std::string kFixture = NGINX_FIXTURE_DIR;

std::string ReadHostFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    std::string bytes;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        bytes.append(buffer, n);
    }
    CloseHandle(file);
    return bytes;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteHostFile(const std::wstring& path, const std::string& bytes) {
    // Folders first.
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == L'\\' || path[i] == L'/') {
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
        }
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GbkText(path);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

std::wstring Wide(const std::string& utf8OrGbk) {
    return WideText(utf8OrGbk);
}

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

// Waits until `done` holds, checking every 20 ms for at most `ms`.
bool WaitUntil(const std::function<bool()>& done, int ms = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) {
            return true;
        }
        Sleep(20);
    }
    return done();
}

std::wstring Text(HWND hwnd) {
    wchar_t buffer[1024] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 5000,
                        &result);
    return buffer;
}

struct FindData {
    DWORD pid;
    std::wstring className;
    std::wstring caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam) {
    auto* d = reinterpret_cast<FindData*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (owner == d->pid && d->className == cls && IsWindowVisible(hwnd) &&
        Text(hwnd) == d->caption) {
        d->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of the process with that class and caption.
HWND FindTopLevel(DWORD pid, const std::wstring& className, const std::wstring& caption) {
    FindData data{pid, className, caption, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

BOOL CALLBACK DescribeWindow(HWND hwnd, LPARAM lParam) {
    auto* d = reinterpret_cast<std::pair<DWORD, std::string>*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == d->first && IsWindowVisible(hwnd)) {
        wchar_t cls[64] = {};
        GetClassNameW(hwnd, cls, 64);
        auto utf8 = [](const std::wstring& w) {
            std::string out(w.size() * 3 + 1, '\0');
            out.resize(static_cast<size_t>(
                WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), out.data(),
                                    static_cast<int>(out.size()), nullptr, nullptr)));
            return out;
        };
        d->second += utf8(cls) + " \"" + utf8(Text(hwnd)) + "\"";
        wchar_t text[512] = {};
        if (GetDlgItemTextW(hwnd, 0xFFFF, text, 512) > 0) {
            d->second += ": " + utf8(text);
        } else if (HWND label = FindWindowExW(hwnd, nullptr, L"STATIC", nullptr)) {
            d->second += ": " + utf8(Text(label));
        }
        d->second += "; ";
    }
    return TRUE;
}

// The visible windows of a process, for failure messages.
std::string DescribeWindows(DWORD pid) {
    std::pair<DWORD, std::string> data{pid, ""};
    EnumWindows(DescribeWindow, reinterpret_cast<LPARAM>(&data));
    return data.second;
}

// The child window at a point of the client area.
HWND ControlAt(HWND window, int x, int y) {
    HWND child = ChildWindowFromPointEx(window, POINT{x, y}, CWP_SKIPINVISIBLE);
    return child == window ? nullptr : child;
}

void Click(HWND control) {
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

std::vector<std::wstring> ListItems(HWND list) {
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
        items.push_back(text);
    }
    return items;
}

// One updater process in an install folder.
class UpdaterProcess {
  public:
    UpdaterProcess(const std::wstring& folder, const std::string& argument) {
        std::wstring commandLine = L"\"" + Wide(UPDATER_EXE) + L"\"";
        if (!argument.empty()) {
            commandLine += L" " + Wide(argument);
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(Wide(UPDATER_EXE).c_str(), commandLine.data(), nullptr, nullptr,
                                  FALSE, 0, nullptr, folder.c_str(), &startup, &info_) != 0;
    }
    ~UpdaterProcess() {
        if (started_) {
            if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(info_.hProcess, 9);
                WaitForSingleObject(info_.hProcess, 5000);
            }
            CloseHandle(info_.hThread);
            CloseHandle(info_.hProcess);
        }
    }
    bool Started() const { return started_; }
    DWORD Pid() const { return info_.dwProcessId; }
    bool Ended(int ms) const { return WaitForSingleObject(info_.hProcess, ms) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

    // The update window, once it is up.
    HWND Window() {
        WaitUntil([&] { return (window_ = FindTopLevel(Pid(), L"UpdaterForm", L"升级更新")); });
        return window_;
    }
    // A message box of the given caption ("信息", "错误"), once it is up.
    HWND Dialog(const std::wstring& caption) {
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindTopLevel(Pid(), L"UpdaterForm", caption)) != nullptr; });
        return box;
    }

  private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
    HWND window_ = nullptr;
};

// The text of a message box and a press of its Yes button.
std::wstring DialogText(HWND box) {
    HWND text = FindWindowExW(box, nullptr, L"STATIC", nullptr);
    return text != nullptr ? Text(text) : L"<no text>";
}

void PressYes(HWND box) {
    HWND child = nullptr;
    while ((child = FindWindowExW(box, child, L"UpdaterControl", nullptr)) != nullptr) {
        if (Text(child) == L"是(&Y)") {
            Click(child);
            return;
        }
    }
    ADD_FAILURE() << "the message box has no Yes button";
}

// The controls of the update window, found at their places.
struct Controls {
    explicit Controls(HWND w)
        : gauge(ControlAt(w, 120, 210)),
          listFrame(ControlAt(w, 300, 100)),
          list(FindWindowExW(listFrame, nullptr, L"LISTBOX", nullptr)),
          close(ControlAt(w, 410, 240)),
          start(ControlAt(w, 320, 240)),
          fileLabel(ControlAt(w, 130, 185)),
          speedLabel(ControlAt(w, 470, 185)) {}
    HWND gauge, listFrame, list, close, start, fileLabel, speedLabel;
};

std::string Bytes(size_t n, unsigned seed) {
    std::string s(n, '\0');
    unsigned x = seed;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

class UpdaterE2E : public ::testing::Test {
  protected:
    // An install folder with a blank in its name and the stub game in it.
    std::wstring Install(const std::string& name) {
        const std::wstring folder =
            Wide(std::string(UPDATER_TEST_OUTPUT) + "/e2e/" + name + " 游戏");
        WriteHostFile(folder + L"\\placeholder.txt", "");
        EXPECT_TRUE(
            CopyFileW(Wide(GAME_STUB_EXE).c_str(), (folder + L"\\game.exe").c_str(), FALSE));
        DeleteFileW((folder + L"\\started.txt").c_str());
        return folder;
    }
    // Publishes a file under www/e2e/<set>/ and returns its URL.
    std::string Publish(const std::string& set, const std::string& name, const std::string& bytes) {
        WriteHostFile(Wide(kFixture + "/www/e2e/" + set + "/" + name), bytes);
        return Url("e2e/" + set + "/" + name);
    }
};

TEST_F(UpdaterE2E, ChecksRunsAndLaunchesTheGame) {
    const std::wstring folder = Install("run");
    // The updater writes into existing folders only.
    WriteHostFile(folder + L"\\data\\maps\\old.pak", "old");
    const std::string a = Bytes(3 << 20, 1);
    const std::string b = "中文内容\r\n";
    const std::string c = Bytes(70000, 3);
    const std::string manifest =
        "2030-01-01 08:00:00@ 地图 @data\\maps\\a.pak@" + Publish("run", "a.pak", a) + "*" +
        "2030-01-01 08:00:00@@新建文件.txt@" + Publish("run", "b.txt", b) + "*" +
        "2030-01-01 08:00:00@@readme.dat@" + Publish("run", "c.dat", c) + "\r\n";
    const std::string manifestUrl = Publish("run", "list.txt", manifest);

    UpdaterProcess updater(folder, manifestUrl);
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
    PressYes(done);

    // The launch: game.exe starts in the install folder, the updater ends.
    ASSERT_TRUE(
        WaitUntil([&] { return FindTopLevel(updater.Pid(), L"UpdaterForm", L"信息") == nullptr; }));
    Click(ui.start);
    ASSERT_TRUE(updater.Ended(15000)) << "the updater did not end after the launch";
    EXPECT_EQ(updater.ExitCode(), 0u);
    ASSERT_TRUE(WaitUntil([&] { return Exists(folder + L"\\started.txt"); }));
    const std::string record = ReadHostFile(folder + L"\\started.txt");
    const std::wstring started(reinterpret_cast<const wchar_t*>(record.data()),
                               record.size() / sizeof(wchar_t));
    EXPECT_NE(started.find(L"cwd="), std::wstring::npos);
    EXPECT_NE(started.find(L"run 游戏"), std::wstring::npos) << GbkText(started);
}

TEST_F(UpdaterE2E, ANotFoundFileStopsTheRunAfterWritingTheFilesBeforeIt) {
    const std::wstring folder = Install("missing");
    const std::string manifest =
        "2030-01-01 08:00:00@@one.txt@" + Publish("missing", "one.txt", "1") +
        "*2030-01-01 08:00:00@@two.txt@" + Url("e2e/missing/nothing.txt") +
        "*2030-01-01 08:00:00@@three.txt@" + Publish("missing", "three.txt", "3");
    UpdaterProcess updater(folder, Publish("missing", "list.txt", manifest));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    Controls ui(window);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 3; }));
    Click(ui.start);
    HWND error = updater.Dialog(L"错误");
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(DialogText(error), L"HTTP/1.1 404 Not Found");
    EXPECT_EQ(ReadHostFile(folder + L"\\one.txt"), "1");
    EXPECT_FALSE(Exists(folder + L"\\two.txt"));
    EXPECT_FALSE(Exists(folder + L"\\three.txt"));
    PressYes(error);
    ASSERT_TRUE(
        WaitUntil([&] { return FindTopLevel(updater.Pid(), L"UpdaterForm", L"错误") == nullptr; }));
    EXPECT_EQ(Text(ui.start), L"开始升级");
    Click(ui.close);
    EXPECT_TRUE(updater.Ended(15000));
}

TEST_F(UpdaterE2E, TheCloseButtonEndsTheUpdaterWithoutWriting) {
    const std::wstring folder = Install("close");
    UpdaterProcess updater(folder,
                           Publish("close", "list.txt",
                                   "2030-01-01 08:00:00@@x.txt@" + Publish("close", "x.txt", "x")));
    HWND window = updater.Window();
    ASSERT_NE(window, nullptr);
    Controls ui(window);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(ui.list, LB_GETCOUNT, 0, 0) == 1; }));
    Click(ui.close);
    EXPECT_TRUE(updater.Ended(15000));
    EXPECT_FALSE(Exists(folder + L"\\x.txt"));
    EXPECT_FALSE(Exists(folder + L"\\started.txt"));
}

TEST_F(UpdaterE2E, WithoutAnArgumentTheUpdaterSaysSoAndEnds) {
    const std::wstring folder = Install("no-argument");
    UpdaterProcess updater(folder, "");
    HWND error = updater.Dialog(L"错误");
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(DialogText(error), L"非法参数调用.");
    PressYes(error);
    EXPECT_TRUE(updater.Ended(15000));
}

TEST_F(UpdaterE2E, AManifestThatCannotBeFetchedEndsTheUpdater) {
    const std::wstring folder = Install("no-manifest");
    const std::string url = Url("e2e/none/list.txt");
    UpdaterProcess updater(folder, url);
    HWND error = updater.Dialog(L"错误");
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(GbkText(DialogText(error)), url + "获取升级信息失败.");
    PressYes(error);
    EXPECT_TRUE(updater.Ended(15000));
}

}  // namespace
