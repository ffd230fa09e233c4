#include "exceptions/win32/mail_client.h"

#include <windows.h>

#include <mapi.h>

#include <optional>

#include "base/text.h"
#include "exceptions/mailto.h"
#include "exceptions/win32/freeze_watch.h"
#include "framework/graphics.h"

namespace exceptions {

namespace {

constexpr DWORD kIdleWaitMs = 10000;
constexpr DWORD kSettleMs = 2000;

// Registry reads give up after this many rounds of a value that keeps
// growing between the size query and the read.
constexpr int kRegistryReadRounds = 4;

std::wstring Expanded(const std::wstring& text) {
    const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0) {
        return text;
    }
    std::wstring out(size, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), out.data(), size);
    if (written == 0 || written > size) {
        return text;
    }
    out.resize(written - 1);
    return out;
}

// The text value `name` (null: the default value) of `key` under `root`,
// environment variables expanded. On failure nothing, and the system's error
// code in `error`.
std::optional<std::wstring> RegistryText(HKEY root, const std::wstring& key, const wchar_t* name,
                                         LSTATUS* error = nullptr) {
    constexpr DWORD kFlags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    LSTATUS status = ERROR_MORE_DATA;
    for (int round = 0; round < kRegistryReadRounds && status == ERROR_MORE_DATA; ++round) {
        DWORD bytes = 0;
        status = RegGetValueW(root, key.c_str(), name, kFlags, nullptr, nullptr, &bytes);
        if (status != ERROR_SUCCESS) {
            break;
        }
        std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        status = RegGetValueW(root, key.c_str(), name, kFlags, nullptr, value.data(), &bytes);
        if (status == ERROR_SUCCESS) {
            value.resize(wcsnlen(value.c_str(), value.size()));
            return Expanded(value);
        }
    }
    if (error != nullptr) {
        *error = status;
    }
    return std::nullopt;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// "X:\..." or "\\server\...": a path that no search order can redirect.
bool IsAbsolutePath(std::wstring_view path) {
    const bool drive =
        path.size() >= 3 &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
        path[1] == L':' && IsSeparator(path[2]);
    const bool share = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
    return drive || share;
}

// The default mail client's Simple MAPI library when it names one by an
// absolute path and loads, else mapi32.dll of the system folder. Never a
// library found by name: the program's own folder may be writable by anyone.
HMODULE LoadMapiLibrary() {
    const std::wstring clients = L"SOFTWARE\\Clients\\Mail";
    const std::optional<std::wstring> client = RegistryText(HKEY_LOCAL_MACHINE, clients, nullptr);
    if (client && !client->empty()) {
        const std::optional<std::wstring> path =
            RegistryText(HKEY_LOCAL_MACHINE, clients + L"\\" + *client, L"DLLPath");
        if (path && IsAbsolutePath(*path)) {
            // Its own folder first for what it loads in turn.
            if (HMODULE library =
                    LoadLibraryExW(path->c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
                return library;
            }
        }
    }
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    return LoadLibraryW((std::wstring(system, length) + L"\\mapi32.dll").c_str());
}

// `wide` in the system's ANSI code page; `lossy`, when given, tells whether
// a character had no counterpart there.
std::string Ansi(std::wstring_view wide, bool* lossy = nullptr) {
    if (lossy != nullptr) {
        *lossy = false;
    }
    if (wide.empty()) {
        return {};
    }
    // The code page UTF-8 holds every character and takes no default one.
    BOOL used_default = FALSE;
    BOOL* const check = GetACP() == CP_UTF8 ? nullptr : &used_default;
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, out.data(), length, nullptr, check);
    }
    if (lossy != nullptr) {
        *lossy = length <= 0 || used_default;
    }
    return out;
}

std::string AnsiOfGbk(std::string_view gbk) {
    return Ansi(framework::WideText(gbk));
}

struct TAttachment {
    std::string path;
    std::string name;
};

