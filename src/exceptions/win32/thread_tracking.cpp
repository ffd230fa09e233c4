#include "exceptions/win32/thread_tracking.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "exceptions/win32/code_hooks.h"
#include "exceptions/win32/stack_memory.h"
#include "framework/threads.h"

namespace exceptions {

namespace {

using TCreateThread = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID,
                                      DWORD, LPDWORD);
using TResumeThread = DWORD(WINAPI*)(HANDLE);
using TExitThread = void(WINAPI*)(DWORD);
using TBeginThreadRoutine = unsigned(__stdcall*)(void*);
using TBeginThreadEx = uintptr_t(__cdecl*)(void*, unsigned, TBeginThreadRoutine, void*, unsigned,
                                           unsigned*);
using TEndThreadEx = void(__cdecl*)(unsigned);

// The system's functions, as the import table held them.
TCreateThread realCreateThread = nullptr;
TResumeThread realResumeThread = nullptr;
TExitThread realExitThread = nullptr;
TBeginThreadEx realBeginThreadEx = nullptr;
TEndThreadEx realEndThreadEx = nullptr;

std::atomic<bool> installed{false};
std::atomic<bool> active{false};
std::atomic<TEscapedExceptionSink> escapedSink{nullptr};

// The records, with their own lock. A record is reached only under the lock.
class TVivavaThreadsList {
  public:
    TVivavaThreadsList() { InitializeCriticalSection(&lock_); }
    TVivavaThreadsList(const TVivavaThreadsList&) = delete;
    TVivavaThreadsList& operator=(const TVivavaThreadsList&) = delete;

    class Guard {
      public:
        explicit Guard(TVivavaThreadsList& list) : list_(list) {
            EnterCriticalSection(&list_.lock_);
        }
        ~Guard() { LeaveCriticalSection(&list_.lock_); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

      private:
        TVivavaThreadsList& list_;
    };

