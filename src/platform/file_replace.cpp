#include <memory>
#include <string>

#include "base/text.h"
#include "platform/file_stream.h"

namespace platform {

namespace {

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

TReplacingFile::TReplacingFile(std::u16string path)
    : path_(std::move(path)), temporary_(TemporaryNameFor(path_)) {
    try {
        stream_ = std::make_unique<TFileStream>(temporary_, fmCreate);
    } catch (const EFCreateError&) {
        throw EFCreateError("Cannot create file " + base::Utf16ToGbkForDisplay(path_));
    }
}

TReplacingFile::~TReplacingFile() {
    stream_.reset();
    if (!committed_) {
        RemoveFile(temporary_);
    }
}

void TReplacingFile::Restart() {
    stream_->SetSize(0);
    stream_->Seek(0, base::SeekOrigin::Beginning);
}

void TReplacingFile::Commit(const std::u16string& aside) {
    stream_->Flush();
    stream_.reset();
    const bool moved_aside = !aside.empty() && MoveFileOver(path_, aside) == TMoveResult::kMoved;
    const TMoveResult result = MoveFileOver(temporary_, path_);
    if (result == TMoveResult::kMoved) {
        committed_ = true;
        return;
    }
    if (moved_aside) {
        MoveFileOver(aside, path_);
    }
    const std::string shown = base::Utf16ToGbkForDisplay(path_);
    if (result == TMoveResult::kInUse) {
        throw EFileInUse("The file is in use: " + shown);
    }
    throw EFCreateError("Cannot create file " + shown);
}

void WriteFileAtomically(const std::u16string& path, std::string_view bytes) {
    TReplacingFile file(path);
    file.Stream().WriteBuffer(bytes);
    file.Commit();
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    std::u16string name;
    if (!SystemName(path, name)) {
        throw EFCreateError("Cannot create file " + path);
    }
    WriteFileAtomically(name, bytes);
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
