#include "skin/data/skin_archive.h"

namespace skin {

namespace {

constexpr int64_t kBmpFileHeaderSize = 14;

int32_t GetInt32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                (static_cast<uint32_t>(b[2]) << 16) |
                                (static_cast<uint32_t>(b[3]) << 24));
}

// Walks the archive field by field. Once the data has run out, every further
// field is missing.
class ArchiveReader {
  public:
    explicit ArchiveReader(base::TMemoryStream& stream)
        : stream_(stream), bytes_(stream.View()), pos_(0) {}

    bool EndedEarly() const { return ended_; }

    // False (and the archive ends) when fewer than four bytes are left.
    bool ReadInt32(int32_t& value) {
        if (ended_ || Left() < 4) {
            End();
            return false;
        }
        value = GetInt32(bytes_.data() + pos_);
        pos_ += 4;
        return true;
    }

    // Reads a picture record into `picture`; an empty or missing record
    // leaves it empty.
    void ReadPictureRecord(framework::TBitmapData& picture) {
        picture = framework::TBitmapData();
        if (ended_ || Left() < 1) {
            End();
            return;
        }
        const char flag = bytes_[static_cast<size_t>(pos_)];
        ++pos_;
        if (flag == 0) {
            ReadImage(picture);
        }
    }

    // Reads one bare image; false when it is missing or cut off.
    bool ReadImage(framework::TBitmapData& picture) {
        const int64_t left = Left();
        if (ended_ || left < 1) {
            End();
            return false;
        }
        const char* p = bytes_.data() + pos_;
        const bool looksLikeBmp = p[0] == 'B' && (left < 2 || p[1] == 'M');
        if (looksLikeBmp) {
            // A file header that is not all there, or that announces more
            // bytes than there are: the data ends inside this image.
            if (left < kBmpFileHeaderSize ||
                static_cast<int64_t>(static_cast<uint32_t>(GetInt32(p + 2))) > left) {
                End();
                return false;
            }
        }
        // Anything else is for the codec to accept or refuse.
        stream_.SetPosition(pos_);
        picture.LoadFromStream(stream_);
        pos_ = stream_.Position();
        return true;
    }

    std::string_view Rest() {
        if (ended_) {
            return {};
        }
        std::string_view rest = bytes_.substr(static_cast<size_t>(pos_));
        pos_ = static_cast<int64_t>(bytes_.size());
        return rest;
    }

    void Finish() { stream_.SetPosition(pos_); }

  private:
    int64_t Left() const { return static_cast<int64_t>(bytes_.size()) - pos_; }
    void End() {
        ended_ = true;
        pos_ = static_cast<int64_t>(bytes_.size());
    }

    base::TMemoryStream& stream_;
    std::string_view bytes_;
    int64_t pos_;
    bool ended_ = false;
};

}  // namespace

bool ReadSkinArchive(base::TMemoryStream& archive, TSkinArchiveContent& content) {
    ArchiveReader reader(archive);
    int32_t version = 0;
    if (!reader.ReadInt32(version)) {
        content.ended_early = true;
        reader.Finish();
        return false;
    }
    content.version = version;
    if (version > kSkinArchiveVersion) {
        reader.Finish();
        return false;
    }
    reader.ReadPictureRecord(content.main_picture);
    reader.ReadPictureRecord(content.inactive_picture);
    reader.ReadPictureRecord(content.mask_picture);
    if (version == 2) {
        framework::TBitmapData scratch;
        reader.ReadPictureRecord(scratch);
        reader.ReadPictureRecord(scratch);
    }
    content.pictures.clear();
    int32_t count = 0;
    if (reader.ReadInt32(count)) {
        // The count is not trusted for an allocation: the list grows with
        // each image that is really there.
        for (int32_t i = 0; i < count; ++i) {
            auto picture = std::make_unique<framework::TBitmapData>();
            if (!reader.ReadImage(*picture)) {
                break;
            }
            content.pictures.push_back(std::move(picture));
        }
    }
    content.description = reader.Rest();
    content.ended_early = reader.EndedEarly();
    reader.Finish();
    return true;
}

void TSkinArchiveWriter::WriteInt32(int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        bytes_ += static_cast<char>((v >> shift) & 0xFF);
    }
}

void TSkinArchiveWriter::WritePictureRecord(const framework::TBitmapData* picture) {
    if (picture == nullptr || picture->Empty()) {
        bytes_ += '\1';
        return;
    }
    bytes_ += '\0';
    WriteImage(*picture);
}

void TSkinArchiveWriter::WriteImage(const framework::TBitmapData& picture) {
    bytes_ += picture.SaveToBytes();
}

void TSkinArchiveWriter::WriteBytes(std::string_view bytes) {
    bytes_.append(bytes);
}

}  // namespace skin
