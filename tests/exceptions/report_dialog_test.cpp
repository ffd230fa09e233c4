// The report dialog and the request window on the virtual display, driven
// from a second thread the way a person would use them: the compact and the
// detailed view, the four pages, the place kept for the next report, the
// check boxes and the quit button, and the text typed for the request.

#include "exceptions/win32/report_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "framework/graphics.h"

namespace exceptions {
namespace {

std::wstring Text(HWND window) {
    wchar_t text[4096] = {};
    GetWindowTextW(window, text, 4096);
    return text;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The visible dialog of `thread`, once it is up (looked for `tries` times,
// 10 ms apart).
HWND DialogOf(DWORD thread, int tries = 500) {
    for (int i = 0; i < tries; ++i) {
        HWND found = nullptr;
        EnumThreadWindows(thread, &FindDialog, reinterpret_cast<LPARAM>(&found));
        if (found != nullptr) {
            return found;
        }
        Sleep(10);
    }
    return nullptr;
}

// Runs `show` on this thread and `drive` on another against the dialog it
// opens. Whatever `drive` does, the dialog is closed in the end, so the test
// never waits for a person.
template <class Show>
auto Driven(Show show, const std::function<void(HWND)>& drive) {
    const DWORD thread = GetCurrentThreadId();
    std::atomic<bool> done{false};
    std::thread driver([&] {
        if (HWND dialog = DialogOf(thread)) {
            drive(dialog);
        }
        for (int i = 0; i < 500 && !done; ++i) {
            if (HWND left = DialogOf(thread, 1)) {
                PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
            }
            Sleep(10);
        }
    });
    auto result = show();
    done = true;
    driver.join();
    return result;
}

void SelectPage(HWND dialog, int page) {
    HWND tabs = GetDlgItem(dialog, 1000);
    SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
    NMHDR header{tabs, 1000, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(dialog, WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&header));
}

std::wstring Cell(HWND list, int row, int column) {
    wchar_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

class ReportDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        settings_ = std::wstring(temp) + L"report_dialog_test.ini";
        DeleteFileW(settings_.c_str());
        in_.options = &options_;
        in_.error_message = "Cannot create file C:\\game\\x.txt.";
        in_.general_text = "Application:\n  1.1 Start Date : today";
        in_.cpu_text = "Registers:\nEAX: 00000000";
        in_.settings_file = settings_;
        in_.exception_count = 1;
        TVivavaDebugInfo source;
        source.Kind = TEntryKind::kDebugData;
        source.Address = 0x401234;
        source.ModuleName = "updater.exe";
        source.UnitName = "update_logic.cpp";
        source.ClassName = "updater::TUpdateLogic";
        source.ProcedureName = "StartPressed";
        source.Line = 77;
        TVivavaDebugInfo program_export = source;
        program_export.Kind = TEntryKind::kDecoratedExport;  // not listed
        TVivavaDebugInfo library = source;
        library.Kind = TEntryKind::kExport;
        library.ModuleName = "kernel32.dll";
        library.Line = 0;
        in_.stack = {{source, true}, {program_export, true}, {library, false}};
        in_.modules = {
            {0x400000, "updater.exe", "Game client updater", "1.0.0.0", 1536, "C:\\game"},
            {0x7B000000, "kernel32.dll", "", "6.1", 2560, "C:\\windows\\system32"}};
    }
    void TearDown() override { DeleteFileW(settings_.c_str()); }

    TVivavaModuleOptions options_{"test", false};
    TReportDialogInput in_;
    std::wstring settings_;
};

TEST_F(ReportDialogTest, OpensCompactShowsItsPagesAndKeepsItsPlace) {
    struct {
        std::wstring caption, text, details, heading, details_after, general, cpu;
        bool send_shown = true, quit_shown = true, tabs_before = true, tabs_after = false;
        std::wstring titles[4];
        int stack_rows = 0, module_rows = 0;
        std::wstring stack_cells[6], version, size, slot;
        COLORREF band = 0;
    } seen;
    HANDLE slot = CreateMailslotW(L"\\\\.\\mailslot\\Crashlore", 0, 0, nullptr);
    ASSERT_NE(slot, INVALID_HANDLE_VALUE);
    const RECT moved{50, 60, 750, 510};
    const TReportDialogResult first =
        Driven([&] { return ShowReportDialog(in_); },
               [&](HWND d) {
                   seen.caption = Text(d);
                   // The caption bar is the dialog's own: its outer band in the active
                   // or the inactive blue-grey.
                   RECT frame{};
                   GetWindowRect(d, &frame);
                   const int edge = GetSystemMetrics(SM_CXFIXEDFRAME);
                   RedrawWindow(d, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
                   HDC screen = GetDC(nullptr);
                   seen.band = GetPixel(screen, frame.left + edge + 8, frame.top + edge);
                   ReleaseDC(nullptr, screen);
                   seen.text = Text(GetDlgItem(d, 101));
                   seen.details = Text(GetDlgItem(d, 4));
                   seen.send_shown = IsWindowVisible(GetDlgItem(d, 3000));
                   seen.quit_shown = IsWindowVisible(GetDlgItem(d, 3));
                   seen.tabs_before = IsWindowVisible(GetDlgItem(d, 1000));
                   SendMessageW(GetDlgItem(d, 4), BM_CLICK, 0, 0);
                   seen.tabs_after = IsWindowVisible(GetDlgItem(d, 1000));
                   seen.heading = Text(GetDlgItem(d, 101));
                   seen.details_after = Text(GetDlgItem(d, 4));
                   for (int i = 0; i < 4; ++i) {
                       wchar_t title[64] = {};
                       TCITEMW item{};
                       item.mask = TCIF_TEXT;
                       item.pszText = title;
                       item.cchTextMax = 64;
                       SendMessageW(GetDlgItem(d, 1000), TCM_GETITEMW, static_cast<WPARAM>(i),
                                    reinterpret_cast<LPARAM>(&item));
                       seen.titles[i] = title;
                   }
                   seen.general = Text(GetDlgItem(d, 103));
                   SelectPage(d, 1);
                   HWND list = GetDlgItem(d, 103);
                   seen.stack_rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
                   for (int c = 0; c < 6; ++c) {
                       seen.stack_cells[c] = Cell(list, 0, c);
                   }
                   // A development tool listening for the source line hears of it.
                   NMITEMACTIVATE activate{};
                   activate.hdr = {list, 103, static_cast<UINT>(LVN_ITEMACTIVATE)};
                   activate.iItem = 0;
                   SendMessageW(d, WM_NOTIFY, 103, reinterpret_cast<LPARAM>(&activate));
                   SelectPage(d, 2);
                   list = GetDlgItem(d, 103);
                   seen.module_rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
                   seen.version = Cell(list, 0, 3);
                   seen.size = Cell(list, 0, 4);
                   SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, 123);
                   SelectPage(d, 3);
                   seen.cpu = Text(GetDlgItem(d, 103));
                   SetWindowPos(d, nullptr, moved.left, moved.top, moved.right - moved.left,
                                moved.bottom - moved.top, SWP_NOZORDER);
                   SendMessageW(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0);
               });
    EXPECT_TRUE(first.shown);
    EXPECT_FALSE(first.quit);
    EXPECT_EQ(seen.caption, L"Error.");
    EXPECT_TRUE(seen.band == RGB(130, 154, 194) || seen.band == RGB(151, 151, 151))
        << std::hex << seen.band;
    EXPECT_EQ(seen.text, L"Cannot create file C:\\game\\x.txt.");
    EXPECT_EQ(seen.details, L"&Details >>");
    EXPECT_FALSE(seen.send_shown);  // nothing is mailed
    EXPECT_FALSE(seen.quit_shown);  // the first report
    EXPECT_FALSE(seen.tabs_before);
    EXPECT_TRUE(seen.tabs_after);
    EXPECT_EQ(seen.details_after, L"<< &Details");
    EXPECT_EQ(seen.heading, framework::WideText(options_.Texts(3)));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(seen.titles[i], framework::WideText(options_.Texts(4 + 2 * i))) << i;
    }
    EXPECT_EQ(seen.general, L"Application:\r\n  1.1 Start Date : today");
    EXPECT_EQ(seen.cpu, L"Registers:\r\nEAX: 00000000");
    EXPECT_EQ(seen.stack_rows, 2);  // the program's decorated export is left out
    EXPECT_EQ(seen.stack_cells[1], L"updater.exe");
    EXPECT_EQ(seen.stack_cells[2], L"update_logic.cpp");
    EXPECT_EQ(seen.stack_cells[4], L"StartPressed");
    EXPECT_EQ(seen.stack_cells[5], L"77");
    EXPECT_EQ(seen.module_rows, 2);
    EXPECT_EQ(seen.version, L"1.0.x");
    EXPECT_EQ(seen.size, L"2 Kb");
    char message[4096] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(slot, message, sizeof message, &got, nullptr));
    EXPECT_EQ(got, 2052u);
    EXPECT_STREQ(message, "update_logic.cpp");
    EXPECT_EQ(*reinterpret_cast<int32_t*>(message + 2048), 77);
    CloseHandle(slot);

