#pragma once

// TbsCompressedStoredSkin: a skin carried inside a window definition as one
// zlib stream (the "CompressedData" binary property) that inflates to a skin
// archive (skin_archive.h). The component only holds the bytes; TbsSkinData
// unpacks them.
//
// Building a stored skin from a skin folder (PackSkinFolder) and reading a
// compressed skin file (LoadCompressedFile) are design-time work: the property
// writers run them only while the component is being designed, never while a
// window definition loads and never in the running updater.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/streams.h"
#include "framework/component.h"

namespace skin {

class TbsCompressedStoredSkin : public framework::TComponent {
  public:
    explicit TbsCompressedStoredSkin(framework::TComponent* owner);

    // Free text, stored and shown.
    const std::string& Description() const { return description_; }
    void SetDescription(std::string value) { description_ = std::move(value); }

    // The description file the archive was built from ("skin.ini"). While
    // designing (and not loading), setting a path keeps only its file-name
    // part and runs PackSkinFolder on the whole path; otherwise the text is
    // only stored.
    const std::string& FileName() const { return file_name_; }
    void SetFileName(const std::string& value);

    // The compressed skin file the stream was taken from; the same rule with
    // LoadCompressedFile.
    const std::string& CompressedFileName() const { return compressed_file_name_; }
    void SetCompressedFileName(const std::string& value);

    // The compressed stream: one complete zlib stream, or nothing.
    std::string_view CompressedData() const { return stream_.View(); }
    // Replaces the stream's bytes (the "CompressedData" property).
    void SetCompressedData(std::string_view bytes) { stream_.Assign(bytes); }
    base::TMemoryStream& CompressedStream() { return stream_; }

    bool IsStoreEmpty() const { return stream_.View().empty(); }

    // Inflates the stream from its start and appends the archive to `target`
    // in 4096-byte steps. Raises base::EDecompressionError "compression error"
    // when the stream is not one complete zlib stream. Bytes after the end of
    // the zlib stream are not part of the skin and are ignored.
    void Decompress(base::TMemoryStream& target);

    // Builds the archive from the description file at `path` (a GBK path;
    // "\" or "/" separate folders) and the BMP files named in its [PICTURES]
    // section, relative to the file's folder, and stores it compressed at
    // level 9. A description that lacks one of the sections [VERSION],
    // [PICTURES], [FORMINFO], [SKINOBJECTS] and [SKINCONTROLS] changes
    // nothing. Raises base::EStreamError when a file cannot be read, and
    // framework::EInvalidGraphic for a picture that is not a BMP the codec
    // reads; the stored skin then keeps its old contents.
    void PackSkinFolder(const std::string& path);

    // Reads a compressed skin file: a 32-bit version; up to 3, a 32-bit
    // length N and N bytes of compressed stream follow. The stream is
    // cleared first, and stays empty for a higher version, for N <= 0, and
    // when the file cannot be read or is shorter than N (which raises
    // base::EStreamError).
    void LoadCompressedFile(const std::string& path);

  private:
    std::string description_;
    std::string file_name_;
    std::string compressed_file_name_;
    base::TMemoryStream stream_;
};

// Helpers for design-time file work, shared with the tools and tests.
//
// The bytes of the file at a GBK path. Raises platform::EFOpenError (a
// base::EStreamError) "Cannot open file PATH" when it cannot be opened.
std::string ReadSkinFile(const std::string& path);
// The part of a path after its last "\", "/" or ":".
std::string ExtractSkinFileName(const std::string& path);
// The part up to and with the last "\", "/" or ":" (empty when none).
std::string ExtractSkinFilePath(const std::string& path);

}  // namespace skin
