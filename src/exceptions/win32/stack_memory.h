#pragma once

// Reading the stacks of the process without ever faulting: which bytes are
// readable is asked of VirtualQuery, never found out by touching them (a
// touched guard page of another thread's stack would be spent).

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace exceptions {

// How many bytes from `address` on, at most `limit`, lie in committed pages
// that can be read and are not guard pages.
size_t ReadableLength(const void* address, size_t limit);

// The end (the highest address, exclusive) of the calling thread's stack.
uintptr_t CurrentStackTop();

}  // namespace exceptions
