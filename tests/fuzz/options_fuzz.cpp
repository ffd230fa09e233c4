// libFuzzer target: arbitrary bytes as the reporter's CLDATA block, as an
// options stream of every format version, and as the text form of options.
//
// Input: a mode byte, a version byte (an index into the format versions),
// then the bytes. Modes:
//   0  a CLDATA resource (ParseCrashData), its payload loaded;
//   1  a file's tail with an appended block (ParseAppendedCrashData), loaded;
//   2  an options stream (LoadFromStream) of the chosen format;
//   3  the text form (ReadOptionsText);
//   4  a payload, compressed into a well-formed resource of the chosen
//      version first, so that the payload reader is reached through zlib.
// Only the errors the readers promise are expected (base::EReadError from
// blocks and streams, base::EConvertError from the text); anything else
// escapes and is reported. Besides memory errors and undefined behaviour the
// target checks:
//   - a block is "not carrying" exactly when it lacks the magic (resource) or
//     its framing does not fit (appended); a payload never exceeds the cap;
//   - a load that fails leaves the options as they were;
//   - what loads without error saves to a stream that loads back (format 454)
//     to the very same stream, and writes a text that reads back to the very
//     same options.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/exception.h"
#include "base/streams.h"
#include "base/zstreams.h"
#include "exceptions/crash_data.h"
#include "exceptions/options.h"
#include "exceptions/options_text.h"
#include "fuzz_check.h"

namespace {

using exceptions::TCrashData;
using exceptions::TCrashDataStatus;
using exceptions::TVivavaModuleOptions;

const uint16_t kVersions[] = {400, 401, 402, 403, 419, 420, 421, 422, 449, 450, 454, 455};

uint32_t U32At(std::string_view bytes, size_t at) {
    uint32_t v = 0;
    for (size_t i = 4; i-- > 0;) {
        v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return v;
}

// Options loaded without error: their stream is a fixed point.
void CheckStable(const TVivavaModuleOptions& options) {
    const std::string saved = options.SaveToString();
    base::TMemoryStream stream;
    stream.Assign(saved);
    TVivavaModuleOptions again("", false);
    again.LoadFromStream(stream);
    FUZZ_CHECK(stream.Position() == stream.Size());
    FUZZ_CHECK(again.SaveToString() == saved);
    TVivavaModuleOptions from_text("", false);
    exceptions::ReadOptionsText(exceptions::WriteOptionsText(options), from_text);
    FUZZ_CHECK(from_text.SaveToString() == saved);
}

void LoadPayload(const TCrashData& data) {
    FUZZ_CHECK(data.payload.size() <= exceptions::kMaxCrashPayload);
    if (data.status != TCrashDataStatus::kOk) {
        FUZZ_CHECK(data.payload.empty());
        return;
    }
    TVivavaModuleOptions options("", false);
    const std::string before = options.SaveToString();
    try {
        const std::string debug = exceptions::LoadCrashPayload(data.payload, data.version, options);
        FUZZ_CHECK(debug.size() + 4 <= data.payload.size());
        CheckStable(options);
    } catch (const base::EReadError&) {
        FUZZ_CHECK(options.SaveToString() == before);
    }
}

void FuzzResource(std::string_view bytes) {
    const TCrashData data = exceptions::ParseCrashData(bytes);
    const bool magic = bytes.size() >= 4 && U32At(bytes, 0) == exceptions::kCrashDataMagic;
    FUZZ_CHECK((data.status == TCrashDataStatus::kNotCarrying) == !magic);
    LoadPayload(data);
}

void FuzzAppended(std::string_view bytes) {
    const TCrashData data = exceptions::ParseAppendedCrashData(bytes);
    if (data.status == TCrashDataStatus::kOk) {
        const uint32_t length = U32At(bytes, bytes.size() - 8);
        FUZZ_CHECK(length >= 10 && length <= bytes.size() - 8);
        FUZZ_CHECK(data.payload.size() + 10 == length);
        FUZZ_CHECK(bytes.substr(bytes.size() - 8 - data.payload.size(), data.payload.size()) ==
                   data.payload);
    } else {
        FUZZ_CHECK(data.status == TCrashDataStatus::kNotCarrying);
    }
    LoadPayload(data);
}

void FuzzStream(std::string_view bytes, uint16_t version) {
    TVivavaModuleOptions options("", false);
    options.SetMailServer("kept");
    const std::string before = options.SaveToString();
    base::TMemoryStream stream;
    stream.Assign(bytes);
    try {
        options.LoadFromStream(stream, version);
        FUZZ_CHECK(options.LogCapacity() >= 1);
        FUZZ_CHECK(options.FilterClasses().Count() == options.FilterMessages().Count());
        CheckStable(options);
    } catch (const base::EReadError&) {
        FUZZ_CHECK(options.SaveToString() == before);
    }
}

void FuzzText(std::string_view bytes) {
    TVivavaModuleOptions options("", false);
    const std::string before = options.SaveToString();
    try {
        exceptions::ReadOptionsText(bytes, options);
        CheckStable(options);
    } catch (const base::EConvertError&) {
        FUZZ_CHECK(options.SaveToString() == before);
    }
}

void FuzzCompressed(std::string_view payload, uint16_t version) {
    std::string resource;
    for (int i = 0; i < 4; ++i) {
        resource += static_cast<char>(exceptions::kCrashDataMagic >> (8 * i));
    }
    resource += static_cast<char>(version & 0xFF);
    resource += static_cast<char>(version >> 8);
    resource.append(8, '\0');
    resource += version >= exceptions::kCompressedCrashDataVersion ? base::ZCompress(payload, 1)
                                                                   : std::string(payload);
    const TCrashData data = exceptions::ParseCrashData(resource);
    FUZZ_CHECK(data.status == TCrashDataStatus::kOk);
    FUZZ_CHECK(data.payload == payload);
    LoadPayload(data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    const uint16_t version = kVersions[data[1] % std::size(kVersions)];
    switch (data[0] % 5) {
        case 0:
            FuzzResource(bytes);
            break;
        case 1:
            FuzzAppended(bytes);
            break;
        case 2:
            FuzzStream(bytes, version);
            break;
        case 3:
            FuzzText(bytes);
            break;
        default:
            FuzzCompressed(bytes, version);
            break;
    }
    return 0;
}
