// cldgen: the debug data and reporting options a Windows executable carries
// in its CLDATA resource, made from the executable itself.
//
//   cldgen build --options OPTIONS.ini --output CLDATA.bin
//                [--source-root DIR] [--build-dir DIR] [--alias NAME=FUNCTION]... PASS1.exe
//       Reads the functions (COFF symbols) and line tables (DWARF) of the
//       unstripped PASS1.exe, encodes them as debug data, adds the options
//       of OPTIONS.ini and writes the resource's bytes. It then reads its
//       output back with the reporter's decoder and checks that every
//       function's first byte maps to that function. Unit names are paths
//       relative to --source-root; --build-dir is the folder the compiler
//       ran in. --alias adds a name-table entry NAME for the C++ function
//       FUNCTION ("Forms.TApplication.HandleException=framework::
//       detail::HandleExceptionEntry" by default: the hookable body of the
//       framework's handler of last resort); one the image lacks is left
//       out.
//   cldgen verify PASS1.exe PASS2.exe
//       Exit status 0 when the two links load the same code and data: every
//       section the loader keeps, except .rsrc and .reloc, byte for byte,
//       and the headers that lead to them (time stamp and checksum aside).
//   cldgen dump EXE
//       What EXE's CLDATA resource holds: format, sizes, units (the mail
//       password is never shown).
//   cldgen lookup EXE ADDRESS...
//       For every (hexadecimal) address: "ADDRESS<TAB>unit<TAB>line<TAB>
//       class<TAB>procedure" from EXE's debug data, or "ADDRESS<TAB>??".
//
// Errors: a message and exit status 1 (2 for bad arguments); an output file
// is replaced only when the new one is complete.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "base/exception.h"
#include "debug_builder.h"
#include "dwarf_line.h"
#include "exceptions/crash_data.h"
#include "exceptions/debug_data.h"
#include "exceptions/options.h"
#include "exceptions/options_text.h"
#include "pe_image.h"

namespace fs = std::filesystem;

namespace {

constexpr uint16_t kRcData = 10;
constexpr uint32_t kCodeBase = 0x1000;

struct Failure {
    std::string message;
};

struct Usage {
    std::string message;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw Failure{"cannot open " + path};
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw Failure{"cannot read " + path};
    }
    return bytes;
}

// Writes beside the target, then renames: the old file stays until the new
// one is whole.
void WriteFile(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw Failure{"cannot write " + path};
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        throw Failure{"cannot write " + path};
    }
}

struct TImageFile {
    std::string bytes;
    cldgen::TPeImage image;

    explicit TImageFile(const std::string& path) : bytes(ReadFile(path)), image(Checked(path)) {}

  private:
    cldgen::TPeImage Checked(const std::string& path) {
        try {
            return cldgen::TPeImage(bytes);
        } catch (const cldgen::TFormatError& error) {
            throw Failure{path + ": " + error.what()};
        }
    }
};

// The unit name as the reader shows it.
std::string ShownUnit(std::string unit) {
    if (unit.find('.') == std::string::npos) {
        unit += ".pas";
    }
    return unit;
}

