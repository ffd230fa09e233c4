// Code hooks on this program's own procedures, and an import hook on its
// import of kernel32's GetProcessVersion (nothing else here calls it).

#include "exceptions/win32/code_hooks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <thread>

namespace exceptions {
namespace {

#if defined(__x86_64__)
constexpr uint8_t kPatchOpcode = 0xFF;
#else
constexpr uint8_t kPatchOpcode = 0xE9;
#endif

std::atomic<int> original_calls{0};
std::atomic<int> replacement_calls{0};
uint8_t first_byte_seen = 0;
void* trampoline = nullptr;

template <class F>
F* Through() {
    return reinterpret_cast<F*>(trampoline);
}
void* Address(auto* f) {
    return reinterpret_cast<void*>(f);
}
// The message of the E that `f` throws; empty when it throws none.
template <class E>
std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return {};
}

// A three-argument target that notes its own first byte while it runs, and
// its replacement, which calls it through the trampoline.
#define THREE_ARGUMENT_TARGET(name, attributes, convention)            \
    attributes int convention name(int a, int b, int c) {              \
        first_byte_seen = *reinterpret_cast<volatile uint8_t*>(&name); \
        return a * 100 + b * 10 + c;                                   \
    }                                                                  \
    int convention name##Replacement(int a, int b, int c) {            \
        return Through<decltype(name)>()(a, b, c) + 5000;              \
    }
THREE_ARGUMENT_TARGET(CdeclTarget, UPDATER_HOOKABLE, )
THREE_ARGUMENT_TARGET(StdcallTarget, UPDATER_HOOKABLE, __stdcall)
#if !defined(__x86_64__)
// The hot-patch prologue instead of NOPs: the trampoline runs those bytes.
#define HOT_PATCHABLE [[gnu::noinline, gnu::noipa, gnu::ms_hook_prologue]]
THREE_ARGUMENT_TARGET(HotPatchTarget, HOT_PATCHABLE, )
#endif

// Counts its calls, recurses through its own entry (so every level passes the
// hook) and throws for a negative depth.
UPDATER_HOOKABLE int Counted(int depth);
int (*volatile counted_entry)(int) = &Counted;
int Counted(int depth) {
    ++original_calls;
    if (depth < 0) {
        throw std::runtime_error("thrown by the original");
    }
    return depth == 0 ? 0 : counted_entry(depth - 1) + 1;
}
int CountedReplacement(int depth) {
    ++replacement_calls;
    return Through<decltype(Counted)>()(depth);
}

UPDATER_HOOKABLE void Touch() {
    ++original_calls;
}
void TouchReplacement() {
    Through<decltype(Touch)>()();
}

[[gnu::noinline, gnu::noipa]] int Plain(int x) {
    return x * 7 + 3;
}

