#include "exceptions/crash_data.h"

#include <gtest/gtest.h>

#include <string>

#include "base/exception.h"
#include "base/zstreams.h"
#include "options_fixture.h"

namespace exceptions {
namespace {

using testing::SetEveryField;
using testing::StoredFields;

std::string U16(uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string U32(uint32_t v) {
    return U16(v & 0xFFFF) + U16(static_cast<uint16_t>(v >> 16));
}

const std::string kMagic = U32(kCrashDataMagic);

// Debug data with every byte value, so that nothing is taken for text.
std::string SomeDebugData() {
    std::string data;
    for (int i = 0; i < 600; ++i) {
        data += static_cast<char>(i * 7);
    }
    return data;
}

TEST(CrashDataTest, BuiltResourceCarriesOptionsAndDebugData) {
    TVivavaModuleOptions options("", false);
    SetEveryField(options);
    const std::string debug = SomeDebugData();
    const std::string resource = BuildCrashData(options, debug);
    EXPECT_EQ(resource.substr(0, 14), kMagic + U16(454) + std::string(8, '\0'));
    // The rest is one zlib stream of options, length and debug data.
    EXPECT_EQ(base::ZDecompress(resource.substr(14)),
              options.SaveToString() + U32(static_cast<uint32_t>(debug.size())) + debug);

    const TCrashData data = ParseCrashData(resource);
    ASSERT_EQ(data.status, TCrashDataStatus::kOk);
    EXPECT_EQ(data.version, 454);
    TVivavaModuleOptions loaded("", false);
    EXPECT_EQ(LoadCrashPayload(data.payload, data.version, loaded), debug);
    EXPECT_EQ(StoredFields(loaded), StoredFields(options));
}

TEST(CrashDataTest, ResourceStatus) {
    const std::string payload = "options and debug data";
    const std::string packed = base::ZCompress(payload);
    const std::string header454 = kMagic + U16(454) + U32(7) + U32(0xFFFFFFFF);
    const struct {
        const char* name;
        std::string resource;
        TCrashDataStatus status;
        std::string payload;
    } cases[] = {
        {"empty", "", TCrashDataStatus::kNotCarrying, ""},
        {"wrong magic", U32(0x000FAB11) + U16(454) + std::string(8, '\0') + packed,
         TCrashDataStatus::kNotCarrying, ""},
        {"magic only", kMagic, TCrashDataStatus::kDamaged, ""},
        {"header cut short", header454.substr(0, 13), TCrashDataStatus::kDamaged, ""},
        {"no zlib stream", header454, TCrashDataStatus::kDamaged, ""},
        {"zlib cut short", header454 + packed.substr(0, packed.size() - 1),
         TCrashDataStatus::kDamaged, ""},
        {"not zlib", header454 + payload, TCrashDataStatus::kDamaged, ""},
        {"compressed", header454 + packed, TCrashDataStatus::kOk, payload},
        {"padding after the stream", header454 + packed + std::string(3, '\0'),
         TCrashDataStatus::kOk, payload},
        {"stored before 450", kMagic + U16(449) + U32(7) + U32(0xFFFFFFFF) + payload,
         TCrashDataStatus::kOk, payload},
    };
    for (const auto& c : cases) {
        const TCrashData data = ParseCrashData(c.resource);
        EXPECT_EQ(data.status, c.status) << c.name;
        EXPECT_EQ(data.payload, c.payload) << c.name;
        if (data.status == TCrashDataStatus::kOk) {
            EXPECT_EQ(data.reserved[0], 7u) << c.name;
            EXPECT_EQ(data.reserved[1], 0xFFFFFFFFu) << c.name;
        }
    }
}

TEST(CrashDataTest, PayloadInflatingBeyondTheCapIsDamaged) {
    const std::string header = kMagic + U16(454) + std::string(8, '\0');
    const std::string big = std::string(kMaxCrashPayload + 1, 'x');
    EXPECT_EQ(ParseCrashData(header + base::ZCompress(big)).status, TCrashDataStatus::kDamaged);
    const TCrashData at_cap = ParseCrashData(header + base::ZCompress(big.substr(1)));
    EXPECT_EQ(at_cap.status, TCrashDataStatus::kOk);
    EXPECT_EQ(at_cap.payload.size(), kMaxCrashPayload);
}

TEST(CrashDataTest, AppendedBlockIsFoundFromTheEndOfTheFile) {
    const std::string payload = "stored payload";
    const std::string block = U16(421) + U32(1) + U32(2) + payload;
    const auto length = static_cast<uint32_t>(block.size());
    const std::string file = "MZ the program itself" + block + U32(length) + kMagic;
    const struct {
        const char* name;
        std::string bytes;
        TCrashDataStatus status;
    } cases[] = {
        {"whole file", file, TCrashDataStatus::kOk},
        {"tail only", block + U32(length) + kMagic, TCrashDataStatus::kOk},
        {"tail cut into the block", file.substr(file.size() - 9), TCrashDataStatus::kNotCarrying},
        {"length past the start", "x" + U32(length + 2) + kMagic, TCrashDataStatus::kNotCarrying},
        {"length of all ones", file.substr(0, file.size() - 8) + U32(0xFFFFFFFF) + kMagic,
         TCrashDataStatus::kNotCarrying},
        {"no room for the header", "123456789" + U32(9) + kMagic, TCrashDataStatus::kNotCarrying},
        {"no magic", file + "x", TCrashDataStatus::kNotCarrying},
        {"shorter than the framing", kMagic, TCrashDataStatus::kNotCarrying},
    };
    for (const auto& c : cases) {
        const TCrashData data = ParseAppendedCrashData(c.bytes);
        EXPECT_EQ(data.status, c.status) << c.name;
        if (data.status == TCrashDataStatus::kOk) {
            EXPECT_EQ(data.version, 421) << c.name;
            EXPECT_EQ(data.reserved[0], 1u) << c.name;
            EXPECT_EQ(data.reserved[1], 2u) << c.name;
            EXPECT_EQ(data.payload, payload) << c.name;
        } else {
            EXPECT_TRUE(data.payload.empty()) << c.name;
        }
    }
}

TEST(CrashDataTest, DamagedPayloadRaisesAndKeepsTheOptions) {
    TVivavaModuleOptions stored("", false);
    SetEveryField(stored);
    const std::string options = stored.SaveToString();
    const std::string payload = options + U32(3) + "abc";
    TVivavaModuleOptions target("", false);
    const auto defaults = StoredFields(target);
    for (size_t cut = 0; cut < payload.size() - 3; ++cut) {
        EXPECT_THROW(LoadCrashPayload(payload.substr(0, cut), 454, target), base::EReadError)
            << "cut at " << cut;
    }
    EXPECT_THROW(LoadCrashPayload(options + U32(4) + "abc", 454, target), base::EReadError);
    EXPECT_THROW(LoadCrashPayload(options + U32(0xFFFFFFFF) + "abc", 454, target),
                 base::EReadError);
    EXPECT_EQ(StoredFields(target), defaults);

    // Bytes after the debug data do not count.
    EXPECT_EQ(LoadCrashPayload(options + U32(0) + "rest", 454, target), "");
    EXPECT_EQ(StoredFields(target), StoredFields(stored));
}

}  // namespace
}  // namespace exceptions