    // The record of `id`, or null (the lock held).
    TThreadRecord* Find(DWORD id) {
        const auto at = Position(id);
        return at == records_.end() ? nullptr : at->get();
    }
    // A new record for `id`; one left by an earlier thread with the same id
    // (ended where nothing saw it) is replaced. Null when memory runs out.
    TThreadRecord* Add(DWORD id) {
        Remove(id);
        try {
            records_.push_back(std::make_unique<TThreadRecord>());
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        records_.back()->ThreadId = id;
        return records_.back().get();
    }
    void Remove(DWORD id) {
        const auto at = Position(id);
        if (at != records_.end()) {
            *at = std::move(records_.back());
            records_.pop_back();
        }
    }
    void Clear() { records_.clear(); }
    size_t Count() const { return records_.size(); }

  private:
    std::vector<std::unique_ptr<TThreadRecord>>::iterator Position(DWORD id) {
        return std::find_if(records_.begin(), records_.end(),
                            [id](const auto& record) { return record->ThreadId == id; });
    }

    CRITICAL_SECTION lock_;
    std::vector<std::unique_ptr<TThreadRecord>> records_;
};

// Made on first use and never destroyed: thread detach may reach it while
// the process ends.
TVivavaThreadsList& Threads() {
    static auto* list = new TVivavaThreadsList;
    return *list;
}

void RemoveRecord(DWORD id) {
    if (installed) {
        TVivavaThreadsList::Guard guard(Threads());
        Threads().Remove(id);
    }
}

// What a new thread needs to run its creator's routine: owned by the thread,
// which frees it before calling the routine.
struct TStartBlock {
    void* routine;
    void* parameter;
};

// Copies the calling thread's stack from this frame up to its top (the
// innermost kThreadSnapshotLimit bytes) into the record; false when the
// memory cannot be read or copied.
[[gnu::noinline]] bool TakeSnapshot(TThreadRecord& record) {
    const auto from = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    const uintptr_t top = CurrentStackTop();
    if (from >= top) {
        return false;
    }
    const size_t size = ReadableLength(reinterpret_cast<const void*>(from),
                                       std::min<uintptr_t>(top - from, kThreadSnapshotLimit));
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    if (size == 0 || data == nullptr) {
        return false;
    }
    std::memcpy(data.get(), reinterpret_cast<const void*>(from), size);
    record.SnapshotData = std::move(data);
    record.SnapshotSize = size;
    record.SnapshotAddress = from;
    return true;
}

// Fills the record of a thread made suspended by a replacement and, when the
// creator wanted it running, snapshots the creator's stack and resumes it.
// Called under the lock; the creator's last error survives.
void Track(DWORD id, HANDLE handle, void* routine, void* parameter, bool suspended) {
    const DWORD error = GetLastError();
    TThreadRecord* record = Threads().Add(id);
    if (record != nullptr) {
        record->Handle = handle;
        record->StartAddress = routine;
        record->Parameter = parameter;
        if (routine == reinterpret_cast<void*>(framework::TThread::StartProcedure())) {
            record->ThreadObject = static_cast<framework::TThread*>(parameter);
        }
        if (!suspended) {
            record->Started = true;
            if (!TakeSnapshot(*record)) {
                Threads().Remove(id);
            }
        }
    }
    if (!suspended) {
        realResumeThread(handle);
    }
    SetLastError(error);
}

TStartBlock* NewStartBlock(void* routine, void* parameter) {
    return new (std::nothrow) TStartBlock{routine, parameter};
}

// Takes the routine and parameter out of the thread's start block.
template <class Routine>
Routine TakeStart(void* block, void*& parameter) {
    auto* start = static_cast<TStartBlock*>(block);
    const auto routine = reinterpret_cast<Routine>(start->routine);
    parameter = start->parameter;
    delete start;
    return routine;
}

// The start of every thread made through CreateThread: the creator's routine
// with its parameter; an escaping exception ends only this thread.
DWORD WINAPI TrackedThreadStart(LPVOID block) noexcept {
    void* parameter = nullptr;
    const auto routine = TakeStart<LPTHREAD_START_ROUTINE>(block, parameter);
    DWORD result = 1;
    try {
        result = routine(parameter);
    } catch (...) {
        if (const TEscapedExceptionSink sink = escapedSink) {
            try {
                sink(std::current_exception(), GetCurrentThreadId());
            } catch (...) {
            }
        }
        result = 1;
    }
    RemoveRecord(GetCurrentThreadId());
    return result;
}

// The start of every thread made through _beginthreadex. An exception that
// escapes the routine meets noexcept and terminates the program.
unsigned __stdcall TrackedBeginThreadStart(void* block) noexcept {
    void* parameter = nullptr;
    const auto routine = TakeStart<TBeginThreadRoutine>(block, parameter);
    const unsigned result = routine(parameter);
    RemoveRecord(GetCurrentThreadId());
    return result;
}

HANDLE WINAPI HookedCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                 LPTHREAD_START_ROUTINE routine, LPVOID parameter, DWORD flags,
                                 LPDWORD thread_id) noexcept {
    // Without a routine the system's function decides what happens.
    TStartBlock* block = nullptr;
    if (!active || routine == nullptr ||
        (block = NewStartBlock(reinterpret_cast<void*>(routine), parameter)) == nullptr) {
        return realCreateThread(security, stack, routine, parameter, flags, thread_id);
    }
    // Held for the whole creation: a list cleared meanwhile cannot lose the
    // new record halfway.
    TVivavaThreadsList::Guard guard(Threads());
    DWORD id = 0;
    const HANDLE handle = realCreateThread(security, stack, &TrackedThreadStart, block,
                                           flags | CREATE_SUSPENDED, &id);
    if (handle == nullptr) {
        const DWORD error = GetLastError();
        delete block;
        SetLastError(error);
        return nullptr;
    }
    if (thread_id != nullptr) {
        *thread_id = id;
    }
    Track(id, handle, reinterpret_cast<void*>(routine), parameter, (flags & CREATE_SUSPENDED) != 0);
    return handle;
}

uintptr_t __cdecl HookedBeginThreadEx(void* security, unsigned stack, TBeginThreadRoutine routine,
                                      void* parameter, unsigned flags,
                                      unsigned* thread_id) noexcept {
    TStartBlock* block = nullptr;
    if (!active || routine == nullptr ||
        (block = NewStartBlock(reinterpret_cast<void*>(routine), parameter)) == nullptr) {
        return realBeginThreadEx(security, stack, routine, parameter, flags, thread_id);
    }
    TVivavaThreadsList::Guard guard(Threads());
    unsigned id = 0;
    const uintptr_t handle = realBeginThreadEx(security, stack, &TrackedBeginThreadStart, block,
                                               flags | CREATE_SUSPENDED, &id);
    if (handle == 0) {
        const int error = errno;
        delete block;
        errno = error;
        return 0;
    }
    if (thread_id != nullptr) {
        *thread_id = id;
    }
    Track(id, reinterpret_cast<HANDLE>(handle), reinterpret_cast<void*>(routine), parameter,
          (flags & CREATE_SUSPENDED) != 0);
    return handle;
}

// The first resume of a tracked thread made suspended is where it really
// starts: the snapshot shows that caller. Later resumes (after a suspend)
// change nothing.
DWORD WINAPI HookedResumeThread(HANDLE thread) noexcept {
    const DWORD id = active ? GetThreadId(thread) : 0;
    if (id == 0) {
        return realResumeThread(thread);
    }
    TVivavaThreadsList::Guard guard(Threads());
    TThreadRecord* record = Threads().Find(id);
    if (record != nullptr && !record->Started && !TakeSnapshot(*record)) {
        Threads().Remove(id);
        record = nullptr;
    }
    const DWORD count = realResumeThread(thread);
    if (record != nullptr && count == 1) {
        record->Started = true;
    }
    return count;
}

void WINAPI HookedExitThread(DWORD code) noexcept {
    RemoveRecord(GetCurrentThreadId());
    realExitThread(code);
}

void __cdecl HookedEndThreadEx(unsigned code) noexcept {
    RemoveRecord(GetCurrentThreadId());
    realEndThreadEx(code);
}

// Every other ending of a thread of the executable passes here (the system
// calls the executable's TLS callbacks on thread detach).
void NTAPI OnThreadDetach(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_THREAD_DETACH) {
        RemoveRecord(GetCurrentThreadId());
    }
}

struct TImportHook {
    const char* module;
    const char* procedure;
    void* replacement;
    void** real;
};

const TImportHook kImportHooks[] = {
    {"kernel32.dll", "CreateThread", reinterpret_cast<void*>(&HookedCreateThread),
     reinterpret_cast<void**>(&realCreateThread)},
    {"kernel32.dll", "ResumeThread", reinterpret_cast<void*>(&HookedResumeThread),
     reinterpret_cast<void**>(&realResumeThread)},
    {"kernel32.dll", "ExitThread", reinterpret_cast<void*>(&HookedExitThread),
     reinterpret_cast<void**>(&realExitThread)},
    {"msvcrt.dll", "_beginthreadex", reinterpret_cast<void*>(&HookedBeginThreadEx),
     reinterpret_cast<void**>(&realBeginThreadEx)},
    {"msvcrt.dll", "_endthreadex", reinterpret_cast<void*>(&HookedEndThreadEx),
     reinterpret_cast<void**>(&realEndThreadEx)},
};

}  // namespace

}  // namespace exceptions

