#include "exceptions/report_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

namespace exceptions {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

// `value` in upper-case hexadecimal, at least `digits` digits.
std::string Hex(uint64_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    while (value != 0 || static_cast<int>(text.size()) < digits) {
        text.push_back(kDigits[value & 0xF]);
        value >>= 4;
    }
    std::reverse(text.begin(), text.end());
    return text;
}

std::string Decimal(uint64_t value) {
    std::string text;
    do {
        text.push_back(static_cast<char>('0' + value % 10));
        value /= 10;
    } while (value != 0);
    std::reverse(text.begin(), text.end());
    return text;
}

void AppendPadded(std::string& out, std::string_view text, size_t width) {
    out += text;
    if (text.size() < width) {
        out.append(width - text.size(), ' ');
    }
}

// A table of text cells whose columns are as wide as their widest cell (the
// title included), with a minimum width per column.
template <size_t N>
class TTextTable {
  public:
    using TRow = std::array<std::string, N>;

    TTextTable(TRow titles, const std::array<size_t, N>& minimum) : widths_(minimum) {
        Add(std::move(titles));
    }

    void Add(TRow row) {
        for (size_t i = 0; i < N; ++i) {
            widths_[i] = std::max(widths_[i], row[i].size());
        }
        rows_.push_back(std::move(row));
    }

    // The heading, separator, titles, separator, the rows and a closing
    // separator, without a line break after it.
    void AppendTo(std::string& out, std::string_view heading) const {
        size_t length = N + 1;
        for (const size_t width : widths_) {
            length += width;
        }
        const std::string separator(length, '-');
        out += heading;
        out += ':';
        out += kLineBreak;
        out += separator;
        out += kLineBreak;
        AppendRow(out, rows_.front());
        out += kLineBreak;
        out += separator;
        for (size_t r = 1; r < rows_.size(); ++r) {
            out += kLineBreak;
            AppendRow(out, rows_[r]);
        }
        out += kLineBreak;
        out += separator;
    }

  private:
    void AppendRow(std::string& out, const TRow& row) const {
        for (size_t i = 0; i < N; ++i) {
            out += '|';
            AppendPadded(out, row[i], widths_[i]);
        }
        out += '|';
    }

