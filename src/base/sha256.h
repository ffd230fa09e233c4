#pragma once

// SHA-256 (FIPS 180-4), portable: the digest of files that a manifest names
// with "sha256=", computed by the updater while it downloads and by the
// manifest tool while it lists a release folder.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace base {

// Incremental hash: Update any number of times with pieces of any size, then
// Final. Final resets the object, so it can hash the next message.
class TSha256 {
  public:
    TSha256() { Reset(); }

    void Update(const void* data, size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    std::array<uint8_t, 32> Final();

  private:
    void Reset();

    std::array<uint32_t, 8> state_;
    uint64_t length_ = 0;  // bytes hashed so far
    std::array<uint8_t, 64> block_;
    size_t filled_ = 0;  // bytes waiting in block_
};

// 64 lower-case hex digits.
std::string HexDigest(const std::array<uint8_t, 32>& digest);
std::string Sha256Hex(std::string_view bytes);

}  // namespace base
