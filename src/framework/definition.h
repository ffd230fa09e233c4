#pragma once

// Window definitions: a text format that lists the objects of a window (a
// root object and the objects nested in it) with their classes and property
// values, the registry that maps class names to factories and property names
// to writers, and the reader that builds the components.
//
// The format (UTF-8 text):
//
//   # a comment runs from '#' to the end of the line (outside strings)
//   object UpdateForm: TUpdateForm
//     Caption = "升级更新"
//     ClientWidth = 480
//     Font.Name = "宋体"
//     Items = ("a", "b")
//     object Image1: TImage
//       Picture.Data = file("assets/side.bmp")
//     end
//   end
//
// definition := object                      (exactly one root object)
// object     := "object" NAME ":" CLASS NL { property NL | object } "end" NL
// property   := PATH "=" value              (properties before nested objects)
// PATH       := IDENT { "." IDENT }
// value      := STRING                      "text": \" \\ \n \r \t \xHH escapes
//             | INTEGER                     decimal or 0x hexadecimal, optional '-'
//             | "true" | "false"
//             | IDENT                       enum value, method name, component name
//             | "[" [ IDENT { "," IDENT } ] "]"        a set
//             | "(" [ STRING { "," STRING } ] ")"      a string list
//             | "file" "(" STRING ")"       bytes of a file; only in source files,
//                                           wdc turns it into data(...)
//             | "skin" "(" STRING ")"       a skin folder packed into a stored
//                                           skin; only in source files, wdc
//                                           packs it and writes data(...)
//             | "data" "(" STRING { "," STRING } ")"   base64 of the bytes, in pieces
// IDENT      := [A-Za-z_][A-Za-z0-9_]*
//
// One property or object header per line; a set, list, file(...) or data(...)
// may run over several lines. Names of objects, classes, properties, enum
// values and methods match with ASCII letters in any case. Object names are
// unique in a definition, and a property is set at most once per object.
//
// Strings are handed to the program as GBK: the text between escapes is
// converted from UTF-8 (a character that GBK lacks is an error), and an
// escape puts its byte into the result as it is (\xHH: the byte HH).

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/exception.h"
#include "framework/component.h"

namespace framework {

// A definition that cannot be read. The message names the line, the object
// and the property when they are known:
//   line 12: object bsSkinButton1: unknown property "Captoin"
class EDefinitionError : public base::Exception {
  public:
    explicit EDefinitionError(std::string message, int line = 0)
        : Exception(std::move(message)), line_(line) {}
    int Line() const { return line_; }

  private:
    int line_;
};

enum class TValueKind { String, Integer, Boolean, Identifier, Set, StringList, Binary, File };

// One parsed property value. The accessors check the kind and raise
// EDefinitionError ("expected an integer, not a string") otherwise; the
// reader adds the line, the object and the property to the message.
struct TDefinitionValue {
    TValueKind kind = TValueKind::Integer;
    // String: the GBK bytes; Identifier: the name; Binary: the bytes;
    // File: the path as written (UTF-8), with items {"skin"} for skin(...).
    std::string text;
    int64_t integer = 0;  // Integer; Boolean: 0 or 1
    // Set: the identifiers; StringList: the GBK strings.
    std::vector<std::string> items;
    int line = 0;
    // Where the value is in the source text (byte offsets, end exclusive).
    size_t sourceBegin = 0;
    size_t sourceEnd = 0;

    const std::string& AsString() const;
    // EDefinitionError "integer out of range" outside int.
    int AsInteger() const;
    int64_t AsInt64() const;
    bool AsBoolean() const;
    const std::string& AsIdentifier() const;
    const std::vector<std::string>& AsSet() const;
    const std::vector<std::string>& AsStrings() const;
    const std::string& AsBinary() const;

