// Embedded window definitions on Windows: RCDATA resources of the executable,
// named as the build named them (resource names ignore case).

#include <windows.h>

#include <string>

#include "framework/definition.h"

namespace framework {

std::string_view EmbeddedDefinition(const char* name) {
    // Resource names are ASCII; widen them byte by byte.
    std::wstring wide;
    for (const char* p = name; *p != '\0'; ++p) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    }
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, wide.c_str(), RT_RCDATA);
    HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        throw EDefinitionError("no embedded window definition \"" + std::string(name) + "\"");
    }
    // Resources stay mapped for the life of the module.
    return std::string_view(static_cast<const char*>(data), SizeofResource(module, resource));
}

}  // namespace framework
