#pragma once

// A cursor over a byte range that never reads outside it: a read past the
// end yields zero and marks the reader failed, so a parser can read a whole
// record and test once.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cldgen {

class TByteReader {
  public:
    explicit TByteReader(std::string_view bytes, size_t position = 0)
        : bytes_(bytes),
          position_(position <= bytes.size() ? position : bytes.size()),
          failed_(position > bytes.size()) {}

    bool Failed() const { return failed_; }
    void Fail() { failed_ = true; }
    size_t Position() const { return position_; }
    size_t Remaining() const { return bytes_.size() - position_; }
    bool AtEnd() const { return position_ >= bytes_.size(); }

    // Moves to `position` inside the range (fails beyond its end).
    void Seek(size_t position) {
        if (position > bytes_.size()) {
            failed_ = true;
            position_ = bytes_.size();
            return;
        }
        position_ = position;
    }
    void Skip(uint64_t count) {
        if (count > Remaining()) {
            failed_ = true;
            position_ = bytes_.size();
            return;
        }
        position_ += static_cast<size_t>(count);
    }

    uint8_t U8() { return static_cast<uint8_t>(Unsigned(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Unsigned(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Unsigned(4)); }
    uint64_t U64() { return Unsigned(8); }
    int8_t S8() { return static_cast<int8_t>(U8()); }

    // A little-endian unsigned value of `size` bytes (at most 8).
    uint64_t Unsigned(size_t size) {
        if (size > 8 || size > Remaining()) {
            failed_ = true;
            position_ = bytes_.size();
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < size; ++i) {
            value |= uint64_t{static_cast<uint8_t>(bytes_[position_ + i])} << (8 * i);
        }
        position_ += size;
        return value;
    }

    // LEB128 forms; a value longer than 64 bits fails.
    uint64_t Uleb() {
        uint64_t value = 0;
        for (unsigned shift = 0;; shift += 7) {
            if (AtEnd() || shift >= 64) {
                failed_ = true;
                return 0;
            }
            const uint8_t byte = static_cast<uint8_t>(bytes_[position_++]);
            value |= uint64_t{byte & 0x7Fu} << shift;
            if ((byte & 0x80) == 0) {
                return value;
            }
        }
    }
    int64_t Sleb() {
        uint64_t value = 0;
        unsigned shift = 0;
        uint8_t byte = 0;
        do {
            if (AtEnd() || shift >= 64) {
                failed_ = true;
                return 0;
            }
            byte = static_cast<uint8_t>(bytes_[position_++]);
            value |= uint64_t{byte & 0x7Fu} << shift;
            shift += 7;
        } while (byte & 0x80);
        if (shift < 64 && (byte & 0x40)) {
            value |= ~uint64_t{0} << shift;
        }
        return static_cast<int64_t>(value);
    }

    // A NUL-terminated string (the NUL is consumed, not returned).
    std::string_view CString() {
        const size_t end = bytes_.find('\0', position_);
        if (end == std::string_view::npos) {
            failed_ = true;
            position_ = bytes_.size();
            return {};
        }
        std::string_view text = bytes_.substr(position_, end - position_);
        position_ = end + 1;
        return text;
    }

    std::string_view Bytes(uint64_t count) {
        if (count > Remaining()) {
            failed_ = true;
            position_ = bytes_.size();
            return {};
        }
        std::string_view part = bytes_.substr(position_, static_cast<size_t>(count));
        position_ += static_cast<size_t>(count);
        return part;
    }

  private:
    std::string_view bytes_;
    size_t position_;
    bool failed_;
};

// The NUL-terminated string at `offset` of a string section; nullopt-like
// empty result with `ok` false when the offset is outside it or unterminated.
inline std::string_view StringAt(std::string_view section, uint64_t offset, bool& ok) {
    if (offset >= section.size()) {
        ok = false;
        return {};
    }
    const size_t end = section.find('\0', static_cast<size_t>(offset));
    if (end == std::string_view::npos) {
        ok = false;
        return {};
    }
    return section.substr(static_cast<size_t>(offset), end - static_cast<size_t>(offset));
}

}  // namespace cldgen
