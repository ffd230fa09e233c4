// The modules of this test program's process and the entries of code
// addresses: a stack copied three calls deep names the calls' files and
// lines in order, a library shows its version data and export names, and a
// walk across another thread's guard page leaves the page armed.

#include "exceptions/win32/modules.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "exceptions/win32/stack_memory.h"

namespace exceptions {
namespace {

constexpr char kThisFile[] = "tests/exceptions/modules_test.cpp";

// A copy of the stack and the registers of the place that made it, as the
// reporter keeps them when an exception is raised.
struct TStackShot {
    CONTEXT context;
    uint64_t stack_pointer = 0;
    std::string stack;
};

uint64_t InstructionPointer(const CONTEXT& context) {
#if defined(__x86_64__)
    return context.Rip;
#else
    return context.Eip;
#endif
}

// Where the call of this returns to.
[[gnu::noinline, gnu::noipa]] void* ReturnAddress() {
    return __builtin_return_address(0);
}

uint32_t lines[4];  // of the shot, and of the calls that led to it

// Takes the shot: the registers (RtlCaptureContext), with the place and the
// stack pointer of this procedure itself (on i686 RtlCaptureContext unwinds
// a frame through EBP, which code without frame pointers does not keep).
[[gnu::noinline, gnu::noipa]] int Level3(TStackShot& shot) {
    RtlCaptureContext(&shot.context);
    uintptr_t stack_pointer = 0;
    // The place: inside the call below (a return address may belong to any
    // later line).
    lines[0] = __LINE__ + 1;
    const uintptr_t place = reinterpret_cast<uintptr_t>(ReturnAddress()) - 1;
#if defined(__x86_64__)
    asm volatile("mov %%rsp, %0" : "=r"(stack_pointer));
    shot.context.Rsp = stack_pointer;
    shot.context.Rip = place;
#else
    asm volatile("mov %%esp, %0" : "=r"(stack_pointer));
    shot.context.Esp = stack_pointer;
    shot.context.Eip = place;
#endif
    shot.stack_pointer = stack_pointer;
    const uintptr_t top = CurrentStackTop();
    const size_t size = std::min<size_t>(top - shot.stack_pointer, 256 * 1024);
    shot.stack.assign(reinterpret_cast<const char*>(shot.stack_pointer), size);
    throw std::runtime_error("three calls deep");
}

[[gnu::noinline, gnu::noipa]] int Level2(TStackShot& shot) {
    lines[1] = __LINE__ + 1;
    const int result = Level3(shot);
    return result + 1;
}

[[gnu::noinline, gnu::noipa]] int Level1(TStackShot& shot) {
    lines[2] = __LINE__ + 1;
    const int result = Level2(shot);
    return result + 1;
}

TEST(Modules, AStackCopiedThreeCallsDeepNamesTheCallsInOrder) {
    TStackShot shot;
    lines[3] = __LINE__ + 2;
    try {
        Level1(shot);
    } catch (const std::runtime_error&) {
    }
    TVivavaModulesList modules;
    modules.Refresh();
    const TLiveMemory live;
    const TImageReader copy(shot.stack_pointer, shot.stack, &live);
    size_t omitted = 0;
    const std::vector<TVivavaDebugInfo> entries =
        modules.WalkStack(copy, InstructionPointer(shot.context), shot.stack_pointer,
                          shot.stack_pointer + shot.stack.size() - sizeof(void*), &omitted);
    EXPECT_EQ(omitted, 0u);
    ASSERT_FALSE(entries.empty());
    // The place of the shot leads; the calls follow in stack order (stale
    // return addresses may lie between them).
    EXPECT_EQ(entries[0].Kind, TEntryKind::kDebugData);
    EXPECT_EQ(entries[0].UnitName, kThisFile);
    EXPECT_EQ(entries[0].ProcedureName, "Level3");
    EXPECT_EQ(entries[0].Line, lines[0]);
    size_t next = 1;
    for (const TVivavaDebugInfo& entry : entries) {
        if (next < 4 && entry.Kind == TEntryKind::kDebugData && entry.UnitName == kThisFile &&
            entry.Line == lines[next]) {
            ++next;
        }
    }
    EXPECT_EQ(next, 4u) << "the call of line " << lines[next] << " is missing";
    EXPECT_EQ(entries[0].ModuleName, "exceptions_stack_test.exe");

    // The tables a report carries: the calls with their files and lines, this
    // program among the modules, and the registers of the shot.
    const TVivavaModuleOptions options("exceptions_stack_test.exe", false);
    const std::string tables = CallStackAndModulesText(options, kHostCpu, entries, modules.Rows());
    const TCpuRegisters registers = RegistersOf(shot.context);
    const std::string cpu = CpuText(options, kHostCpu, &registers, shot.stack_pointer,
                                    InstructionPointer(shot.context), copy);
    std::printf("%s\r\n\r\n%s", tables.c_str(), cpu.c_str());
    for (const uint32_t line : {lines[1], lines[2], lines[3]}) {
        EXPECT_NE(tables.find("|" + std::to_string(line) + " "), std::string::npos) << line;
    }
    EXPECT_NE(tables.find("|exceptions_stack_test.exe"), std::string::npos);
    const auto hex = [](uint64_t value) {
        std::string text(AddressDigits(kHostCpu), '0');
        for (size_t i = text.size(); i-- > 0; value >>= 4) {
            text[i] = "0123456789ABCDEF"[value & 15];
        }
        return text;
    };
    EXPECT_NE(cpu.find("IP: " + hex(InstructionPointer(shot.context))), std::string::npos);
    // The dump: 16 lines from the stack pointer.
    EXPECT_NE(cpu.find(hex(shot.stack_pointer) + ": "), std::string::npos);

    // The name table leads from qualified names to code.
    EXPECT_EQ(ProcedureAddressOfName(
                  modules, std::string(kThisFile) + ".exceptions::(anonymous namespace).Level2"),
              reinterpret_cast<void*>(&Level2));
    EXPECT_EQ(ProcedureAddressOfName(modules, "NoSuch.Procedure"), nullptr);

    // Without its debug data the program's code is known by module only,
    // which the tables leave out.
    TVivavaModuleInfo* self = modules.ModuleOfHandle(GetModuleHandleW(nullptr));
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->Kind, TVivavaModuleInfo::kExecutable);
    self->Debug.reset();
    const TVivavaDebugInfo bare = modules.EntryOf(InstructionPointer(shot.context));
    EXPECT_EQ(bare.Kind, TEntryKind::kModule);
    EXPECT_FALSE(Shown(bare.Kind));
    EXPECT_EQ(modules.EntryOf(0x10).Kind, TEntryKind::kNoModule);
}

const TVivavaModuleInfo* Listed(const TVivavaModulesList& modules, HMODULE handle) {
    for (size_t i = 0; i < modules.Count(); ++i) {
        if (modules[i].Handle == handle) {
            return &modules[i];
        }
    }
    return nullptr;
}

TEST(Modules, ALibraryShowsItsVersionExportNamesAndKind) {
    HMODULE library = LoadLibraryW(L"stack_test_library.dll");
    ASSERT_NE(library, nullptr);
    TVivavaModulesList modules;
    modules.Refresh();
    const TVivavaModuleInfo* light = Listed(modules, library);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->Kind, TVivavaModuleInfo::kNotExamined);
    for (size_t i = 1; i < modules.Count(); ++i) {
        EXPECT_LT(modules[i - 1].Handle, modules[i].Handle);
    }

