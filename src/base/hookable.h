#pragma once

// A procedure that code hooks may redirect: its entry is a run of NOPs wide
// enough for a jump (five bytes on i686, fourteen for the absolute jump of
// x86_64), and the compiler makes no assumptions about its body at the call
// sites, so every call really enters it.

#if defined(__x86_64__)
#define UPDATER_HOOK_ENTRY_BYTES 14
#else
#define UPDATER_HOOK_ENTRY_BYTES 5
#endif

#define UPDATER_HOOKABLE \
    [[gnu::noinline, gnu::noipa, gnu::patchable_function_entry(UPDATER_HOOK_ENTRY_BYTES, 0)]]
