#pragma once

// The modules of the process as a report shows them, and the live memory a
// report reads: the module list with version data, exports and debug data,
// the entry (unit, class, procedure, line) of a code address, and the stack
// walk that turns a raw scan into entries.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "exceptions/debug_data.h"
#include "exceptions/memory_reader.h"
#include "exceptions/options.h"
#include "exceptions/report_text.h"
#include "exceptions/stack_info.h"

namespace exceptions {

// The processor this program runs on.
inline constexpr TCpu kHostCpu =
#if defined(__x86_64__)
    TCpu::kX8664;
#else
    TCpu::kI686;
#endif

// The version of a module's options block when it has none.
inline constexpr uint16_t kNoDebugVersion = 454;

struct TVivavaModuleInfo {
    enum : uint8_t { kNotExamined = 0, kExecutable = 1, kPackage = 2, kLibrary = 3 };

    HMODULE Handle = nullptr;
    std::u16string FileName;                     // the full path, as the system names it
    std::string Description;                     // from the version information (8-bit text)
    std::string Version;                         // "a.b.c.d"; empty when none
    uint32_t Size = 0;                           // of the file, in bytes
    std::vector<TVivavaFunctionInfo> Functions;  // exports, sorted by address
    uint8_t Kind = kNotExamined;
    uint16_t DebugVersion = kNoDebugVersion;
    uint32_t Reserved[2] = {0, 0};
    std::unique_ptr<TVivavaModuleOptionsEx> Options;
    std::string DebugData;  // empty: none
    // Reads DebugData (made with it).
    std::optional<TDebugDataReader> Debug;
};

// The live memory of this process: a read is served only when VirtualQuery
// says every byte is committed, readable and not a guard page; code is what
// lies in an executable page of a loaded image.
class TLiveMemory : public TMemoryReader {
  public:
    bool Read(uint64_t address, void* out, size_t size) const override;
    bool IsCode(uint64_t address) const override;
};

class TVivavaModulesList {
  public:
    TVivavaModulesList() = default;
    TVivavaModulesList(const TVivavaModulesList&) = delete;
    TVivavaModulesList& operator=(const TVivavaModulesList&) = delete;

    // The record of `handle`, examined in full (a light record is completed
    // first); an unknown handle gets a full record when the system can name
    // its file, else null.
    TVivavaModuleInfo* ModuleOfHandle(HMODULE handle);
    // The record of the module whose image holds `address`; null when the
    // address is not committed memory of a module.
    TVivavaModuleInfo* ModuleOfAddress(uint64_t address);
    // Drops the records of modules gone, adds a light record (not examined)
    // for every module not listed, and sorts the list by handle.
    void Refresh();

    // Where `address` lies: the module's debug data; else its exports; else
    // the module alone, or nothing.
    TVivavaDebugInfo EntryOf(uint64_t address);
    // The entries of a raw scan of the stack from `stack_pointer` to
    // `stack_top` in `memory`, led by `first` when given; `omitted` receives
    // the number of entries past the limit.
    std::vector<TVivavaDebugInfo> WalkStack(const TMemoryReader& memory,
                                            std::optional<uint64_t> first, uint64_t stack_pointer,
                                            uint64_t stack_top, size_t* omitted = nullptr);
    // The rows of the modules table, every module examined, by handle.
    std::vector<TModuleRow> Rows();
    // The records, by handle after a refresh.
    size_t Count() const { return modules_.size(); }
    const TVivavaModuleInfo& operator[](size_t i) const { return *modules_[i]; }

  private:
    TVivavaModuleInfo* Find(HMODULE handle);
    void Examine(TVivavaModuleInfo& module);

    std::recursive_mutex lock_;
    std::vector<std::unique_ptr<TVivavaModuleInfo>> modules_;
};

// The FileDescription of the first translation (when longer than one
// character) and the file version "a.b.c.d" (not "0.0.0.0") of the version
// information of the file at `path`; what it lacks stays as it was.
void ReadVersionInformation(const std::u16string& path, std::string& description,
                            std::string& version);

// The registers of `context` in the CPU text's order.
TCpuRegisters RegistersOf(const CONTEXT& context);

// The code address of `qualified_name` ("Unit.Class.Procedure") in this
// module's debug data; null when it has none or the name is not there.
void* ProcedureAddressOfName(TVivavaModulesList& modules, std::string_view qualified_name);

}  // namespace exceptions