    const auto address = [&](const char* name) {
        return reinterpret_cast<uintptr_t>(GetProcAddress(library, name));
    };
    const struct {
        const char* export_name;
        TEntryKind kind;
        const char* unit;
        const char* class_name;
        const char* procedure;
    } cases[] = {
        {"Plain", TEntryKind::kExport, "", "", "Plain"},
        {"Unit.Proc", TEntryKind::kDecoratedExport, "Unit.pas", "", "Proc"},
        {"@Unit@Class@Proc$qqrv", TEntryKind::kDecoratedExport, "Unit.pas", "Class", "Proc"},
        {"?m@@YAXXZ", TEntryKind::kModule, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.export_name);
        ASSERT_NE(address(c.export_name), 0u);
        const TVivavaDebugInfo entry = modules.EntryOf(address(c.export_name) + 1);
        EXPECT_EQ(entry.Kind, c.kind);
        EXPECT_EQ(entry.ModuleName, "stack_test_library.dll");
        EXPECT_EQ(entry.UnitName, c.unit);
        EXPECT_EQ(entry.ClassName, c.class_name);
        EXPECT_EQ(entry.ProcedureName, c.procedure);
    }
    const TVivavaModuleInfo* full = modules.ModuleOfHandle(library);
    EXPECT_EQ(full->Kind, TVivavaModuleInfo::kLibrary);
    EXPECT_EQ(full->Version, "1.2.3.4");
    EXPECT_EQ(full->Description, "Stack test library");
    EXPECT_EQ(full->DebugVersion, kNoDebugVersion);
    EXPECT_EQ(full->Functions.size(), 4u);
    WIN32_FILE_ATTRIBUTE_DATA file{};
    ASSERT_TRUE(GetFileAttributesExW(reinterpret_cast<const wchar_t*>(full->FileName.c_str()),
                                     GetFileExInfoStandard, &file));
    EXPECT_EQ(full->Size, file.nFileSizeLow);
    bool row = false;
    for (const TModuleRow& r : modules.Rows()) {
        if (r.Handle == reinterpret_cast<uintptr_t>(library)) {
            row = r.Name == "stack_test_library.dll" && r.Version == "1.2.3.4";
        }
    }
    EXPECT_TRUE(row);

