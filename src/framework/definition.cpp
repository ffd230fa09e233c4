#include "framework/definition.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "base/base64.h"
#include "base/text.h"
#include "framework/names.h"

namespace framework {

// ---------------------------------------------------------------------------
// Values

const char* TDefinitionValue::KindName(TValueKind kind) {
    switch (kind) {
        case TValueKind::String:
            return "a string";
        case TValueKind::Integer:
            return "an integer";
        case TValueKind::Boolean:
            return "true or false";
        case TValueKind::Identifier:
            return "a name";
        case TValueKind::Set:
            return "a set";
        case TValueKind::StringList:
            return "a string list";
        case TValueKind::Binary:
            return "data";
        case TValueKind::File:
            return "file(...)";
    }
    return "a value";
}

bool TDefinitionValue::MatchName(std::string_view a, std::string_view b) {
    return SameName(a, b);
}

void TDefinitionValue::Expect(TValueKind wanted) const {
    if (kind == wanted) {
        return;
    }
    if (kind == TValueKind::File) {
        throw EDefinitionError("file(\"" + text +
                               "\") must be expanded by wdc before the definition is read");
    }
    throw EDefinitionError(std::string("expected ") + KindName(wanted) + ", not " + KindName(kind));
}

const std::string& TDefinitionValue::AsString() const {
    Expect(TValueKind::String);
    return text;
}

int TDefinitionValue::AsInteger() const {
    Expect(TValueKind::Integer);
    if (integer < INT32_MIN || integer > INT32_MAX) {
        throw EDefinitionError("integer out of range");
    }
    return static_cast<int>(integer);
}

int64_t TDefinitionValue::AsInt64() const {
    Expect(TValueKind::Integer);
    return integer;
}

bool TDefinitionValue::AsBoolean() const {
    Expect(TValueKind::Boolean);
    return integer != 0;
}

const std::string& TDefinitionValue::AsIdentifier() const {
    Expect(TValueKind::Identifier);
    return text;
}

const std::vector<std::string>& TDefinitionValue::AsSet() const {
    Expect(TValueKind::Set);
    return items;
}

const std::vector<std::string>& TDefinitionValue::AsStrings() const {
    Expect(TValueKind::StringList);
    return items;
}

const std::string& TDefinitionValue::AsBinary() const {
    Expect(TValueKind::Binary);
    return text;
}

uint32_t TDefinitionValue::AsFlags(
    std::initializer_list<std::pair<std::string_view, uint32_t>> table) const {
    uint32_t flags = 0;
    for (const std::string& member : AsSet()) {
        bool found = false;
        for (const auto& [name, bit] : table) {
            if (SameName(name, member)) {
                flags |= bit;
                found = true;
                break;
            }
        }
        if (!found) {
            throw EDefinitionError("unknown set member \"" + member + "\"");
        }
    }
    return flags;
}

// ---------------------------------------------------------------------------
// Base64

std::string Base64Decode(std::string_view text) {
    std::optional<std::string> bytes = base::Base64Decode(text);
    if (!bytes) {
        throw EDefinitionError("malformed base64 data");
    }
    return std::move(*bytes);
}

// ---------------------------------------------------------------------------
// Parser

namespace {

enum class Tok { Ident, Integer, String, Punct, Newline, End };

// A piece of a string literal: text as written (UTF-8), or the byte of an
// escape.
struct StringPiece {
    bool escape;
    std::string bytes;
};

struct Token {
    Tok type = Tok::End;
    std::string text;  // Ident: the name; Punct: the character
    int64_t integer = 0;
    std::vector<StringPiece> pieces;  // String
    int line = 1;
    size_t begin = 0;
    size_t end = 0;
};

constexpr int kMaxDepth = 64;

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}

std::string Describe(const Token& t) {
    switch (t.type) {
        case Tok::Ident:
            return "\"" + t.text + "\"";
        case Tok::Integer:
            return "an integer";
        case Tok::String:
            return "a string";
        case Tok::Punct:
            return "\"" + t.text + "\"";
        case Tok::Newline:
            return "the end of the line";
        case Tok::End:
            return "the end of the text";
    }
    return "something else";
}

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {
        if (text_.starts_with("\xEF\xBB\xBF")) {
            pos_ = 3;  // a UTF-8 byte order mark
        }
    }