// The description of an existing file: its full path and its name in the
// ANSI code page, by its short path when the long one does not fit there.
std::optional<TAttachment> AttachmentOf(const std::u16string& file) {
    if (file.empty()) {
        return std::nullopt;
    }
    const std::wstring given(file.begin(), file.end());
    const DWORD attributes = GetFileAttributesW(given.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    std::wstring full(GetFullPathNameW(given.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD full_length =
        GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (full_length == 0 || full_length >= full.size()) {
        return std::nullopt;
    }
    full.resize(full_length);

    bool lossy = false;
    std::string ansi = Ansi(full, &lossy);
    if (lossy) {
        std::wstring short_path(GetShortPathNameW(full.c_str(), nullptr, 0), L'\0');
        const DWORD short_length = GetShortPathNameW(full.c_str(), short_path.data(),
                                                     static_cast<DWORD>(short_path.size()));
        if (short_length == 0 || short_length >= short_path.size()) {
            return std::nullopt;
        }
        short_path.resize(short_length);
        full = short_path;
        ansi = Ansi(full, &lossy);
        if (lossy) {
            return std::nullopt;
        }
    }
    // The name is cut from the wide path: in a double-byte code page a
    // character's second byte may be a backslash.
    size_t name_start = full.size();
    while (name_start > 0 && !IsSeparator(full[name_start - 1])) {
        --name_start;
    }
    return TAttachment{std::move(ansi), Ansi(std::wstring_view(full).substr(name_start))};
}

template <typename T>
T Procedure(HMODULE library, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

struct TMapi {
    LPMAPILOGON logon;
    LPMAPILOGOFF logoff;
    LPMAPISENDMAIL send;
    LPMAPIRESOLVENAME resolve;
    LPMAPIFREEBUFFER free;
};

class TLibrary {
  public:
    explicit TLibrary(HMODULE handle) : handle_(handle) {}
    ~TLibrary() {
        if (handle_ != nullptr) {
            FreeLibrary(handle_);
        }
    }
    TLibrary(const TLibrary&) = delete;
    TLibrary& operator=(const TLibrary&) = delete;

    HMODULE Handle() const { return handle_; }

  private:
    HMODULE handle_;
};

class TSession {
  public:
    TSession(const TMapi& mapi, LHANDLE handle) : mapi_(mapi), handle_(handle) {}
    ~TSession() { mapi_.logoff(handle_, 0, 0, 0); }
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    LHANDLE Handle() const { return handle_; }

  private:
    const TMapi& mapi_;
    LHANDLE handle_;
};

struct TRecipient {
    std::string name;
    std::string address;
};

// Every recipient resolved by the client without a dialog: its name, and
// its address (the name when the client gives none). Nothing when one of
// them could not be resolved.
std::optional<std::vector<TRecipient>> Resolve(const TMapi& mapi, LHANDLE session,
                                               const std::vector<std::string>& recipients) {
    std::vector<TRecipient> resolved;
    for (const std::string& recipient : recipients) {
        if (recipient.empty()) {
            continue;
        }
        std::string name = AnsiOfGbk(recipient);
        lpMapiRecipDesc description = nullptr;
        const ULONG result = mapi.resolve(session, 0, name.data(), 0, 0, &description);
        if (description == nullptr) {
            return std::nullopt;
        }
        TRecipient taken{description->lpszName ? description->lpszName : "",
                         description->lpszAddress ? description->lpszAddress : ""};
        mapi.free(description);
        if (result != SUCCESS_SUCCESS) {
            return std::nullopt;
        }
        if (taken.address.empty()) {
            taken.address = taken.name;
        }
        // A resolution that names nobody adds nobody.
        if (!taken.address.empty()) {
            resolved.push_back(std::move(taken));
        }
    }
    return resolved;
}

// The steps after loading; the text of the failure, or null.
const char* SendThrough(HMODULE library, const std::vector<std::string>& recipients,
                        const std::string& subject, const std::string& body,
                        const std::vector<std::u16string>& attachments) {
    const TMapi mapi{
        Procedure<LPMAPILOGON>(library, "MAPILogon"),
        Procedure<LPMAPILOGOFF>(library, "MAPILogoff"),
        Procedure<LPMAPISENDMAIL>(library, "MAPISendMail"),
        Procedure<LPMAPIRESOLVENAME>(library, "MAPIResolveName"),
        Procedure<LPMAPIFREEBUFFER>(library, "MAPIFreeBuffer"),
    };
    if (!mapi.logon || !mapi.logoff || !mapi.send || !mapi.resolve || !mapi.free) {
        return kMapiFunctionsError;
    }
    LHANDLE handle = 0;
    if (mapi.logon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &handle) != SUCCESS_SUCCESS) {
        return kMapiLogOnError;
    }
    const TSession session(mapi, handle);

    std::vector<TAttachment> files;
    for (const std::u16string& file : attachments) {
        if (std::optional<TAttachment> attachment = AttachmentOf(file)) {
            files.push_back(std::move(*attachment));
        }
    }
    std::optional<std::vector<TRecipient>> resolved = Resolve(mapi, session.Handle(), recipients);
    if (!resolved) {
        return kMapiSendError;
    }

    std::vector<MapiRecipDesc> recipient_list;
    for (TRecipient& recipient : *resolved) {
        recipient_list.push_back(
            MapiRecipDesc{0, MAPI_TO, recipient.name.data(), recipient.address.data(), 0, nullptr});
    }
    std::vector<MapiFileDesc> file_list;
    for (TAttachment& file : files) {
        file_list.push_back(MapiFileDesc{0, 0, static_cast<ULONG>(-1), file.path.data(),
                                         file.name.data(), nullptr});
    }
    std::string subject_text = AnsiOfGbk(subject);
    std::string body_text = AnsiOfGbk(body);
    MapiMessage message{};
    message.lpszSubject = subject_text.data();
    message.lpszNoteText = body_text.data();
    message.nRecipCount = static_cast<ULONG>(recipient_list.size());
    message.lpRecips = recipient_list.empty() ? nullptr : recipient_list.data();
    message.nFileCount = static_cast<ULONG>(file_list.size());
    message.lpFiles = file_list.empty() ? nullptr : file_list.data();
    if (mapi.send(session.Handle(), 0, &message, MAPI_LOGON_UI, 0) != SUCCESS_SUCCESS) {
        return kMapiSendError;
    }
    return nullptr;
}

std::string Utf8Of(const std::wstring& wide) {
    return base::Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::wstring WideOfUtf8(std::string_view utf8) {
    const std::u16string utf16 = base::Utf8ToUtf16(utf8);
    return std::wstring(utf16.begin(), utf16.end());
}

// The system's text for an error code, in GBK, without the final line break.
std::string SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "System error " + std::to_string(code) + ".";
    }
    return framework::GbkText(text);
}

}  // namespace

bool SendByMailClient(TReporterTrace& trace, const std::vector<std::string>& recipients,
                      const std::string& subject, const std::string& body,
                      const std::vector<std::u16string>& attachments) {
    const char* failure = nullptr;
    try {
        const TLibrary library(LoadMapiLibrary());
        failure = library.Handle() == nullptr
                      ? kMapiOpenError
                      : SendThrough(library.Handle(), recipients, subject, body, attachments);
    } catch (...) {
        failure = kMapiSendError;
    }
    if (failure != nullptr) {
        trace.Warning(TInternalError::eeEmailMAPIError, failure);
        return false;
    }
    return true;
}

bool SendByMailto(TReporterTrace& trace, std::string_view url) {
    DWORD error = ERROR_SUCCESS;
    try {
        LSTATUS status = ERROR_SUCCESS;
        const std::optional<std::wstring> command =
            RegistryText(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", nullptr, &status);
        if (!command) {
            error = static_cast<DWORD>(status);
        } else {
            std::wstring line = WideOfUtf8(MailtoCommand(Utf8Of(*command), url));
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION process{};
            if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                                CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                                &startup, &process)) {
                error = GetLastError();
                if (error == ERROR_SUCCESS) {
                    error = ERROR_GEN_FAILURE;
                }
            } else {
                WaitForInputIdle(process.hProcess, kIdleWaitMs);
                Sleep(kSettleMs);
                if (const HWND window = FindMainWindow(process.dwProcessId)) {
                    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
                    ShowWindow(window, SW_SHOWMAXIMIZED);
                }
                CloseHandle(process.hThread);
                CloseHandle(process.hProcess);
            }
        }
    } catch (...) {
        error = ERROR_INVALID_DATA;
    }
    if (error != ERROR_SUCCESS) {
        trace.Warning(TInternalError::eeEmailShellError, SystemErrorText(error));
        return false;
    }
    return true;
}

}  // namespace exceptions
