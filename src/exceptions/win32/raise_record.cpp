#include "exceptions/win32/raise_record.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "exceptions/win32/stack_memory.h"

// The runtime's own functions, reached through the linker's --wrap.
extern "C" {
[[noreturn]] void __real___cxa_throw(void* object, std::type_info* type, void (*destructor)(void*));
void __real___cxa_free_exception(void* object) noexcept;
}

namespace exceptions {

namespace {

constexpr size_t kSlots = 16;   // records kept; the oldest goes first
constexpr size_t kBuffers = 4;  // stack copies; a record without one keeps its registers

struct TSlot {
    bool used = false;
    uint64_t serial = 0;
    const void* object = nullptr;
    const std::type_info* type = nullptr;
    uintptr_t address = 0;
    DWORD thread_id = 0;
    CONTEXT context{};
    uintptr_t stack_pointer = 0;
    uintptr_t stack_top = 0;
    int buffer = -1;
    size_t stack_size = 0;
};

std::atomic<bool> enabled{false};
SRWLOCK lock = SRWLOCK_INIT;
TSlot slots[kSlots];
uint8_t* buffers[kBuffers];
bool bufferUsed[kBuffers];
uint64_t serials = 0;

class TGuard {
  public:
    TGuard() { AcquireSRWLockExclusive(&lock); }
    ~TGuard() { ReleaseSRWLockExclusive(&lock); }
    TGuard(const TGuard&) = delete;
    TGuard& operator=(const TGuard&) = delete;
};

void Release(TSlot& slot) {
    if (slot.buffer >= 0) {
        bufferUsed[slot.buffer] = false;
    }
    slot = TSlot{};
}

void SetPlace(CONTEXT& context, uintptr_t address, uintptr_t stack_pointer, uintptr_t frame,
              const void* object) {
#if defined(__x86_64__)
    context.Rip = address;
    context.Rsp = stack_pointer;
    context.Rbp = frame;
    context.Rax = reinterpret_cast<uintptr_t>(object);
#else
    context.Eip = static_cast<DWORD>(address);
    context.Esp = static_cast<DWORD>(stack_pointer);
    context.Ebp = static_cast<DWORD>(frame);
    context.Eax = reinterpret_cast<uintptr_t>(object);
    context.Edx = static_cast<DWORD>(address + 5);
#endif
    context.ContextFlags = CONTEXT_FULL;
}

// Records a throw. `return_address` is where the throwing call returns to;
// `frame` the recorder's frame: the saved frame pointer, then the return
// address, then the thrower's stack.
[[gnu::noinline]] void RecordThrow(const void* object, const std::type_info* type,
                                   uintptr_t return_address, uintptr_t frame) {
    const DWORD last_error = GetLastError();
    const int saved_errno = errno;
    CONTEXT context;
    std::memset(&context, 0, sizeof context);
    RtlCaptureContext(&context);
    const uintptr_t stack_pointer = frame + 2 * sizeof(void*);
    SetPlace(context, return_address - 5, stack_pointer, *reinterpret_cast<const uintptr_t*>(frame),
             object);
    const uintptr_t top = CurrentStackTop();
    {
        const TGuard guard;
        TSlot* slot = &slots[0];
        for (TSlot& candidate : slots) {
            if (!candidate.used) {
                slot = &candidate;
                break;
            }
            if (candidate.serial < slot->serial) {
                slot = &candidate;
            }
        }
        Release(*slot);
        slot->used = true;
        slot->serial = ++serials;
        slot->object = object;
        slot->type = type;
        slot->address = return_address - 5;
        slot->thread_id = GetCurrentThreadId();
        slot->context = context;
        slot->stack_pointer = stack_pointer;
        slot->stack_top = top;
        for (size_t i = 0; i < kBuffers; ++i) {
            if (buffers[i] != nullptr && !bufferUsed[i]) {
                const size_t wanted = stack_pointer < top
                                          ? std::min<size_t>(top - stack_pointer, kRaiseStackLimit)
                                          : 0;
                const size_t size =
                    ReadableLength(reinterpret_cast<const void*>(stack_pointer), wanted);
                std::memcpy(buffers[i], reinterpret_cast<const void*>(stack_pointer), size);
                bufferUsed[i] = true;
                slot->buffer = static_cast<int>(i);
                slot->stack_size = size;
                break;
            }
        }
    }
    errno = saved_errno;
    SetLastError(last_error);
}

}  // namespace

void EnableRaiseRecords(bool on) {
    const TGuard guard;
    if (on) {
        for (uint8_t*& buffer : buffers) {
            if (buffer == nullptr) {
                buffer = static_cast<uint8_t*>(VirtualAlloc(
                    nullptr, kRaiseStackLimit, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
            }
        }
    }
    enabled = on;
}

bool FindRaiseRecord(const void* object, TRaiseRecord& record) {
    const TGuard guard;
    for (const TSlot& slot : slots) {
        if (slot.used && slot.object == object) {
            record.object = slot.object;
            record.type = slot.type;
            record.address = slot.address;
            record.thread_id = slot.thread_id;
            record.context = slot.context;
            record.stack_pointer = slot.stack_pointer;
            record.stack_top = slot.stack_top;
            record.stack.assign(
                slot.buffer >= 0 ? buffers[slot.buffer] : nullptr,
                slot.buffer >= 0 ? buffers[slot.buffer] + slot.stack_size : nullptr);
            return true;
        }
    }
    return false;
}

size_t RaiseRecordCount() {
    const TGuard guard;
    size_t count = 0;
    for (const TSlot& slot : slots) {
        count += slot.used ? 1 : 0;
    }
    return count;
}

const void* ExceptionObjectOf(const std::exception_ptr& error) {
    // The runtime's exception_ptr is one pointer: the thrown object.
    static_assert(sizeof(std::exception_ptr) == sizeof(void*));
    const void* object = nullptr;
    std::memcpy(&object, &error, sizeof object);
    return object;
}

}  // namespace exceptions

extern "C" {

// Every throw of the program passes here on its way to the runtime. The
// frame pointer is kept, so the recorder finds the thrower's stack right
// above this frame.
[[noreturn, gnu::noinline, gnu::optimize("no-omit-frame-pointer")]] void __wrap___cxa_throw(
    void* object, std::type_info* type, void (*destructor)(void*)) {
    if (exceptions::enabled.load(std::memory_order_relaxed)) {
        exceptions::RecordThrow(object, type,
                                reinterpret_cast<uintptr_t>(__builtin_return_address(0)),
                                reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
    }
    __real___cxa_throw(object, type, destructor);
}

// A freed exception object takes its record with it, so that a later object
// at the same address never meets a dead record.
void __wrap___cxa_free_exception(void* object) noexcept {
    {
        const exceptions::TGuard guard;
        for (exceptions::TSlot& slot : exceptions::slots) {
            if (slot.used && slot.object == object) {
                exceptions::Release(slot);
            }
        }
    }
    __real___cxa_free_exception(object);
}
}
