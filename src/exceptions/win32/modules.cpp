#include "exceptions/win32/modules.h"

#include <psapi.h>

#include <algorithm>
#include <span>

#include "base/exception.h"
#include "exceptions/crash_data.h"
#include "exceptions/export_names.h"
#include "exceptions/stack_scan.h"
#include "exceptions/win32/module_crash_data.h"
#include "exceptions/win32/stack_memory.h"
#include "framework/graphics.h"

namespace exceptions {

namespace {

std::wstring_view Wide(const std::u16string& text) {
    return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

std::u16string ModuleFileName(HMODULE module) {
    std::u16string name(MAX_PATH, u'\0');
    for (int tries = 0; tries < 8; ++tries) {
        const DWORD length = GetModuleFileNameW(module, reinterpret_cast<wchar_t*>(name.data()),
                                                static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            name.resize(length);
            return name;
        }
        name.resize(name.size() * 2);
    }
    return {};
}

// The file name without its folder, and the folder without a final "\"
// (kept after a drive's colon: "C:\").
std::u16string FilePart(const std::u16string& path) {
    const size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::u16string FolderPart(const std::u16string& path) {
    const size_t slash = path.find_last_of(u"\\/");
    if (slash == std::u16string::npos) {
        return {};
    }
    if (slash > 0 && path[slash - 1] == u':') {
        return path.substr(0, slash + 1);
    }
    return path.substr(0, slash);
}

std::string Gbk(const std::u16string& text) {
    return framework::GbkText(Wide(text));
}

std::u16string Hex4(unsigned value) {
    static const char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string text(4, u'0');
    for (int i = 3; i >= 0; --i, value >>= 4) {
        text[i] = kDigits[value & 15];
    }
    return text;
}

std::string Decimal(unsigned value) {
    return std::to_string(value);
}

}  // namespace

void ReadVersionInformation(const std::u16string& file, std::string& description,
                            std::string& version) {
    const wchar_t* path = reinterpret_cast<const wchar_t*>(file.c_str());
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) {
        return;
    }
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data())) {
        return;
    }
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", &value, &length) &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        const std::string text = Decimal(HIWORD(fixed->dwFileVersionMS)) + "." +
                                 Decimal(LOWORD(fixed->dwFileVersionMS)) + "." +
                                 Decimal(HIWORD(fixed->dwFileVersionLS)) + "." +
                                 Decimal(LOWORD(fixed->dwFileVersionLS));
        if (text != "0.0.0.0") {
            version = text;
        }
    }
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) &&
        length >= 4) {
        const auto* translation = static_cast<const WORD*>(value);
        const std::u16string sub_block = u"\\StringFileInfo\\" + Hex4(translation[0]) +
                                         Hex4(translation[1]) + u"\\FileDescription";
        if (VerQueryValueW(block.data(), reinterpret_cast<const wchar_t*>(sub_block.c_str()),
                           &value, &length) &&
            length > 0) {
            std::u16string text(static_cast<const char16_t*>(value), length);
            text.resize(std::char_traits<char16_t>::length(text.c_str()));
            if (text.size() > 1) {
                description = Gbk(text);
            }
        }
    }
}

namespace {

uint32_t FileSize(const std::u16string& path) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(reinterpret_cast<const wchar_t*>(path.c_str()), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    FindClose(search);
    return found.nFileSizeLow;
}

// The image's headers, when they can be read.
const IMAGE_NT_HEADERS* Headers(HMODULE module) {
    const auto* base = reinterpret_cast<const uint8_t*>(module);
    if (ReadableLength(base, sizeof(IMAGE_DOS_HEADER)) < sizeof(IMAGE_DOS_HEADER)) {
        return nullptr;
    }
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 || dos->e_lfanew > 0x10000) {
        return nullptr;
    }
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (ReadableLength(nt, sizeof *nt) < sizeof *nt || nt->Signature != IMAGE_NT_SIGNATURE) {
        return nullptr;
    }
    return nt;
}

