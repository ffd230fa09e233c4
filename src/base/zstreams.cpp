#include "base/zstreams.h"

#include <algorithm>

namespace base {

namespace {

constexpr size_t kBufferSize = 16 * 1024;
// zlib counts in uInt; larger requests are fed to it in pieces of this size.
constexpr int64_t kMaxPiece = 1 << 30;

const char kInvalidOperation[] = "Invalid stream operation";
const char kCompressFailure[] = "error";
const char kDecompressFailure[] = "compression error";

}  // namespace

TCompressionStream::TCompressionStream(TStream& dest, int level)
    : dest_(dest), output_(kBufferSize) {
    if (deflateInit(&zs_, level) != Z_OK) {
        throw ECompressionError(kCompressFailure);
    }
    zs_.next_out = output_.data();
    zs_.avail_out = static_cast<uInt>(output_.size());
}

TCompressionStream::~TCompressionStream() {
    if (!finished_) {
        try {
            Finish();
        } catch (...) {
            // A destructor cannot report; callers who care call Finish.
        }
    }
    deflateEnd(&zs_);
}

int64_t TCompressionStream::Read(void*, int64_t) {
    throw ECompressionError(kInvalidOperation);
}

int64_t TCompressionStream::Write(const void* buffer, int64_t count) {
    if (finished_) {
        throw ECompressionError(kInvalidOperation);
    }
    if (count <= 0) {
        return 0;
    }
    const auto* in = static_cast<const Bytef*>(buffer);
    for (int64_t left = count; left > 0;) {
        const int64_t piece = std::min(left, kMaxPiece);
        zs_.next_in = const_cast<Bytef*>(in);
        zs_.avail_in = static_cast<uInt>(piece);
        while (zs_.avail_in > 0) {
            Deflate(Z_NO_FLUSH);
        }
        in += piece;
        left -= piece;
    }
    written_ += count;
    return count;
}

int64_t TCompressionStream::Seek(int64_t offset, SeekOrigin origin) {
    if (offset != 0 || origin != SeekOrigin::Current) {
        throw ECompressionError(kInvalidOperation);
    }
    return written_;
}

void TCompressionStream::SetSize(int64_t) {
    throw ECompressionError(kInvalidOperation);
}

void TCompressionStream::Finish() {
    if (finished_) {
        return;
    }
    // Set first: after a failure the zlib stream cannot be completed, and the
    // destructor must not try again.
    finished_ = true;
    Deflate(Z_FINISH);
    FlushOutput();
}

// One deflate call with output room for it (Z_NO_FLUSH); with Z_FINISH, calls
// until the stream is complete.
void TCompressionStream::Deflate(int flush) {
    for (;;) {
        if (zs_.avail_out == 0) {
            FlushOutput();
        }
        const int rc = deflate(&zs_, flush);
        if (flush == Z_FINISH ? rc == Z_STREAM_END : rc == Z_OK) {
            return;
        }
        if (rc != Z_OK) {
            throw ECompressionError(kCompressFailure);
        }
    }
}

void TCompressionStream::FlushOutput() {
    const size_t pending = output_.size() - zs_.avail_out;
    if (pending > 0) {
        dest_.WriteBuffer(output_.data(), static_cast<int64_t>(pending));
    }
    zs_.next_out = output_.data();
    zs_.avail_out = static_cast<uInt>(output_.size());
}

TDecompressionStream::TDecompressionStream(TStream& source)
    : source_(source), sourceStart_(source.Position()), input_(kBufferSize) {
    if (inflateInit(&zs_) != Z_OK) {
        throw EDecompressionError(kDecompressFailure);
    }
}

TDecompressionStream::~TDecompressionStream() {
    inflateEnd(&zs_);
}

int64_t TDecompressionStream::Read(void* buffer, int64_t count) {
    auto* out = static_cast<Bytef*>(buffer);
    int64_t produced = 0;
    bool sourceEnded = false;
    while (produced < count && !ended_) {
        if (zs_.avail_in == 0 && !sourceEnded) {
            const int64_t n = source_.Read(input_.data(), static_cast<int64_t>(input_.size()));
            zs_.next_in = input_.data();
            zs_.avail_in = static_cast<uInt>(std::max<int64_t>(n, 0));
            sourceEnded = n <= 0;
        }
        // With the source used up, inflate may still have output held back;
        // only when it can make no progress at all is the data truncated, and
        // it then answers Z_BUF_ERROR.
        const auto room = static_cast<uInt>(std::min(count - produced, kMaxPiece));
        zs_.next_out = out + produced;
        zs_.avail_out = room;
        const int rc = inflate(&zs_, Z_NO_FLUSH);
        produced += room - zs_.avail_out;
        if (rc == Z_STREAM_END) {
            ended_ = true;
            // Hand back what follows the zlib stream.
            if (zs_.avail_in > 0) {
                source_.Seek(-static_cast<int64_t>(zs_.avail_in), SeekOrigin::Current);
                zs_.avail_in = 0;
            }
        } else if (rc != Z_OK) {
            throw EDecompressionError(kDecompressFailure);
        }
    }
    position_ += produced;
    return produced;
}

int64_t TDecompressionStream::Write(const void*, int64_t) {
    throw EDecompressionError(kInvalidOperation);
}

int64_t TDecompressionStream::Seek(int64_t offset, SeekOrigin origin) {
    if (origin == SeekOrigin::Beginning && offset == 0) {
        if (inflateReset(&zs_) != Z_OK) {
            throw EDecompressionError(kDecompressFailure);
        }
        source_.SetPosition(sourceStart_);
        zs_.avail_in = 0;
        position_ = 0;
        ended_ = false;
    } else if (origin == SeekOrigin::Beginning && offset >= position_) {
        Skip(offset - position_);
    } else if (origin == SeekOrigin::Current && offset >= 0) {
        Skip(offset);
    } else {
        throw EDecompressionError(kInvalidOperation);
    }
    return position_;
}

void TDecompressionStream::SetSize(int64_t) {
    throw EDecompressionError(kInvalidOperation);
}

void TDecompressionStream::Skip(int64_t count) {
    std::vector<char> scratch(static_cast<size_t>(std::min<int64_t>(count, kBufferSize)));
    for (int64_t left = count; left > 0;) {
        const int64_t n =
            Read(scratch.data(), std::min(left, static_cast<int64_t>(scratch.size())));
        if (n == 0) {
            break;
        }
        left -= n;
    }
}

std::string ZCompress(std::string_view data, int level) {
    TMemoryStream packed;
    TCompressionStream compressor(packed, level);
    compressor.WriteBuffer(data);
    compressor.Finish();
    return packed.ToString();
}

std::string ZDecompress(std::string_view zdata) {
    TMemoryStream source;
    source.Assign(zdata);
    TMemoryStream target;
    DecompressInto(source, target);
    if (source.Position() != source.Size()) {
        throw EDecompressionError(kDecompressFailure);
    }
    return target.ToString();
}

void DecompressInto(TStream& source, TMemoryStream& target) {
    source.SetPosition(0);
    TDecompressionStream inflater(source);
    target.Seek(0, SeekOrigin::End);
    char chunk[4096];
    while (const int64_t n = inflater.Read(chunk, sizeof chunk)) {
        target.WriteBuffer(chunk, n);
    }
}

}  // namespace base