std::string ShownProcedure(std::string procedure) {
    if (!procedure.empty() && procedure[0] == '@') {
        procedure[0] = '_';
    }
    return procedure;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Reads the encoded block back with the reporter's decoder: it must give
// back every unit record and name as written, the records must not overlap
// (the decoder answers from the first record holding an address), and
// every function's first byte then maps to the function: its record starts
// there and names it. The decoder's own lookup confirms it on functions
// spread over the image (each lookup walks the records, so all of them
// would take time that grows with the square of the program's size).
void CheckDebugData(const std::string& block, const cldgen::TDebugTables& tables) {
    const exceptions::TDebugDataReader reader(block, exceptions::kDebugDataVersion);
    const auto units = reader.Units();
    const auto names = reader.Names();
    if (!reader.Valid() || !units || !names) {
        throw Failure{"the debug data does not decode"};
    }
    if (*names != tables.names) {
        throw Failure{"the name table does not decode to what was written"};
    }
    // No entry is larger than one entry form holds (the encoder would split
    // it): the records come back as they went in.
    if (*units != tables.units) {
        throw Failure{"the unit records do not decode to what was written"};
    }
    std::vector<const exceptions::TDebugUnit*> sorted;
    for (const exceptions::TDebugUnit& unit : *units) {
        sorted.push_back(&unit);
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const auto* a, const auto* b) { return a->code_offset < b->code_offset; });
    for (size_t i = 1; i < sorted.size(); ++i) {
        if (uint64_t{sorted[i - 1]->code_offset} + sorted[i - 1]->code_size >
            sorted[i]->code_offset) {
            throw Failure{"unit records overlap at " + Hex(sorted[i]->code_offset)};
        }
    }
    auto expected = [](const cldgen::TFunction& function) {
        const std::string entry = cldgen::EntryName(function.name);
        const size_t dot = entry.find('.');
        exceptions::TDebugLocation location;
        location.unit = ShownUnit(function.unit);
        location.class_name = dot == std::string::npos ? "" : entry.substr(0, dot);
        location.procedure =
            ShownProcedure(dot == std::string::npos ? entry : entry.substr(dot + 1));
        location.line = function.line;
        return location;
    };
    auto failed = [](const cldgen::TFunction& function) {
        return Failure{"the debug data does not map " + Hex(function.rva) + " back to " +
                       function.unit + ":" + std::to_string(function.line) + " " +
                       cldgen::EntryName(function.name)};
    };
    for (const cldgen::TFunction& function : tables.functions) {
        const uint32_t offset = function.rva - kCodeBase;
        auto it = std::upper_bound(sorted.begin(), sorted.end(), offset,
                                   [](uint32_t value, const exceptions::TDebugUnit* unit) {
                                       return value < unit->code_offset;
                                   });
        const exceptions::TDebugUnit* unit = it == sorted.begin() ? nullptr : *std::prev(it);
        if (unit == nullptr || unit->code_offset != offset || unit->entries.empty() ||
            unit->entries[0].code_length == 0 || !unit->entries[0].has_name ||
            unit->entries[0].name != cldgen::EntryName(function.name) ||
            unit->name != function.unit || unit->first_line != function.line) {
            throw failed(function);
        }
    }
    constexpr size_t kLookups = 128;
    const size_t count = tables.functions.size();
    for (size_t i = 0; i < std::min(count, kLookups); ++i) {
        const cldgen::TFunction& function = tables.functions[i * count / std::min(count, kLookups)];
        const auto found = reader.Find(function.rva - kCodeBase);
        if (!found || *found != expected(function)) {
            throw failed(function);
        }
    }
    // The aliases, which the reporter looks up by name.
    for (size_t i = 0; i < tables.alias_count; ++i) {
        if (reader.ProcedureOffset(tables.names[i].name) != tables.names[i].offset) {
            throw Failure{"the name table does not give back " + tables.names[i].name};
        }
    }
}

int Build(const std::vector<std::string>& args) {
    std::string options_path;
    std::string output;
    std::string input;
    cldgen::TBuildOptions options;
    options.aliases["Forms.TApplication.HandleException"] =
        "framework::detail::HandleExceptionEntry";
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) {
                throw Usage{arg + " needs a value"};
            }
            return args[++i];
        };
        if (arg == "--options") {
            options_path = value();
        } else if (arg == "--output") {
            output = value();
        } else if (arg == "--source-root") {
            options.paths.root = fs::absolute(value()).lexically_normal().generic_string();
        } else if (arg == "--build-dir") {
            options.paths.build_dir = fs::absolute(value()).lexically_normal().generic_string();
        } else if (arg == "--alias") {
            const std::string& alias = value();
            const size_t equals = alias.find('=');
            if (equals == std::string::npos || equals == 0) {
                throw Usage{"--alias takes NAME=FUNCTION, not " + alias};
            }
            if (equals + 1 == alias.size()) {
                options.aliases.erase(alias.substr(0, equals));
            } else {
                options.aliases[alias.substr(0, equals)] = alias.substr(equals + 1);
            }
        } else if (!arg.empty() && arg[0] == '-') {
            throw Usage{"unknown option " + arg};
        } else if (input.empty()) {
            input = arg;
        } else {
            throw Usage{"more than one executable"};
        }
    }
    if (options_path.empty() || output.empty() || input.empty()) {
        throw Usage{"build needs --options, --output and an executable"};
    }
    for (std::string* folder : {&options.paths.root, &options.paths.build_dir}) {
        while (folder->size() > 1 && folder->back() == '/') {
            folder->pop_back();
        }
    }

    exceptions::TVivavaModuleOptions module_options("", false);
    try {
        exceptions::ReadOptionsText(ReadFile(options_path), module_options);
    } catch (const base::Exception& error) {
        throw Failure{options_path + ": " + error.Message()};
    }

    const TImageFile file(input);
    const cldgen::TPeImage& image = file.image;
    if (image.Symbols().empty()) {
        throw Failure{input + " has no symbol table (stripped?)"};
    }
    std::vector<cldgen::TLineProgram> programs;
    try {
        programs = cldgen::ReadLinePrograms({image.SectionData(".debug_line"),
                                             image.SectionData(".debug_line_str"),
                                             image.SectionData(".debug_str")});
    } catch (const cldgen::TFormatError& error) {
        throw Failure{input + ": .debug_line: " + error.what()};
    }
    const cldgen::TDebugTables tables = cldgen::BuildDebugTables(image, programs, options);
    std::string debug_data;
    try {
        debug_data = exceptions::EncodeDebugData(tables.names, tables.units);
    } catch (const base::Exception& error) {
        throw Failure{error.Message()};
    }
    CheckDebugData(debug_data, tables);
    const std::string block = exceptions::BuildCrashData(module_options, debug_data);
    WriteFile(output, block);
    size_t with_lines = 0;
    for (const cldgen::TFunction& function : tables.functions) {
        with_lines += function.line != 0;
    }
    std::printf(
        "cldgen: %s: %zu bytes (debug data %zu bytes: %zu functions, %zu with lines, %zu unit "
        "records, %zu names)\n",
        output.c_str(), block.size(), debug_data.size(), tables.functions.size(), with_lines,
        tables.units.size(), tables.names.size());
    return 0;
}

