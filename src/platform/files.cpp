// File operations that take GBK names, the same on every system: the name is
// converted and the UTF-16 operation does the work.

#include "platform/files.h"

#include <string>

#include "base/exception.h"
#include "base/text.h"

namespace platform {

FileTime FirstMatchLastWriteTime(const std::string& pattern) {
    std::u16string name;
    try {
        name = base::GbkToUtf16(pattern);
    } catch (const base::EEncodingError&) {
        return 0;  // no file can have a name that is not text
    }
    return FirstMatchLastWriteTime(name);
}

}  // namespace platform
