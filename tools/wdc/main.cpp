// wdc: prepares a window definition for embedding in the program.
//
//   wdc INPUT OUTPUT [--base DIR] [--name NAME] [--cpp FILE] [--rc FILE] [--depfile FILE]
//
// Checks the syntax of the definition INPUT, replaces every file("PATH") by
// data("BASE64") holding the bytes of that file and every skin("FOLDER") by
// data("BASE64") holding that skin folder packed into a stored skin (a
// relative PATH or FOLDER is taken from DIR, by default the folder of INPUT)
// and writes the result to OUTPUT;
// the rest of the text (comments and layout included) stays as it is.
// With --name, it also writes the files that embed OUTPUT under NAME:
//   --cpp FILE   C++ source that registers the text (the native build);
//   --rc FILE    resource script with the text as RCDATA NAME (Windows).
// --depfile FILE writes the dependencies of OUTPUT (INPUT and every file it
// names) for the build system.
// A syntax error, a missing file or bad arguments: a message naming the
// line, and exit status 1.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "base/base64.h"
#include "base/text.h"
#include "framework/definition.h"
#include "skin/data/stored_skin.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kBase64Line = 76;

struct Failure {
    std::string message;
};

fs::path PathFromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string PathToUtf8(const fs::path& path) {
    std::u8string s = path.generic_u8string();
    return std::string(s.begin(), s.end());
}

bool ReadFile(const fs::path& path, std::string& bytes) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw Failure{"cannot write " + PathToUtf8(path)};
    }
}

void CollectFiles(const framework::TDefinitionObject& object,
                  std::vector<const framework::TDefinitionValue*>& files) {
    for (const auto& property : object.properties) {
        if (property.value.kind == framework::TValueKind::File) {
            files.push_back(&property.value);
        }
    }
    for (const auto& child : object.children) {
        CollectFiles(child, files);
    }
}

// Packs the skin folder `path` (skin.ini and the pictures it names) into the
// bytes of a stored skin; every file of the folder becomes a dependency.
void PackSkin(const fs::path& folder, const framework::TDefinitionValue& value,
              const std::string& inputName, std::string& bytes,
              std::vector<std::string>& dependencies) {
    std::error_code ec;
    if (!fs::is_regular_file(folder / "skin.ini", ec)) {
        throw Failure{inputName + ": line " + std::to_string(value.line) + ": skin(\"" +
                      value.text + "\") is not a skin folder (no skin.ini in " +
                      PathToUtf8(folder) + ")"};
    }
    skin::TbsCompressedStoredSkin stored(nullptr);
    try {
        // The folder as a GBK path, as the packer takes it.
        stored.PackSkinFolder(base::Utf16ToGbk(fs::absolute(folder / "skin.ini").u16string()));
    } catch (const std::exception& e) {
        throw Failure{inputName + ": line " + std::to_string(value.line) + ": cannot pack skin(\"" +
                      value.text + "\"): " + e.what()};
    }
    bytes.assign(stored.CompressedData());
    if (bytes.empty()) {
        throw Failure{inputName + ": line " + std::to_string(value.line) + ": skin(\"" +
                      value.text + "\"): the description lacks a section a skin needs"};
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        if (entry.is_regular_file()) {
            dependencies.push_back(PathToUtf8(fs::absolute(entry.path())));
        }
    }
}

// The blanks at the start of the line that holds `offset`.
std::string IndentAt(const std::string& text, size_t offset) {
    size_t start = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    start = start == std::string::npos ? 0 : start + 1;
    size_t end = start;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) {
        ++end;
    }
    return text.substr(start, end - start);
}

// data("...") for `bytes`: on one line when short, else one piece of base64
// per line, indented below the property.
std::string DataValue(const std::string& bytes, const std::string& indent) {
    const std::string encoded = base::Base64(bytes);
    if (encoded.size() <= kBase64Line) {
        return "data(\"" + encoded + "\")";
    }
    std::string out = "data(";
    for (size_t i = 0; i < encoded.size(); i += kBase64Line) {
        out += "\n" + indent + "    \"" + encoded.substr(i, kBase64Line) + "\"";
        out += i + kBase64Line < encoded.size() ? "," : ")";
    }
    return out;
}

std::string EscapeDepfilePath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#' || c == '\\') {
            out += '\\';
        } else if (c == '$') {
            out += '$';
        }
        out += c;
    }
    return out;
}

