#include "exceptions/win32/stack_memory.h"

#include <algorithm>

namespace exceptions {

namespace {

bool Readable(const MEMORY_BASIC_INFORMATION& region) {
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return region.State == MEM_COMMIT && (region.Protect & PAGE_GUARD) == 0 &&
           (region.Protect & kReadable) != 0;
}

}  // namespace

size_t ReadableLength(const void* address, size_t limit) {
    const uintptr_t start = reinterpret_cast<uintptr_t>(address);
    // Never past the end of the address space.
    limit = std::min<uintptr_t>(limit, UINTPTR_MAX - start);
    size_t length = 0;
    while (length < limit) {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(start + length), &region, sizeof region) ==
                0 ||
            !Readable(region)) {
            break;
        }
        const uintptr_t end = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        length = std::min<uintptr_t>(limit, end - start);
    }
    return length;
}

uintptr_t CurrentStackTop() {
    // NT_TIB::StackBase of the thread's own information block, which the
    // segment register addresses.
    uintptr_t top = 0;
#if defined(__x86_64__)
    asm("movq %%gs:8, %0" : "=r"(top));
#else
    asm("movl %%fs:4, %0" : "=r"(top));
#endif
    return top;
}

}  // namespace exceptions
