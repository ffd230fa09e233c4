#include "exceptions/export_names.h"

#include <algorithm>

namespace exceptions {
namespace {

bool IsDecorated(std::string_view name) {
    return name.size() >= 2 && name[0] == '@' && name[1] != '$';
}

// "@Unit@Class@Proc$qqrv" -> "Unit.Class.Proc", "@Unit@@Proc" -> "Unit._Proc".
std::string Undecorate(std::string_view name) {
    name = name.substr(0, name.find('$'));
    if (!name.empty() && name.back() == '@') {
        name.remove_suffix(1);
    }
    if (!name.empty() && name.front() == '@') {
        name.remove_prefix(1);
    }
    std::string text(name);
    if (const size_t at = text.find("@@"); at != std::string::npos) {
        text[at + 1] = '_';
    }
    std::replace(text.begin(), text.end(), '@', '.');
    return text;
}

std::string ShownProcedure(std::string_view name) {
    std::string text(name);
    if (!text.empty() && text.front() == '@') {
        text.front() = '_';
    }
    return text;
}

bool IsReturn(uint8_t byte) {
    return byte == 0xC2 || byte == 0xC3 || byte == 0xCA || byte == 0xCB;
}

}  // namespace

std::optional<TExportName> SplitExportName(std::string_view name) {
    if (name.empty() || name.front() == '?') {
        return std::nullopt;
    }
    const bool decorated = IsDecorated(name);
    const std::string undecorated = decorated ? Undecorate(name) : std::string();
    const std::string_view dotted =
        decorated ? std::string_view(undecorated) : name.substr(0, name.find('@'));

    TExportName result;
    if (dotted.find('.') == std::string_view::npos) {
        result.Kind = TEntryKind::kExport;
        result.ProcedureName = ShownProcedure(decorated ? std::string_view(undecorated) : name);
        return result;
    }

    // The last part is the procedure; before it the class when there are at
    // least three parts; the rest is the unit.
    result.Kind = TEntryKind::kDecoratedExport;
    const size_t last = dotted.rfind('.');
    result.ProcedureName = ShownProcedure(dotted.substr(last + 1));
    std::string_view unit = dotted.substr(0, last);
    if (const size_t before = unit.rfind('.'); before != std::string_view::npos) {
        result.ClassName = std::string(unit.substr(before + 1));
        unit = unit.substr(0, before);
    }
    result.UnitName = std::string(unit);
    if (!result.UnitName.empty()) {
        result.UnitName += ".pas";
    }
    return result;
}

uint32_t EstimateProcedureSize(std::span<const uint8_t> code, uint64_t limit) {
    uint64_t size = 1;  // the search reached the end of the code
    if (!code.empty() && code[0] == 0x55) {
        for (size_t i = 1; i < code.size(); ++i) {
            if (IsReturn(code[i]) && (code[i - 1] == 0x5D || code[i - 1] == 0xC9)) {
                size = i + 1;
                break;
            }
        }
    } else {
        const auto ret = std::find_if(code.begin(), code.end(), IsReturn);
        if (ret != code.end()) {
            size = static_cast<uint64_t>(ret - code.begin()) + 1;
        }
    }
    return static_cast<uint32_t>(std::min({size, limit, uint64_t{UINT32_MAX}}));
}

}  // namespace exceptions
