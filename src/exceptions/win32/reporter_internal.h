#pragma once

// What the reporter's capture side (reporter.cpp: installation, the report
// claim, the worker for the main thread) and its report pipeline
// (pipeline.cpp) share.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "exceptions/log_item.h"
#include "exceptions/trace.h"
#include "exceptions/win32/modules.h"
#include "exceptions/win32/reporter.h"

namespace exceptions::detail {

struct TReporterState {
    bool installed = false;
    DWORD main_thread_id = 0;
    HANDLE main_thread = nullptr;  // a handle of our own, kept for the process's life
    TLogTime start_time{};
    std::wstring start_directory;  // where a restart starts the program again
    TVivavaModulesList modules;
    TVivavaModuleInfo* self = nullptr;
};

// Made once and never destroyed: reports may run while the process ends.
TReporterState& State();
TReporterTrace& Trace();

// Runs `procedure` for the report under way. When the calling thread is the
// worker reporting for the main thread, the main thread runs it from its
// wait loop and this waits for that; otherwise it runs here. Exceptions from
// it are ignored.
void RunForReport(const std::function<void()>& procedure);

// The report itself (every step from the options to the quit); true when a
// callback declined it, so the caller's own handling goes on. Never throws.
bool InternalExceptNotify(const TExceptionReport& report);

// Counts a report made (ReportCount).
void CountReport();

std::string Gbk(std::wstring_view text);
// The file name of `path` in GBK.
std::string FileNameOf(const std::u16string& path);
uintptr_t ContextStackPointer(const CONTEXT& context);

}  // namespace exceptions::detail
