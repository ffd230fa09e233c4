#pragma once

// The text tables of a report: the call stack, the modules and the CPU
// section (registers, stack words and a memory dump), as the log item, the
// report dialog and the mail carry them. Texts are 8-bit bytes; widths count
// bytes. Lines end with CR LF.

#include <cstdint>
#include <string>
#include <vector>

#include "exceptions/memory_reader.h"
#include "exceptions/options.h"
#include "exceptions/stack_info.h"

namespace exceptions {

// The call-stack table, then the modules table.
//
// Call stack: the heading (text 7 and ":"), a separator, the titles (texts 47
// to 52: Address, Module, Unit, Class, Procedure/Method, Line), a separator,
// one row per entry whose kind is Shown, in stack order, a separator and an
// empty line. Modules: the heading (text 9 and ":"), a separator, the titles
// (texts 62 to 67: Handle, Name, Description, Version, Size, Path), a
// separator, one row per module in the given order, and a separator with no
// line break after it.
//
// A row is "|" before every cell and after the last; each cell is padded
// with blanks to its column's width: the longest of the title and the
// column's values. Addresses and handles are AddressDigits(cpu) upper-case
// hexadecimal digits, so those columns are at least that wide. The Module
// column shows ModuleName; a Line of 0 shows empty; Size is decimal. A
// separator is a line of "-" as long as a row. When the walk left entries
// out (`omitted`), a last call-stack row says how many: "..." as its address,
// "N more" as its procedure.
std::string CallStackAndModulesText(const TVivavaModuleOptions& options, TCpu cpu,
                                    const std::vector<TVivavaDebugInfo>& stack,
                                    const std::vector<TModuleRow>& modules, size_t omitted = 0);

// `value` as `digits` upper-case hexadecimal digits (more when it needs
// them), as the tables print addresses.
std::string HexText(uint64_t value, int digits);

// The registers of a report, in the CPU text's order.
// i686 (8 values): EAX EDI EBX ESI ECX ESP EDX EIP.
// x86_64 (18 values): RAX RDI RBX RSI RCX RSP RDX RIP R8 R9 R10 R11 R12 R13
// R14 R15 RBP EFL.
// A value missing from the end of `values` prints as "????".
struct TCpuRegisters {
    std::vector<uint64_t> values;
};

// The CPU text: text 68 and ":", a line of dashes as long as a register
// line, the registers two to a line ("EAX: 0012FF80   EDI: 00000000"; on
// x86_64 each name padded to four characters, "R8:  ..."), each value as
// AddressDigits(cpu) upper-case hexadecimal digits or "????" when
// `registers` is null; an empty line; text 69 with ":" padded to the width
// of the dump's stack part plus three blanks, then text 70 and ":"; two
// lines of dashes as long as the dump's stack and code parts, three blanks
// apart; then the dump.
//
// The dump has 16 lines, and is left out when the 16 stack words at
// `stack_pointer` (4 bytes each on i686, 8 on x86_64) or the 256 bytes at
// `address` cannot be read from `memory`. Line i shows the address of stack
// word i, ": ", the word, three blanks, address + 16 * i, ": ", the 16 bytes
// there as two hexadecimal digits and a blank each, one more blank, and the
// same bytes as characters (32 to 126 as they are, any other as "."). Every
// line of the text ends with CR LF.
std::string CpuText(const TVivavaModuleOptions& options, TCpu cpu, const TCpuRegisters* registers,
                    uint64_t stack_pointer, uint64_t address, const TMemoryReader& memory);

}  // namespace exceptions