    TDefinitionObject ParseRoot() {
        SkipNewlines();
        Token t = Next(false);
        if (!IsWord(t, "object")) {
            Fail(t.line, "expected \"object\", found " + Describe(t));
        }
        TDefinitionObject root = ParseObject(t, 0);
        SkipNewlines();
        t = Next(false);
        if (t.type != Tok::End) {
            Fail(t.line,
                 "expected the end of the text after the root object, found " + Describe(t));
        }
        return root;
    }

  private:
    [[noreturn]] void Fail(int line, const std::string& message) const {
        std::string text = "line " + std::to_string(line) + ": ";
        if (!objectName_.empty()) {
            text += "object " + objectName_ + ": ";
        }
        throw EDefinitionError(text + message, line);
    }

    static bool IsWord(const Token& t, std::string_view word) {
        return t.type == Tok::Ident && t.text == word;
    }
    static bool IsPunct(const Token& t, char c) {
        return t.type == Tok::Punct && t.text.size() == 1 && t.text[0] == c;
    }

    // --- lexer ---

    // Skips blanks and comments; with `acrossLines` also line breaks.
    void SkipSpace(bool acrossLines) {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t') {
                ++pos_;
            } else if ((c == '\n' || c == '\r') && acrossLines) {
                ConsumeLineBreak();
            } else if (c == '#') {
                while (pos_ < text_.size() && text_[pos_] != '\n' && text_[pos_] != '\r') {
                    ++pos_;
                }
            } else {
                return;
            }
        }
    }

    void ConsumeLineBreak() {
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') {
            ++pos_;
        }
        ++pos_;
        ++line_;
    }

    Token Peek(bool acrossLines) {
        const size_t pos = pos_;
        const int line = line_;
        Token t = Next(acrossLines);
        pos_ = pos;
        line_ = line;
        return t;
    }

    Token Next(bool acrossLines) {
        SkipSpace(acrossLines);
        Token t;
        t.line = line_;
        t.begin = pos_;
        if (pos_ >= text_.size()) {
            t.type = Tok::End;
            t.end = pos_;
            return t;
        }
        const char c = text_[pos_];
        if (c == '\n' || c == '\r') {
            ConsumeLineBreak();
            t.type = Tok::Newline;
        } else if (IsIdentStart(c)) {
            while (pos_ < text_.size() && IsIdentChar(text_[pos_])) {
                ++pos_;
            }
            t.type = Tok::Ident;
            t.text = std::string(text_.substr(t.begin, pos_ - t.begin));
        } else if ((c >= '0' && c <= '9') || c == '-') {
            LexInteger(t);
        } else if (c == '"') {
            LexString(t);
        } else if (std::strchr("=:.,[]()", c) != nullptr) {
            ++pos_;
            t.type = Tok::Punct;
            t.text = std::string(1, c);
        } else {
            const auto b = static_cast<unsigned char>(c);
            if (b >= 0x20 && b < 0x7F) {
                Fail(line_, std::string("unexpected character \"") + c + "\"");
            }
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", b);
            Fail(line_, std::string("unexpected byte ") + hex);
        }
        t.end = pos_;
        return t;
    }

    void LexInteger(Token& t) {
        const int line = line_;
        bool negative = false;
        if (text_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        uint64_t value = 0;
        int base = 10;
        if (pos_ + 1 < text_.size() && text_[pos_] == '0' &&
            (text_[pos_ + 1] == 'x' || text_[pos_ + 1] == 'X')) {
            base = 16;
            pos_ += 2;
        }
        const size_t digitsStart = pos_;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            int d;
            if (c >= '0' && c <= '9') {
                d = c - '0';
            } else if (base == 16 && c >= 'a' && c <= 'f') {
                d = c - 'a' + 10;
            } else if (base == 16 && c >= 'A' && c <= 'F') {
                d = c - 'A' + 10;
            } else {
                break;
            }
            if (value > (static_cast<uint64_t>(INT64_MAX) - d) / base) {
                Fail(line, "integer out of range");
            }
            value = value * base + d;
            ++pos_;
        }
        if (pos_ == digitsStart || (pos_ < text_.size() && IsIdentChar(text_[pos_]))) {
            Fail(line, "malformed integer");
        }
        t.type = Tok::Integer;
        t.integer = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
    }

    void LexString(Token& t) {
        const int line = line_;
        ++pos_;  // opening quote
        t.type = Tok::String;
        auto text = [&]() -> std::string& {
            if (t.pieces.empty() || t.pieces.back().escape) {
                t.pieces.push_back(StringPiece{false, {}});
            }
            return t.pieces.back().bytes;
        };
        auto escape = [&](char byte) {
            t.pieces.push_back(StringPiece{true, std::string(1, byte)});
        };
        while (true) {
            if (pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r') {
                Fail(line, "unterminated string");
            }
            const char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return;
            }
            if (c != '\\') {
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
                    Fail(line, "control byte in a string");
                }
                text() += c;
                ++pos_;
                continue;
            }
            if (pos_ + 1 >= text_.size()) {
                Fail(line, "unterminated string");
            }
            const char e = text_[pos_ + 1];
            pos_ += 2;
            switch (e) {
                case '"':
                    escape('"');
                    break;
                case '\\':
                    escape('\\');
                    break;
                case 'n':
                    escape('\n');
                    break;
                case 'r':
                    escape('\r');
                    break;
                case 't':
                    escape('\t');
                    break;
                case 'x': {
                    int v = 0;
                    for (int k = 0; k < 2; ++k) {
                        const char h = pos_ < text_.size() ? text_[pos_] : '\0';
                        int d = -1;
                        if (h >= '0' && h <= '9') {
                            d = h - '0';
                        } else if (h >= 'a' && h <= 'f') {
                            d = h - 'a' + 10;
                        } else if (h >= 'A' && h <= 'F') {
                            d = h - 'A' + 10;
                        }
                        if (d < 0) {
                            Fail(line, "\\x needs two hexadecimal digits");
                        }
                        v = v * 16 + d;
                        ++pos_;
                    }
                    escape(static_cast<char>(v));
                    break;
                }
                default:
                    Fail(line, std::string("unknown escape \"\\") + e + "\"");
            }
        }
    }

    // --- grammar ---

    void SkipNewlines() {
        while (Peek(false).type == Tok::Newline) {
            Next(false);
        }
    }

    void ExpectLineEnd(const std::string& after) {
        Token t = Next(false);
        if (t.type != Tok::Newline && t.type != Tok::End) {
            Fail(t.line, "unexpected " + Describe(t) + " after " + after);
        }
    }

    std::string ExpectIdent(const std::string& what) {
        Token t = Next(false);
        if (t.type != Tok::Ident) {
            Fail(t.line, "expected " + what + ", found " + Describe(t));
        }
        return t.text;
    }

    std::string Gbk(const Token& t) const {
        std::string out;
        for (const StringPiece& p : t.pieces) {
            if (p.escape) {
                out += p.bytes;
                continue;
            }
            try {
                out += base::Utf16ToGbk(base::Utf8ToUtf16(p.bytes));
            } catch (const base::EEncodingError&) {
                Fail(t.line, "string is not UTF-8 text that GBK can hold");
            }
        }
        return out;
    }

    static std::string Raw(const Token& t) {
        std::string out;
        for (const StringPiece& p : t.pieces) {
            out += p.bytes;
        }
        return out;
    }

    TDefinitionObject ParseObject(const Token& keyword, int depth) {
        if (depth >= kMaxDepth) {
            Fail(keyword.line, "objects nested too deeply");
        }
        TDefinitionObject object;
        object.line = keyword.line;
        const std::string enclosing = objectName_;
        object.name = ExpectIdent("an object name after \"object\"");
        objectName_ = object.name;
        for (const auto& [name, line] : names_) {
            if (SameName(name, object.name)) {
                Fail(keyword.line, "the name is already used on line " + std::to_string(line));
            }
        }
        names_.emplace_back(object.name, keyword.line);
        Token colon = Next(false);
        if (!IsPunct(colon, ':')) {
            Fail(colon.line, "expected \":\" after the object name, found " + Describe(colon));
        }
        object.className = ExpectIdent("a class name after \":\"");
        ExpectLineEnd("the class name");
        while (true) {
            SkipNewlines();
            Token t = Next(false);
            if (t.type == Tok::End) {
                Fail(t.line,
                     "missing \"end\" of the object begun on line " + std::to_string(object.line));
            }
            if (IsWord(t, "end")) {
                ExpectLineEnd("\"end\"");
                break;
            }
            if (IsWord(t, "object")) {
                object.children.push_back(ParseObject(t, depth + 1));
                continue;
            }
            if (t.type != Tok::Ident) {
                Fail(t.line,
                     "expected a property name, \"object\" or \"end\", found " + Describe(t));
            }
            if (!object.children.empty()) {
                Fail(t.line, "property \"" + t.text + "\" after a nested object");
            }
            object.properties.push_back(ParseProperty(t));
            const TDefinitionProperty& added = object.properties.back();
            for (size_t i = 0; i + 1 < object.properties.size(); ++i) {
                if (SameName(object.properties[i].path, added.path)) {
                    Fail(added.line, "property \"" + added.path + "\" set twice");
                }
            }
        }
        objectName_ = enclosing;
        return object;
    }

    TDefinitionProperty ParseProperty(const Token& first) {
        TDefinitionProperty property;
        property.line = first.line;
        property.path = first.text;
        while (true) {
            Token t = Next(false);
            if (IsPunct(t, '.')) {
                property.path += '.';
                property.path += ExpectIdent("a name after \".\"");
                continue;
            }
            if (!IsPunct(t, '=')) {
                Fail(t.line,
                     "expected \"=\" after \"" + property.path + "\", found " + Describe(t));
            }
            break;
        }
        property.value = ParseValue(property.path);
        ExpectLineEnd("the value of \"" + property.path + "\"");
        return property;
    }

    TDefinitionValue ParseValue(const std::string& path) {
        Token t = Next(false);
        TDefinitionValue v;
        v.line = t.line;
        v.sourceBegin = t.begin;
        switch (t.type) {
            case Tok::String:
                v.kind = TValueKind::String;
                v.text = Gbk(t);
                break;
            case Tok::Integer:
                v.kind = TValueKind::Integer;
                v.integer = t.integer;
                break;
            case Tok::Ident:
                if (t.text == "true" || t.text == "false") {
                    v.kind = TValueKind::Boolean;
                    v.integer = t.text == "true" ? 1 : 0;
                } else if ((t.text == "file" || t.text == "data" || t.text == "skin") &&
                           IsPunct(Peek(false), '(')) {
                    Next(false);
                    ParseFunction(t.text, v);
                    v.sourceEnd = pos_;
                    return v;
                } else {
                    v.kind = TValueKind::Identifier;
                    v.text = t.text;
                }
                break;
            case Tok::Punct:
                if (t.text == "[") {
                    v.kind = TValueKind::Set;
                    ParseList(']', Tok::Ident, v);
                    v.sourceEnd = pos_;
                    return v;
                }
                if (t.text == "(") {
                    v.kind = TValueKind::StringList;
                    ParseList(')', Tok::String, v);
                    v.sourceEnd = pos_;
                    return v;
                }
                [[fallthrough]];
            default:
                Fail(t.line, "expected a value for \"" + path + "\", found " + Describe(t));
        }
        v.sourceEnd = t.end;
        return v;
    }

    // The items of a set or a string list up to `close`; line breaks between
    // them are allowed.
    void ParseList(char close, Tok itemType, TDefinitionValue& v) {
        Token t = Next(true);
        if (IsPunct(t, close)) {
            return;
        }
        while (true) {
            if (t.type != itemType) {
                Fail(t.line, std::string("expected ") +
                                 (itemType == Tok::Ident ? "a name" : "a string") +
                                 " in the list, found " + Describe(t));
            }
            v.items.push_back(itemType == Tok::Ident ? t.text : Gbk(t));
            t = Next(true);
            if (IsPunct(t, close)) {
                return;
            }
            if (!IsPunct(t, ',')) {
                Fail(t.line,
                     std::string("expected \",\" or \"") + close + "\", found " + Describe(t));
            }
            t = Next(true);
        }
    }

    // file("path"), skin("folder") or data("base64", ...), after the
    // opening parenthesis.
    void ParseFunction(const std::string& name, TDefinitionValue& v) {
        const bool isFile = name != "data";
        std::string joined;
        Token t = Next(true);
        while (true) {
            if (t.type != Tok::String) {
                Fail(t.line, "expected a string in " + name + "(...), found " + Describe(t));
            }
            joined += Raw(t);
            t = Next(true);
            if (IsPunct(t, ')')) {
                break;
            }
            if (isFile || !IsPunct(t, ',')) {
                Fail(t.line, std::string("expected \")\"") + (isFile ? "" : " or \",\"") +
                                 ", found " + Describe(t));
            }
            t = Next(true);
        }
        if (isFile) {
            v.kind = TValueKind::File;
            if (joined.empty()) {
                Fail(v.line, name + "(\"\") needs a path");
            }
            v.text = std::move(joined);
            if (name == "skin") {
                v.items = {"skin"};
            }
        } else {
            v.kind = TValueKind::Binary;
            try {
                v.text = Base64Decode(joined);
            } catch (const EDefinitionError& e) {
                Fail(v.line, e.Message());
            }
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
    std::string objectName_;
    std::vector<std::pair<std::string, int>> names_;
};

}  // namespace

