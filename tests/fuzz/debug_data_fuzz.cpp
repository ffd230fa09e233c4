// libFuzzer target: arbitrary bytes as a debug-data block.
//
// The input is read at block versions 404 (no name table), 422 (no extended
// entries) and 454, each time from a heap copy of exactly its size, so that
// any read past the block is caught. Besides memory errors and undefined
// behaviour, the target checks:
//   - Valid(), Units() and Names() agree on whether the block is damaged, and
//     a damaged block finds nothing;
//   - a block that reads is encoded again (EncodeDebugData) and that block
//     gives back the same units and names, and the same answer for every
//     probed offset (range ends of the units and entries, 0, 0xFFFFFFFF);
//   - every name of the table finds the offset of its first occurrence;
//   - a location found has a unit name that ends up holding a "." and a
//     procedure that does not begin with "@".

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "exceptions/debug_data.h"
#include "fuzz_check.h"

namespace {

using exceptions::TDebugDataReader;
using exceptions::TDebugLocation;

constexpr size_t kMaxProbes = 64;

std::vector<uint32_t> Probes(const std::vector<exceptions::TDebugUnit>& units) {
    std::vector<uint32_t> probes = {0, 0xFFFFFFFF};
    for (const exceptions::TDebugUnit& unit : units) {
        uint32_t start = unit.code_offset;
        probes.push_back(start - 1);
        probes.push_back(start + unit.code_size - 1);
        probes.push_back(start + unit.code_size);
        for (const exceptions::TLineEntry& entry : unit.entries) {
            if (probes.size() >= kMaxProbes) {
                return probes;
            }
            probes.push_back(start);
            probes.push_back(start + entry.code_length - 1);
            start += entry.code_length;
        }
    }
    if (probes.size() > kMaxProbes) {
        probes.resize(kMaxProbes);
    }
    return probes;
}

void CheckLocation(const std::optional<TDebugLocation>& location) {
    if (location) {
        FUZZ_CHECK(location->unit.find('.') != std::string::npos);
        FUZZ_CHECK(location->procedure.empty() || location->procedure[0] != '@');
    }
}

void Check(std::string_view block, uint16_t version) {
    const TDebugDataReader reader(block, version);
    const auto units = reader.Units();
    const auto names = reader.Names();
    FUZZ_CHECK(units.has_value() == reader.Valid());
    FUZZ_CHECK(names.has_value() == reader.Valid());
    if (!reader.Valid()) {
        FUZZ_CHECK(!reader.Find(0));
        FUZZ_CHECK(!reader.ProcedureOffset(""));
        return;
    }
    FUZZ_CHECK(version > 404 || names->empty());

    const std::string again = exceptions::EncodeDebugData(*names, *units);
    const TDebugDataReader copy(again, exceptions::kDebugDataVersion);
    FUZZ_CHECK(copy.Units() == units);
    FUZZ_CHECK(copy.Names() == names);
    for (const uint32_t offset : Probes(*units)) {
        const auto location = reader.Find(offset);
        CheckLocation(location);
        FUZZ_CHECK(copy.Find(offset) == location);
    }
    for (size_t i = 0; i < names->size() && i < kMaxProbes; ++i) {
        size_t first = 0;
        while ((*names)[first].name != (*names)[i].name) {
            ++first;
        }
        FUZZ_CHECK(reader.ProcedureOffset((*names)[i].name) == (*names)[first].offset);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const uint16_t version : {404, 422, 454}) {
        const std::vector<char> bytes(data, data + size);
        Check(std::string_view(bytes.data(), bytes.size()), version);
    }
    return 0;
}
