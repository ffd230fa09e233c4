#include <memory>
#include <string>

#include "base/text.h"
#include "platform/file_stream.h"

namespace platform {

namespace {

// Writes through a temporary file beside `path`; `shown` is how the messages
// name `path`.
template <typename Name>
void ReplaceFile(const Name& path, std::string_view bytes, const std::string& shown) {
    const Name temporary = TemporaryNameFor(path);
    {
        std::unique_ptr<TFileStream> file;
        try {
            file = std::make_unique<TFileStream>(temporary, fmCreate);
        } catch (const EFCreateError&) {
            throw EFCreateError("Cannot create file " + shown);
        }
        try {
            file->WriteBuffer(bytes);
            file->Flush();
        } catch (...) {
            file.reset();
            RemoveFile(temporary);
            throw;
        }
    }
    if (!MoveFileReplacing(temporary, path)) {
        RemoveFile(temporary);
        throw EFCreateError("Cannot create file " + shown);
    }
}

// A GBK name in the system's form; false when it is not GBK text, which no
// file can be named by.
bool SystemName(const std::string& gbk, std::u16string& name) {
    try {
        name = base::GbkToUtf16(gbk);
        return true;
    } catch (const base::EEncodingError&) {
        return false;
    }
}

}  // namespace

namespace {

std::string ReadAll(TFileStream& file) {
    std::string bytes(static_cast<size_t>(file.Size()), '\0');
    file.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return bytes;
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
    TFileStream file(path, fmOpenRead);
    return ReadAll(file);
}

std::string ReadWholeFile(const std::u16string& path) {
    TFileStream file(path, fmOpenRead);
    return ReadAll(file);
}

std::u16string TemporaryNameFor(const std::u16string& path) {
    return path + u".updating";
}

std::string TemporaryNameFor(const std::string& path) {
    return path + ".updating";
}

void WriteFileAtomically(const std::u16string& path, std::string_view bytes) {
    ReplaceFile(path, bytes, base::Utf16ToGbkForDisplay(path));
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    ReplaceFile(path, bytes, path);
}

bool MoveFileReplacing(const std::string& from, const std::string& to) {
    std::u16string f;
    std::u16string t;
    return SystemName(from, f) && SystemName(to, t) && MoveFileReplacing(f, t);
}

bool RemoveFile(const std::string& path) {
    std::u16string name;
    return SystemName(path, name) && RemoveFile(name);
}

}  // namespace platform
