#pragma once

// The skin archive: what the compressed stream of a stored skin inflates to.
// All integers are 32-bit signed little-endian.
//
//   version       4 bytes; the reader accepts every value up to 3
//   picture       picture record: the main picture
//   inactive      picture record: the picture of the inactive window
//   mask          picture record: the window mask
//   (version 2 only: two more picture records, read and thrown away)
//   count         4 bytes; 0 or less: no picture list
//   images        count bare BMP images, the picture list in order
//   description   the rest: the skin description text (CR LF lines)
//
// A picture record is a flag byte, then, when the flag is 0, one BMP image;
// any other flag means an empty picture with no image. A BMP image occupies
// the bytes its file header's size field gives (the bitmap codec's rule).
//
// An archive that ends early is read as far as it is complete, never past its
// end: a missing flag byte, image or count means no picture (or no list), and
// everything after the point where the data ran out is absent, the
// description included (ended_early tells; TbsSkinData refuses such a skin). An image is cut off
// when the data ends before the end its file header announces (or inside the file header); such an
// image gives no picture and ends the archive there. Bytes that are not a BMP image where one must
// start raise framework::EInvalidGraphic.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/streams.h"
#include "framework/bitmap.h"

namespace skin {

// The version the packer writes and the highest one the reader accepts.
inline constexpr int32_t kSkinArchiveVersion = 3;

struct TSkinArchiveContent {
    int32_t version = 0;
    // Empty bitmaps where the record is empty or missing.
    framework::TBitmapData main_picture;
    framework::TBitmapData inactive_picture;
    framework::TBitmapData mask_picture;
    // Each image that was complete; never a null pointer, never an empty
    // bitmap (the codec reads no image of width or height 0).
    std::vector<std::unique_ptr<framework::TBitmapData>> pictures;
    // The description text: a view into the archive stream, valid until the
    // stream changes.
    std::string_view description;
    // True when the data ran out before the description started (or before
    // the version).
    bool ended_early = false;
};

// Reads the archive held in `archive` (all of it, whatever its position; the
// position is left at the end of what was read). Returns false when the
// archive is not a skin this reader takes: fewer than four bytes for the
// version (ended_early is then set), or a version above kSkinArchiveVersion;
// `content` then holds only the version, when there was one. Raises framework::EInvalidGraphic for
// an image that the codec cannot read (one not starting with "BM" included).
bool ReadSkinArchive(base::TMemoryStream& archive, TSkinArchiveContent& content);

// Builds an archive field by field.
class TSkinArchiveWriter {
  public:
    void WriteInt32(int32_t value);
    // A flag byte 1 for a null or empty picture, else 0 and the BMP image
    // written by the codec.
    void WritePictureRecord(const framework::TBitmapData* picture);
    void WriteImage(const framework::TBitmapData& picture);
    // Raw bytes (an image as it is, the description text).
    void WriteBytes(std::string_view bytes);

    const std::string& Bytes() const { return bytes_; }
    std::string Take() { return std::move(bytes_); }

  private:
    std::string bytes_;
};

}  // namespace skin