    // The value of the identifier in `table`; EDefinitionError
    // "unknown value "X"" when it is not there.
    template <typename T>
    T AsEnum(std::initializer_list<std::pair<std::string_view, T>> table) const {
        const std::string& name = AsIdentifier();
        for (const auto& [key, value] : table) {
            if (MatchName(key, name)) {
                return value;
            }
        }
        throw EDefinitionError("unknown value \"" + name + "\"");
    }
    // The bits of the set's members, OR-ed; EDefinitionError "unknown set
    // member "X"" for a member that is not in `table`.
    uint32_t AsFlags(std::initializer_list<std::pair<std::string_view, uint32_t>> table) const;

    static const char* KindName(TValueKind kind);

  private:
    static bool MatchName(std::string_view a, std::string_view b);
    void Expect(TValueKind wanted) const;
};

struct TDefinitionProperty {
    std::string path;  // "Font.Name"
    TDefinitionValue value;
    int line = 0;
};

struct TDefinitionObject {
    std::string name;
    std::string className;
    int line = 0;
    std::vector<TDefinitionProperty> properties;
    std::vector<TDefinitionObject> children;
};

// Parses the text of a definition (syntax only: classes and properties are
// not looked up). Raises EDefinitionError for anything malformed.
TDefinitionObject ParseDefinition(std::string_view text);

// The bytes of a data(...) piece: one line of Base64 exactly as base::Base64
// writes it; anything else raises EDefinitionError "malformed base64 data".
std::string Base64Decode(std::string_view text);

// Handlers a root object offers to the events of a definition, by name. A
// handler is a std::function of the type the event expects.
class TMethodTable {
  public:
    template <typename Signature>
    void Add(std::string name, std::type_identity_t<std::function<Signature>> method) {
        methods_.emplace_back(std::move(name), std::any(std::move(method)));
    }
    // Null when there is no method of that name.
    const std::any* Find(std::string_view name) const;

  private:
    std::vector<std::pair<std::string, std::any>> methods_;
};

// Implemented by a root object whose methods the definition names as event
// handlers ("OnClick = Button1Click").
class TMethodProvider {
  public:
    virtual ~TMethodProvider() = default;
    virtual const TMethodTable& Methods() const = 0;
};

class TReaderContext;

using TComponentFactory = std::function<TComponent*(TComponent* owner)>;
using TPropertyWriter = std::function<void(TComponent& component, const TDefinitionValue& value,
                                           TReaderContext& context)>;

// Class names to factories, and per class property paths to writers. A
// class names its parent class; property lookup walks up from the class
// through its ancestors, so a class inherits its parent's properties and may
// replace them.
class TClassRegistry {
  public:
    // EDefinitionError when the name is already registered. `parent` may be
    // empty. A class without factory cannot be created from a definition
    // (a base class that only carries properties).
    void RegisterClass(std::string name, std::string parent, TComponentFactory factory);
    template <typename T>
    void RegisterClass(std::string name, std::string parent) {
        RegisterClass(std::move(name), std::move(parent),
                      [](TComponent* owner) -> TComponent* { return new T(owner); });
    }

    // Adds a writer for `path` of a registered class (EDefinitionError for a
    // class that is not registered or a path it already has). The writer gets
    // the component as T; a component that is not a T is an error when the
    // property is written.
    template <typename T = TComponent>
    void RegisterProperty(
        std::string_view className, std::string path,
        std::type_identity_t<std::function<void(T&, const TDefinitionValue&, TReaderContext&)>>
            writer) {
        if constexpr (std::is_same_v<T, TComponent>) {
            AddProperty(className, std::move(path), std::move(writer));
        } else {
            AddProperty(
                className, std::move(path),
                [writer = std::move(writer)](TComponent& c, const TDefinitionValue& v,
                                             TReaderContext& context) {
                    T* target = dynamic_cast<T*>(&c);
                    if (target == nullptr) {
                        throw EDefinitionError("the object's class does not have this property");
                    }
                    writer(*target, v, context);
                });
        }
    }

    bool IsRegistered(std::string_view className) const;
    // True for the class itself and each of its ancestors.
    bool InheritsFrom(std::string_view className, std::string_view ancestor) const;
    // Null for an unknown class or one without factory.
    const TComponentFactory* Factory(std::string_view className) const;
    // The writer of the class or its nearest ancestor that has one; null when
    // none has.
    const TPropertyWriter* FindProperty(std::string_view className, std::string_view path) const;

