#include "debug_builder.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "byte_reader.h"

namespace cldgen {

namespace {

constexpr uint32_t kCodeBase = 0x1000;
constexpr size_t kMaxName = 255;
// The largest code length and line advance one line-table entry holds.
constexpr uint32_t kLargestEntry = 0x10000;

bool IsExecutable(const TPeSection& section) {
    return (section.characteristics & (kSectionCode | kSectionExecute)) != 0;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// `path` relative to `folder` when it lies inside it.
bool Inside(const std::string& path, const std::string& folder, std::string& relative) {
    if (folder.empty() || path.size() <= folder.size() + 1 || !StartsWith(path, folder) ||
        path[folder.size()] != '/') {
        return false;
    }
    relative = path.substr(folder.size() + 1);
    return true;
}

std::string ResolveUnit(const std::string& path, const std::string& comp_dir,
                        const TSourcePaths& paths, bool& inside) {
    const std::string root = NormalPath(paths.root);
    const std::string normal = NormalPath(path);
    std::string relative;
    inside = Inside(normal, root, relative);
    // A path that leaves the compilation folder of another tree ("../../src")
    // is read from this build's folder.
    if (!inside && !comp_dir.empty() && !paths.build_dir.empty() &&
        StartsWith(path, comp_dir + "/") &&
        StartsWith(NormalPath(path.substr(comp_dir.size() + 1)), "../")) {
        const std::string moved = NormalPath(paths.build_dir + "/" + path.substr(comp_dir.size()));
        inside = Inside(moved, root, relative);
    }
    if (!inside) {
        // Shortened, and marked so: ".../c++/bits/stl_vector.h" (the mark
        // also keeps an extensionless header from being taken for a unit
        // name without extension).
        const size_t include = normal.find("/include/");
        relative = ".../" + (include != std::string::npos ? normal.substr(include + 9)
                                                          : normal.substr(normal.rfind('/') + 1));
    }
    if (relative.size() > kMaxName) {
        relative.erase(0, relative.size() - kMaxName);
    }
    return relative;
}

struct TSegment {
    uint32_t start = 0;
    uint32_t end = 0;
    uint32_t unit = 0;  // index into the unit names
    uint32_t line = 0;
};

// Disjoint address ranges.
class TRanges {
  public:
    bool Overlaps(uint32_t start, uint32_t end) const {
        auto it = ranges_.upper_bound(start);
        if (it != ranges_.begin() && std::prev(it)->second > start) {
            return true;
        }
        return it != ranges_.end() && it->first < end;
    }
    void Add(uint32_t start, uint32_t end) { ranges_[start] = std::max(ranges_[start], end); }

  private:
    std::map<uint32_t, uint32_t> ranges_;  // start -> end
};

// How a function was found, best first.
enum class TSource {
    kFunction,  // a symbol typed as a function
    kExternal,  // an untyped external symbol in code (assembly)
    kSection,   // the name of a section of its own (".text$name"), whose
                // function symbol the library did not keep
};

struct TCandidate {
    uint32_t rva = 0;
    std::string name;
    bool decorated = false;  // carries the 32-bit "_" and "@N" decoration
    TSource source = TSource::kFunction;
    bool external = false;
    std::string object_source;  // the object's source file, from its .file entry
};

// The functions of the symbol table, one per address, in address order.
// At one address a better source wins, then an external name.
std::vector<TCandidate> CollectFunctions(const TPeImage& image) {
    const auto& sections = image.Sections();
    const bool decorated = image.Machine() == kMachineI386;
    std::vector<TCandidate> functions;
    std::string object_source;
    for (const TCoffSymbol& symbol : image.Symbols()) {
        if (symbol.storage_class == kStorageFile) {
            // dlltool names its import stubs "fake": no source.
            object_source = std::string(symbol.aux.substr(0, symbol.aux.find('\0')));
            if (object_source == "fake") {
                object_source.clear();
            }
            continue;
        }
        if (symbol.section < 1 || static_cast<size_t>(symbol.section) > sections.size()) {
            continue;
        }
        const TPeSection& section = sections[static_cast<size_t>(symbol.section - 1)];
        const uint32_t rva = section.virtual_address + symbol.value;
        if (!IsExecutable(section) || symbol.value >= section.virtual_size || rva < kCodeBase) {
            continue;
        }
        const bool external = symbol.storage_class == kStorageExternal;
        // An object's static symbols follow its .file entry; external ones
        // may be listed anywhere.
        TCandidate candidate{rva,       symbol.name,
                             decorated, TSource::kFunction,
                             external,  external ? std::string() : object_source};
        if ((symbol.type & 0xF0) == kSymbolTypeFunction &&
            (external || symbol.storage_class == kStorageStatic)) {
            functions.push_back(std::move(candidate));
        } else if (external && symbol.type == 0) {
            candidate.source = TSource::kExternal;
            functions.push_back(std::move(candidate));
        } else if (symbol.storage_class == kStorageStatic && !symbol.aux.empty() &&
                   symbol.name.size() > section.name.size() + 1 &&
                   StartsWith(symbol.name, section.name) &&
                   symbol.name[section.name.size()] == '$') {
            // Section names hold the symbol without the 32-bit decoration.
            candidate.name = symbol.name.substr(section.name.size() + 1);
            candidate.decorated = false;
            candidate.source = TSource::kSection;
            functions.push_back(std::move(candidate));
        }
    }
    std::stable_sort(functions.begin(), functions.end(),
                     [](const TCandidate& a, const TCandidate& b) {
                         if (a.rva != b.rva) {
                             return a.rva < b.rva;
                         }
                         if (a.source != b.source) {
                             return a.source < b.source;
                         }
                         return a.external && !b.external;
                     });
    functions.erase(
        std::unique(functions.begin(), functions.end(),
                    [](const TCandidate& a, const TCandidate& b) { return a.rva == b.rva; }),
        functions.end());
    return functions;
}

// Where functions end: the next function, the start or end of a piece of a
// code section contributed by one object (its section-definition symbol:
// code, or data such as exception tables), or the section's end.
std::set<uint32_t> FunctionBoundaries(const TPeImage& image,
                                      const std::vector<TCandidate>& functions) {
    std::set<uint32_t> boundaries;
    for (const TCandidate& function : functions) {
        boundaries.insert(function.rva);
    }
    const auto& sections = image.Sections();
    for (const TCoffSymbol& symbol : image.Symbols()) {
        if (symbol.storage_class == kStorageStatic && StartsWith(symbol.name, ".") &&
            symbol.aux.size() >= 4 && symbol.section >= 1 &&
            static_cast<size_t>(symbol.section) <= sections.size()) {
            const TPeSection& section = sections[static_cast<size_t>(symbol.section - 1)];
            if (IsExecutable(section)) {
                TByteReader aux(symbol.aux);
                const uint32_t start = section.virtual_address + symbol.value;
                boundaries.insert(start);
                boundaries.insert(start + aux.U32());
            }
        }
    }
    for (const TPeSection& section : sections) {
        if (IsExecutable(section)) {
            boundaries.insert(section.virtual_address + section.virtual_size);
        }
    }
    return boundaries;
}

}  // namespace

std::string NormalPath(std::string_view path) {
    std::string text(path);
    std::replace(text.begin(), text.end(), '\\', '/');
    const bool absolute = !text.empty() && text[0] == '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string part = text.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
            } else if (!absolute) {
                parts.push_back(part);
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        result += (i ? "/" : "") + parts[i];
    }
    return result;
}

std::string UnitName(const std::string& path, const std::string& comp_dir,
                     const TSourcePaths& paths) {
    bool inside = false;
    return ResolveUnit(path, comp_dir, paths, inside);
}

std::string EntryName(const TSymbolName& name) {
    std::string procedure = name.procedure.substr(0, name.class_name.empty() ? kMaxName : 200);
    if (name.class_name.empty()) {
        return procedure;
    }
    const size_t room = kMaxName - 1 - procedure.size();
    const std::string& scope = name.class_name;
    return (scope.size() > room ? scope.substr(scope.size() - room) : scope) + "." + procedure;
}

TDebugTables BuildDebugTables(const TPeImage& image, const std::vector<TLineProgram>& programs,
                              const TBuildOptions& options) {
    const uint64_t base = image.ImageBase();
    auto executable_range = [&](uint64_t start, uint64_t end) {
        if (start < base + kCodeBase || end > base + 0xFFFFFFFFu) {
            return false;
        }
        const TPeSection* section = image.SectionOfRva(static_cast<uint32_t>(start - base));
        return section != nullptr && IsExecutable(*section) &&
               end - base <= uint64_t{section->virtual_address} + section->virtual_size;
    };

    // Every code byte the line tables describe, as segments of one file and
    // line. Of several rows at one address the last counts.
    std::vector<std::string> unit_names;
    std::vector<bool> unit_inside;
    std::unordered_map<std::string, uint32_t> unit_ids;
    std::vector<TSegment> segments;
    TRanges claimed;
    for (const TLineProgram& program : programs) {
        std::vector<int64_t> file_units(program.files.size(), -1);
        auto unit_of = [&](uint32_t file) {
            if (file_units[file] < 0) {
                bool inside = false;
                std::string name =
                    ResolveUnit(program.files[file], program.comp_dir, options.paths, inside);
                auto [it, added] = unit_ids.emplace(name, static_cast<uint32_t>(unit_names.size()));
                if (added) {
                    unit_names.push_back(std::move(name));
                    unit_inside.push_back(inside);
                }
                file_units[file] = it->second;
            }
            return static_cast<uint32_t>(file_units[file]);
        };
        // One sequence at a time: a sequence that overlaps code an earlier
        // one describes is left out whole. Several units describe one
        // function when it was compiled into each of them and the linker
        // kept one copy (the first): the others' sequences are placed on
        // that copy, and only the first unit's rows belong to it.
        size_t first = 0;
        for (size_t i = 0; i < program.rows.size(); ++i) {
            if (!program.rows[i].end_sequence) {
                continue;
            }
            std::vector<TSegment> sequence;
            bool overlaps = false;
            for (size_t k = first; k < i; ++k) {
                const TLineRow& row = program.rows[k];
                const TLineRow& next = program.rows[k + 1];
                if (next.address <= row.address || !executable_range(row.address, next.address)) {
                    continue;
                }
                const TSegment segment{static_cast<uint32_t>(row.address - base),
                                       static_cast<uint32_t>(next.address - base),
                                       unit_of(row.file), row.line};
                overlaps = overlaps || claimed.Overlaps(segment.start, segment.end);
                sequence.push_back(segment);
            }
            first = i + 1;
            if (overlaps || sequence.empty()) {
                continue;
            }
            claimed.Add(sequence.front().start, sequence.back().end);
            segments.insert(segments.end(), sequence.begin(), sequence.end());
        }
    }
    std::sort(segments.begin(), segments.end(),
              [](const TSegment& a, const TSegment& b) { return a.start < b.start; });

    TDebugTables tables;
    const std::vector<TCandidate> candidates = CollectFunctions(image);
    const std::set<uint32_t> boundaries = FunctionBoundaries(image, candidates);
    for (const TCandidate& candidate : candidates) {
        const auto next = boundaries.upper_bound(candidate.rva);
        if (next == boundaries.end()) {
            continue;
        }
        TFunction function;
        function.rva = candidate.rva;
        function.size = *next - candidate.rva;
        function.name = ParseSymbolName(candidate.name, candidate.decorated);
        const uint32_t end = candidate.rva + function.size;
        const std::string entry_name = EntryName(function.name);

        // The function's pieces: its segments cut to its range, equal
        // neighbours joined.
        std::vector<TSegment> pieces;
        auto it = std::upper_bound(
            segments.begin(), segments.end(), candidate.rva,
            [](uint32_t rva, const TSegment& segment) { return rva < segment.start; });
        if (it != segments.begin() && std::prev(it)->end > candidate.rva) {
            --it;
        }
        for (; it != segments.end() && it->start < end; ++it) {
            TSegment piece = *it;
            piece.start = std::max(piece.start, candidate.rva);
            piece.end = std::min(piece.end, end);
            if (!pieces.empty() && pieces.back().end == piece.start &&
                pieces.back().unit == piece.unit && pieces.back().line == piece.line) {
                pieces.back().end = piece.end;
            } else {
                pieces.push_back(piece);
            }
        }
        if (pieces.empty()) {
            // The source file its object names, as written there; else the
            // section.
            std::string source = candidate.object_source.substr(0, kMaxName - 4);
            if (source.empty()) {
                source = image.SectionOfRva(candidate.rva)->name;
            } else if (source.find('.') == std::string::npos) {
                source = ".../" + source;
            }
            const auto id = unit_ids.emplace(source, static_cast<uint32_t>(unit_names.size()));
            if (id.second) {
                unit_names.push_back(source);
                unit_inside.push_back(false);
            }
            pieces.push_back({candidate.rva, end, id.first->second, 0});
        } else if (pieces.front().start > candidate.rva) {
            // Code before the first row has no line.
            TSegment lead{candidate.rva, pieces.front().start, pieces.front().unit, 0};
            if (pieces.front().line == 0) {
                pieces.front().start = candidate.rva;
            } else {
                pieces.insert(pieces.begin(), lead);
            }
        }
        function.unit = unit_names[pieces.front().unit];
        function.line = pieces.front().line;
        function.ours = unit_inside[pieces.front().unit];
        // No entry covers more than the largest entry form holds: a longer
        // piece continues in further records, of the same line.
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (pieces[i].end - pieces[i].start > kLargestEntry) {
                TSegment rest = pieces[i];
                rest.start += kLargestEntry;
                pieces[i].end = rest.start;
                pieces.insert(pieces.begin() + static_cast<ptrdiff_t>(i) + 1, rest);
            }
        }

        // One unit record per run of strictly increasing lines of one file.
        exceptions::TDebugUnit* unit = nullptr;
        for (size_t i = 0; i < pieces.size(); ++i) {
            const TSegment& piece = pieces[i];
            const bool continues = unit != nullptr && pieces[i - 1].end == piece.start &&
                                   pieces[i - 1].unit == piece.unit &&
                                   pieces[i - 1].line < piece.line &&
                                   piece.line - pieces[i - 1].line <= kLargestEntry;
            if (continues) {
                unit->entries.back().line_advance = piece.line - pieces[i - 1].line;
            } else {
                unit = &tables.units.emplace_back();
                unit->name = unit_names[piece.unit];
                unit->first_line = piece.line;
                unit->code_offset = piece.start - kCodeBase;
            }
            const bool first = unit->entries.empty();
            unit->entries.push_back(
                {piece.end - piece.start, 1, first, first ? entry_name : std::string()});
            unit->code_size += piece.end - piece.start;
        }
        tables.functions.push_back(std::move(function));
    }

    // The name table: fixed aliases first, then the repository's functions.
    for (const auto& [stored, cxx_name] : options.aliases) {
        for (const TFunction& function : tables.functions) {
            const std::string full =
                function.name.class_name.empty()
                    ? function.name.procedure
                    : function.name.class_name + "::" + function.name.procedure;
            if (full == cxx_name) {
                tables.names.push_back({stored, function.rva - kCodeBase});
                ++tables.alias_count;
                break;
            }
        }
    }
    for (const TFunction& function : tables.functions) {
        if (!function.ours) {
            continue;
        }
        std::string qualified = function.unit + ".";
        if (!function.name.class_name.empty()) {
            qualified += function.name.class_name + ".";
        }
        qualified += function.name.procedure;
        if (qualified.size() <= kMaxName) {
            tables.names.push_back({std::move(qualified), function.rva - kCodeBase});
        }
    }
    return tables;
}

}  // namespace cldgen
