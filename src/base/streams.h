#pragma once

// Byte streams: the abstract TStream and the in-memory TMemoryStream.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace base {

enum class SeekOrigin { Beginning, Current, End };

class TStream {
  public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    // Read and Write move up to `count` bytes (none for count <= 0) and return
    // how many they moved; a read returns 0 at the end of the stream.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position and returns the new one.
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(int64_t position) { Seek(position, SeekOrigin::Beginning); }
    // By default found by seeking to the end and back.
    virtual int64_t Size();
    // By default refused with EStreamError.
    virtual void SetSize(int64_t size);

    // Read or write exactly `count` bytes, calling Read/Write as often as it
    // takes; raise EReadError "Stream read error" / EWriteError "Stream write
    // error" when the stream stops short.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    void WriteBuffer(std::string_view bytes) {
        WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    }

    // Copies `count` bytes from the current position of `source` (a short
    // source raises EReadError). Count 0 copies all of `source`: it is
    // rewound and read until it ends. Returns the number of bytes copied.
    int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream that only moves forward, as a transfer writes a body: its
// position (and size) is the number of bytes written, and it answers only
// seeks that stay there (asking where it is, or how long it is); any other
// raises EStreamError "Stream seek not supported". It keeps nothing of what is written; a
// derived stream that keeps the bytes overrides Write and counts what it
// took with Advance. Reading gives nothing.
class TForwardStream : public TStream {
  public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override {
        const int64_t n = count > 0 ? count : 0;
        position_ += n;
        return n;
    }
    int64_t Seek(int64_t offset, SeekOrigin origin) override;

  protected:
    void Advance(int64_t count) { position_ += count; }

  private:
    int64_t position_ = 0;
};

// A growable buffer in memory. Like a file, it may be positioned past its end;
// writing there fills the gap with zero bytes.
class TMemoryStream : public TStream {
  public:
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // Raises EStreamError for a target before the beginning.
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return size_; }
    // Grows with zero bytes or cuts off the end; the position stays.
    void SetSize(int64_t size) override;

    // The bytes, valid until the next call that changes the size.
    char* Memory() { return buffer_.get(); }
    const char* Memory() const { return buffer_.get(); }
    std::string_view View() const { return {buffer_.get(), static_cast<size_t>(size_)}; }
    std::string ToString() const { return std::string(View()); }

    // Empties the stream and releases its memory.
    void Clear();
    // Replaces the content with `bytes`; the position goes to 0.
    void Assign(std::string_view bytes);
    // Replaces the content with all of `source` (read from its beginning);
    // the position goes to 0.
    void LoadFrom(TStream& source);

  private:
    // Makes room for `size` bytes, growing the capacity geometrically.
    void Reserve(int64_t size);

    std::unique_ptr<char[]> buffer_;
    int64_t capacity_ = 0;
    int64_t size_ = 0;
    int64_t position_ = 0;
};

}  // namespace base
