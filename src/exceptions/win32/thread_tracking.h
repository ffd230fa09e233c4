#pragma once

// The threads of the process, as the reporter knows them: every thread made
// through the executable's imports of CreateThread or _beginthreadex (and so
// every std::thread and framework::TThread) gets a record with its start
// routine and a copy of its creator's stack, so that a report from the thread
// can show where it was started. Records are found by thread id, never by
// handle (handles are reused and duplicated), and are removed when the thread
// ends: after its routine returns, in ExitThread and _endthreadex, and, for
// any other ending, on thread detach.
//
// The replacements are import hooks of the executable (code_hooks.h). Each
// new thread starts in a wrapper of ours that owns a small start block with
// the creator's routine and parameter; records may come and go without the
// thread ever reading one. An exception that escapes a CreateThread routine
// is handed to the escaped-exception sink and ends only that thread, with
// exit code 1; one escaping a _beginthreadex routine (a std::thread's)
// terminates the program, as the language demands.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <type_traits>

namespace framework {
class TThread;
}

namespace exceptions {

// The innermost bytes of a creator's stack that a record keeps.
inline constexpr size_t kThreadSnapshotLimit = 64 * 1024;

struct TThreadRecord {
    DWORD ThreadId = 0;
    // The handle the creator got: shown, never used to find the record.
    HANDLE Handle = nullptr;
    // The routine and parameter the creator asked for.
    void* StartAddress = nullptr;
    void* Parameter = nullptr;
    // A copy of the creator's stack from the frame that started the thread
    // up to its top (at most kThreadSnapshotLimit bytes), and the address the
    // first copied byte had; no snapshot: size 0.
    size_t SnapshotSize = 0;
    std::unique_ptr<uint8_t[]> SnapshotData;
    uintptr_t SnapshotAddress = 0;
    // The TThread of a thread made by framework::TThread, else null.
    framework::TThread* ThreadObject = nullptr;
    // Resumed for the first time: the snapshot is final.
    bool Started = false;
};

// Installs the replacements in the executable's import table and turns
// tracking on. Installing twice does nothing. Throws EHookingError when a
// slot cannot be rewritten. Threads made before stay unknown.
void InstallThreadTracking();
// Restores the import slots and drops every record; for tests, with no
// tracked thread still being made.
void UninstallThreadTracking();

// While off, the replacements call the system's functions unchanged and make
// no records; records made before stay until their threads end.
void SetThreadTrackingActive(bool active);

// Receives an exception that escaped a CreateThread routine, on that thread,
// before it ends with exit code 1. Null: nothing is told.
using TEscapedExceptionSink = void (*)(std::exception_ptr error, DWORD thread_id);
void SetEscapedExceptionSink(TEscapedExceptionSink sink);

// The number of records.
size_t ThreadRecordCount();
// Drops every record (threads that are being made or run are not affected).
void ClearThreadRecords();

// Calls `visit` with the record of thread `id`, under the list's lock (keep
// it short; the record is valid only during the call). False when there is
// none.
bool VisitThreadRecord(DWORD id, void (*visit)(const TThreadRecord&, void*), void* context);

template <class F>
bool WithThreadRecord(DWORD id, F&& visit) {
    using Visit = std::remove_reference_t<F>;
    return VisitThreadRecord(
        id,
        [](const TThreadRecord& record, void* context) { (*static_cast<Visit*>(context))(record); },
        &visit);
}

}  // namespace exceptions