TDefinitionObject ParseDefinition(std::string_view text) {
    return Parser(text).ParseRoot();
}

// ---------------------------------------------------------------------------
// Registry

const std::any* TMethodTable::Find(std::string_view name) const {
    for (const auto& [key, method] : methods_) {
        if (SameName(key, name)) {
            return &method;
        }
    }
    return nullptr;
}

void TClassRegistry::RegisterClass(std::string name, std::string parent,
                                   TComponentFactory factory) {
    if (FindClass(name) != nullptr) {
        throw EDefinitionError("class \"" + name + "\" is already registered");
    }
    classes_.push_back(ClassInfo{std::move(name), std::move(parent), std::move(factory), {}});
}

const TClassRegistry::ClassInfo* TClassRegistry::FindClass(std::string_view name) const {
    for (const ClassInfo& c : classes_) {
        if (SameName(c.name, name)) {
            return &c;
        }
    }
    return nullptr;
}

void TClassRegistry::AddProperty(std::string_view className, std::string path,
                                 TPropertyWriter writer) {
    auto* info = const_cast<ClassInfo*>(FindClass(className));
    if (info == nullptr) {
        throw EDefinitionError("class \"" + std::string(className) + "\" is not registered");
    }
    for (const auto& [existing, w] : info->properties) {
        if (SameName(existing, path)) {
            throw EDefinitionError("class \"" + info->name + "\" already has property \"" + path +
                                   "\"");
        }
    }
    info->properties.emplace_back(std::move(path), std::move(writer));
}

