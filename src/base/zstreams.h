#pragma once

// Streams that compress into, or decompress from, another stream in the zlib
// format (deflate with the zlib header and Adler-32 trailer).

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/exception.h"
#include "base/streams.h"

namespace base {

// Raised for refused operations ("Invalid stream operation") and for zlib
// failures while compressing ("error").
class ECompressionError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

// Raised for refused operations ("Invalid stream operation") and for data that
// is not a complete zlib stream ("compression error").
class EDecompressionError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

// Write-only: what is written is compressed and written to `dest` (from its
// current position) in chunks as the compressed output builds up.
class TCompressionStream : public TStream {
  public:
    // `level` is 0..9 or Z_DEFAULT_COMPRESSION (-1); any other raises
    // ECompressionError.
    explicit TCompressionStream(TStream& dest, int level = Z_DEFAULT_COMPRESSION);
    // Finishes the zlib stream if Finish was not called, swallowing errors:
    // call Finish to learn about them.
    ~TCompressionStream() override;

    // Refused.
    int64_t Read(void* buffer, int64_t count) override;
    // Refused after Finish.
    int64_t Write(const void* buffer, int64_t count) override;
    // Only Seek(0, Current) is allowed: it returns the number of uncompressed
    // bytes written so far.
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    // Refused.
    void SetSize(int64_t size) override;

    // Flushes the rest of the compressed data and the trailer to `dest`. Runs
    // once; later calls do nothing.
    void Finish();

  private:
    void Deflate(int flush);
    void FlushOutput();

    TStream& dest_;
    z_stream zs_{};
    std::vector<unsigned char> output_;
    int64_t written_ = 0;
    bool finished_ = false;
};

// Read-only: reads the zlib stream that starts at the current position of
// `source`. When the zlib stream ends, Read returns 0, and the source is left
// positioned just past its end: bytes that follow it are not consumed.
class TDecompressionStream : public TStream {
  public:
    explicit TDecompressionStream(TStream& source);
    ~TDecompressionStream() override;

    // Raises EDecompressionError "compression error" for data that is not
    // zlib, and when `source` ends before the zlib stream does.
    int64_t Read(void* buffer, int64_t count) override;
    // Refused.
    int64_t Write(const void* buffer, int64_t count) override;
    // The position counts uncompressed bytes. Seek(0, Beginning) starts over
    // from where `source` was when this stream was made; a forward seek
    // (Beginning to a later position, Current with offset >= 0) reads and
    // discards, stopping at the end of the data, and returns the position
    // reached. Other seeks are refused.
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    // Refused.
    void SetSize(int64_t size) override;

  private:
    void Skip(int64_t count);

    TStream& source_;
    int64_t sourceStart_;
    z_stream zs_{};
    std::vector<unsigned char> input_;
    int64_t position_ = 0;
    bool ended_ = false;
};

// The whole of `data` as one zlib stream.
std::string ZCompress(std::string_view data, int level = 9);
// The content of the zlib stream `zdata`, which must be exactly one complete
// zlib stream: trailing bytes raise EDecompressionError too.
std::string ZDecompress(std::string_view zdata);
// Inflates the zlib stream at the beginning of `source` in 4096-byte chunks
// and appends them to the end of `target`, leaving its position at the end.
void DecompressInto(TStream& source, TMemoryStream& target);

}  // namespace base