// Calls `fn` with markers in the callee-saved registers; true when they all
// come back.
[[gnu::noinline]] bool CalleeSavedKept(void (*fn)()) {
    int kept = 0;
#if defined(__x86_64__)
    asm volatile(
        "push %%rbx; push %%rbp; push %%rdi; push %%rsi; push %%r12; push %%r13; push %%r14\n"
        "push %%r15; mov %1, %%rax; mov %%rsp, %%r15; and $-16, %%rsp; sub $32, %%rsp\n"
        "movabs $0x1111111111111111, %%rbx; movabs $0x2222222222222222, %%rbp\n"
        "movabs $0x3333333333333333, %%rdi; movabs $0x4444444444444444, %%rsi\n"
        "movabs $0x5555555555555555, %%r12; movabs $0x6666666666666666, %%r13\n"
        "movabs $0x7777777777777777, %%r14; call *%%rax; mov %%r15, %%rsp; xor %%eax, %%eax\n"
        "movabs $0x1111111111111111, %%rcx; cmp %%rcx, %%rbx; jne 1f\n"
        "movabs $0x2222222222222222, %%rcx; cmp %%rcx, %%rbp; jne 1f\n"
        "movabs $0x3333333333333333, %%rcx; cmp %%rcx, %%rdi; jne 1f\n"
        "movabs $0x4444444444444444, %%rcx; cmp %%rcx, %%rsi; jne 1f\n"
        "movabs $0x5555555555555555, %%rcx; cmp %%rcx, %%r12; jne 1f\n"
        "movabs $0x6666666666666666, %%rcx; cmp %%rcx, %%r13; jne 1f\n"
        "movabs $0x7777777777777777, %%rcx; cmp %%rcx, %%r14; jne 1f; mov $1, %%eax\n"
        "1: pop %%r15; pop %%r14; pop %%r13; pop %%r12; pop %%rsi; pop %%rdi; pop %%rbp\n"
        "pop %%rbx\n"
        : "=a"(kept)
        : "r"(fn)
        : "rcx", "rdx", "r8", "r9", "r10", "r11", "memory", "cc");
#else
    asm volatile(
        "push %%ebx; push %%esi; push %%edi; push %%ebp; mov %1, %%eax\n"
        "mov $0x11111111, %%ebx; mov $0x22222222, %%esi; mov $0x33333333, %%edi\n"
        "mov $0x44444444, %%ebp; call *%%eax; xor %%eax, %%eax\n"
        "cmp $0x11111111, %%ebx; jne 1f; cmp $0x22222222, %%esi; jne 1f\n"
        "cmp $0x33333333, %%edi; jne 1f; cmp $0x44444444, %%ebp; jne 1f; mov $1, %%eax\n"
        "1: pop %%ebp; pop %%edi; pop %%esi; pop %%ebx\n"
        : "=a"(kept)
        : "r"(fn)
        : "ecx", "edx", "memory", "cc");
#endif
    return kept == 1;
}

TEST(CodeHooks, ThreeArgumentTargetsRunThroughReplacementAndTrampoline) {
    struct Case {
        int (*call)(int, int, int);
        void* target;
        void* replacement;
    };
    const Case cases[] = {
        {[](int a, int b, int c) { return CdeclTarget(a, b, c); }, Address(&CdeclTarget),
         Address(&CdeclTargetReplacement)},
        {[](int a, int b, int c) { return StdcallTarget(a, b, c); }, Address(&StdcallTarget),
         Address(&StdcallTargetReplacement)},
#if !defined(__x86_64__)
        {[](int a, int b, int c) { return HotPatchTarget(a, b, c); }, Address(&HotPatchTarget),
         Address(&HotPatchTargetReplacement)},
#endif
    };
    for (const Case& c : cases) {
        uint8_t entry[UPDATER_HOOK_ENTRY_BYTES];
        std::memcpy(entry, c.target, sizeof entry);
        trampoline = HookCode(c.target, c.replacement, "target");
        first_byte_seen = 0;
        EXPECT_EQ(c.call(1, 2, 3), 5123);
        EXPECT_EQ(first_byte_seen, kPatchOpcode);  // the patch stays while the original runs
        UnhookCode(trampoline);
        EXPECT_EQ(c.call(4, 5, 6), 456);
        EXPECT_EQ(std::memcmp(entry, c.target, sizeof entry), 0);
    }
}

TEST(CodeHooks, CalleeSavedRegistersSurviveTheHook) {
    trampoline = HookCode(Address(&Touch), Address(&TouchReplacement), "Touch");
    original_calls = 0;
    EXPECT_TRUE(CalleeSavedKept(&Touch));
    EXPECT_EQ(original_calls, 1);
    UnhookCode(trampoline);
}

