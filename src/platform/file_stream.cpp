// The file stream's constructors, the same on every system: a GBK name is
// opened by its UTF-16 form; one that is not valid GBK names no file and fails
// to open with the usual error.

#include "platform/file_stream.h"

#include "base/exception.h"
#include "base/text.h"

namespace platform {

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fileName_(fileName) {
    std::u16string name;
    bool text = true;
    try {
        name = base::GbkToUtf16(fileName);
    } catch (const base::EEncodingError&) {
        text = false;
    }
    Open(text ? &name : nullptr, mode);
}

TFileStream::TFileStream(const std::u16string& fileName, TFileMode mode)
    : fileName_(base::Utf16ToGbkForDisplay(fileName)) {
    Open(&fileName, mode);
}

}  // namespace platform