std::string CppSource(const std::string& name, const std::string& input, const std::string& text) {
    std::ostringstream out;
    out << "// Generated by wdc from " << input << "; do not edit.\n"
        << "#include <string_view>\n\n#include \"framework/definition.h\"\n\nnamespace {\n\n"
        << "// The bytes as numbers: a string literal would be recoded by the compiler.\n"
        << "const unsigned char kText[] = {";
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < text.size(); ++i) {
        out << (i % 16 == 0 ? "\n    " : " ");
        const auto b = static_cast<unsigned char>(text[i]);
        out << "0x" << kHex[b >> 4] << kHex[b & 15] << ',';
    }
    out << "\n};\n\n"
        << "[[maybe_unused]] const bool kRegistered =\n"
        << "    (framework::RegisterEmbeddedDefinition(\n"
        << "         \"" << name
        << "\", std::string_view(reinterpret_cast<const char*>(kText), sizeof kText)),\n"
        << "     true);\n\n}  // namespace\n";
    return out.str();
}

bool IsResourceName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

int Run(int argc, char** argv) {
    std::vector<std::string> positional;
    std::string base, name, cpp, rc, depfile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= argc) {
                throw Failure{arg + " needs a value"};
            }
            target = argv[++i];
        };
        if (arg == "--base") {
            value(base);
        } else if (arg == "--name") {
            value(name);
        } else if (arg == "--cpp") {
            value(cpp);
        } else if (arg == "--rc") {
            value(rc);
        } else if (arg == "--depfile") {
            value(depfile);
        } else if (arg.starts_with("--")) {
            throw Failure{"unknown option " + arg};
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        throw Failure{
            "usage: wdc INPUT OUTPUT [--base DIR] [--name NAME] [--cpp FILE] [--rc FILE] "
            "[--depfile FILE]"};
    }
    if ((!cpp.empty() || !rc.empty()) && !IsResourceName(name)) {
        throw Failure{"--cpp and --rc need --name with letters, digits and '_' only"};
    }
    const fs::path input = PathFromUtf8(positional[0]);
    const fs::path output = PathFromUtf8(positional[1]);
    const std::string inputName = positional[0];

    std::string text;
    if (!ReadFile(input, text)) {
        throw Failure{"cannot read " + inputName};
    }
    framework::TDefinitionObject definition;
    try {
        definition = framework::ParseDefinition(text);
    } catch (const framework::EDefinitionError& e) {
        throw Failure{inputName + ": " + e.Message()};
    }

    const fs::path baseDir = base.empty() ? input.parent_path() : PathFromUtf8(base);
    std::vector<const framework::TDefinitionValue*> files;
    CollectFiles(definition, files);
    std::sort(files.begin(), files.end(),
              [](const auto* a, const auto* b) { return a->sourceBegin < b->sourceBegin; });

    std::string expanded;
    std::vector<std::string> dependencies = {PathToUtf8(fs::absolute(input))};
    size_t copied = 0;
    for (const framework::TDefinitionValue* file : files) {
        fs::path path = PathFromUtf8(file->text);
        if (path.is_relative()) {
            path = baseDir / path;
        }
        std::string bytes;
        if (!file->items.empty() && file->items[0] == "skin") {
            PackSkin(path, *file, inputName, bytes, dependencies);
        } else {
            if (!ReadFile(path, bytes)) {
                throw Failure{inputName + ": line " + std::to_string(file->line) +
                              ": cannot read file \"" + file->text + "\" (" + PathToUtf8(path) +
                              ")"};
            }
            dependencies.push_back(PathToUtf8(fs::absolute(path)));
        }
        expanded.append(text, copied, file->sourceBegin - copied);
        expanded += DataValue(bytes, IndentAt(text, file->sourceBegin));
        copied = file->sourceEnd;
    }
    expanded.append(text, copied, std::string::npos);

    // The result must read back: a check of this tool as much as of the input.
    try {
        framework::ParseDefinition(expanded);
    } catch (const framework::EDefinitionError& e) {
        throw Failure{inputName + ": the expanded definition does not parse: " + e.Message()};
    }

    WriteFile(output, expanded);
    if (!cpp.empty()) {
        WriteFile(PathFromUtf8(cpp), CppSource(name, inputName, expanded));
    }
    if (!rc.empty()) {
        const std::string target = PathToUtf8(fs::absolute(output));
        if (target.find_first_of("\"\\") != std::string::npos) {
            throw Failure{"the output path cannot be written into a resource script"};
        }
        WriteFile(PathFromUtf8(rc), "// Generated by wdc from " + inputName + "; do not edit.\n" +
                                        name + " RCDATA \"" + target + "\"\n");
    }
    if (!depfile.empty()) {
        std::string deps = EscapeDepfilePath(PathToUtf8(fs::absolute(output))) + ":";
        for (const std::string& d : dependencies) {
            deps += " \\\n  " + EscapeDepfilePath(d);
        }
        WriteFile(PathFromUtf8(depfile), deps + "\n");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const Failure& f) {
        std::fprintf(stderr, "wdc: %s\n", f.message.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wdc: %s\n", e.what());
    }
    return 1;
}
