#include "exceptions/win32/log_writer.h"

#include <shlobj.h>

#include <algorithm>
#include <cwctype>

#include "base/exception.h"
#include "framework/graphics.h"
#include "platform/file_stream.h"

namespace exceptions {

namespace {

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

bool IsDelimiter(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/:");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/:");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring WithExtension(const std::wstring& path, const std::wstring& extension) {
    const std::wstring name = FileNameOf(path);
    const size_t dot = name.rfind(L'.');
    const std::wstring base = dot == std::wstring::npos ? name : name.substr(0, dot);
    return FolderOf(path) + base + extension;
}

bool EndsWithClg(const std::wstring& path) {
    const std::wstring name = FileNameOf(path);
    return name.size() >= 4 && Lower(name.substr(name.size() - 4)) == L".clg";
}

// True when a new file can be made in the folder of `path`.
bool FolderTakesFiles(const std::wstring& path) {
    const std::wstring probe =
        FolderOf(path) + L"~log-probe-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

std::wstring ExecutableBaseName() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return WithExtension(FileNameOf(std::wstring(path, length)), L"");
}

}  // namespace

std::u16string LogFilePath(const TVivavaModuleOptions& options, const std::u16string& module_path) {
    const std::wstring location = framework::WideText(options.LogLocation());
    if (EndsWithClg(location)) {
        return U16(location);
    }
    const std::wstring module = Wide(module_path);
    std::wstring folder = location.empty() ? FolderOf(module) : location;
    if (!folder.empty() && !IsDelimiter(folder.back()) && folder.back() != L':') {
        folder += L'\\';
    }
    return U16(folder + FileNameOf(WithExtension(module, L".clg")));
}

std::u16string WritableLogPath(const std::u16string& path) {
    const std::wstring wide = Wide(path);
    if (FolderTakesFiles(wide)) {
        return path;
    }
    wchar_t local[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0,
                                local))) {
        return path;
    }
    const std::wstring folder = std::wstring(local) + L"\\" + ExecutableBaseName();
    CreateDirectoryW(folder.c_str(), nullptr);
    return U16(folder + L"\\" + FileNameOf(wide));
}

TLogLock::TLogLock(const std::u16string& path, DWORD timeout_ms) {
    // Named after the file, case folded (FNV-1a): mutex names hold no "\".
    uint64_t hash = 14695981039346656037ull;
    for (const wchar_t c : Lower(Wide(path))) {
        hash = (hash ^ static_cast<uint16_t>(c)) * 1099511628211ull;
    }
    wchar_t name[64];
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text = L"Local\\updater-log-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        text += kDigits[(hash >> shift) & 15];
    }
    wcsncpy(name, text.c_str(), 63);
    name[63] = L'\0';
    mutex_ = CreateMutexW(nullptr, FALSE, name);
    if (mutex_ != nullptr) {
        const DWORD waited = WaitForSingleObject(mutex_, timeout_ms);
        // An owner that died leaves the mutex abandoned: it is ours then.
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
}

TLogLock::~TLogLock() {
    if (held_) {
        ReleaseMutex(mutex_);
    }
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
    }
}

TLogFile ReadLog(const std::u16string& path) {
    const std::wstring wide = Wide(path);
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return TLogFile::Parse({});
        }
        throw base::EStreamError("Cannot open file " + framework::GbkText(wide));
    }
    std::string bytes;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) != 0;
    if (ok) {
        // Two bytes more than is parsed tell whether a header right at the cut
        // begins a line.
        const int64_t start = std::max<int64_t>(0, size.QuadPart - int64_t{kLogReadLimit} - 2);
        LARGE_INTEGER at{};
        at.QuadPart = start;
        bytes.resize(static_cast<size_t>(size.QuadPart - start));
        DWORD read = 0;
        ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
             (bytes.empty() ||
              ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr));
        // A tail that begins inside an item loses that item: text before the
        // first header line is not read as one.
        bytes.resize(read);
    }
    CloseHandle(file);
    if (!ok) {
        throw base::EStreamError("Cannot read file " + framework::GbkText(wide));
    }
    return TLogFile::Parse(bytes);
}

std::string AppendToLog(const TVivavaModuleOptions& options, const std::u16string& path,
                        std::string_view item, bool duplicate, bool save) {
    const TLogLock lock(path);
    TLogFile log = ReadLog(path);
    if (!duplicate) {
        log.AddItem(item, options.LogCapacity());
    }
    const std::string whole = log.WholeText();
    if (save && !duplicate) {
        platform::WriteFileAtomically(path, whole);
    }
    return options.SendWholeLog() ? whole : std::string(item);
}

}  // namespace exceptions
