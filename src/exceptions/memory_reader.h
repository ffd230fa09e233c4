#pragma once

// Reading the memory a report describes: the live process, or copies taken
// when something happened (a stack copied when an exception was raised, the
// creator's stack of a thread, the main thread's stack copied by the freeze
// watchdog) that answer for the addresses the bytes had. A read that cannot
// be served in full fails; it never faults.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace exceptions {

class TMemoryReader {
  public:
    virtual ~TMemoryReader() = default;
    // Copies the `size` bytes at `address` to `out`; false when any of them
    // cannot be read (then `out` holds nothing useful).
    virtual bool Read(uint64_t address, void* out, size_t size) const = 0;
    // True when the bytes at `address` lie in the code of a module (an
    // executable section): only there can a return address point.
    virtual bool IsCode(uint64_t address) const = 0;
};

// `bytes` standing at `base`, over a reader for everything else (or
// nothing): a stack copy answers for the stack, the live process for the
// code around it.
class TImageReader : public TMemoryReader {
  public:
    TImageReader(uint64_t base, std::string_view bytes, const TMemoryReader* rest = nullptr)
        : base_(base), bytes_(bytes), rest_(rest) {}

    bool Read(uint64_t address, void* out, size_t size) const override {
        if (address >= base_ && size <= bytes_.size() && address - base_ <= bytes_.size() - size) {
            std::memcpy(out, bytes_.data() + (address - base_), size);
            return true;
        }
        return rest_ != nullptr && rest_->Read(address, out, size);
    }
    bool IsCode(uint64_t address) const override {
        return rest_ != nullptr && rest_->IsCode(address);
    }

  private:
    uint64_t base_;
    std::string_view bytes_;
    const TMemoryReader* rest_;
};

}  // namespace exceptions
