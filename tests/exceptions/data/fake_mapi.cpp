// A Simple MAPI provider for the mail client tests. It sends nothing: it
// appends what it is given, one line per item, to the file that the
// environment variable FAKE_MAPI_RECORD names, from its loading to its
// unloading. FAKE_MAPI_FAIL set to "logon" or "send" makes that call fail.
//
// Resolution: a name starting with "unknown" is not found; one starting with
// "noaddr" comes back with an empty address; any other name N as
// "Name of N" with the address "SMTP:N". Each resolution is one block that
// MAPIFreeBuffer takes back; the log off reports the blocks still out.
//
// Built twice: FAKE_MAPI_PARTIAL leaves MAPIFreeBuffer out.

#include <windows.h>

#include <mapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr LHANDLE kSession = 77;

std::vector<void*> outstanding;

void Record(const std::string& line) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"FAKE_MAPI_RECORD", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

bool Fails(const char* call) {
    char value[16];
    const DWORD length = GetEnvironmentVariableA("FAKE_MAPI_FAIL", value, sizeof value);
    return length > 0 && length < sizeof value && std::strcmp(value, call) == 0;
}

// A text argument as it came, with line breaks made visible; "null" for none.
std::string Text(const char* text) {
    if (text == nullptr) {
        return "null";
    }
    std::string out;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\r') {
            out += "\\r";
        } else if (*c == '\n') {
            out += "\\n";
        } else {
            out += *c;
        }
    }
    return out;
}

std::string Number(unsigned long long value) {
    return std::to_string(value);
}

std::string Pointer(const void* value) {
    return value == nullptr ? "null" : "set";
}

struct TResolved {
    MapiRecipDesc description;
    char name[128];
    char address[128];
};

}  // namespace

extern "C" {

ULONG WINAPI MAPILogon(ULONG_PTR ui, LPSTR profile, LPSTR password, FLAGS flags, ULONG reserved,
                       LPLHANDLE session) {
    Record("logon ui=" + Number(ui) + " profile=" + Text(profile) + " password=" + Text(password) +
           " flags=" + Number(flags) + " reserved=" + Number(reserved));
    if (Fails("logon")) {
        return MAPI_E_LOGON_FAILURE;
    }
    *session = kSession;
    return SUCCESS_SUCCESS;
}

ULONG WINAPI MAPILogoff(LHANDLE session, ULONG_PTR ui, FLAGS flags, ULONG reserved) {
    Record("logoff session=" + Number(session) + " ui=" + Number(ui) + " flags=" + Number(flags) +
           " reserved=" + Number(reserved) + " outstanding=" + Number(outstanding.size()));
    return SUCCESS_SUCCESS;
}

ULONG WINAPI MAPIResolveName(LHANDLE session, ULONG_PTR ui, LPSTR name, FLAGS flags, ULONG reserved,
                             lpMapiRecipDesc* recipient) {
    Record("resolve session=" + Number(session) + " ui=" + Number(ui) + " name=" + Text(name) +
           " flags=" + Number(flags) + " reserved=" + Number(reserved));
    const std::string asked = name != nullptr ? name : "";
    if (asked.rfind("unknown", 0) == 0) {
        return MAPI_E_UNKNOWN_RECIPIENT;
    }
    auto* resolved =
        static_cast<TResolved*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(TResolved)));
    const std::string shown = "Name of " + asked;
    const std::string address = asked.rfind("noaddr", 0) == 0 ? "" : "SMTP:" + asked;
    shown.copy(resolved->name, sizeof resolved->name - 1);
    address.copy(resolved->address, sizeof resolved->address - 1);
    resolved->description.ulRecipClass = MAPI_TO;
    resolved->description.lpszName = resolved->name;
    resolved->description.lpszAddress = resolved->address;
    outstanding.push_back(resolved);
    *recipient = &resolved->description;
    return SUCCESS_SUCCESS;
}

#ifndef FAKE_MAPI_PARTIAL
ULONG WINAPI MAPIFreeBuffer(LPVOID buffer) {
    const auto found = std::find(outstanding.begin(), outstanding.end(), buffer);
    Record(found != outstanding.end() ? "free" : "free of an unknown block");
    if (found != outstanding.end()) {
        outstanding.erase(found);
        HeapFree(GetProcessHeap(), 0, buffer);
    }
    return SUCCESS_SUCCESS;
}
#endif

ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR ui, lpMapiMessage message, FLAGS flags,
                          ULONG reserved) {
    Record("send session=" + Number(session) + " ui=" + Number(ui) + " flags=" + Number(flags) +
           " reserved=" + Number(reserved));
    Record("subject=" + Text(message->lpszSubject));
    Record("note=" + Text(message->lpszNoteText));
    Record("type=" + Text(message->lpszMessageType) + " flags=" + Number(message->flFlags) +
           " originator=" + Pointer(message->lpOriginator) +
           " recipients=" + Number(message->nRecipCount) + " " + Pointer(message->lpRecips) +
           " files=" + Number(message->nFileCount) + " " + Pointer(message->lpFiles));
    for (ULONG i = 0; i < message->nRecipCount; ++i) {
        const MapiRecipDesc& r = message->lpRecips[i];
        Record("recipient class=" + Number(r.ulRecipClass) + " name=" + Text(r.lpszName) +
               " address=" + Text(r.lpszAddress) + " entry=" + Number(r.ulEIDSize));
    }
    for (ULONG i = 0; i < message->nFileCount; ++i) {
        const MapiFileDesc& f = message->lpFiles[i];
        Record("file reserved=" + Number(f.ulReserved) + " flags=" + Number(f.flFlags) +
               " position=" + Number(f.nPosition) + " type=" + Pointer(f.lpFileType));
        Record("  path=" + Text(f.lpszPathName));
        Record("  name=" + Text(f.lpszFileName));
    }
    return Fails("send") ? MAPI_E_FAILURE : SUCCESS_SUCCESS;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        Record("attach");
    } else if (reason == DLL_PROCESS_DETACH) {
        Record("detach");
    }
    return TRUE;
}

}  // extern "C"
