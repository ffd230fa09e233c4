#include "base/sha256.h"

#include <cstring>

namespace base {

namespace {

constexpr uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::array<uint32_t, 8> kInitial = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

inline uint32_t Rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

inline uint32_t LoadBig(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

// One round with the working variables renamed instead of shifted: the
// caller rotates the roles of a..h, so no round moves eight values around.
#define SHA256_ROUND(a, b, c, d, e, f, g, h, k, w)                                                \
    do {                                                                                          \
        const uint32_t t1 =                                                                       \
            h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + (g ^ (e & (f ^ g))) + (k) + (w);       \
        const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) | (c & (a | b))); \
        d += t1;                                                                                  \
        h = t1 + t2;                                                                              \
    } while (false)

// The message schedule kept in a ring of 16 words: word i (i >= 16) replaces
// word i - 16 in place.
#define SHA256_SCHEDULE(w, i)                                                            \
    (w[(i)&15] +=                                                                        \
     (Rotr(w[((i)-2) & 15], 17) ^ Rotr(w[((i)-2) & 15], 19) ^ (w[((i)-2) & 15] >> 10)) + \
     w[((i)-7) & 15] +                                                                   \
     (Rotr(w[((i)-15) & 15], 7) ^ Rotr(w[((i)-15) & 15], 18) ^ (w[((i)-15) & 15] >> 3)))

// Eight rounds starting at round i, one full turn of the variables' roles.
#define SHA256_EIGHT(i, W)                                             \
    SHA256_ROUND(a, b, c, d, e, f, g, h, kRound[(i) + 0], W((i) + 0)); \
    SHA256_ROUND(h, a, b, c, d, e, f, g, kRound[(i) + 1], W((i) + 1)); \
    SHA256_ROUND(g, h, a, b, c, d, e, f, kRound[(i) + 2], W((i) + 2)); \
    SHA256_ROUND(f, g, h, a, b, c, d, e, kRound[(i) + 3], W((i) + 3)); \
    SHA256_ROUND(e, f, g, h, a, b, c, d, kRound[(i) + 4], W((i) + 4)); \
    SHA256_ROUND(d, e, f, g, h, a, b, c, kRound[(i) + 5], W((i) + 5)); \
    SHA256_ROUND(c, d, e, f, g, h, a, b, kRound[(i) + 6], W((i) + 6)); \
    SHA256_ROUND(b, c, d, e, f, g, h, a, kRound[(i) + 7], W((i) + 7))

// Hashes `count` consecutive 64-byte blocks into `state`.
void Compress(uint32_t* state, const uint8_t* data, size_t count) {
    uint32_t w[16];
    for (; count > 0; --count, data += 64) {
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
#define SHA256_LOAD(i) (w[i] = LoadBig(data + 4 * (i)))
#define SHA256_NEXT(i) SHA256_SCHEDULE(w, i)
        SHA256_EIGHT(0, SHA256_LOAD);
        SHA256_EIGHT(8, SHA256_LOAD);
        SHA256_EIGHT(16, SHA256_NEXT);
        SHA256_EIGHT(24, SHA256_NEXT);
        SHA256_EIGHT(32, SHA256_NEXT);
        SHA256_EIGHT(40, SHA256_NEXT);
        SHA256_EIGHT(48, SHA256_NEXT);
        SHA256_EIGHT(56, SHA256_NEXT);
#undef SHA256_LOAD
#undef SHA256_NEXT
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#undef SHA256_EIGHT
#undef SHA256_SCHEDULE
#undef SHA256_ROUND

}  // namespace

void TSha256::Reset() {
    state_ = kInitial;
    length_ = 0;
    filled_ = 0;
}

void TSha256::Update(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    length_ += size;
    if (filled_ > 0) {
        const size_t take = size < 64 - filled_ ? size : 64 - filled_;
        std::memcpy(block_.data() + filled_, p, take);
        filled_ += take;
        p += take;
        size -= take;
        if (filled_ < 64) {
            return;
        }
        Compress(state_.data(), block_.data(), 1);
        filled_ = 0;
    }
    // Whole blocks straight from the caller's memory, without a copy.
    Compress(state_.data(), p, size / 64);
    p += size / 64 * 64;
    size %= 64;
    if (size > 0) {
        std::memcpy(block_.data(), p, size);
        filled_ = size;
    }
}

std::array<uint8_t, 32> TSha256::Final() {
    // The padding: one 1 bit, zeros up to 56 bytes into a block, and the
    // message's length in bits as a big-endian 64-bit number.
    const uint64_t bits = length_ * 8;
    uint8_t tail[72] = {0x80};
    const size_t zeros = (filled_ < 56 ? 56 - filled_ : 120 - filled_) - 1;
    for (int i = 0; i < 8; ++i) {
        tail[1 + zeros + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    }
    Update(tail, 1 + zeros + 8);
    std::array<uint8_t, 32> digest;
    for (size_t i = 0; i < 8; ++i) {
        digest[4 * i] = static_cast<uint8_t>(state_[i] >> 24);
        digest[4 * i + 1] = static_cast<uint8_t>(state_[i] >> 16);
        digest[4 * i + 2] = static_cast<uint8_t>(state_[i] >> 8);
        digest[4 * i + 3] = static_cast<uint8_t>(state_[i]);
    }
    Reset();
    return digest;
}

std::string HexDigest(const std::array<uint8_t, 32>& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex(64, '0');
    for (size_t i = 0; i < digest.size(); ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 15];
    }
    return hex;
}

std::string Sha256Hex(std::string_view bytes) {
    TSha256 hash;
    hash.Update(bytes);
    return HexDigest(hash.Final());
}

}  // namespace base
