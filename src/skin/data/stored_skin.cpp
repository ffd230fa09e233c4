#include "skin/data/stored_skin.h"

#include <algorithm>

#include "base/exception.h"
#include "base/string_list.h"
#include "base/text.h"
#include "base/zstreams.h"
#include "framework/bitmap.h"
#include "framework/ini.h"
#include "platform/file_stream.h"
#include "skin/data/skin_archive.h"

namespace skin {

namespace {

bool IsLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

// Index just past the last separator ("\", "/" or ":") of a GBK path; the
// trail byte of a double-byte character is never taken for one.
size_t FileNameStart(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsLeadByte(path[i]) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':') {
            start = i + 1;
        }
    }
    return start;
}

framework::TBitmapData LoadPicture(const std::string& path) {
    framework::TBitmapData picture;
    picture.LoadFromBytes(ReadSkinFile(path));
    return picture;
}

constexpr const char* kRequiredSections[] = {"VERSION", "PICTURES", "FORMINFO", "SKINOBJECTS",
                                             "SKINCONTROLS"};

}  // namespace

std::string ReadSkinFile(const std::string& path) {
    return platform::ReadWholeFile(path);
}

std::string ExtractSkinFileName(const std::string& path) {
    return path.substr(FileNameStart(path));
}

std::string ExtractSkinFilePath(const std::string& path) {
    return path.substr(0, FileNameStart(path));
}

TbsCompressedStoredSkin::TbsCompressedStoredSkin(framework::TComponent* owner)
    : TComponent(owner) {}

void TbsCompressedStoredSkin::SetFileName(const std::string& value) {
    if (Designing() && !Loading()) {
        PackSkinFolder(value);
        file_name_ = ExtractSkinFileName(value);
    } else {
        file_name_ = value;
    }
}

void TbsCompressedStoredSkin::SetCompressedFileName(const std::string& value) {
    if (Designing() && !Loading()) {
        LoadCompressedFile(value);
        compressed_file_name_ = ExtractSkinFileName(value);
    } else {
        compressed_file_name_ = value;
    }
}

void TbsCompressedStoredSkin::Decompress(base::TMemoryStream& target) {
    base::DecompressInto(stream_, target);
}

void TbsCompressedStoredSkin::PackSkinFolder(const std::string& path) {
    const std::string text = ReadSkinFile(path);
    framework::TMemIniFile ini;
    ini.LoadFromText(text);
    for (const char* section : kRequiredSections) {
        if (!ini.SectionExists(section)) {
            return;
        }
    }
    base::TStringList lines;
    lines.SetText(text);

    // The archive is built aside and replaces the stream only when it is
    // complete, so a missing picture file leaves the old skin in place.
    const std::string folder = ExtractSkinFilePath(path);
    TSkinArchiveWriter archive;
    archive.WriteInt32(kSkinArchiveVersion);
    for (const char* key : {"picture", "inactivepicture", "mask"}) {
        const std::string name = ini.ReadString("PICTURES", key, "");
        if (name.empty()) {
            archive.WritePictureRecord(nullptr);
        } else {
            const framework::TBitmapData picture = LoadPicture(folder + name);
            archive.WritePictureRecord(&picture);
        }
    }
    const int count = ini.ReadInteger("PICTURES", "activepicturescount", 0);
    archive.WriteInt32(std::max(count, 0));
    for (int i = 0; i < count; ++i) {
        const std::string name = ini.ReadString("PICTURES", std::to_string(i), "");
        if (name.empty()) {
            throw base::EStreamError("Picture list entry " + std::to_string(i) + " of \"" + path +
                                     "\" names no file");
        }
        archive.WriteImage(LoadPicture(folder + name));
    }
    archive.WriteBytes(lines.Text());
    stream_.Assign(base::ZCompress(archive.Bytes(), 9));
}

void TbsCompressedStoredSkin::LoadCompressedFile(const std::string& path) {
    stream_.Clear();
    const std::string file = ReadSkinFile(path);
    auto int32At = [&](size_t at, int32_t& value) {
        if (file.size() < at + 4) {
            return false;
        }
        const auto* b = reinterpret_cast<const unsigned char*>(file.data() + at);
        value = static_cast<int32_t>(
            static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
            (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
        return true;
    };
    int32_t version = 0;
    int32_t length = 0;
    if (!int32At(0, version) || (version <= kSkinArchiveVersion && !int32At(4, length))) {
        throw base::EReadError("Stream read error");
    }
    if (version > kSkinArchiveVersion || length <= 0) {
        return;
    }
    if (file.size() - 8 < static_cast<size_t>(length)) {
        throw base::EReadError("Stream read error");
    }
    stream_.Assign(std::string_view(file).substr(8, static_cast<size_t>(length)));
}

}  // namespace skin
