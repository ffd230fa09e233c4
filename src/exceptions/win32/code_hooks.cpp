#include "exceptions/win32/code_hooks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "exceptions/hook_code.h"

namespace exceptions {

namespace {

constexpr size_t kPatchSize = HookPatchSize(kHostHookCpu);
static_assert(kPatchSize == UPDATER_HOOK_ENTRY_BYTES);
constexpr size_t kPageSize = 4096;
constexpr size_t kRegionSize = 64 * 1024;  // the allocation granularity

struct TCodeHookRecord {
    uint8_t* target;
    void* replacement;
    uint8_t* trampoline;
    uint8_t saved[kPatchSize];
    uint8_t patch[kPatchSize];
    std::string name;
};

struct TImportHookRecord {
    HMODULE module;
    void** slot;
    void* former;
    void* real;
    void* replacement;
    std::string name;
};

std::mutex& HooksLock() {
    static std::mutex lock;
    return lock;
}

std::vector<TCodeHookRecord>& CodeHooks() {
    static std::vector<TCodeHookRecord> hooks;
    return hooks;
}

std::vector<TImportHookRecord>& ImportHooks() {
    static std::vector<TImportHookRecord> hooks;
    return hooks;
}

[[noreturn]] void HookFailed(const std::string& name) {
    throw EHookingError("Cannot hook the procedure \"" + name + "\".");
}

// True when `size` bytes at `address` are committed and readable.
bool Readable(const void* address, size_t size) {
    MEMORY_BASIC_INFORMATION info{};
    if (address == nullptr || VirtualQuery(address, &info, sizeof info) != sizeof info) {
        return false;
    }
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) {
        return false;
    }
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if ((info.Protect & kReadable) == 0) {
        return false;
    }
    const auto end = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    return reinterpret_cast<uintptr_t>(address) + size <= end;
}

// Writes `size` bytes over code or a table in a loaded image: the page is
// made writable for the write, its protection restored and the instruction
// cache flushed. Executable pages stay executable meanwhile, since code of
// the same page may be running.
bool WriteProtected(void* at, const void* bytes, size_t size) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(at, &info, sizeof info) != sizeof info || info.State != MEM_COMMIT) {
        return false;
    }
    const bool executable = (info.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ |
                                             PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
    DWORD old = 0;
    if (!VirtualProtect(at, size, executable ? PAGE_EXECUTE_READWRITE : PAGE_READWRITE, &old)) {
        return false;
    }
    std::memcpy(at, bytes, size);
    DWORD ignored = 0;
    VirtualProtect(at, size, old, &ignored);
    FlushInstructionCache(GetCurrentProcess(), at, size);
    return true;
}

// A fresh committed page for one trampoline, read-write until it is sealed.
// Pages are taken from 64 KiB reservations so that each hook does not use up
// a whole allocation unit.
uint8_t* NewTrampolinePage() {
    static uint8_t* region = nullptr;
    static size_t used = kRegionSize;
    if (used == kRegionSize) {
        region =
            static_cast<uint8_t*>(VirtualAlloc(nullptr, kRegionSize, MEM_RESERVE, PAGE_NOACCESS));
        if (region == nullptr) {
            return nullptr;
        }
        used = 0;
    }
    void* page = VirtualAlloc(region + used, kPageSize, MEM_COMMIT, PAGE_READWRITE);
    if (page != nullptr) {
        used += kPageSize;
    }
    return static_cast<uint8_t*>(page);
}

uint64_t Bits(const void* address) {
    return reinterpret_cast<uintptr_t>(address);
}

bool SameName(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i) {
        const auto lower = [](unsigned char c) {
            return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return a[i] == '\0' && i == b.size();
}

// The import-address-table slots of `module` that import `procedure` from
// `system_module`, and its other slots holding `real`.
std::vector<void**> ImportSlots(HMODULE module, const std::string& system_module,
                                const std::string& procedure, void* real) {
    std::vector<void**> slots;
    auto* base = reinterpret_cast<uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) {
        return slots;
    }
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT) {
        return slots;
    }
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0 || dir.Size == 0) {
        return slots;
    }
    for (auto* desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         desc->Name != 0; ++desc) {
        const bool from_system =
            SameName(reinterpret_cast<const char*>(base + desc->Name), system_module);
        auto* iat = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        const IMAGE_THUNK_DATA* names =
            desc->OriginalFirstThunk != 0
                ? reinterpret_cast<const IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk)
                : nullptr;
        for (size_t i = 0; iat[i].u1.Function != 0; ++i) {
            void** slot = reinterpret_cast<void**>(&iat[i].u1.Function);
            bool match = *slot == real;
            if (!match && from_system && names != nullptr &&
                !IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal)) {
                const auto* by_name =
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData);
                match = procedure == reinterpret_cast<const char*>(by_name->Name);
            }
            if (match) {
                slots.push_back(slot);
            }
        }
    }
    return slots;
}

}  // namespace

void* FollowImportStub(const void* code) {
    if (!Readable(code, 8)) {
        return nullptr;
    }
    const auto slot = ImportStubSlot(kHostHookCpu, static_cast<const uint8_t*>(code), Bits(code));
    const auto* at =
        slot ? reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(*slot)) : nullptr;
    if (at == nullptr || !Readable(at, sizeof(void*))) {
        return nullptr;
    }
    void* target = nullptr;
    std::memcpy(&target, at, sizeof target);
    return target;
}