bool TClassRegistry::IsRegistered(std::string_view className) const {
    return FindClass(className) != nullptr;
}

bool TClassRegistry::InheritsFrom(std::string_view className, std::string_view ancestor) const {
    const ClassInfo* c = FindClass(className);
    // The walk is bounded by the number of classes, so a loop of parents
    // (registered in error) ends.
    for (size_t steps = 0; c != nullptr && steps <= classes_.size(); ++steps) {
        if (SameName(c->name, ancestor)) {
            return true;
        }
        c = c->parent.empty() ? nullptr : FindClass(c->parent);
    }
    return false;
}

const TComponentFactory* TClassRegistry::Factory(std::string_view className) const {
    const ClassInfo* c = FindClass(className);
    return c != nullptr && c->factory ? &c->factory : nullptr;
}

const TPropertyWriter* TClassRegistry::FindProperty(std::string_view className,
                                                    std::string_view path) const {
    const ClassInfo* c = FindClass(className);
    for (size_t steps = 0; c != nullptr && steps <= classes_.size(); ++steps) {
        for (const auto& [name, writer] : c->properties) {
            if (SameName(name, path)) {
                return &writer;
            }
        }
        c = c->parent.empty() ? nullptr : FindClass(c->parent);
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Reader

void TReaderContext::Reference(const TDefinitionValue& value,
                               std::function<void(TComponent&)> apply) {
    fixups_.push_back(Fixup{value.AsIdentifier(), std::move(apply), line_, objectName_, property_});
}

const std::any& TReaderContext::FindMethod(const std::string& name) const {
    const std::any* method = methods_ != nullptr ? methods_->Find(name) : nullptr;
    if (method == nullptr) {
        throw EDefinitionError("unknown method \"" + name + "\"");
    }
    return *method;
}

class DefinitionReader {
  public:
    DefinitionReader(const TClassRegistry& registry, TComponent& root)
        : registry_(registry), root_(root) {
        context_.root_ = &root;
        context_.methods_ = nullptr;
        if (const auto* provider = dynamic_cast<const TMethodProvider*>(&root)) {
            context_.methods_ = &provider->Methods();
        }
    }

    // Reads the definition; on an error deletes the components it created
    // (not the root) and leaves the root's loading state cleared.
    void Read(const TDefinitionObject& definition) {
        try {
            ReadRoot(definition);
            ResolveFixups();
            // Each component's Loaded, in creation order; the root first.
            root_.Loaded();
            for (TComponent* c : created_) {
                c->Loaded();
            }
        } catch (...) {
            for (size_t i = created_.size(); i-- > 0;) {
                delete created_[i];
            }
            root_.SetLoading(false);
            throw;
        }
    }

  private:
    [[noreturn]] static void Fail(int line, const std::string& object, const std::string& message) {
        throw EDefinitionError(
            "line " + std::to_string(line) + ": object " + object + ": " + message, line);
    }

    void ReadRoot(const TDefinitionObject& definition) {
        if (!registry_.IsRegistered(definition.className)) {
            Fail(definition.line, definition.name,
                 "unknown class \"" + definition.className + "\"");
        }
        root_.SetLoading(true);
        SetName(root_, definition);
        WriteProperties(root_, nullptr, definition);
        for (const TDefinitionObject& child : definition.children) {
            ReadObject(child, &root_);
        }
    }

    void ReadObject(const TDefinitionObject& object, TComponent* parent) {
        if (!registry_.IsRegistered(object.className)) {
            Fail(object.line, object.name, "unknown class \"" + object.className + "\"");
        }
        const TComponentFactory* factory = registry_.Factory(object.className);
        if (factory == nullptr) {
            Fail(object.line, object.name, "class \"" + object.className + "\" cannot be created");
        }
        TComponent* component = (*factory)(&root_);
        if (component == nullptr) {
            Fail(object.line, object.name, "class \"" + object.className + "\" cannot be created");
        }
        created_.push_back(component);
        component->SetLoading(true);
        SetName(*component, object);
        try {
            component->SetParentComponent(parent);
        } catch (const base::Exception& e) {
            Fail(object.line, object.name, e.Message());
        }
        WriteProperties(*component, parent, object);
        for (const TDefinitionObject& child : object.children) {
            ReadObject(child, component);
        }
    }

    void SetName(TComponent& component, const TDefinitionObject& object) {
        // The root's name and the names of the components it owns must differ
        // for references to be unambiguous.
        if (&component != &root_ && SameName(object.name, root_.Name())) {
            Fail(object.line, object.name, "the name is the root object's name");
        }
        try {
            component.SetName(object.name);
        } catch (const base::Exception& e) {
            Fail(object.line, object.name, e.Message());
        }
    }

    void WriteProperties(TComponent& component, TComponent* parent,
                         const TDefinitionObject& object) {
        context_.parent_ = parent;
        for (const TDefinitionProperty& property : object.properties) {
            const TPropertyWriter* writer = registry_.FindProperty(object.className, property.path);
            if (writer == nullptr) {
                Fail(property.line, object.name, "unknown property \"" + property.path + "\"");
            }
            context_.line_ = property.line;
            context_.objectName_ = object.name;
            context_.property_ = property.path;
            try {
                if (property.value.kind == TValueKind::File) {
                    property.value.AsBinary();  // raises the message for file(...)
                }
                (*writer)(component, property.value, context_);
            } catch (const base::Exception& e) {
                Fail(property.line, object.name,
                     "property \"" + property.path + "\": " + e.Message());
            }
        }
    }

    void ResolveFixups() {
        for (const TReaderContext::Fixup& fixup : context_.fixups_) {
            TComponent* target =
                SameName(root_.Name(), fixup.name) ? &root_ : root_.FindComponent(fixup.name);
            if (target == nullptr) {
                Fail(fixup.line, fixup.objectName,
                     "property \"" + fixup.property + "\": unknown component \"" + fixup.name +
                         "\"");
            }
            try {
                fixup.apply(*target);
            } catch (const base::Exception& e) {
                Fail(fixup.line, fixup.objectName,
                     "property \"" + fixup.property + "\": " + e.Message());
            }
        }
    }

    const TClassRegistry& registry_;
    TComponent& root_;
    TReaderContext context_;
    std::vector<TComponent*> created_;  // not the root
};

void ReadDefinition(std::string_view text, const TClassRegistry& registry, TComponent& root) {
    TDefinitionObject definition = ParseDefinition(text);
    DefinitionReader(registry, root).Read(definition);
}

TComponent* CreateFromDefinition(std::string_view text, const TClassRegistry& registry,
                                 TComponent* owner) {
    TDefinitionObject definition = ParseDefinition(text);
    const TComponentFactory* factory = registry.Factory(definition.className);
    if (factory == nullptr) {
        throw EDefinitionError("line " + std::to_string(definition.line) + ": object " +
                                   definition.name + ": " +
                                   (registry.IsRegistered(definition.className)
                                        ? "class \"" + definition.className + "\" cannot be created"
                                        : "unknown class \"" + definition.className + "\""),
                               definition.line);
    }
    TComponent* root = (*factory)(owner);
    if (root == nullptr) {
        throw EDefinitionError("line " + std::to_string(definition.line) + ": object " +
                                   definition.name + ": class \"" + definition.className +
                                   "\" cannot be created",
                               definition.line);
    }
    try {
        DefinitionReader(registry, *root).Read(definition);
    } catch (...) {
        delete root;
        throw;
    }
    return root;
}

}  // namespace framework