    // The next report's detailed view opens where this one was left, with
    // the column widths it had.
    RECT place{};
    int width = 0;
    Driven([&] { return ShowReportDialog(in_); },
           [&](HWND d) {
               SendMessageW(GetDlgItem(d, 4), BM_CLICK, 0, 0);
               GetWindowRect(d, &place);
               SelectPage(d, 2);
               width = static_cast<int>(SendMessageW(GetDlgItem(d, 103), LVM_GETCOLUMNWIDTH, 0, 0));
               SendMessageW(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0);
           });
    EXPECT_EQ(place.left, moved.left);
    EXPECT_EQ(place.top, moved.top);
    EXPECT_EQ(place.right, moved.right);
    EXPECT_EQ(place.bottom, moved.bottom);
    EXPECT_EQ(width, 123);
}

// Mailed reports: the send and screenshot boxes show ticked, unticking send
// takes the screenshot with it; the quit button comes with the fourth report.
TEST_F(ReportDialogTest, TheBoxesAndTheQuitButtonGiveTheirStates) {
    options_.SetDeliveryMode(kDeliverySmtpServer);
    options_.SetAttachScreenshot(true);
    in_.exception_count = 4;
    bool screenshot_shown = false, screenshot_enabled = true, quit_shown = false;
    const TReportDialogResult result =
        Driven([&] { return ShowReportDialog(in_); },
               [&](HWND d) {
                   screenshot_shown = IsWindowVisible(GetDlgItem(d, 4000));
                   quit_shown = IsWindowVisible(GetDlgItem(d, 3));
                   SendMessageW(GetDlgItem(d, 3000), BM_CLICK, 0, 0);
                   screenshot_enabled = IsWindowEnabled(GetDlgItem(d, 4000));
                   SendMessageW(GetDlgItem(d, 5000), BM_CLICK, 0, 0);
                   SendMessageW(GetDlgItem(d, 3), BM_CLICK, 0, 0);
               });
    EXPECT_TRUE(screenshot_shown);
    EXPECT_TRUE(quit_shown);
    EXPECT_FALSE(screenshot_enabled);
    EXPECT_TRUE(result.quit);
    EXPECT_TRUE(result.clipboard);
    EXPECT_FALSE(result.send);
    EXPECT_FALSE(result.screenshot);
}

// OK, Esc and the close box all keep what was typed, trimmed.
TEST_F(ReportDialogTest, TheRequestWindowKeepsWhatWasTypedHoweverItCloses) {
    const std::function<void(HWND)> closes[] = {
        [](HWND d) { SendMessageW(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0); },
        [](HWND d) { PostMessageW(GetDlgItem(d, 101), WM_KEYDOWN, VK_ESCAPE, 0); },
        [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (const auto& close : closes) {
        std::wstring caption;
        const std::string typed =
            Driven([&] { return AskReproductionSteps(options_); },
                   [&](HWND d) {
                       caption = Text(d);
                       SetWindowTextW(GetDlgItem(d, 101), L"  clicked Start\r\n  ");
                       close(d);
                   });
        EXPECT_EQ(typed, "clicked Start");
        EXPECT_EQ(caption, framework::WideText(options_.Texts(59)));
    }
}

// The mail progress window takes the focus, shows each step behind the
// recipient counter and the share sent, and goes when it is told to.
TEST_F(ReportDialogTest, TheMailProgressWindowShowsTheStepsAndCloses) {
    HWND window = nullptr;
    std::wstring step;
    LRESULT position = -1;
    {
        TMailProgressWindow progress(options_);
        window = progress.Handle();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(progress.WaitForFocus(3000));
        EXPECT_EQ(Text(window), L"SMTP.");
        progress.ShowStep(1, 2, "Connecting with SMTP server...");
        progress.ShowPercent(40);
        step = Text(GetDlgItem(window, 100));
        position = SendDlgItemMessageW(window, 101, PBM_GETPOS, 0, 0);
    }
    EXPECT_EQ(step, L"Message 1/2: Connecting with SMTP server...");
    EXPECT_EQ(position, 40);
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace exceptions