    // Unloaded, the library leaves the list; loaded again, it comes back
    // light and is examined when an address in it is looked up.
    FreeLibrary(library);
    modules.Refresh();
    EXPECT_EQ(Listed(modules, library), nullptr);
    library = LoadLibraryW(L"stack_test_library.dll");
    modules.Refresh();
    ASSERT_NE(Listed(modules, library), nullptr);
    EXPECT_EQ(Listed(modules, library)->Kind, TVivavaModuleInfo::kNotExamined);
    EXPECT_EQ(modules.EntryOf(address("Plain")).ProcedureName, "Plain");
    EXPECT_EQ(Listed(modules, library)->Kind, TVivavaModuleInfo::kLibrary);
    FreeLibrary(library);
}

// A thread blocked with its stack's guard page in place, and how deep it can
// still go afterwards.
struct TBlocked {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<uintptr_t> stack_pointer{0};
    std::atomic<uintptr_t> stack_top{0};
    std::atomic<int> depth_reached{0};
};

[[gnu::noinline, gnu::noipa]] int Recurse(TBlocked& blocked, int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    blocked.depth_reached = depth;
    return depth == 0 ? frame[0] : Recurse(blocked, depth - 1) + frame[0];
}

DWORD WINAPI BlockThenRecurse(LPVOID parameter) {
    auto& blocked = *static_cast<TBlocked*>(parameter);
    volatile char here = 0;
    blocked.stack_top = CurrentStackTop();
    blocked.stack_pointer = reinterpret_cast<uintptr_t>(&here);
    WaitForSingleObject(blocked.go, 10000);
    Recurse(blocked, 256);  // 256 KiB deeper
    return 0;
}

// The guard page below the committed part of the stack that holds
// `stack_pointer`, or 0. (Wine answers for the queried page onwards, so the
// walk down may go page by page.)
uintptr_t GuardPageBelow(uintptr_t stack_pointer) {
    MEMORY_BASIC_INFORMATION region{};
    uintptr_t at = stack_pointer;
    for (int i = 0; i < 8192 && VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region);
         ++i) {
        if ((region.Protect & PAGE_GUARD) != 0) {
            return reinterpret_cast<uintptr_t>(region.BaseAddress);
        }
        if (region.State != MEM_COMMIT) {
            return 0;
        }
        at = reinterpret_cast<uintptr_t>(region.BaseAddress) - 1;
    }
    return 0;
}

TEST(Modules, AWalkAcrossAnotherThreadsGuardPageLeavesItArmed) {
    TBlocked blocked;
    const HANDLE thread = CreateThread(nullptr, 0, &BlockThenRecurse, &blocked, 0, nullptr);
    for (int i = 0; i < 1000 && blocked.stack_pointer == 0; ++i) {
        Sleep(5);
    }
    ASSERT_NE(blocked.stack_pointer.load(), 0u);
    const uintptr_t guard = GuardPageBelow(blocked.stack_pointer);
    ASSERT_NE(guard, 0u);
    // From below the guard page up to the top.
    TVivavaModulesList modules;
    const TLiveMemory live;
    modules.WalkStack(live, std::nullopt, guard - 2 * 4096, blocked.stack_top - sizeof(void*));
    EXPECT_EQ(GuardPageBelow(blocked.stack_pointer), guard);
    SetEvent(blocked.go);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(blocked.depth_reached, 0);
    CloseHandle(thread);
    CloseHandle(blocked.go);
}

}  // namespace
}  // namespace exceptions
