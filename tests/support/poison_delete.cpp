// Poisoned deletion for the Windows tests (natively the address sanitizer
// does this and more): every block given back through operator delete is
// filled with 0xDD and kept from reuse for a while, so code that reads a
// deleted object, or a container's storage after it moved, reads garbage at
// once instead of whatever happened to be left there.

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Blocks wait here, poisoned, before they go back to the heap.
constexpr int kQuarantine = 512;
void* quarantine[kQuarantine];
int next = 0;
std::atomic_flag busy = ATOMIC_FLAG_INIT;

void Poison(void* block) {
    if (block == nullptr) {
        return;
    }
    std::memset(block, 0xDD, _msize(block));
    while (busy.test_and_set(std::memory_order_acquire)) {
    }
    void* oldest = quarantine[next];
    quarantine[next] = block;
    next = (next + 1) % kQuarantine;
    busy.clear(std::memory_order_release);
    std::free(oldest);
}

}  // namespace

void operator delete(void* block) noexcept {
    Poison(block);
}

void operator delete[](void* block) noexcept {
    Poison(block);
}

void operator delete(void* block, std::size_t) noexcept {
    Poison(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    Poison(block);
}