// The executable section holding `rva`, as a span of the mapped image up to
// the section's end.
std::span<const uint8_t> CodeFrom(HMODULE module, const IMAGE_NT_HEADERS* nt, uint32_t rva) {
    const auto* base = reinterpret_cast<const uint8_t*>(module);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const uint32_t size = std::max(section->Misc.VirtualSize, section->SizeOfRawData);
        if ((section->Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0 &&
            rva >= section->VirtualAddress && rva - section->VirtualAddress < size) {
            const uint8_t* start = base + rva;
            const size_t length = section->VirtualAddress + size - rva;
            return {start, ReadableLength(start, length)};
        }
    }
    return {};
}

// The exports of the module with their estimated sizes, sorted by address.
std::vector<TVivavaFunctionInfo> ReadExports(HMODULE module) {
    std::vector<TVivavaFunctionInfo> functions;
    const IMAGE_NT_HEADERS* nt = Headers(module);
    if (nt == nullptr) {
        return functions;
    }
    const auto* base = reinterpret_cast<const uint8_t*>(module);
    const uint32_t image_size = nt->OptionalHeader.SizeOfImage;
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.VirtualAddress == 0 || entry.Size < sizeof(IMAGE_EXPORT_DIRECTORY) ||
        entry.VirtualAddress > image_size - sizeof(IMAGE_EXPORT_DIRECTORY)) {
        return functions;
    }
    const auto* directory =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    if (ReadableLength(directory, sizeof *directory) < sizeof *directory) {
        return functions;
    }
    const DWORD count = std::min(directory->NumberOfNames, directory->NumberOfFunctions);
    const auto* names = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    if (directory->AddressOfNames > image_size ||
        ReadableLength(names, count * sizeof(DWORD)) < count * sizeof(DWORD)) {
        return functions;
    }
    const uint64_t start = reinterpret_cast<uintptr_t>(base);
    for (DWORD i = 0; i < count; ++i) {
        if (names[i] >= image_size) {
            continue;
        }
        const char* name = reinterpret_cast<const char*>(base + names[i]);
        const size_t readable = ReadableLength(name, std::min<size_t>(512, image_size - names[i]));
        const size_t length = strnlen(name, readable);
        if (length == readable || length == 0) {
            continue;
        }
        const auto address = reinterpret_cast<uintptr_t>(GetProcAddress(module, name));
        // Forwarded exports lead into other modules.
        if (address < start || address - start >= image_size) {
            continue;
        }
        functions.push_back({std::string(name, length), address, 1});
    }
    std::sort(functions.begin(), functions.end(),
              [](const auto& a, const auto& b) { return a.Address < b.Address; });
    for (size_t i = 0; i < functions.size(); ++i) {
        const uint64_t next = i + 1 < functions.size() ? functions[i + 1].Address : UINT64_MAX;
        const auto code = CodeFrom(module, nt, static_cast<uint32_t>(functions[i].Address - start));
        functions[i].Size = EstimateProcedureSize(code, next - functions[i].Address);
    }
    return functions;
}

bool HasData(HMODULE module, const wchar_t* name) {
    return FindResourceW(module, name, MAKEINTRESOURCEW(10)) != nullptr;  // RT_RCDATA
}

}  // namespace

bool TLiveMemory::Read(uint64_t address, void* out, size_t size) const {
    if (address > UINTPTR_MAX || size > UINTPTR_MAX - address) {
        return false;
    }
    const auto* from = reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
    if (ReadableLength(from, size) < size) {
        return false;
    }
    std::memcpy(out, from, size);
    return true;
}

bool TLiveMemory::IsCode(uint64_t address) const {
    constexpr DWORD kExecutable =
        PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    MEMORY_BASIC_INFORMATION region{};
    return address <= UINTPTR_MAX &&
           VirtualQuery(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), &region,
                        sizeof region) != 0 &&
           region.State == MEM_COMMIT && region.Type == MEM_IMAGE &&
           (region.Protect & PAGE_GUARD) == 0 && (region.Protect & kExecutable) != 0;
}

