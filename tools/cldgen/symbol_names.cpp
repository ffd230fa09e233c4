#include "symbol_names.h"

#include <cxxabi.h>

#include <array>
#include <cstdlib>
#include <memory>

namespace cldgen {

namespace {

bool IsIdentifier(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The position after the bracket that closes the one at `open`, counting
// nested brackets of the same kind (and, for angle brackets, ignoring those
// inside parentheses); npos when it is not closed.
size_t Closing(std::string_view text, size_t open, char left, char right) {
    int depth = 0;
    int parens = 0;
    for (size_t i = open; i < text.size(); ++i) {
        const char c = text[i];
        if (left == '<' && c == '(') {
            ++parens;
        } else if (left == '<' && c == ')') {
            --parens;
        } else if (parens > 0) {
            continue;
        } else if (c == left) {
            ++depth;
        } else if (c == right && --depth == 0) {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

// "lambda(int)#2" -> "<lambda#2>", "unnamed type#1" -> "<unnamed#1>".
std::string BlockName(std::string_view inner) {
    const size_t hash = inner.rfind('#');
    const std::string number(hash == std::string_view::npos ? "" : inner.substr(hash));
    if (StartsWith(inner, "lambda")) {
        return "<lambda" + number + ">";
    }
    if (StartsWith(inner, "unnamed")) {
        return "<unnamed" + number + ">";
    }
    return "<block" + number + ">";
}

constexpr std::array<std::string_view, 40> kOperators = {
    "()", "[]", "->*", "->", "<=>", "<<=", ">>=", "<<", ">>", "<=", ">=", "==",  "!=", "&&",
    "||", "++", "--",  "+=", "-=",  "*=",  "/=",  "%=", "&=", "|=", "^=", "<",   ">",  "+",
    "-",  "*",  "/",   "%",  "&",   "|",   "^",   "~",  "!",  "=",  ",",  "\"\""};
constexpr std::array<std::string_view, 5> kWordOperators = {" new[]", " delete[]", " new",
                                                            " delete", " co_await"};
constexpr std::array<std::string_view, 7> kQualifiers = {" const", " volatile", " &&",      " &",
                                                         "&&",     "&",         " noexcept"};
constexpr std::array<std::string_view, 12> kPrefixes = {"non-virtual thunk to ",
                                                        "virtual thunk to ",
                                                        "covariant return thunk to ",
                                                        "transaction clone for ",
                                                        "construction vtable for ",
                                                        "vtable for ",
                                                        "typeinfo name for ",
                                                        "typeinfo for ",
                                                        "VTT for ",
                                                        "guard variable for ",
                                                        "TLS init function for ",
                                                        "TLS wrapper function for "};

std::string Demangle(const std::string& mangled) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> text(
        abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status), &std::free);
    return status == 0 && text ? std::string(text.get()) : std::string();
}

// Removes what may not appear in a stored class or procedure name.
std::string Clean(std::string text) {
    for (char& c : text) {
        if (c == '.') {
            c = '_';
        }
    }
    return text;
}

}  // namespace

std::vector<std::string> SplitDemangled(std::string_view text) {
    // Clone suffixes: "f(int) [clone .isra.0] [clone .cold]".
    for (size_t clone; !text.empty() && text.back() == ']' &&
                       (clone = text.rfind(" [clone ")) != std::string_view::npos;) {
        text = text.substr(0, clone);
    }
    for (bool again = true; again;) {
        again = false;
        for (std::string_view prefix : kPrefixes) {
            if (StartsWith(text, prefix)) {
                text.remove_prefix(prefix.size());
                again = true;
            }
        }
    }

    std::vector<std::string> parts;
    std::string current;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const std::string_view rest = text.substr(i);
        if (StartsWith(rest, "operator") && (i == 0 || !IsIdentifier(text[i - 1])) &&
            (rest.size() == 8 || !IsIdentifier(rest[8]))) {
            current += "operator";
            i += 8;
            const std::string_view op = text.substr(i);
            bool matched = false;
            for (std::string_view symbol : kOperators) {
                if (StartsWith(op, symbol)) {
                    current += symbol;
                    i += symbol.size();
                    matched = true;
                    break;
                }
            }
            for (std::string_view word : kWordOperators) {
                if (!matched && StartsWith(op, word)) {
                    current += word;
                    i += word.size();
                    matched = true;
                }
            }
            if (!matched) {
                // A conversion or literal operator: its type runs to the
                // parameter list; template arguments in it are cut too.
                while (i < text.size() && text[i] != '(') {
                    if (text[i] == '<') {
                        const size_t end = Closing(text, i, '<', '>');
                        if (end == std::string_view::npos) {
                            return {};
                        }
                        current += "<>";
                        i = end;
                    } else {
                        current += text[i++];
                    }
                }
            }
            continue;
        }
        if (c == ' ') {
            // A space outside brackets ends a return type.
            parts.clear();
            current.clear();
            ++i;
        } else if (c == '(' && current.empty()) {
            // "(anonymous namespace)".
            const size_t end = Closing(text, i, '(', ')');
            if (end == std::string_view::npos) {
                return {};
            }
            current.append(text.substr(i, end - i));
            i = end;
        } else if (c == '(') {
            // The parameter list: the name ends here unless it is the scope
            // of a local entity ("f(int)::{lambda()#1}").
            const size_t end = Closing(text, i, '(', ')');
            if (end == std::string_view::npos) {
                return {};
            }
            std::string_view after = text.substr(end);
            for (bool again = true; again;) {
                again = false;
                for (std::string_view qualifier : kQualifiers) {
                    if (StartsWith(after, qualifier)) {
                        after.remove_prefix(qualifier.size());
                        again = true;
                    }
                }
            }
            if (!StartsWith(after, "::")) {
                break;
            }
            i = text.size() - after.size();
        } else if (c == '<') {
            const size_t end = Closing(text, i, '<', '>');
            if (end == std::string_view::npos) {
                return {};
            }
            current += "<>";
            i = end;
        } else if (c == '{') {
            const size_t end = Closing(text, i, '{', '}');
            if (end == std::string_view::npos) {
                return {};
            }
            current += BlockName(text.substr(i + 1, end - i - 2));
            i = end;
        } else if (c == '[' && StartsWith(rest, "[abi:")) {
            const size_t end = text.find(']', i);
            if (end == std::string_view::npos) {
                return {};
            }
            i = end + 1;
        } else if (StartsWith(rest, "::")) {
            if (current.empty()) {
                return {};
            }
            parts.push_back(std::move(current));
            current.clear();
            i += 2;
        } else {
            current += c;
            ++i;
        }
    }
    if (current.empty()) {
        return {};
    }
    parts.push_back(std::move(current));
    // A lambda's call operator is shown as the lambda.
    if (parts.size() >= 2 && parts.back() == "operator()" &&
        StartsWith(parts.end()[-2], "<lambda")) {
        parts.pop_back();
    }
    return parts;
}

TSymbolName ParseSymbolName(std::string_view symbol, bool decorated) {
    std::string name(symbol);
    if (decorated) {
        if (!name.empty() && (name[0] == '_' || name[0] == '@')) {
            name.erase(0, 1);
        }
        const size_t at = name.rfind('@');
        if (at != std::string::npos && at > 0 && at + 1 < name.size() &&
            name.find_first_not_of("0123456789", at + 1) == std::string::npos) {
            name.erase(at);
        }
    }
    TSymbolName result;
    if (StartsWith(name, "_Z")) {
        std::string demangled = Demangle(name);
        const size_t dot = name.find('.');
        if (demangled.empty() && dot != std::string::npos) {
            demangled = Demangle(name.substr(0, dot));
        }
        std::vector<std::string> parts = SplitDemangled(demangled);
        if (!parts.empty()) {
            result.procedure = Clean(std::move(parts.back()));
            parts.pop_back();
            for (const std::string& part : parts) {
                if (!result.class_name.empty()) {
                    result.class_name += "::";
                }
                result.class_name += part;
            }
            result.class_name = Clean(std::move(result.class_name));
            return result;
        }
    }
    // A C name; GCC's clones add ".part.0", ".cold" and the like.
    const size_t dot = name.find('.', 1);
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    result.procedure = Clean(std::move(name));
    return result;
}

}  // namespace cldgen