  private:
    struct ClassInfo {
        std::string name;
        std::string parent;
        TComponentFactory factory;
        std::vector<std::pair<std::string, TPropertyWriter>> properties;
    };
    const ClassInfo* FindClass(std::string_view name) const;
    void AddProperty(std::string_view className, std::string path, TPropertyWriter writer);

    std::vector<ClassInfo> classes_;
};

// What a property writer can ask of the reader.
class TReaderContext {
  public:
    TComponent& Root() const { return *root_; }
    // The object that encloses the one being written (null for the root).
    TComponent* Parent() const { return parent_; }

    // Calls `apply` with the component that `value` (an identifier) names,
    // once every object of the definition is read: the root itself or a
    // component the root owns. A name that matches none is an error then.
    void Reference(const TDefinitionValue& value, std::function<void(TComponent&)> apply);
    // The same for a component that must be a T.
    template <typename T>
    void Reference(const TDefinitionValue& value,
                   std::type_identity_t<std::function<void(T&)>> apply) {
        Reference(value, [apply = std::move(apply)](TComponent& c) {
            T* target = dynamic_cast<T*>(&c);
            if (target == nullptr) {
                throw EDefinitionError("component \"" + c.Name() +
                                       "\" does not have the class this property needs");
            }
            apply(*target);
        });
    }

    // The root's method that `value` (an identifier) names, as the handler
    // type of the event. EDefinitionError "unknown method "X"" when the root
    // has none of that name, "method "X" does not fit this event" when its
    // type differs.
    template <typename Signature>
    std::function<Signature> Method(const TDefinitionValue& value) const {
        const std::any& method = FindMethod(value.AsIdentifier());
        const auto* handler = std::any_cast<std::function<Signature>>(&method);
        if (handler == nullptr) {
            throw EDefinitionError("method \"" + value.AsIdentifier() +
                                   "\" does not fit this event");
        }
        return *handler;
    }

  private:
    friend class DefinitionReader;

    struct Fixup {
        std::string name;
        std::function<void(TComponent&)> apply;
        int line;
        std::string objectName;
        std::string property;
    };

    const std::any& FindMethod(const std::string& name) const;

    TComponent* root_ = nullptr;
    TComponent* parent_ = nullptr;
    const TMethodTable* methods_ = nullptr;
    std::vector<Fixup> fixups_;
    // Where the property being written is, for the fixups it adds.
    int line_ = 0;
    std::string objectName_;
    std::string property_;
};

// Reads a definition into `root`, an existing component (such as a form that
// reads its own definition in its constructor). The root's properties are
// written through the class the definition names for it, which must be
// registered (the root's class or an ancestor of it); its name becomes the
// definition's root name. Nested objects are created with their class's
// factory, owned by the root, in the order of the file; each gets
// SetParentComponent(the enclosing object) right after its creation.
// Every component is loading (csLoading) while its properties are written;
// references are resolved after all objects are read, then Loaded() is
// called on each component, the root first, in creation order.
// On an error the components created so far are deleted (the last one
// first), csLoading of the root is cleared, and EDefinitionError is raised.
void ReadDefinition(std::string_view text, const TClassRegistry& registry, TComponent& root);

// The same with a root that is created with its class's factory, owned by
// `owner`; returns it. On an error the root is deleted again.
TComponent* CreateFromDefinition(std::string_view text, const TClassRegistry& registry,
                                 TComponent* owner);

// The expanded text of a definition compiled into the program at build time
// (see cmake/WindowDefinition.cmake), by the name given there. On Windows it
// is an RCDATA resource of the executable; natively the generated code
// registers it. EDefinitionError when there is none of that name.
std::string_view EmbeddedDefinition(const char* name);

// Called by the code that the native build generates for each compiled
// definition, while the program starts; `text` must stay valid. (The Windows
// build finds its resources instead and does not define this function.)
void RegisterEmbeddedDefinition(const char* name, std::string_view text);

}  // namespace framework