TVivavaModuleInfo* TVivavaModulesList::Find(HMODULE handle) {
    for (auto& module : modules_) {
        if (module->Handle == handle) {
            return module.get();
        }
    }
    return nullptr;
}

void TVivavaModulesList::Examine(TVivavaModuleInfo& module) {
    const HMODULE handle = module.Handle;
    ReadVersionInformation(module.FileName, module.Description, module.Version);
    module.Size = FileSize(module.FileName);
    module.Functions = ReadExports(handle);
    if (handle == GetModuleHandleW(nullptr)) {
        module.Kind = TVivavaModuleInfo::kExecutable;
    } else if (HasData(handle, L"PACKAGEINFO") && HasData(handle, L"PACKAGEOPTIONS")) {
        module.Kind = TVivavaModuleInfo::kPackage;
    } else {
        module.Kind = TVivavaModuleInfo::kLibrary;
    }
    module.Options = std::make_unique<TVivavaModuleOptionsEx>(Gbk(FilePart(module.FileName)), true);
    const TCrashData data = ReadModuleCrashData(handle);
    if (data.status == TCrashDataStatus::kOk) {
        try {
            std::string debug = LoadCrashPayload(data.payload, data.version, *module.Options);
            module.DebugVersion = data.version;
            module.Reserved[0] = data.reserved[0];
            module.Reserved[1] = data.reserved[1];
            module.DebugData = std::move(debug);
            if (!module.DebugData.empty()) {
                module.Debug.emplace(module.DebugData, module.DebugVersion);
            }
        } catch (const base::Exception&) {
            // A damaged block: the defaults stay.
        }
    }
}

TVivavaModuleInfo* TVivavaModulesList::ModuleOfHandle(HMODULE handle) {
    const std::lock_guard<std::recursive_mutex> guard(lock_);
    TVivavaModuleInfo* module = Find(handle);
    if (module == nullptr) {
        std::u16string name = ModuleFileName(handle);
        if (name.empty()) {
            return nullptr;
        }
        auto record = std::make_unique<TVivavaModuleInfo>();
        record->Handle = handle;
        record->FileName = std::move(name);
        module = record.get();
        const auto at = std::lower_bound(modules_.begin(), modules_.end(), handle,
                                         [](const auto& m, HMODULE h) { return m->Handle < h; });
        modules_.insert(at, std::move(record));
    }
    if (module->Kind == TVivavaModuleInfo::kNotExamined) {
        Examine(*module);
    }
    return module;
}

TVivavaModuleInfo* TVivavaModulesList::ModuleOfAddress(uint64_t address) {
    MEMORY_BASIC_INFORMATION region{};
    if (address > UINTPTR_MAX ||
        VirtualQuery(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), &region,
                     sizeof region) == 0 ||
        region.State != MEM_COMMIT || region.Type != MEM_IMAGE) {
        return nullptr;
    }
    return ModuleOfHandle(static_cast<HMODULE>(region.AllocationBase));
}

void TVivavaModulesList::Refresh() {
    const std::lock_guard<std::recursive_mutex> guard(lock_);
    std::vector<HMODULE> handles(256);
    for (int tries = 0; tries < 4; ++tries) {
        DWORD needed = 0;
        if (!EnumProcessModules(GetCurrentProcess(), handles.data(),
                                static_cast<DWORD>(handles.size() * sizeof(HMODULE)), &needed)) {
            handles.clear();
            break;
        }
        if (needed <= handles.size() * sizeof(HMODULE)) {
            handles.resize(needed / sizeof(HMODULE));
            break;
        }
        handles.resize(needed / sizeof(HMODULE) + 16);
    }
    std::erase_if(modules_, [](const auto& module) {
        return ModuleFileName(module->Handle) != module->FileName;
    });
    for (HMODULE handle : handles) {
        if (Find(handle) == nullptr) {
            std::u16string name = ModuleFileName(handle);
            if (!name.empty()) {
                auto record = std::make_unique<TVivavaModuleInfo>();
                record->Handle = handle;
                record->FileName = std::move(name);
                modules_.push_back(std::move(record));
            }
        }
    }
    std::sort(modules_.begin(), modules_.end(),
              [](const auto& a, const auto& b) { return a->Handle < b->Handle; });
}

