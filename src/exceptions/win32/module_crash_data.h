#pragma once

// The CLDATA block of a loaded module, as the reporter finds it at run time:
// the module's data resource named CLDATA, or, for a module without one, the
// block appended to its file.

#include <windows.h>

#include <string>

#include "exceptions/crash_data.h"

namespace exceptions {

// The module's CLDATA resource; without one, the block appended to the
// module's file; kNotCarrying when it has neither.
TCrashData ReadModuleCrashData(HMODULE module);

// The block appended to the file at `path`, read from the file's end (only
// as much as the block's length says, never more than the file holds);
// kNotCarrying for a file that cannot be read or carries none.
TCrashData ReadAppendedCrashData(const std::u16string& path);

}  // namespace exceptions
