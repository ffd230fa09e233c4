#pragma once

// Redirecting procedures of the running program to replacements of the
// reporter: code hooks (the entry of a procedure of ours jumps to the
// replacement) and import hooks (import-address-table slots of a module read
// the replacement instead of a system function).
//
// Code hooks. Only procedures built to be hooked are patched: their entry is
// a run of NOPs (declare them UPDATER_HOOKABLE) or, on i686, the five-byte
// hot-patch prologue 8B FF 55 8B EC. Any other entry is refused, so system
// code is never patched blindly.
//  - i686: the entry gets E9 rel32 to the replacement (five bytes).
//  - x86_64: the entry gets the absolute jump FF 25 00000000 <address>
//    (fourteen bytes); no memory near the target is needed.
// (The bytes themselves: exceptions/hook_code.h.)
// The patch stays in place for the life of the hook. The replacement reaches
// the original through a trampoline: the entry bytes the patch covered (none
// for NOPs) followed by a jump to the rest of the original. The trampoline
// only jumps, so the original runs with the caller's registers and stack,
// reentrantly and on any number of threads at once, and an exception thrown
// by the original unwinds straight into the replacement's frame.
// Each trampoline has a page of its own from VirtualAlloc, written once and
// then set to PAGE_EXECUTE_READ; it is never writable and executable at once.
//
// Patching is not atomic: hooks are installed before other threads run code
// that could enter the targets. Nothing is unhooked at exit.
//
// Stacking: one code hook per procedure and one import hook per slot. A
// second hook on the same procedure or slot is refused with EHookingError, and
// an unhook whose patch or slot no longer holds what it wrote is refused too,
// so undoing a hook can never cut out someone else's later redirection.

#include <windows.h>

#include <string>
#include <vector>

#include "base/exception.h"
#include "base/hookable.h"

namespace exceptions {

// A hook asked for a null procedure.
class EProcNull : public base::Exception {
  public:
    using Exception::Exception;
};

// A module in the shared system area of an old, non-NT system. Kept for the
// error vocabulary; the supported systems never raise it.
class ESharedArea : public base::Exception {
  public:
    using Exception::Exception;
};

// A hook that cannot be installed or undone.
class EHookingError : public base::Exception {
  public:
    using Exception::Exception;
};

// Redirects `procedure` to `replacement` and returns the trampoline through
// which the replacement calls the original. Either address may be an import
// jump stub (FF 25 slot, then 8B C0 or 90 90); the stub's slot is followed.
// `name` is used in messages. Throws EProcNull for a null procedure and
// EHookingError for a procedure whose entry is not hookable (its bytes stay
// unchanged) or that cannot be written.
void* HookCode(void* procedure, void* replacement, const std::string& name);

// Restores the entry of the procedure whose trampoline is `trampoline`.
// Throws EHookingError when the entry no longer holds the patch (nothing is
// written then) or the trampoline is unknown. The trampoline page stays
// mapped: a replacement still running may jump through it.
void UnhookCode(void* trampoline);

// The target an import jump stub at `code` leads to: FF 25 and its slot (an
// absolute address on i686, RIP-relative on x86_64) followed by 8B C0 or
// 90 90, the slot readable. Null when `code` is not such a stub.
void* FollowImportStub(const void* code);

// Redirects a system function in the import tables of modules. For each
// module in `modules` that is loaded (an empty name is the executable), the
// slots that import `procedure` from `system_module` (its name compared
// without regard to case) get `replacement`; so do the module's other slots
// that hold the function's address (imports through forwarders or API sets).
// `real` receives the function's address from GetProcAddress. Returns true
// when at least one slot was rewritten; finding none returns false when
// `none_ok`, otherwise throws EHookingError. A function that does not exist
// throws EProcNull; a slot already hooked here throws EHookingError. Names in
// messages read "kernel32.dll.GetProcessVersion".
bool HookImport(const std::vector<std::u16string>& modules, const std::string& system_module,
                const std::string& procedure, void* replacement, bool none_ok, void*& real);

// Gives back every slot of `module` that HookImport pointed at `replacement`
// for `real` its former content. Throws EHookingError (nothing is written)
// when one of those slots was rewritten since. Returns the number of slots
// restored.
int UnhookImport(HMODULE module, void* real, void* replacement);

}  // namespace exceptions
