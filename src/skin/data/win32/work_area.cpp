#include "skin/data/win32/work_area.h"

namespace skin {

namespace {

using MonitorFromWindowFn = HMONITOR(WINAPI*)(HWND, DWORD);
using GetMonitorInfoWFn = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);

framework::TRect FromRect(const RECT& r) {
    return framework::TRect{r.left, r.top, r.right, r.bottom};
}

// The monitor functions, looked up once: systems without several monitors
// may lack them.
struct MonitorFunctions {
    MonitorFromWindowFn monitor_from_window = nullptr;
    GetMonitorInfoWFn get_monitor_info = nullptr;

    MonitorFunctions() {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        if (user32 == nullptr) {
            return;
        }
        monitor_from_window = reinterpret_cast<MonitorFromWindowFn>(
            reinterpret_cast<void*>(GetProcAddress(user32, "MonitorFromWindow")));
        get_monitor_info = reinterpret_cast<GetMonitorInfoWFn>(
            reinterpret_cast<void*>(GetProcAddress(user32, "GetMonitorInfoW")));
    }
};

}  // namespace

framework::TRect WorkAreaOf(HWND window, bool work_area) {
    static const MonitorFunctions functions;
    if (GetSystemMetrics(SM_CMONITORS) > 1 && functions.monitor_from_window != nullptr &&
        functions.get_monitor_info != nullptr) {
        HMONITOR monitor = functions.monitor_from_window(window, MONITOR_DEFAULTTONEAREST);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (monitor != nullptr && functions.get_monitor_info(monitor, &info)) {
            return FromRect(work_area ? info.rcWork : info.rcMonitor);
        }
    }
    if (work_area) {
        RECT r{};
        if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) {
            return FromRect(r);
        }
    }
    return framework::TRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace skin
