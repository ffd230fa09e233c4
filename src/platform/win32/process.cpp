#include "platform/process.h"

#include <windows.h>

#include "base/exception.h"
#include "base/text.h"

namespace platform {

uint32_t TickCount() {
    return GetTickCount();
}

bool StartProgram(const std::string& program, const std::string& folder) {
    std::wstring path;
    std::wstring directory;
    try {
        const std::u16string p = base::GbkToUtf16(program);
        const std::u16string d = base::GbkToUtf16(folder);
        path.assign(p.begin(), p.end());
        directory.assign(d.begin(), d.end());
    } catch (const base::EEncodingError&) {
        return false;
    }
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

}  // namespace platform
