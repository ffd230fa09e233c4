// GetNetworkParams of iphlpapi.dll, looked up at run time: the program does
// not depend on the library being there, and only the system's own copy is
// ever loaded.

#include "exceptions/win32/dns_servers.h"

#include <windows.h>
#include <winsock2.h>

#include <iphlpapi.h>

#include <cstring>
#include <memory>

namespace exceptions {

namespace {

using GetNetworkParamsFunction = DWORD(WINAPI*)(PFIXED_INFO info, PULONG size);

// Bounds the walk along the server list, which the system links itself.
constexpr int kMaxServers = 64;
// Bounds the size probes: the needed size may grow between two calls.
constexpr int kMaxAttempts = 4;

// Owns a loaded library until the end of the scope.
struct TLibrary {
    HMODULE module;
    ~TLibrary() {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
};

}  // namespace

std::vector<std::string> SystemDnsServers() {
    std::vector<std::string> servers;
    const TLibrary library{LoadLibraryExW(L"iphlpapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)};
    if (library.module == nullptr) {
        return servers;
    }
    const auto get_network_params = reinterpret_cast<GetNetworkParamsFunction>(
        reinterpret_cast<void*>(GetProcAddress(library.module, "GetNetworkParams")));
    if (get_network_params == nullptr) {
        return servers;
    }

    // The first call gives the size the parameters need; the buffer comes
    // from operator new, aligned for any of the structure's fields.
    ULONG size = 0;
    std::unique_ptr<unsigned char[]> buffer;
    DWORD result = get_network_params(nullptr, &size);
    for (int attempt = 0; attempt < kMaxAttempts && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        if (size < sizeof(FIXED_INFO)) {
            size = sizeof(FIXED_INFO);
        }
        buffer = std::make_unique<unsigned char[]>(size);
        result = get_network_params(reinterpret_cast<PFIXED_INFO>(buffer.get()), &size);
    }
    if (result != ERROR_SUCCESS || buffer == nullptr) {
        return servers;
    }

    const auto* info = reinterpret_cast<const FIXED_INFO*>(buffer.get());
    const IP_ADDR_STRING* entry = &info->DnsServerList;
    for (int i = 0; entry != nullptr && i < kMaxServers; ++i, entry = entry->Next) {
        const char* text = entry->IpAddress.String;
        servers.emplace_back(text, strnlen(text, sizeof(entry->IpAddress.String)));
    }
    return servers;
}

}  // namespace exceptions
