// The system's generator through RtlGenRandom, exported by advapi32 as
// "SystemFunction036". Looked up at run time: the name is not in every
// import library, and the lookup only ever loads the system's own copy.

#include <windows.h>

#include <string>

#include "base/exception.h"
#include "platform/random.h"

namespace platform {

namespace {

using GenRandomFunction = BOOLEAN(WINAPI*)(PVOID buffer, ULONG length);

GenRandomFunction FindGenRandom() {
    static const GenRandomFunction function = []() -> GenRandomFunction {
        HMODULE module = GetModuleHandleW(L"advapi32.dll");
        if (module == nullptr) {
            module = LoadLibraryExW(L"advapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        }
        if (module == nullptr) {
            return nullptr;
        }
        return reinterpret_cast<GenRandomFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, "SystemFunction036")));
    }();
    return function;
}

}  // namespace

void RandomBytes(void* data, size_t size) {
    const GenRandomFunction gen_random = FindGenRandom();
    if (gen_random == nullptr) {
        throw base::Exception(
            "Cannot get random bytes from the system: RtlGenRandom of advapi32.dll is missing.");
    }
    auto* p = static_cast<unsigned char*>(data);
    while (size > 0) {
        const ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        if (!gen_random(p, piece)) {
            throw base::Exception("Cannot get random bytes from the system: RtlGenRandom failed.");
        }
        p += piece;
        size -= piece;
    }
}

}  // namespace platform