TEST(CodeHooks, ThreadsRecursionAndExceptionsPassTheHook) {
    trampoline = HookCode(Address(&Counted), Address(&CountedReplacement), "Counted");
    original_calls = 0;
    replacement_calls = 0;
    std::thread threads[4];
    for (auto& t : threads) {
        t = std::thread([] {
            for (int i = 0; i < 100000; ++i) {
                Counted(0);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(Counted(99), 99);
    EXPECT_EQ(original_calls, 400100);
    EXPECT_EQ(replacement_calls, 400100);
    // Thrown by the original, caught by the caller of the hooked procedure.
    EXPECT_THROW(Counted(-1), std::runtime_error);
    EXPECT_EQ(replacement_calls, 400101);
    UnhookCode(trampoline);
}

TEST(CodeHooks, TrampolinePageIsExecuteReadOutsideTheHeap) {
    MEMORY_BASIC_INFORMATION before{}, after{}, page{}, heap{};
    VirtualQuery(Address(&Counted), &before, sizeof before);
    trampoline = HookCode(Address(&Counted), Address(&CountedReplacement), "Counted");
    VirtualQuery(Address(&Counted), &after, sizeof after);
    VirtualQuery(trampoline, &page, sizeof page);
    VirtualQuery(HeapAlloc(GetProcessHeap(), 0, 16), &heap, sizeof heap);
    EXPECT_EQ(after.Protect, before.Protect);
    EXPECT_EQ(page.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
    EXPECT_EQ(page.Type, static_cast<DWORD>(MEM_PRIVATE));
    EXPECT_NE(page.AllocationBase, heap.AllocationBase);
    UnhookCode(trampoline);
}

TEST(CodeHooks, RefusalsLeaveTheCodeAlone) {
    EXPECT_EQ(ErrorOf<EProcNull>([] { HookCode(nullptr, Address(&Plain), "Nothing"); }),
              "Cannot hook a null procedure (\"Nothing\").");
    uint8_t entry[16];
    std::memcpy(entry, Address(&Plain), sizeof entry);
    EXPECT_EQ(ErrorOf<EHookingError>([] { HookCode(Address(&Plain), Address(&Counted), "Plain"); }),
              "Cannot hook the procedure \"Plain\".");
    EXPECT_EQ(std::memcmp(entry, Address(&Plain), sizeof entry), 0);

    // One hook per procedure; an entry rewritten since is not restored.
    void* first = HookCode(Address(&Counted), Address(&CountedReplacement), "Counted");
    EXPECT_THROW(HookCode(Address(&Counted), Address(&Plain), "Counted"), EHookingError);
    auto* code = reinterpret_cast<uint8_t*>(&Counted);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(code, 1, PAGE_EXECUTE_READWRITE, &old));
    const uint8_t ours = code[0];
    code[0] = 0xCC;
    EXPECT_THROW(UnhookCode(first), EHookingError);
    EXPECT_EQ(code[0], 0xCC);
    code[0] = ours;
    VirtualProtect(code, 1, old, &old);
    UnhookCode(first);
    EXPECT_THROW(UnhookCode(first), EHookingError);
}

TEST(CodeHooks, ImportJumpStubsLeadToTheirSlot) {
    auto* page = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(page, nullptr);
    void* const target = Address(&Counted);
    std::memcpy(page + 256, &target, sizeof target);
    const uint8_t tails[3][2] = {{0x90, 0x90}, {0x8B, 0xC0}, {0xCC, 0xCC}};
    for (int i = 0; i < 3; ++i) {
        uint8_t* stub = page + 16 * i;
#if defined(__x86_64__)
        const auto slot = static_cast<int32_t>(256 - (16 * i + 6));
#else
        const auto slot = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(page + 256));
#endif
        const uint8_t jump[2] = {0xFF, 0x25};
        std::memcpy(stub, jump, 2);
        std::memcpy(stub + 2, &slot, 4);
        std::memcpy(stub + 6, tails[i], 2);
    }
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(page, 4096, PAGE_EXECUTE_READ, &old));
    EXPECT_EQ(FollowImportStub(page), target);
    EXPECT_EQ(FollowImportStub(page + 16), target);
    EXPECT_EQ(FollowImportStub(page + 32), nullptr);
    // A hook on the stub patches the procedure behind it.
    trampoline = HookCode(page + 16, Address(&CountedReplacement), "stub");
    EXPECT_EQ(*static_cast<uint8_t*>(target), kPatchOpcode);
    UnhookCode(trampoline);
    VirtualFree(page, 0, MEM_RELEASE);
}

DWORD WINAPI FakeProcessVersion(DWORD) {
    return 0x7357;
}
// A call through the import slot (FF 15), kept from becoming a tail jump.
[[gnu::noinline, gnu::noipa]] DWORD CallGetProcessVersion() {
    volatile DWORD version = GetProcessVersion(0);
    return version;
}

TEST(ImportHooks, TheExecutablesImportSlotIsRedirectedAndRestored) {
    const std::vector<std::u16string> exe = {u"", u"no-such-module.dll"};
    const DWORD genuine = CallGetProcessVersion();
    void* real = nullptr;
    void* fake = Address(&FakeProcessVersion);
    ASSERT_TRUE(HookImport(exe, "KERNEL32.DLL", "GetProcessVersion", fake, false, real));
    EXPECT_EQ(real, Address(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessVersion")));
    EXPECT_EQ(CallGetProcessVersion(), 0x7357u);
    void* again = nullptr;
    EXPECT_THROW(HookImport(exe, "kernel32.dll", "GetProcessVersion", fake, true, again),
                 EHookingError);
    EXPECT_GE(UnhookImport(GetModuleHandleW(nullptr), real, fake), 1);
    EXPECT_EQ(CallGetProcessVersion(), genuine);

    // Not imported here: acceptable when the caller says so. Missing: null.
    EXPECT_FALSE(HookImport(exe, "kernel32.dll", "GetSystemDEPPolicy", fake, true, real));
    EXPECT_EQ(ErrorOf<EHookingError>([&] {
                  HookImport(exe, "kernel32.dll", "GetSystemDEPPolicy", fake, false, real);
              }),
              "Cannot hook the procedure \"kernel32.dll.GetSystemDEPPolicy\".");
    EXPECT_EQ(ErrorOf<EProcNull>(
                  [&] { HookImport(exe, "kernel32.dll", "NoSuchProcedure", fake, true, real); }),
              "Cannot hook a null procedure (\"kernel32.dll.NoSuchProcedure\").");
}

// An import hook and a code hook serve several threads at once, and either
// may come off first without disturbing the other.
TEST(ImportHooks, ImportAndCodeHooksServeThreadsAndComeOffInEitherOrder) {
    const DWORD genuine = CallGetProcessVersion();
    for (const bool import_first : {true, false}) {
        SCOPED_TRACE(import_first ? "import hook off first" : "code hook off first");
        void* real = nullptr;
        void* fake = Address(&FakeProcessVersion);
        ASSERT_TRUE(HookImport({u""}, "kernel32.dll", "GetProcessVersion", fake, false, real));
        trampoline = HookCode(Address(&Counted), Address(&CountedReplacement), "Counted");
        replacement_calls = 0;
        std::atomic<int> wrong{0};
        std::thread threads[4];
        for (auto& t : threads) {
            t = std::thread([&wrong] {
                for (int i = 0; i < 10000; ++i) {
                    if (Counted(0) != 0 || CallGetProcessVersion() != 0x7357u) {
                        ++wrong;
                    }
                }
            });
        }
        for (auto& t : threads) {
            t.join();
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(replacement_calls, 40000);

        // Each hook, once off, leaves the other one working.
        const auto import_off = [&] {
            EXPECT_GE(UnhookImport(GetModuleHandleW(nullptr), real, fake), 1);
            EXPECT_EQ(CallGetProcessVersion(), genuine);
        };
        const auto code_off = [] {
            UnhookCode(trampoline);
            const int before = replacement_calls;
            EXPECT_EQ(Counted(0), 0);
            EXPECT_EQ(replacement_calls, before);
        };
        if (import_first) {
            import_off();
            EXPECT_EQ(Counted(0), 0);
            EXPECT_EQ(replacement_calls, 40001);
            code_off();
        } else {
            code_off();
            EXPECT_EQ(CallGetProcessVersion(), 0x7357u);
            import_off();
        }
    }
}

}  // namespace
}  // namespace exceptions