TVivavaDebugInfo TVivavaModulesList::EntryOf(uint64_t address) {
    const std::lock_guard<std::recursive_mutex> guard(lock_);
    TVivavaDebugInfo entry;
    entry.Address = address;
    const TVivavaModuleInfo* module = ModuleOfAddress(address);
    if (module == nullptr) {
        return entry;
    }
    entry.Kind = TEntryKind::kModule;
    entry.ModuleHandle = reinterpret_cast<uintptr_t>(module->Handle);
    entry.ModuleName = Gbk(FilePart(module->FileName));
    const uint64_t code = entry.ModuleHandle + 0x1000;
    if (module->Debug && address >= code && address - code <= UINT32_MAX) {
        if (const auto found = module->Debug->Find(static_cast<uint32_t>(address - code))) {
            entry.Kind = TEntryKind::kDebugData;
            entry.UnitName = found->unit;
            entry.ClassName = found->class_name;
            entry.ProcedureName = found->procedure;
            entry.Line = found->line;
            return entry;
        }
    }
    const auto& functions = module->Functions;
    auto at = std::upper_bound(functions.begin(), functions.end(), address,
                               [](uint64_t a, const auto& f) { return a < f.Address; });
    if (at != functions.begin()) {
        --at;
        if (address - at->Address < at->Size) {
            if (const auto name = SplitExportName(at->Name)) {
                entry.Kind = name->Kind;
                entry.UnitName = name->UnitName;
                entry.ClassName = name->ClassName;
                entry.ProcedureName = name->ProcedureName;
            }
        }
    }
    return entry;
}

std::vector<TVivavaDebugInfo> TVivavaModulesList::WalkStack(const TMemoryReader& memory,
                                                            std::optional<uint64_t> first,
                                                            uint64_t stack_pointer,
                                                            uint64_t stack_top, size_t* omitted) {
    const TStackScan scan = ScanStack(kHostCpu, memory, stack_pointer, stack_top, first);
    if (omitted != nullptr) {
        *omitted = scan.omitted;
    }
    std::vector<TVivavaDebugInfo> entries;
    entries.reserve(scan.addresses.size());
    for (const uint64_t address : scan.addresses) {
        entries.push_back(EntryOf(address));
    }
    return entries;
}

std::vector<TModuleRow> TVivavaModulesList::Rows() {
    const std::lock_guard<std::recursive_mutex> guard(lock_);
    std::vector<TModuleRow> rows;
    for (auto& module : modules_) {
        if (module->Kind == TVivavaModuleInfo::kNotExamined) {
            Examine(*module);
        }
        rows.push_back({reinterpret_cast<uintptr_t>(module->Handle),
                        Gbk(FilePart(module->FileName)), module->Description, module->Version,
                        module->Size, Gbk(FolderPart(module->FileName))});
    }
    return rows;
}

TCpuRegisters RegistersOf(const CONTEXT& c) {
#if defined(__x86_64__)
    return {{c.Rax, c.Rdi, c.Rbx, c.Rsi, c.Rcx, c.Rsp, c.Rdx, c.Rip, c.R8, c.R9, c.R10, c.R11,
             c.R12, c.R13, c.R14, c.R15, c.Rbp, c.EFlags}};
#else
    return {{c.Eax, c.Edi, c.Ebx, c.Esi, c.Ecx, c.Esp, c.Edx, c.Eip}};
#endif
}

void* ProcedureAddressOfName(TVivavaModulesList& modules, std::string_view qualified_name) {
    const TVivavaModuleInfo* self = modules.ModuleOfHandle(GetModuleHandleW(nullptr));
    if (self == nullptr || !self->Debug) {
        return nullptr;
    }
    const auto offset = self->Debug->ProcedureOffset(qualified_name);
    return offset ? reinterpret_cast<uint8_t*>(self->Handle) + 0x1000 + *offset : nullptr;
}

}  // namespace exceptions