int Verify(const std::vector<std::string>& args) {
    if (args.size() != 2) {
        throw Usage{"verify takes two executables"};
    }
    const TImageFile first(args[0]);
    const TImageFile second(args[1]);
    const cldgen::TPeImage& a = first.image;
    const cldgen::TPeImage& b = second.image;
    std::vector<std::string> differences;
    auto same = [&](bool equal, const std::string& what) {
        if (!equal) {
            differences.push_back(what);
        }
    };
    same(a.Machine() == b.Machine() && a.Is64() == b.Is64(), "machine");
    same(a.ImageBase() == b.ImageBase(), "image base");
    same(a.EntryPoint() == b.EntryPoint(), "entry point");
    same(a.SectionAlignment() == b.SectionAlignment(), "section alignment");
    same(a.Subsystem() == b.Subsystem(), "subsystem");
    same(a.DllCharacteristics() == b.DllCharacteristics(), "DLL characteristics");
    // Data directories: all but resources (2), certificates (4) and base
    // relocations (5), which live in the sections left out below.
    same(a.DataDirectories().size() == b.DataDirectories().size(), "data directory count");
    for (size_t i = 0; i < std::min(a.DataDirectories().size(), b.DataDirectories().size()); ++i) {
        if (i != 2 && i != 4 && i != 5) {
            same(a.DataDirectories()[i].rva == b.DataDirectories()[i].rva &&
                     a.DataDirectories()[i].size == b.DataDirectories()[i].size,
                 "data directory " + std::to_string(i));
        }
    }
    auto loaded = [](const cldgen::TPeImage& image) {
        std::vector<const cldgen::TPeSection*> sections;
        for (const cldgen::TPeSection& section : image.Sections()) {
            if (!(section.characteristics & cldgen::kSectionDiscardable) &&
                section.name != ".rsrc" && section.name != ".reloc") {
                sections.push_back(&section);
            }
        }
        return sections;
    };
    const auto sections_a = loaded(a);
    const auto sections_b = loaded(b);
    same(sections_a.size() == sections_b.size(), "the number of loaded sections");
    for (size_t i = 0; i < std::min(sections_a.size(), sections_b.size()); ++i) {
        const cldgen::TPeSection& x = *sections_a[i];
        const cldgen::TPeSection& y = *sections_b[i];
        if (x.name != y.name || x.virtual_address != y.virtual_address ||
            x.virtual_size != y.virtual_size || x.characteristics != y.characteristics) {
            differences.push_back("section " + x.name + " / " + y.name + ": place or size");
            continue;
        }
        // As loaded: the stored bytes, then zeros up to the virtual size.
        std::string bytes_x(a.SectionData(x));
        std::string bytes_y(b.SectionData(y));
        bytes_x.resize(x.virtual_size, '\0');
        bytes_y.resize(y.virtual_size, '\0');
        if (bytes_x != bytes_y) {
            size_t at = 0;
            while (bytes_x[at] == bytes_y[at]) {
                ++at;
            }
            char where[64];
            std::snprintf(where, sizeof where, " at 0x%zX", at);
            differences.push_back("section " + x.name + ": contents differ" + where);
        }
    }
    if (!differences.empty()) {
        std::fprintf(stderr, "cldgen verify: %s and %s differ:\n", args[0].c_str(),
                     args[1].c_str());
        for (const std::string& difference : differences) {
            std::fprintf(stderr, "  %s\n", difference.c_str());
        }
        return 1;
    }
    std::printf("cldgen verify: %zu loaded sections identical\n", sections_a.size());
    return 0;
}

// The CLDATA resource of an executable, decoded.
struct TCarried {
    exceptions::TCrashData crash_data;
    size_t resource_size = 0;
    std::string debug_data;
};