void* HookCode(void* procedure, void* replacement, const std::string& name) {
    if (void* followed = FollowImportStub(procedure)) {
        procedure = followed;
    }
    if (procedure == nullptr) {
        throw EProcNull("Cannot hook a null procedure (\"" + name + "\").");
    }
    if (void* followed = FollowImportStub(replacement)) {
        replacement = followed;
    }
    auto* target = static_cast<uint8_t*>(procedure);
    const std::lock_guard<std::mutex> guard(HooksLock());
    auto& hooks = CodeHooks();
    const bool hooked = std::any_of(hooks.begin(), hooks.end(),
                                    [&](const TCodeHookRecord& r) { return r.target == target; });
    if (replacement == nullptr || hooked || !Readable(target, kPatchSize) ||
        !HookableEntry(kHostHookCpu, target)) {
        HookFailed(name);
    }

    TCodeHookRecord record{target, replacement, nullptr, {}, {}, name};
    std::memcpy(record.saved, target, kPatchSize);
    record.trampoline = NewTrampolinePage();
    if (record.trampoline == nullptr) {
        HookFailed(name);
    }
    // The trampoline: the covered entry bytes unless they are NOPs, then the
    // jump to the rest of the original.
    size_t length = 0;
    if (record.saved[0] != 0x90) {
        std::memcpy(record.trampoline, record.saved, kPatchSize);
        length = kPatchSize;
    }
    EncodeHookJump(kHostHookCpu, Bits(record.trampoline + length), Bits(target + kPatchSize),
                   record.trampoline + length);
    DWORD old = 0;
    if (!VirtualProtect(record.trampoline, kPageSize, PAGE_EXECUTE_READ, &old)) {
        VirtualFree(record.trampoline, kPageSize, MEM_DECOMMIT);
        HookFailed(name);
    }
    FlushInstructionCache(GetCurrentProcess(), record.trampoline, kPageSize);

    EncodeHookJump(kHostHookCpu, Bits(target), Bits(replacement), record.patch);
    if (!WriteProtected(target, record.patch, kPatchSize)) {
        VirtualFree(record.trampoline, kPageSize, MEM_DECOMMIT);
        HookFailed(name);
    }
    hooks.push_back(record);
    return record.trampoline;
}

void UnhookCode(void* trampoline) {
    const std::lock_guard<std::mutex> guard(HooksLock());
    auto& hooks = CodeHooks();
    const auto it = std::find_if(hooks.begin(), hooks.end(), [&](const TCodeHookRecord& r) {
        return r.trampoline == trampoline;
    });
    if (it == hooks.end()) {
        throw EHookingError("Cannot unhook an unknown hook.");
    }
    if (std::memcmp(it->target, it->patch, kPatchSize) != 0) {
        throw EHookingError("Cannot unhook the procedure \"" + it->name +
                            "\": its entry was rewritten after it was hooked.");
    }
    if (!WriteProtected(it->target, it->saved, kPatchSize)) {
        throw EHookingError("Cannot unhook the procedure \"" + it->name + "\".");
    }
    hooks.erase(it);
}

bool HookImport(const std::vector<std::u16string>& modules, const std::string& system_module,
                const std::string& procedure, void* replacement, bool none_ok, void*& real) {
    const std::string name = system_module + "." + procedure;
    HMODULE system = GetModuleHandleA(system_module.c_str());
    real = system != nullptr ? reinterpret_cast<void*>(GetProcAddress(system, procedure.c_str()))
                             : nullptr;
    if (real == nullptr) {
        throw EProcNull("Cannot hook a null procedure (\"" + name + "\").");
    }
    if (replacement == nullptr) {
        HookFailed(name);
    }
    const std::lock_guard<std::mutex> guard(HooksLock());
    auto& hooks = ImportHooks();
    std::vector<TImportHookRecord> found;
    for (const std::u16string& module_name : modules) {
        HMODULE module = module_name.empty()
                             ? GetModuleHandleW(nullptr)
                             : GetModuleHandleW(reinterpret_cast<LPCWSTR>(module_name.c_str()));
        if (module == nullptr) {
            continue;
        }
        for (void** slot : ImportSlots(module, system_module, procedure, real)) {
            const bool taken = std::any_of(hooks.begin(), hooks.end(), [&](const auto& r) {
                return r.slot == slot && *slot == r.replacement;
            });
            const bool listed = std::any_of(found.begin(), found.end(),
                                            [&](const auto& r) { return r.slot == slot; });
            if (listed) {
                continue;  // the same module named twice
            }
            if (taken) {
                HookFailed(name);
            }
            found.push_back({module, slot, *slot, real, replacement, name});
        }
    }
    if (found.empty()) {
        if (none_ok) {
            return false;
        }
        HookFailed(name);
    }
    for (TImportHookRecord& record : found) {
        if (!WriteProtected(record.slot, &replacement, sizeof replacement)) {
            HookFailed(name);
        }
        hooks.push_back(record);
    }
    return true;
}

int UnhookImport(HMODULE module, void* real, void* replacement) {
    const std::lock_guard<std::mutex> guard(HooksLock());
    auto& hooks = ImportHooks();
    const auto ours = [&](const TImportHookRecord& r) {
        return r.module == module && r.real == real && r.replacement == replacement;
    };
    for (const TImportHookRecord& record : hooks) {
        if (ours(record) && *record.slot != replacement) {
            throw EHookingError("Cannot unhook the procedure \"" + record.name +
                                "\": its import slot was rewritten after it was hooked.");
        }
    }
    int restored = 0;
    for (auto it = hooks.begin(); it != hooks.end();) {
        if (!ours(*it)) {
            ++it;
            continue;
        }
        if (!WriteProtected(it->slot, &it->former, sizeof it->former)) {
            throw EHookingError("Cannot unhook the procedure \"" + it->name + "\".");
        }
        ++restored;
        it = hooks.erase(it);
    }
    return restored;
}

}  // namespace exceptions