    std::array<size_t, N> widths_;
    std::vector<TRow> rows_;
};

struct TCpuLayout {
    std::array<std::string_view, 18> names;
    size_t register_count;
    size_t word_size;  // bytes per stack word
};

const TCpuLayout& Layout(TCpu cpu) {
    static const TCpuLayout i686 = {{"EAX", "EDI", "EBX", "ESI", "ECX", "ESP", "EDX", "EIP"}, 8, 4};
    static const TCpuLayout x8664 = {{"RAX", "RDI", "RBX", "RSI", "RCX", "RSP", "RDX", "RIP", "R8",
                                      "R9", "R10", "R11", "R12", "R13", "R14", "R15", "RBP", "EFL"},
                                     18,
                                     8};
    return cpu == TCpu::kI686 ? i686 : x8664;
}

constexpr size_t kDumpLines = 16;
constexpr size_t kDumpBytesPerLine = 16;
constexpr size_t kDumpCodeBytes = kDumpLines * kDumpBytesPerLine;

// Widths of a dump line's two parts: "address: word" and
// "address: 16 x "XX ", a blank, 16 characters".
size_t StackPartWidth(int digits) {
    return static_cast<size_t>(digits) * 2 + 2;
}
size_t CodePartWidth(int digits) {
    return static_cast<size_t>(digits) + 2 + kDumpBytesPerLine * 3 + 1 + kDumpBytesPerLine;
}

uint64_t LittleEndian(const uint8_t* bytes, size_t size) {
    uint64_t value = 0;
    for (size_t i = size; i-- > 0;) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

void AppendDump(std::string& out, TCpu cpu, uint64_t stack_pointer, uint64_t address,
                const TMemoryReader& memory) {
    const size_t word_size = Layout(cpu).word_size;
    std::array<uint8_t, kDumpLines * 8> stack{};
    std::array<uint8_t, kDumpCodeBytes> code{};
    if (!memory.Read(stack_pointer, stack.data(), kDumpLines * word_size) ||
        !memory.Read(address, code.data(), code.size())) {
        return;
    }
    const int digits = AddressDigits(cpu);
    for (size_t i = 0; i < kDumpLines; ++i) {
        out += Hex(stack_pointer + i * word_size, digits);
        out += ": ";
        out += Hex(LittleEndian(&stack[i * word_size], word_size), digits);
        out += "   ";
        out += Hex(address + i * kDumpBytesPerLine, digits);
        out += ": ";
        const uint8_t* line = &code[i * kDumpBytesPerLine];
        for (size_t b = 0; b < kDumpBytesPerLine; ++b) {
            out += Hex(line[b], 2);
            out += ' ';
        }
        out += ' ';
        for (size_t b = 0; b < kDumpBytesPerLine; ++b) {
            out += line[b] >= 32 && line[b] <= 126 ? static_cast<char>(line[b]) : '.';
        }
        out += kLineBreak;
    }
}

}  // namespace

std::string CallStackAndModulesText(const TVivavaModuleOptions& options, TCpu cpu,
                                    const std::vector<TVivavaDebugInfo>& stack,
                                    const std::vector<TModuleRow>& modules, size_t omitted) {
    const auto digits = static_cast<size_t>(AddressDigits(cpu));

    TTextTable<6> calls({options.Texts(47), options.Texts(48), options.Texts(49), options.Texts(50),
                         options.Texts(51), options.Texts(52)},
                        {digits, 0, 0, 0, 0, 0});
    for (const TVivavaDebugInfo& entry : stack) {
        if (Shown(entry.Kind)) {
            calls.Add({Hex(entry.Address, AddressDigits(cpu)), entry.ModuleName, entry.UnitName,
                       entry.ClassName, entry.ProcedureName,
                       entry.Line == 0 ? std::string() : Decimal(entry.Line)});
        }
    }
    if (omitted > 0) {
        calls.Add({"...", "", "", "", Decimal(omitted) + " more", ""});
    }

    TTextTable<6> rows({options.Texts(62), options.Texts(63), options.Texts(64), options.Texts(65),
                        options.Texts(66), options.Texts(67)},
                       {digits, 0, 0, 0, 0, 0});
    for (const TModuleRow& module : modules) {
        rows.Add({Hex(module.Handle, AddressDigits(cpu)), module.Name, module.Description,
                  module.Version, Decimal(module.Size), module.Path});
    }

    std::string out;
    calls.AppendTo(out, options.Texts(7));
    out += kLineBreak;
    out += kLineBreak;
    rows.AppendTo(out, options.Texts(9));
    return out;
}

std::string CpuText(const TVivavaModuleOptions& options, TCpu cpu, const TCpuRegisters* registers,
                    uint64_t stack_pointer, uint64_t address, const TMemoryReader& memory) {
    const TCpuLayout& layout = Layout(cpu);
    const int digits = AddressDigits(cpu);
    // A register cell is "NAME:" padded to four characters (x86_64 has
    // two-letter names), a blank and the value.
    constexpr size_t kNameWidth = 4;
    const size_t cell_width = kNameWidth + 1 + static_cast<size_t>(digits);

    std::string out;
    out += options.Texts(68);
    out += ':';
    out += kLineBreak;
    out.append(cell_width * 2 + 3, '-');
    out += kLineBreak;
    for (size_t i = 0; i < layout.register_count; ++i) {
        AppendPadded(out, std::string(layout.names[i]) + ':', kNameWidth);
        out += ' ';
        if (registers != nullptr && i < registers->values.size()) {
            out += Hex(registers->values[i], digits);
        } else {
            out += "????";
        }
        out += i % 2 == 0 ? std::string_view("   ") : kLineBreak;
    }
    out += kLineBreak;

    const size_t stack_width = StackPartWidth(digits);
    AppendPadded(out, options.Texts(69) + ':', stack_width + 3);
    out += options.Texts(70);
    out += ':';
    out += kLineBreak;
    out.append(stack_width, '-');
    out += "   ";
    out.append(CodePartWidth(digits), '-');
    out += kLineBreak;
    AppendDump(out, cpu, stack_pointer, address, memory);
    return out;
}

std::string HexText(uint64_t value, int digits) {
    return Hex(value, digits);
}

}  // namespace exceptions
