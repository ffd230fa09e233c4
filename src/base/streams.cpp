#include "base/streams.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "base/exception.h"

namespace base {

namespace {

constexpr int64_t kCopyChunk = 64 * 1024;
constexpr int64_t kMinCapacity = 256;
constexpr int64_t kMaxInt64 = std::numeric_limits<int64_t>::max();

}  // namespace

int64_t TStream::Size() {
    const int64_t position = Seek(0, SeekOrigin::Current);
    const int64_t end = Seek(0, SeekOrigin::End);
    Seek(position, SeekOrigin::Beginning);
    return end;
}

void TStream::SetSize(int64_t) {
    throw EStreamError("Stream size cannot be changed");
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    auto* bytes = static_cast<char*>(buffer);
    while (count > 0) {
        const int64_t n = Read(bytes, count);
        if (n <= 0) {
            throw EReadError("Stream read error");
        }
        bytes += n;
        count -= n;
    }
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    const auto* bytes = static_cast<const char*>(buffer);
    while (count > 0) {
        const int64_t n = Write(bytes, count);
        if (n <= 0) {
            throw EWriteError("Stream write error");
        }
        bytes += n;
        count -= n;
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count < 0) {
        throw EStreamError("Invalid stream copy count");
    }
    std::vector<char> chunk(count == 0 ? kCopyChunk : std::min(count, kCopyChunk));
    const auto chunkSize = static_cast<int64_t>(chunk.size());
    if (count == 0) {
        source.SetPosition(0);
        int64_t copied = 0;
        while (const int64_t n = source.Read(chunk.data(), chunkSize)) {
            WriteBuffer(chunk.data(), n);
            copied += n;
        }
        return copied;
    }
    for (int64_t left = count; left > 0;) {
        const int64_t n = std::min(left, chunkSize);
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= n;
    }
    return count;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || position_ >= size_) {
        return 0;
    }
    const int64_t n = std::min(count, size_ - position_);
    std::memcpy(buffer, buffer_.get() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) {
        return 0;
    }
    if (position_ > kMaxInt64 - count) {
        throw EStreamError("Memory stream too large");
    }
    const int64_t end = position_ + count;
    if (end > size_) {
        Reserve(end);
        if (position_ > size_) {
            std::memset(buffer_.get() + size_, 0, static_cast<size_t>(position_ - size_));
        }
        size_ = end;
    }
    std::memcpy(buffer_.get() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
    int64_t base = 0;
    switch (origin) {
        case SeekOrigin::Beginning:
            break;
        case SeekOrigin::Current:
            base = position_;
            break;
        case SeekOrigin::End:
            base = size_;
            break;
    }
    if (offset > 0 && base > kMaxInt64 - offset) {
        throw EStreamError("Seek beyond the largest stream position");
    }
    if (base + offset < 0) {
        throw EStreamError("Seek before the beginning of the stream");
    }
    position_ = base + offset;
    return position_;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0) {
        throw EStreamError("Invalid stream size");
    }
    if (size > size_) {
        Reserve(size);
        std::memset(buffer_.get() + size_, 0, static_cast<size_t>(size - size_));
    }
    size_ = size;
}

void TMemoryStream::Clear() {
    buffer_.reset();
    capacity_ = 0;
    size_ = 0;
    position_ = 0;
}

void TMemoryStream::Assign(std::string_view bytes) {
    const auto n = static_cast<int64_t>(bytes.size());
    Reserve(n);
    // memmove: `bytes` may be a view of this stream's own memory.
    if (n > 0) {
        std::memmove(buffer_.get(), bytes.data(), bytes.size());
    }
    size_ = n;
    position_ = 0;
}

void TMemoryStream::LoadFrom(TStream& source) {
    if (&source != this) {
        size_ = 0;
        position_ = 0;
        CopyFrom(source, 0);
    }
    position_ = 0;
}

void TMemoryStream::Reserve(int64_t size) {
    if (size <= capacity_) {
        return;
    }
    // Addressable memory is the limit: a 32-bit size_t cannot hold every int64_t.
    const auto limit = static_cast<int64_t>(std::min<uint64_t>(
        std::numeric_limits<ptrdiff_t>::max(), static_cast<uint64_t>(kMaxInt64)));
    if (size > limit) {
        throw EStreamError("Memory stream too large");
    }
    const int64_t grown = capacity_ > limit / 2 ? limit : capacity_ * 2;
    const int64_t capacity = std::max({size, grown, kMinCapacity});
    auto buffer = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(capacity));
    if (size_ > 0) {
        std::memcpy(buffer.get(), buffer_.get(), static_cast<size_t>(size_));
    }
    buffer_ = std::move(buffer);
    capacity_ = capacity;
}

int64_t TForwardStream::Seek(int64_t offset, SeekOrigin origin) {
    // The end is where it is: every seek that stays there is answered.
    const int64_t target = origin == SeekOrigin::Beginning ? offset : position_ + offset;
    if (target != position_) {
        throw EStreamError("Stream seek not supported");
    }
    return position_;
}

}  // namespace base
