#include "platform/file_stream.h"

#include <windows.h>

#include <algorithm>

#include "base/text.h"

namespace platform {

namespace {

HANDLE Handle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

void TFileStream::Open(const std::u16string* name, TFileMode mode) {
    DWORD access = 0;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
        case fmCreate:
            access = GENERIC_READ | GENERIC_WRITE;
            disposition = CREATE_ALWAYS;
            break;
        case fmOpenRead:
            access = GENERIC_READ;
            break;
        case fmOpenWrite:
            access = GENERIC_WRITE;
            break;
        case fmOpenReadWrite:
            access = GENERIC_READ | GENERIC_WRITE;
            break;
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    if (name != nullptr) {
        file = CreateFileW(reinterpret_cast<const wchar_t*>(name->c_str()), access, FILE_SHARE_READ,
                           nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) {
        if (mode == fmCreate) {
            throw EFCreateError("Cannot create file " + fileName_);
        }
        throw EFOpenError("Cannot open file " + fileName_);
    }
    handle_ = reinterpret_cast<intptr_t>(file);
}

TFileStream::~TFileStream() {
    CloseHandle(Handle(handle_));
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    int64_t total = 0;
    auto* p = static_cast<char*>(buffer);
    while (total < count) {
        const DWORD piece = static_cast<DWORD>(std::min<int64_t>(count - total, 1 << 30));
        DWORD done = 0;
        if (!ReadFile(Handle(handle_), p + total, piece, &done, nullptr) || done == 0) {
            break;
        }
        total += done;
    }
    return total;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    int64_t total = 0;
    const auto* p = static_cast<const char*>(buffer);
    while (total < count) {
        const DWORD piece = static_cast<DWORD>(std::min<int64_t>(count - total, 1 << 30));
        DWORD done = 0;
        if (!WriteFile(Handle(handle_), p + total, piece, &done, nullptr) || done == 0) {
            break;
        }
        total += done;
    }
    return total;
}

int64_t TFileStream::Seek(int64_t offset, base::SeekOrigin origin) {
    const DWORD method = origin == base::SeekOrigin::Beginning ? FILE_BEGIN
                         : origin == base::SeekOrigin::Current ? FILE_CURRENT
                                                               : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!SetFilePointerEx(Handle(handle_), distance, &result, method)) {
        throw base::EStreamError("Stream seek error");
    }
    return result.QuadPart;
}

void TFileStream::SetSize(int64_t size) {
    const int64_t position = Position();
    Seek(size, base::SeekOrigin::Beginning);
    if (size < 0 || !SetEndOfFile(Handle(handle_))) {
        Seek(position, base::SeekOrigin::Beginning);
        throw base::EStreamError("Stream size error");
    }
    Seek(std::min(position, size), base::SeekOrigin::Beginning);
}

void TFileStream::Flush() {
    if (!FlushFileBuffers(Handle(handle_))) {
        throw base::EWriteError("Stream write error");
    }
}

}  // namespace platform

namespace platform {

namespace {

const wchar_t* Wide(const std::u16string& name) {
    return reinterpret_cast<const wchar_t*>(name.c_str());
}

}  // namespace

bool MoveFileReplacing(const std::u16string& from, const std::u16string& to) {
    return MoveFileExW(Wide(from), Wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
           0;
}

TMoveResult MoveFileOver(const std::u16string& from, const std::u16string& to) {
    if (MoveFileReplacing(from, to)) {
        return TMoveResult::kMoved;
    }
    switch (GetLastError()) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return TMoveResult::kInUse;
        case ERROR_ACCESS_DENIED: {
            // Also the answer for a running program; a read-only file is
            // refused the same way, but is not in use.
            const DWORD attributes = GetFileAttributesW(Wide(to));
            return attributes != INVALID_FILE_ATTRIBUTES &&
                           (attributes & FILE_ATTRIBUTE_READONLY) == 0
                       ? TMoveResult::kInUse
                       : TMoveResult::kFailed;
        }
        default:
            return TMoveResult::kFailed;
    }
}

bool CreateFolder(const std::u16string& path) {
    if (CreateDirectoryW(Wide(path), nullptr)) {
        return true;
    }
    const DWORD attributes = GetFileAttributesW(Wide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveFile(const std::u16string& path) {
    return DeleteFileW(Wide(path)) != 0;
}

}  // namespace platform
