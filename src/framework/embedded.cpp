// The native build's table of embedded window definitions: the code that
// the build generates for each compiled definition registers its text here
// while the program starts. Names match with ASCII letters in any case, as
// Windows resource names do.

#include <string>
#include <utility>
#include <vector>

#include "framework/definition.h"
#include "framework/names.h"

namespace framework {

namespace {

std::vector<std::pair<std::string, std::string_view>>& Table() {
    static std::vector<std::pair<std::string, std::string_view>> table;
    return table;
}

}  // namespace

void RegisterEmbeddedDefinition(const char* name, std::string_view text) {
    Table().emplace_back(name, text);
}

std::string_view EmbeddedDefinition(const char* name) {
    for (const auto& [key, text] : Table()) {
        if (SameName(key, name)) {
            return text;
        }
    }
    throw EDefinitionError("no embedded window definition \"" + std::string(name) + "\"");
}

}  // namespace framework