// The executable's TLS callback (the C runtime's TLS directory lists every
// pointer in the .CRT$XL* sections).
extern "C" {
[[gnu::section(".CRT$XLT"), gnu::used]] PIMAGE_TLS_CALLBACK updater_thread_detach =
    &exceptions::OnThreadDetach;
}

namespace exceptions {

void InstallThreadTracking() {
    if (installed) {
        return;
    }
    Threads();
    size_t done = 0;
    try {
        for (; done < std::size(kImportHooks); ++done) {
            // HookImport sets the real function before it rewrites a slot, so a
            // replacement never calls through a null pointer.
            const TImportHook& hook = kImportHooks[done];
            HookImport({u""}, hook.module, hook.procedure, hook.replacement, true, *hook.real);
        }
    } catch (...) {
        while (done-- > 0) {
            UnhookImport(GetModuleHandleW(nullptr), *kImportHooks[done].real,
                         kImportHooks[done].replacement);
        }
        throw;
    }
    active = true;
    installed = true;
}

void UninstallThreadTracking() {
    if (!installed) {
        return;
    }
    for (const TImportHook& hook : kImportHooks) {
        UnhookImport(GetModuleHandleW(nullptr), *hook.real, hook.replacement);
    }
    active = false;
    ClearThreadRecords();
    installed = false;
}

void SetThreadTrackingActive(bool value) {
    active = value && installed;
}

void SetEscapedExceptionSink(TEscapedExceptionSink sink) {
    escapedSink = sink;
}

size_t ThreadRecordCount() {
    TVivavaThreadsList::Guard guard(Threads());
    return Threads().Count();
}

void ClearThreadRecords() {
    TVivavaThreadsList::Guard guard(Threads());
    Threads().Clear();
}

bool VisitThreadRecord(DWORD id, void (*visit)(const TThreadRecord&, void*), void* context) {
    TVivavaThreadsList::Guard guard(Threads());
    const TThreadRecord* record = Threads().Find(id);
    if (record == nullptr) {
        return false;
    }
    visit(*record, context);
    return true;
}

}  // namespace exceptions
