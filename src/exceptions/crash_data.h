#pragma once

// The CLDATA block: a module's reporting options and its debug data, as the
// data resource CLDATA carries them (or, uncompressed, appended to the file).
//
// Resource: magic (32-bit), format version (16-bit), two reserved 32-bit
// values, then from version 450 on a zlib stream of the payload (below 450
// the payload itself). Payload: the options stream, a 32-bit length D, then
// D bytes of debug data. Integers are little-endian.
//
// Appended form: the block (version, reserved values, payload) followed by
// its length L (32-bit) and the magic, so the file's last 4 bytes are the
// magic and the block starts L + 8 bytes before the end.
//
// Every length in a block is checked against the bytes there are, and the
// payload inflates to at most kMaxCrashPayload bytes: a damaged block is
// reported as such and never read past.

#include <cstdint>
#include <string>
#include <string_view>

#include "exceptions/options.h"

namespace exceptions {

constexpr uint32_t kCrashDataMagic = 0x000FAB10;
constexpr uint16_t kCrashDataVersion = 454;
// The first version whose payload is compressed.
constexpr uint16_t kCompressedCrashDataVersion = 450;
// Bytes before the payload: magic, version and the reserved values.
constexpr size_t kCrashDataHeaderSize = 14;
constexpr size_t kMaxCrashPayload = 64u * 1024 * 1024;

// The whole resource: magic, version 454, 8 zero bytes, zlib(options stream,
// 32-bit D, D bytes).
std::string BuildCrashData(const TVivavaModuleOptions& options, std::string_view debug_data);

enum class TCrashDataStatus {
    kNotCarrying,  // no block: the module does not carry the reporter
    kDamaged,      // a block whose payload cannot be had
    kOk,
};

struct TCrashData {
    TCrashDataStatus status = TCrashDataStatus::kNotCarrying;
    uint16_t version = 0;
    uint32_t reserved[2] = {0, 0};
    std::string payload;  // inflated (or as stored, below version 450)
};

// The resource's bytes: kNotCarrying without the magic; kDamaged when the
// header is cut short or the payload does not inflate (within the cap).
TCrashData ParseCrashData(std::string_view resource);

// The block appended to a file. `file_bytes` are the file's last bytes (at
// most the whole file; enough to hold the block and its framing). A tail
// without the magic, or whose length does not frame a block within
// `file_bytes`, is no block: kNotCarrying.
TCrashData ParseAppendedCrashData(std::string_view file_bytes);

// Loads the options from the payload and returns the debug-data bytes.
// Raises base::EReadError on a damaged payload; then `options` keeps what it
// had (its defaults, for a new object).
std::string LoadCrashPayload(std::string_view payload, uint16_t version,
                             TVivavaModuleOptions& options);

}  // namespace exceptions
