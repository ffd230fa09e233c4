#include "exceptions/win32/module_crash_data.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/file_stream.h"

namespace exceptions {

namespace {

// The last `count` bytes of the stream (fewer when it is shorter).
std::string Tail(platform::TFileStream& file, int64_t count) {
    const int64_t size = file.Size();
    count = std::min(count, size);
    std::string bytes(static_cast<size_t>(count), '\0');
    file.SetPosition(size - count);
    file.ReadBuffer(bytes.data(), count);
    return bytes;
}

}  // namespace

TCrashData ReadAppendedCrashData(const std::u16string& path) {
    try {
        platform::TFileStream file(path, platform::fmOpenRead);
        // The frame first: the length before the magic says how much more to
        // read.
        const std::string frame = Tail(file, 8);
        if (frame.size() < 8) {
            return {};
        }
        uint32_t length = 0;
        std::memcpy(&length, frame.data(), 4);
        const int64_t wanted = static_cast<int64_t>(length) + 8;
        if (wanted > file.Size() || wanted > static_cast<int64_t>(kMaxCrashPayload)) {
            return {};
        }
        return ParseAppendedCrashData(Tail(file, wanted));
    } catch (const base::EStreamError&) {
        return {};
    }
}

TCrashData ReadModuleCrashData(HMODULE module) {
    if (HRSRC found = FindResourceW(module, L"CLDATA", MAKEINTRESOURCEW(10))) {
        HGLOBAL loaded = LoadResource(module, found);
        const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
        if (bytes != nullptr) {
            return ParseCrashData(
                std::string_view(static_cast<const char*>(bytes), SizeofResource(module, found)));
        }
    }
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) {
        return {};
    }
    return ReadAppendedCrashData(
        std::u16string(reinterpret_cast<const char16_t*>(path.data()), length));
}

}  // namespace exceptions