TCarried ReadCarried(const std::string& path, const cldgen::TPeImage& image,
                     exceptions::TVivavaModuleOptions& options) {
    std::optional<std::string_view> resource;
    try {
        resource = cldgen::FindResource(image, kRcData, "CLDATA");
    } catch (const cldgen::TFormatError& error) {
        throw Failure{path + ": " + error.what()};
    }
    if (!resource) {
        throw Failure{path + " has no CLDATA resource"};
    }
    TCarried carried;
    carried.resource_size = resource->size();
    carried.crash_data = exceptions::ParseCrashData(*resource);
    if (carried.crash_data.status != exceptions::TCrashDataStatus::kOk) {
        throw Failure{path + ": the CLDATA resource is " +
                      (carried.crash_data.status == exceptions::TCrashDataStatus::kDamaged
                           ? "damaged"
                           : "not a crash data block")};
    }
    try {
        carried.debug_data = exceptions::LoadCrashPayload(carried.crash_data.payload,
                                                          carried.crash_data.version, options);
    } catch (const base::Exception& error) {
        throw Failure{path + ": the CLDATA payload is damaged: " + error.Message()};
    }
    return carried;
}

int Dump(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        throw Usage{"dump takes one executable"};
    }
    const TImageFile file(args[0]);
    exceptions::TVivavaModuleOptions options("", false);
    const TCarried carried = ReadCarried(args[0], file.image, options);
    const exceptions::TDebugDataReader reader(carried.debug_data, carried.crash_data.version);
    const auto units = reader.Units();
    const auto names = reader.Names();
    std::printf("version: %u\n", carried.crash_data.version);
    std::printf(
        "compressed: %s\n",
        carried.crash_data.version >= exceptions::kCompressedCrashDataVersion ? "yes" : "no");
    std::printf("resource: %zu bytes\n", carried.resource_size);
    std::printf("payload: %zu bytes\n", carried.crash_data.payload.size());
    std::printf("debug data: %zu bytes\n", carried.debug_data.size());
    if (units && names) {
        std::printf("units: %zu\n", units->size());
        std::printf("names: %zu\n", names->size());
    } else {
        std::printf("units: damaged\n");
    }
    std::printf("ShowReport: %d\n", options.ShowReport());
    std::printf("KeepLogFile: %d\n", options.KeepLogFile());
    std::printf("ReportFlags: %u\n", options.ReportFlags());
    std::printf("DeliveryMode: %u\n", options.DeliveryMode());
    std::printf("FreezeWatch: %d\n", options.FreezeWatch());
    std::printf("AttachScreenshot: %d\n", options.AttachScreenshot());
    std::printf("MailServer: %s\n", options.MailServer().c_str());
    std::printf("MailRecipients: %s\n", options.MailRecipients().c_str());
    return 0;
}

int Lookup(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        throw Usage{"lookup takes an executable and addresses"};
    }
    const TImageFile file(args[0]);
    exceptions::TVivavaModuleOptions options("", false);
    const TCarried carried = ReadCarried(args[0], file.image, options);
    const exceptions::TDebugDataReader reader(carried.debug_data, carried.crash_data.version);
    const uint64_t base = file.image.ImageBase() + kCodeBase;
    for (size_t i = 1; i < args.size(); ++i) {
        size_t used = 0;
        uint64_t address = 0;
        try {
            address = std::stoull(args[i], &used, 16);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != args[i].size()) {
            throw Usage{"not a hexadecimal address: " + args[i]};
        }
        std::optional<exceptions::TDebugLocation> location;
        if (address >= base && address - base <= 0xFFFFFFFFu) {
            location = reader.Find(static_cast<uint32_t>(address - base));
        }
        if (location) {
            std::printf("%s\t%s\t%u\t%s\t%s\n", args[i].c_str(), location->unit.c_str(),
                        location->line, location->class_name.c_str(), location->procedure.c_str());
        } else {
            std::printf("%s\t??\n", args[i].c_str());
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> all(argv + 1, argv + argc);
    const std::string command = all.empty() ? "" : all[0];
    const std::vector<std::string> args(all.begin() + (all.empty() ? 0 : 1), all.end());
    try {
        if (command == "build") {
            return Build(args);
        }
        if (command == "verify") {
            return Verify(args);
        }
        if (command == "dump") {
            return Dump(args);
        }
        if (command == "lookup") {
            return Lookup(args);
        }
        throw Usage{command.empty() ? "no command" : "unknown command " + command};
    } catch (const Usage& usage) {
        std::fprintf(stderr,
                     "cldgen: %s\nusage: cldgen build --options FILE --output FILE "
                     "[--source-root DIR] [--build-dir DIR] [--alias NAME=FUNCTION] EXE\n"
                     "       cldgen verify PASS1.exe PASS2.exe\n"
                     "       cldgen dump EXE\n"
                     "       cldgen lookup EXE ADDRESS...\n",
                     usage.message.c_str());
        return 2;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "cldgen: %s\n", failure.message.c_str());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cldgen: %s\n", error.what());
        return 1;
    }
}
