#include <memory>
#include <string>

#include "platform/file_stream.h"

namespace platform {

std::string ReadWholeFile(const std::string& path) {
    TFileStream file(path, fmOpenRead);
    std::string bytes(static_cast<size_t>(file.Size()), '\0');
    file.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return bytes;
}

std::string TemporaryNameFor(const std::string& path) {
    return path + ".updating";
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string temporary = TemporaryNameFor(path);
    {
        std::unique_ptr<TFileStream> file;
        try {
            file = std::make_unique<TFileStream>(temporary, fmCreate);
        } catch (const EFCreateError&) {
            throw EFCreateError("Cannot create file " + path);
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
        throw EFCreateError("Cannot create file " + path);
    }
}

}  // namespace platform
