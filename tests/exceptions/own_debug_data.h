#pragma once

// This test program's own debug data (it is built with crash data, like
// updater.exe), to name the code that stack bytes point into.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "exceptions/crash_data.h"
#include "exceptions/debug_data.h"
#include "exceptions/options.h"
#include "exceptions/win32/module_crash_data.h"

namespace exceptions {

class TOwnDebugData {
  public:
    TOwnDebugData() {
        const auto* base = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        code_ = reinterpret_cast<uintptr_t>(base) + 0x1000;
        end_ = reinterpret_cast<uintptr_t>(base) + nt->OptionalHeader.SizeOfImage;
        const TCrashData data = ReadModuleCrashData(GetModuleHandleW(nullptr));
        if (data.status == TCrashDataStatus::kOk) {
            TVivavaModuleOptions options("", false);
            debug_ = LoadCrashPayload(data.payload, data.version, options);
            reader_.emplace(debug_, data.version);
        }
    }
    bool Valid() const { return reader_ && reader_->Valid(); }

    // Where the code at `address` comes from.
    std::optional<TDebugLocation> At(uintptr_t address) const {
        if (!reader_ || address < code_ || address >= end_) {
            return std::nullopt;
        }
        return reader_->Find(static_cast<uint32_t>(address - code_));
    }

    // The places that the pointer-sized slots of `size` bytes at `bytes`,
    // read as return addresses, were called from (the byte before a return
    // address lies in its call).
    std::vector<TDebugLocation> CallSites(const uint8_t* bytes, size_t size) const {
        std::vector<TDebugLocation> sites;
        for (size_t at = 0; at + sizeof(uintptr_t) <= size; at += sizeof(uintptr_t)) {
            uintptr_t value = 0;
            std::memcpy(&value, bytes + at, sizeof value);
            if (const auto site = At(value - 1)) {
                sites.push_back(*site);
            }
        }
        return sites;
    }

  private:
    uintptr_t code_ = 0;
    uintptr_t end_ = 0;
    std::string debug_;
    std::optional<TDebugDataReader> reader_;
};

}  // namespace exceptions
