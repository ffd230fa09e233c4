#include "exceptions/crash_data.h"

#include <algorithm>

#include "base/exception.h"
#include "base/streams.h"
#include "base/zstreams.h"

namespace exceptions {

namespace {

uint16_t GetU16(std::string_view bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

uint32_t GetU32(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 4; i-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

void PutU32(std::string& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>(value >> (8 * i));
    }
}

// Version and reserved values of a block that starts at `at`; `bytes` holds
// at least 10 bytes from there.
void ReadBlockHeader(std::string_view bytes, size_t at, TCrashData& data) {
    data.version = GetU16(bytes, at);
    data.reserved[0] = GetU32(bytes, at + 2);
    data.reserved[1] = GetU32(bytes, at + 6);
}

// The zlib stream at the start of `packed`, inflated; false when it is not a
// complete zlib stream or inflates to more than kMaxCrashPayload bytes.
bool Inflate(std::string_view packed, std::string& out) {
    constexpr size_t kPiece = 64 * 1024;
    try {
        base::TMemoryStream source;
        source.Assign(packed);
        base::TDecompressionStream inflater(source);
        out.clear();
        for (;;) {
            const size_t at = out.size();
            out.resize(at + kPiece);
            const int64_t n = inflater.Read(out.data() + at, static_cast<int64_t>(kPiece));
            out.resize(at + static_cast<size_t>(n));
            if (n == 0) {
                return true;
            }
            if (out.size() > kMaxCrashPayload) {
                return false;
            }
        }
    } catch (const base::EStreamError&) {
        return false;
    }
}

}  // namespace

std::string BuildCrashData(const TVivavaModuleOptions& options, std::string_view debug_data) {
    std::string payload = options.SaveToString();
    PutU32(payload, static_cast<uint32_t>(debug_data.size()));
    payload += debug_data;

    std::string block;
    PutU32(block, kCrashDataMagic);
    block += static_cast<char>(kCrashDataVersion & 0xFF);
    block += static_cast<char>(kCrashDataVersion >> 8);
    block.append(8, '\0');
    block += base::ZCompress(payload, 9);
    return block;
}

TCrashData ParseCrashData(std::string_view resource) {
    TCrashData data;
    if (resource.size() < 4 || GetU32(resource, 0) != kCrashDataMagic) {
        return data;
    }
    data.status = TCrashDataStatus::kDamaged;
    if (resource.size() < kCrashDataHeaderSize) {
        return data;
    }
    ReadBlockHeader(resource, 4, data);
    const std::string_view rest = resource.substr(kCrashDataHeaderSize);
    if (data.version >= kCompressedCrashDataVersion) {
        if (!Inflate(rest, data.payload)) {
            data.payload.clear();
            return data;
        }
    } else {
        if (rest.size() > kMaxCrashPayload) {
            return data;
        }
        data.payload = rest;
    }
    data.status = TCrashDataStatus::kOk;
    return data;
}

TCrashData ParseAppendedCrashData(std::string_view file_bytes) {
    TCrashData data;
    const size_t size = file_bytes.size();
    if (size < 8 || GetU32(file_bytes, size - 4) != kCrashDataMagic) {
        return data;
    }
    const uint32_t length = GetU32(file_bytes, size - 8);
    // The block needs its version and reserved values, and must lie within
    // the bytes there are.
    if (length < kCrashDataHeaderSize - 4 || length > size - 8 ||
        length - (kCrashDataHeaderSize - 4) > kMaxCrashPayload) {
        return data;
    }
    const size_t start = size - 8 - length;
    ReadBlockHeader(file_bytes, start, data);
    data.payload =
        file_bytes.substr(start + kCrashDataHeaderSize - 4, length - (kCrashDataHeaderSize - 4));
    data.status = TCrashDataStatus::kOk;
    return data;
}

std::string LoadCrashPayload(std::string_view payload, uint16_t version,
                             TVivavaModuleOptions& options) {
    base::TMemoryStream stream;
    stream.Assign(payload);
    // Everything is read before `options` changes, so that a damaged
    // payload leaves it as it was.
    TVivavaModuleOptions loaded(options.ModuleName(), false);
    loaded.Assign(options);
    try {
        loaded.LoadFromStream(stream, version);
    } catch (const base::EStreamError&) {
        throw base::EReadError("Damaged crash data: the options are cut short");
    }
    const auto at = static_cast<size_t>(stream.Position());
    if (payload.size() - at < 4) {
        throw base::EReadError("Damaged crash data: no debug data length");
    }
    const uint32_t length = GetU32(payload, at);
    const size_t left = payload.size() - at - 4;
    if (length > left) {
        throw base::EReadError("Damaged crash data: debug data of " + std::to_string(length) +
                               " bytes in " + std::to_string(left));
    }
    std::string debug_data(payload.substr(at + 4, length));
    options.Assign(loaded);
    return debug_data;
}

}  // namespace exceptions
