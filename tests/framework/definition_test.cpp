#include "framework/definition.h"
#include "base/base64.h"
#include "base/zstreams.h"
#include "framework/bitmap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/text.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace framework {
namespace {

// Definition texts are UTF-8. Narrow literals of this file are compiled to
// GBK, so texts with other than ASCII are written as u8 literals.
std::string U8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const EDefinitionError& e) {
        return e.Message();
    }
    return "(no error)";
}

// --- the format ---------------------------------------------------------------

TEST(DefinitionFormatTest, EveryValueKind) {
    const std::string text =
        U8(u8"# a form\n"
           u8"object MainForm: TTestForm   # trailing comment\n"
           u8"  Caption = \"升级更新 # not a comment\"\n"
           u8"  Escapes = \"q\\\" b\\\\ n\\n r\\r t\\t x\\x41\\xfF\"\n"
           u8"  Empty = \"\"\n"
           u8"  Width = 480\n"
           u8"  Left = -12\n"
           u8"  Color = 0x00FF80\n"
           u8"  Neg = -0x10\n"
           u8"  Big = 9223372036854775807\n"
           u8"  Visible = false\n"
           u8"  Enabled = true\n"
           u8"  Position = poScreenCenter\n"
           u8"  BorderIcons = [biSystemMenu, biMinimize]\n"
           u8"  NoIcons = []\n"
           u8"  Items = (\"a\", \"乙\")\n"
           u8"  NoItems = ()\n"
           u8"  Font.Name = \"宋体\"\n"
           u8"  Font.Style.Bold = true\n"
           u8"  Blob = data(\"AAEC/w==\")\n"
           u8"  Picture = file(\"assets/side.bmp\")\n"
           u8"  object Panel1: TTestControl\n"
           u8"    object Image1: TTestControl\n"
           u8"    end\n"
           u8"  end\n"
           u8"  object Button1: TTestButton\n"
           u8"  end\n"
           u8"end\n");
    const TDefinitionObject root = ParseDefinition(text);
    EXPECT_EQ(root.name, "MainForm");
    EXPECT_EQ(root.className, "TTestForm");
    EXPECT_EQ(root.line, 2);
    ASSERT_EQ(root.properties.size(), 19u);
    auto value = [&](const std::string& path) -> const TDefinitionValue& {
        for (const auto& p : root.properties) {
            if (p.path == path) {
                return p.value;
            }
        }
        throw std::runtime_error("no property " + path);
    };
    EXPECT_EQ(value("Caption").AsString(), "升级更新 # not a comment");  // GBK literal
    EXPECT_EQ(value("Escapes").AsString(), "q\" b\\ n\n r\r t\t xA\xFF");
    EXPECT_EQ(value("Empty").AsString(), "");
    EXPECT_EQ(value("Width").AsInteger(), 480);
    EXPECT_EQ(value("Left").AsInteger(), -12);
    EXPECT_EQ(value("Color").AsInteger(), 0x00FF80);
    EXPECT_EQ(value("Neg").AsInteger(), -16);
    EXPECT_EQ(value("Big").AsInt64(), INT64_MAX);
    EXPECT_FALSE(value("Visible").AsBoolean());
    EXPECT_TRUE(value("Enabled").AsBoolean());
    EXPECT_EQ(value("Position").AsIdentifier(), "poScreenCenter");
    EXPECT_EQ(value("BorderIcons").AsSet(),
              (std::vector<std::string>{"biSystemMenu", "biMinimize"}));
    EXPECT_TRUE(value("NoIcons").AsSet().empty());
    EXPECT_EQ(value("Items").AsStrings(), (std::vector<std::string>{"a", "乙"}));
    EXPECT_TRUE(value("NoItems").AsStrings().empty());
    EXPECT_EQ(value("Font.Name").AsString(), "宋体");
    EXPECT_TRUE(value("Font.Style.Bold").AsBoolean());
    EXPECT_EQ(value("Blob").AsBinary(), std::string("\x00\x01\x02\xFF", 4));
    const TDefinitionValue& picture = value("Picture");
    EXPECT_EQ(picture.kind, TValueKind::File);
    EXPECT_EQ(picture.text, "assets/side.bmp");
    EXPECT_EQ(text.substr(picture.sourceBegin, picture.sourceEnd - picture.sourceBegin),
              "file(\"assets/side.bmp\")");
    EXPECT_EQ(value("Width").line, 6);

    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].name, "Panel1");
    EXPECT_EQ(root.children[0].line, 22);
    ASSERT_EQ(root.children[0].children.size(), 1u);
    EXPECT_EQ(root.children[0].children[0].name, "Image1");
    EXPECT_EQ(root.children[1].className, "TTestButton");
}

TEST(DefinitionFormatTest, ListsAcrossLinesLineBreaksAndByteOrderMark) {
    const std::string text =
        "\xEF\xBB\xBFobject F: TForm\r\n"
        "  Set = [\r\n"
        "    a,   # first\r\n"
        "    b\r\n"
        "  ]\r\n"
        "  List = (\"x\",\r"
        "          \"y\")\n"
        "  Blob = data(\r\n"
        "    \"AAEC\",\r\n"
        "    \"Aw==\")\r\n"
        "  After = 1\r\n"
        "end";  // no line break at the very end
    const TDefinitionObject root = ParseDefinition(text);
    ASSERT_EQ(root.properties.size(), 4u);
    EXPECT_EQ(root.properties[0].value.AsSet(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(root.properties[1].value.AsStrings(), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(root.properties[2].value.AsBinary(), std::string("\x00\x01\x02\x03", 4));
    EXPECT_EQ(root.properties[3].line, 11);  // CR LF, a lone CR and a lone LF all count
}

TEST(DefinitionFormatTest, ValueAccessorsCheckTheKind) {
    const TDefinitionObject root = ParseDefinition(
        "object F: TForm\n"
        "  S = \"text\"\n"
        "  I = 3000000000\n"
        "  E = poDefault\n"
        "  Flags = [akLeft, akBottom]\n"
        "  Bad = [akLeft, akMiddle]\n"
        "  P = file(\"x.bmp\")\n"
        "end\n");
    const auto& s = root.properties[0].value;
    const auto& i = root.properties[1].value;
    const auto& e = root.properties[2].value;
    EXPECT_EQ(ErrorOf([&] { s.AsInteger(); }), "expected an integer, not a string");
    EXPECT_EQ(ErrorOf([&] { i.AsString(); }), "expected a string, not an integer");
    EXPECT_EQ(ErrorOf([&] { i.AsInteger(); }), "integer out of range");
    EXPECT_EQ(i.AsInt64(), 3000000000);
    EXPECT_EQ(ErrorOf([&] { s.AsBoolean(); }), "expected true or false, not a string");
    EXPECT_EQ(ErrorOf([&] { e.AsSet(); }), "expected a set, not a name");
    enum Position { poDesigned, poDefault, poScreenCenter };
    EXPECT_EQ(e.AsEnum<Position>({{"poDesigned", poDesigned},
                                  {"PODEFAULT", poDefault},
                                  {"poScreenCenter", poScreenCenter}}),
              poDefault);
    EXPECT_EQ(ErrorOf([&] {
                  e.AsEnum<Position>({{"poDesigned", poDesigned}});
              }),
              "unknown value \"poDefault\"");
    const std::initializer_list<std::pair<std::string_view, uint32_t>> anchors = {
        {"akLeft", 1}, {"akTop", 2}, {"akRight", 4}, {"akBottom", 8}};
    EXPECT_EQ(root.properties[3].value.AsFlags(anchors), 9u);
    EXPECT_EQ(ErrorOf([&] { root.properties[4].value.AsFlags(anchors); }),
              "unknown set member \"akMiddle\"");
    EXPECT_EQ(ErrorOf([&] { root.properties[5].value.AsBinary(); }),
              "file(\"x.bmp\") must be expanded by wdc before the definition is read");
}

TEST(DefinitionFormatTest, SyntaxErrorsNameTheLineAndObject) {
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"", "line 1: expected \"object\", found the end of the text"},
        {"\n\n  Caption = 1\n", "line 3: expected \"object\", found \"Caption\""},
        {"object F: TForm\n", "line 2: object F: missing \"end\" of the object begun on line 1"},
        {"object F TForm\nend\n",
         "line 1: object F: expected \":\" after the object name, found \"TForm\""},
        {"object : TForm\nend\n", "line 1: expected an object name after \"object\", found \":\""},
        {"object F: TForm extra\nend\n",
         "line 1: object F: unexpected \"extra\" after the class name"},
        {"object F: TForm\n  Caption \"x\"\nend\n",
         "line 2: object F: expected \"=\" after \"Caption\", found a string"},
        {"object F: TForm\n  Caption =\nend\n",
         "line 2: object F: expected a value for \"Caption\", found the end of the line"},
        {"object F: TForm\n  Caption = \"open\nend\n", "line 2: object F: unterminated string"},
        {"object F: TForm\n  Caption = \"a\\qb\"\nend\n",
         "line 2: object F: unknown escape \"\\q\""},
        {"object F: TForm\n  Caption = \"\\x4\"\nend\n",
         "line 2: object F: \\x needs two hexadecimal digits"},
        {"object F: TForm\n  Width = 12px\nend\n", "line 2: object F: malformed integer"},
        {"object F: TForm\n  Width = -\nend\n", "line 2: object F: malformed integer"},
        {"object F: TForm\n  Width = 99999999999999999999\nend\n",
         "line 2: object F: integer out of range"},
        {"object F: TForm\n  Width = 1 2\nend\n",
         "line 2: object F: unexpected an integer after the value of \"Width\""},
        {"object F: TForm\n  Font. = 1\nend\n",
         "line 2: object F: expected a name after \".\", found \"=\""},
        {"object F: TForm\n  Set = [a b]\nend\n",
         "line 2: object F: expected \",\" or \"]\", found \"b\""},
        {"object F: TForm\n  Set = [a, \"b\"]\nend\n",
         "line 2: object F: expected a name in the list, found a string"},
        {"object F: TForm\n  Set = [a,\n\n",
         "line 4: object F: expected a name in the list, found the end of the text"},
        {"object F: TForm\n  List = (1)\nend\n",
         "line 2: object F: expected a string in the list, found an integer"},
        {"object F: TForm\n  Data = data(\"AAE\")\nend\n",
         "line 2: object F: malformed base64 data"},
        {"object F: TForm\n  Data = file(\"a\", \"b\")\nend\n",
         "line 2: object F: expected \")\", found \",\""},
        {"object F: TForm\n  Data = file(\"\")\nend\n",
         "line 2: object F: file(\"\") needs a path"},
        {"object F: TForm\n  Data = data(x)\nend\n",
         "line 2: object F: expected a string in data(...), found \"x\""},
        {"object F: TForm\n  A = 1\n  a = 2\nend\n", "line 3: object F: property \"a\" set twice"},
        {"object F: TForm\n  object B: TButton\n  end\n  Caption = \"late\"\nend\n",
         "line 4: object F: property \"Caption\" after a nested object"},
        {"object F: TForm\n  object B: TButton\n  end\n  object b: TButton\n  end\nend\n",
         "line 4: object b: the name is already used on line 2"},
        {"object F: TForm\n  object f: TButton\n  end\nend\n",
         "line 2: object f: the name is already used on line 1"},
        {"object F: TForm\nend\nobject G: TForm\nend\n",
         "line 3: expected the end of the text after the root object, found \"object\""},
        {"object F: TForm\n  object B: TButton\n    X = 1\n  end x\nend\n",
         "line 4: object B: unexpected \"x\" after \"end\""},
        {"object F: TForm\n  Caption = 'x'\nend\n", "line 2: object F: unexpected character \"'\""},
        {"object F: TForm\n  Caption = \"a\x01\"\nend\n",
         "line 2: object F: control byte in a string"},
        {"object F: TForm\n  \xE5\x90\x8D = 1\nend\n", "line 2: object F: unexpected byte 0xE5"},
        {"object F: TForm\n  Caption = \"\xFF\xFE\"\nend\n",
         "line 2: object F: string is not UTF-8 text that GBK can hold"},
        {U8(u8"object F: TForm\n  Caption = \"😀\"\nend\n"),
         "line 2: object F: string is not UTF-8 text that GBK can hold"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorOf([&] { ParseDefinition(c.text); }), c.message) << c.text;
    }
    // The line is also available as a number.
    try {
        ParseDefinition("object F: TForm\n\n\n  X = \n");
        ADD_FAILURE() << "no error";
    } catch (const EDefinitionError& e) {
        EXPECT_EQ(e.Line(), 4);
    }
    // Nesting is bounded, so that a hostile text cannot exhaust the stack.
    std::string deep;
    for (int i = 0; i < 100; ++i) {
        deep += "object O" + std::to_string(i) + ": T\n";
    }
    EXPECT_EQ(ErrorOf([&] { ParseDefinition(deep); }),
              "line 65: object O63: objects nested too deeply");
}

TEST(DefinitionFormatTest, Base64Decode) {
    // The Base64 itself is tested with base::Base64Decode; here only that a
    // bad piece becomes a definition error.
    EXPECT_EQ(Base64Decode("Zm9vYg=="), "foob");
    for (const char* bad : {"Zg=", "Zm9v!A==", " Zg=="}) {
        EXPECT_EQ(ErrorOf([&] { Base64Decode(bad); }), "malformed base64 data") << bad;
    }
}

// --- test classes ---------------------------------------------------------------

std::vector<std::string>* g_log = nullptr;
int g_alive = 0;

void Log(const std::string& line) {
    if (g_log != nullptr) {
        g_log->push_back(line);
    }
}

class TTestControl : public TComponent {
  public:
    explicit TTestControl(TComponent* owner) : TComponent(owner) { ++g_alive; }
    ~TTestControl() override { --g_alive; }

    std::string caption;
    int width = 0;
    bool visible = true;
    int tag = 0;
    uint32_t anchors = 0;
    int position = -1;
    std::vector<std::string> items;
    std::string data;
    std::string fontName;
    TTestControl* buddy = nullptr;
    TComponent* parent = nullptr;
    TComponent* contextParent = nullptr;
    bool loadingWhenWritten = false;
    std::function<void(TComponent*)> OnClick;

    void SetBuddy(TTestControl* value) {
        buddy = value;
        if (value != nullptr) {
            value->FreeNotification(this);
        }
    }
    void SetParentComponent(TComponent* value) override { parent = value; }
    void Loaded() override {
        Log("Loaded " + Name() + (Loading() ? " loading" : "") +
            (buddy != nullptr ? " buddy=" + buddy->Name() : ""));
        TComponent::Loaded();
    }

  protected:
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == opRemove && component == buddy) {
            buddy = nullptr;
        }
    }
};

class TTestButton : public TTestControl {
  public:
    using TTestControl::TTestControl;
};

// Not a control of the tests: a reference to it from a Buddy property has
// the wrong class.
class TTestTimer : public TComponent {
  public:
    explicit TTestTimer(TComponent* owner) : TComponent(owner) { ++g_alive; }
    ~TTestTimer() override { --g_alive; }
};

// A root with methods for the events.
class TTestForm : public TTestControl, public TMethodProvider {
  public:
    explicit TTestForm(TComponent* owner) : TTestControl(owner) {
        methods_.Add<void(TComponent*)>("FormCreate", [this](TComponent* sender) {
            calls.push_back("FormCreate " + sender->Name());
        });
        methods_.Add<void(TComponent*)>("Button1Click", [this](TComponent* sender) {
            calls.push_back("Button1Click " + sender->Name());
        });
        methods_.Add<void(TComponent*, int&)>("FormClose",
                                              [](TComponent*, int& action) { action = 2; });
    }
    const TMethodTable& Methods() const override { return methods_; }

    std::vector<std::string> calls;
    std::function<void(TComponent*)> OnCreate;
    std::function<void(TComponent*, int&)> OnClose;

  private:
    TMethodTable methods_;
};

TClassRegistry MakeRegistry() {
    TClassRegistry r;
    // A base class that carries a property but cannot be created.
    r.RegisterClass("TTestBase", "", nullptr);
    r.RegisterProperty<TTestControl>(
        "TTestBase", "Tag",
        [](TTestControl& c, const TDefinitionValue& v, TReaderContext&) { c.tag = v.AsInteger(); });
    r.RegisterClass<TTestControl>("TTestControl", "TTestBase");
    r.RegisterClass<TTestButton>("TTestButton", "TTestControl");
    r.RegisterClass<TTestForm>("TTestForm", "TTestControl");
    r.RegisterClass<TTestTimer>("TTestTimer", "");

    r.RegisterProperty<TTestControl>(
        "TTestControl", "Caption",
        [](TTestControl& c, const TDefinitionValue& v, TReaderContext& context) {
            c.caption = v.AsString();
            c.loadingWhenWritten = c.Loading();
            c.contextParent = context.Parent();
        });
    r.RegisterProperty<TTestControl>("TTestControl", "ClientWidth",
                                     [](TTestControl& c, const TDefinitionValue& v,
                                        TReaderContext&) { c.width = v.AsInteger(); });
    r.RegisterProperty<TTestControl>(
        "TTestControl", "Visible", [](TTestControl& c, const TDefinitionValue& v, TReaderContext&) {
            c.visible = v.AsBoolean();
        });
    r.RegisterProperty<TTestControl>(
        "TTestControl", "Anchors", [](TTestControl& c, const TDefinitionValue& v, TReaderContext&) {
            c.anchors = v.AsFlags({{"akLeft", 1}, {"akTop", 2}, {"akRight", 4}, {"akBottom", 8}});
        });
    r.RegisterProperty<TTestControl>(
        "TTestControl", "Position",
        [](TTestControl& c, const TDefinitionValue& v, TReaderContext&) {
            c.position = v.AsEnum<int>({{"poDesigned", 0}, {"poScreenCenter", 1}});
        });
    r.RegisterProperty<TTestControl>(
        "TTestControl", "Items", [](TTestControl& c, const TDefinitionValue& v, TReaderContext&) {
            c.items = v.AsStrings();
        });
    r.RegisterProperty<TTestControl>(
        "TTestControl", "Data",
        [](TTestControl& c, const TDefinitionValue& v, TReaderContext&) { c.data = v.AsBinary(); });
    r.RegisterProperty<TTestControl>("TTestControl", "Font.Name",
                                     [](TTestControl& c, const TDefinitionValue& v,
                                        TReaderContext&) { c.fontName = v.AsString(); });
    r.RegisterProperty<TTestControl>(
        "TTestControl", "Buddy",
        [](TTestControl& c, const TDefinitionValue& v, TReaderContext& context) {
            context.Reference<TTestControl>(v, [&c](TTestControl& target) { c.SetBuddy(&target); });
        });
    r.RegisterProperty<TTestControl>(
        "TTestControl", "OnClick",
        [](TTestControl& c, const TDefinitionValue& v, TReaderContext& context) {
            c.OnClick = context.Method<void(TComponent*)>(v);
        });
    r.RegisterProperty<TTestControl>(
        "TTestControl", "Fails", [](TTestControl&, const TDefinitionValue&, TReaderContext&) {
            throw base::EConvertError("'abc' is not a valid integer value");
        });
    // A class replaces an inherited property.
    r.RegisterProperty<TTestButton>("TTestButton", "Caption",
                                    [](TTestButton& c, const TDefinitionValue& v, TReaderContext&) {
                                        c.caption = "[button] " + v.AsString();
                                    });
    r.RegisterProperty<TTestForm>(
        "TTestForm", "OnCreate",
        [](TTestForm& c, const TDefinitionValue& v, TReaderContext& context) {
            c.OnCreate = context.Method<void(TComponent*)>(v);
        });
    r.RegisterProperty<TTestForm>(
        "TTestForm", "OnClose",
        [](TTestForm& c, const TDefinitionValue& v, TReaderContext& context) {
            c.OnClose = context.Method<void(TComponent*, int&)>(v);
        });
    // Registered on the control class, but only a form has it.
    r.RegisterProperty<TTestForm>("TTestControl", "FormOnly",
                                  [](TTestForm&, const TDefinitionValue&, TReaderContext&) {});
    return r;
}

// Sets up the log and checks that every test component is gone at the end.
class DefinitionReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_log = &log;
        g_alive = 0;
    }
    void TearDown() override {
        g_log = nullptr;
        EXPECT_EQ(g_alive, 0) << "components left behind";
    }

    std::vector<std::string> log;
    TClassRegistry registry = MakeRegistry();
};

// --- the registry -------------------------------------------------------------

TEST_F(DefinitionReaderTest, RegistryInheritance) {
    EXPECT_TRUE(registry.IsRegistered("ttestbutton"));
    EXPECT_FALSE(registry.IsRegistered("TTestLabel"));
    EXPECT_TRUE(registry.InheritsFrom("TTestButton", "TTestBase"));
    EXPECT_TRUE(registry.InheritsFrom("TTestButton", "TTestButton"));
    EXPECT_FALSE(registry.InheritsFrom("TTestControl", "TTestButton"));
    EXPECT_FALSE(registry.InheritsFrom("TTestTimer", "TTestBase"));
    EXPECT_FALSE(registry.InheritsFrom("Unknown", "Unknown"));
    EXPECT_EQ(registry.Factory("TTestBase"), nullptr);
    EXPECT_EQ(registry.Factory("Unknown"), nullptr);
    ASSERT_NE(registry.Factory("TTestButton"), nullptr);

    // Lookup walks up from the class: two levels for Tag, the class's own
    // writer before the inherited one for Caption.
    EXPECT_NE(registry.FindProperty("TTestButton", "TAG"), nullptr);
    EXPECT_EQ(registry.FindProperty("TTestButton", "Caption"),
              registry.FindProperty("ttestbutton", "caption"));
    EXPECT_NE(registry.FindProperty("TTestButton", "Caption"),
              registry.FindProperty("TTestControl", "Caption"));
    EXPECT_EQ(registry.FindProperty("TTestControl", "OnCreate"), nullptr);
    EXPECT_EQ(registry.FindProperty("TTestTimer", "Tag"), nullptr);
    EXPECT_EQ(registry.FindProperty("Unknown", "Tag"), nullptr);

    EXPECT_EQ(ErrorOf([&] { registry.RegisterClass<TTestButton>("TTESTBUTTON", ""); }),
              "class \"TTESTBUTTON\" is already registered");
    EXPECT_EQ(ErrorOf([&] {
                  registry.RegisterProperty(
                      "TTestLabel", "Caption",
                      [](TComponent&, const TDefinitionValue&, TReaderContext&) {});
              }),
              "class \"TTestLabel\" is not registered");
    EXPECT_EQ(ErrorOf([&] {
                  registry.RegisterProperty(
                      "TTestControl", "caption",
                      [](TComponent&, const TDefinitionValue&, TReaderContext&) {});
              }),
              "class \"TTestControl\" already has property \"caption\"");

    // Parents that form a loop (a registration mistake) do not hang a lookup.
    TClassRegistry loop;
    loop.RegisterClass("A", "B", nullptr);
    loop.RegisterClass("B", "A", nullptr);
    EXPECT_EQ(loop.FindProperty("A", "X"), nullptr);
    EXPECT_FALSE(loop.InheritsFrom("A", "C"));
}

// --- the reader ---------------------------------------------------------------

const char* const kForm = R"(object MainForm: TTestForm
  Caption = "Main"
  ClientWidth = 480
  Tag = 7
  OnCreate = FormCreate
  OnClose = FormClose
  object Panel1: TTestControl
    Caption = "Panel"
    Anchors = [akLeft, akBottom]
    Buddy = Button1
    object Button1: TTestButton
      Caption = "OK"
      Visible = false
      Position = poScreenCenter
      OnClick = Button1Click
      Buddy = MainForm
      Font.Name = "Arial"
    end
  end
  object Image1: TTestControl
    Items = ("one", "two")
    Data = data("AAEC")
  end
end
)";

TEST_F(DefinitionReaderTest, ReadsComponentsPropertiesReferencesAndEvents) {
    TTestForm form(nullptr);
    ReadDefinition(kForm, registry, form);

    EXPECT_EQ(form.Name(), "MainForm");
    EXPECT_EQ(form.caption, "Main");
    EXPECT_EQ(form.width, 480);
    EXPECT_EQ(form.tag, 7);
    EXPECT_EQ(form.parent, nullptr);
    EXPECT_EQ(form.contextParent, nullptr);

    // All nested objects are owned by the root, in the order of the file.
    ASSERT_EQ(form.ComponentCount(), 3);
    auto* panel = dynamic_cast<TTestControl*>(form.Components(0));
    auto* button = dynamic_cast<TTestButton*>(form.Components(1));
    auto* image = dynamic_cast<TTestControl*>(form.Components(2));
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(button, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(panel->Name(), "Panel1");
    EXPECT_EQ(button->Name(), "Button1");
    EXPECT_EQ(image->Name(), "Image1");
    EXPECT_EQ(panel->ComponentCount(), 0);

    // The parent is the enclosing object, given right after creation.
    EXPECT_EQ(panel->parent, &form);
    EXPECT_EQ(button->parent, panel);
    EXPECT_EQ(image->parent, &form);
    EXPECT_EQ(button->contextParent, nullptr);  // its own Caption writer ignores the context
    EXPECT_EQ(panel->contextParent, &form);

    // Property values, through the class's own or an inherited writer.
    EXPECT_EQ(panel->caption, "Panel");
    EXPECT_TRUE(panel->loadingWhenWritten);
    EXPECT_EQ(panel->anchors, 9u);
    EXPECT_EQ(button->caption, "[button] OK");
    EXPECT_FALSE(button->visible);
    EXPECT_EQ(button->position, 1);
    EXPECT_EQ(button->fontName, "Arial");
    EXPECT_EQ(image->items, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(image->data, std::string("\x00\x01\x02", 3));

    // References: forward (Panel1 names Button1, created later) and to the root.
    EXPECT_EQ(panel->buddy, button);
    EXPECT_EQ(button->buddy, &form);

    // Events call the root's methods.
    ASSERT_TRUE(form.OnCreate);
    form.OnCreate(&form);
    ASSERT_TRUE(button->OnClick);
    button->OnClick(button);
    EXPECT_EQ(form.calls,
              (std::vector<std::string>{"FormCreate MainForm", "Button1Click Button1"}));
    int action = 0;
    form.OnClose(&form, action);
    EXPECT_EQ(action, 2);

    // Loaded ran once per component in creation order, the root first, with
    // the references already resolved; nothing is loading any more.
    EXPECT_EQ(log, (std::vector<std::string>{
                       "Loaded MainForm loading", "Loaded Panel1 loading buddy=Button1",
                       "Loaded Button1 loading buddy=MainForm", "Loaded Image1 loading"}));
    EXPECT_FALSE(form.Loading());
    EXPECT_FALSE(button->Loading());

    // The reference is a free-notification pair: deleting the button clears it.
    delete button;
    EXPECT_EQ(panel->buddy, nullptr);
}

TEST_F(DefinitionReaderTest, CreateFromDefinitionMakesTheRoot) {
    TComponent application(nullptr);
    TComponent* root = CreateFromDefinition(kForm, registry, &application);
    ASSERT_NE(dynamic_cast<TTestForm*>(root), nullptr);
    EXPECT_EQ(root->Owner(), &application);
    EXPECT_EQ(application.FindComponent("mainform"), root);
    EXPECT_EQ(root->ComponentCount(), 3);
    EXPECT_EQ(g_alive, 4);

    // On an error the new root and everything in it are deleted again.
    const std::string broken =
        std::string(kForm).replace(std::string(kForm).find("Image1"), 6, "Button1");
    EXPECT_EQ(ErrorOf([&] { CreateFromDefinition(broken, registry, &application); }),
              "line 20: object Button1: the name is already used on line 11");
    const std::string unknownRoot = "object X: TTestLabel\nend\n";
    EXPECT_EQ(ErrorOf([&] { CreateFromDefinition(unknownRoot, registry, nullptr); }),
              "line 1: object X: unknown class \"TTestLabel\"");
    EXPECT_EQ(
        ErrorOf([&] { CreateFromDefinition("object X: TTestBase\nend\n", registry, nullptr); }),
        "line 1: object X: class \"TTestBase\" cannot be created");
    const std::string badReference = "object Second: TTestForm\n  Buddy = Nobody\nend\n";
    EXPECT_EQ(ErrorOf([&] { CreateFromDefinition(badReference, registry, &application); }),
              "line 2: object Second: property \"Buddy\": unknown component \"Nobody\"");
    EXPECT_EQ(application.ComponentCount(), 1);
    EXPECT_EQ(g_alive, 4);
    delete root;
}

TEST_F(DefinitionReaderTest, ErrorsNameTheLineObjectAndProperty) {
    struct Case {
        std::string body;  // objects and properties inside the root
        std::string message;
    };
    const Case cases[] = {
        {"  object bsSkinButton1: TTestButton\n    Captoin = \"x\"\n  end\n",
         "line 3: object bsSkinButton1: unknown property \"Captoin\""},
        {"  object L: TTestLabel\n  end\n", "line 2: object L: unknown class \"TTestLabel\""},
        {"  object B: TTestBase\n  end\n",
         "line 2: object B: class \"TTestBase\" cannot be created"},
        {"  ClientWidth = \"wide\"\n",
         "line 2: object Root: property \"ClientWidth\": expected an integer, not a string"},
        {"  ClientWidth = 0x100000000\n",
         "line 2: object Root: property \"ClientWidth\": integer out of range"},
        {"  Anchors = [akLeft, akNowhere]\n",
         "line 2: object Root: property \"Anchors\": unknown set member \"akNowhere\""},
        {"  Position = poSomewhere\n",
         "line 2: object Root: property \"Position\": unknown value \"poSomewhere\""},
        {"  object P: TTestControl\n    object B: TTestButton\n      Buddy = Missing1\n    "
         "end\n  end\n",
         "line 4: object B: property \"Buddy\": unknown component \"Missing1\""},
        {"  object T: TTestTimer\n  end\n  object B: TTestButton\n    Buddy = T\n  end\n",
         "line 5: object B: property \"Buddy\": component \"T\" does not have the class this "
         "property needs"},
        {"  object B: TTestButton\n    OnClick = NoSuchHandler\n  end\n",
         "line 3: object B: property \"OnClick\": unknown method \"NoSuchHandler\""},
        {"  OnCreate = FormClose\n",
         "line 2: object Root: property \"OnCreate\": method \"FormClose\" does not fit this "
         "event"},
        {"  object B: TTestButton\n    Data = file(\"side.bmp\")\n  end\n",
         "line 3: object B: property \"Data\": file(\"side.bmp\") must be expanded by wdc before "
         "the definition is read"},
        {"  Fails = 1\n",
         "line 2: object Root: property \"Fails\": 'abc' is not a valid integer value"},
        {"  FormOnly = 1\n  object B: TTestButton\n    FormOnly = 1\n  end\n",
         "line 4: object B: property \"FormOnly\": the object's class does not have this "
         "property"},
        {"  object B: TTestButton\n  end\n  object b: TTestButton\n  end\n",
         "line 4: object b: the name is already used on line 2"},
    };
    for (const Case& c : cases) {
        const std::string text = "object Root: TTestForm\n" + c.body + "end\n";
        log.clear();
        TTestForm form(nullptr);
        EXPECT_EQ(ErrorOf([&] { ReadDefinition(text, registry, form); }), c.message) << text;
        // Nothing that the reader created is left, no Loaded ran, and the
        // root does not stay loading.
        EXPECT_EQ(form.ComponentCount(), 0) << text;
        EXPECT_EQ(g_alive, 1) << text;
        EXPECT_TRUE(log.empty()) << text;
        EXPECT_FALSE(form.Loading()) << text;
    }
}

TEST_F(DefinitionReaderTest, ExistingComponentsOfTheRoot) {
    TTestForm form(nullptr);
    auto* before = new TTestControl(&form);
    before->SetName("Existing");
    // A reference may name a component the root already owned; a new object
    // may not take its name.
    ReadDefinition("object F: TTestForm\n  Buddy = existing\n  object B: TTestButton\n  end\nend\n",
                   registry, form);
    EXPECT_EQ(form.buddy, before);
    ASSERT_EQ(form.ComponentCount(), 2);
    EXPECT_EQ(ErrorOf([&] {
                  ReadDefinition(
                      "object F: TTestForm\n  object Existing: TTestButton\n  end\nend\n", registry,
                      form);
              }),
              "line 2: object Existing: A component named Existing already exists");
    // The failed read removed only what it created.
    EXPECT_EQ(form.ComponentCount(), 2);
    EXPECT_EQ(form.Components(0), before);
    // A root that offers no methods: every event name is unknown.
    TTestControl plain(nullptr);
    registry.RegisterClass<TTestControl>("TPlainRoot", "TTestControl");
    EXPECT_EQ(ErrorOf([&] {
                  ReadDefinition("object P: TPlainRoot\n  OnClick = FormCreate\nend\n", registry,
                                 plain);
              }),
              "line 2: object P: property \"OnClick\": unknown method \"FormCreate\"");
}

// --- definitions compiled by the build ----------------------------------------

TEST_F(DefinitionReaderTest, EmbeddedDefinitionReadsBack) {
    const std::string_view text = EmbeddedDefinition("FRAMEWORK_TEST_FORM");
    EXPECT_EQ(EmbeddedDefinition("framework_test_form").data(), text.data());
    EXPECT_EQ(text.find("file("), std::string_view::npos);
    EXPECT_NE(text.find("data("), std::string_view::npos);
    // The comments of the source are kept.
    EXPECT_NE(text.find("# expanded by wdc at build time"), std::string_view::npos);

    TTestForm form(nullptr);
    ReadDefinition(text, registry, form);
    EXPECT_EQ(form.caption, "升级更新");  // GBK
    EXPECT_EQ(form.width, 480);
    EXPECT_FALSE(form.visible);
    EXPECT_EQ(form.anchors, 3u);
    ASSERT_TRUE(form.OnCreate);
    auto* image = dynamic_cast<TTestControl*>(form.FindComponent("Image1"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->data, ReadFileBytes(std::string(FRAMEWORK_TEST_DATA) + "/embedded_blob.txt"));
    EXPECT_FALSE(image->data.empty());
    EXPECT_EQ(image->parent, form.FindComponent("Panel1"));
    EXPECT_EQ(image->buddy, form.FindComponent("Panel1"));
    EXPECT_EQ(dynamic_cast<TTestControl*>(form.FindComponent("Panel1"))->caption, "面板");

    EXPECT_EQ(ErrorOf([] { EmbeddedDefinition("NO_SUCH_DEFINITION"); }),
              "no embedded window definition \"NO_SUCH_DEFINITION\"");
}

// --- the wdc tool ----------------------------------------------------------------

#ifdef FRAMEWORK_WDC

struct ToolRun {
    int status = -1;
    std::string output;  // standard output and standard error
};

ToolRun RunWdc(const std::string& arguments) {
    ToolRun run;
    const std::string command = std::string("'") + FRAMEWORK_WDC + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class WdcTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::string(UPDATER_TEST_OUTPUT) + "/wdc-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir + "/assets");
    }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
    }

    std::string dir;
};

TEST_F(WdcTest, ExpandsFilesAndKeepsTheRestOfTheText) {
    const std::string small("\x00\x01 small\xFF", 9);
    std::string big(1000, '\0');
    std::mt19937 gen(8);
    for (char& c : big) {
        c = static_cast<char>(gen());
    }
    Write("assets/small.bin", small);
    Write("assets/big.bin", big);
    const std::string source =
        U8(u8"# head comment\n"
           u8"object F: TForm\n"
           u8"  Caption = \"升级\"\n"
           u8"  Small = file(\"assets/small.bin\")  # kept\n"
           u8"  object I: TImage\n"
           u8"    Big = file(\"assets/big.bin\")\n"
           u8"  end\n"
           u8"end\n");
    Write("form.wdef", source);
    const ToolRun run =
        RunWdc("'" + dir + "/form.wdef' '" + dir + "/out.wdef' --name TEST_FORM --cpp '" + dir +
               "/out.cpp' --depfile '" + dir + "/out.d'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");

    const std::string out = ReadFileBytes(dir + "/out.wdef");
    EXPECT_TRUE(out.starts_with(U8(u8"# head comment\nobject F: TForm\n  Caption = \"升级\"\n")));
    EXPECT_NE(out.find("  Small = data(\"" + base::Base64(small) + "\")  # kept\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("file("), std::string::npos);
    // The long one is split over lines of at most 76 base64 characters.
    const size_t bigAt = out.find("Big = data(\n");
    ASSERT_NE(bigAt, std::string::npos) << out;
    EXPECT_NE(out.find("\n        \"", bigAt), std::string::npos);

    const TDefinitionObject parsed = ParseDefinition(out);
    EXPECT_EQ(parsed.properties[1].value.AsBinary(), small);
    EXPECT_EQ(parsed.children[0].properties[0].value.AsBinary(), big);
    EXPECT_EQ(parsed.children[0].properties[0].line, 6);  // lines before it keep their numbers

    const std::string depfile = ReadFileBytes(dir + "/out.d");
    EXPECT_NE(depfile.find("out.wdef:"), std::string::npos) << depfile;
    EXPECT_NE(depfile.find("/assets/small.bin"), std::string::npos) << depfile;
    EXPECT_NE(depfile.find("/assets/big.bin"), std::string::npos) << depfile;
    EXPECT_NE(depfile.find("/form.wdef"), std::string::npos) << depfile;
    const std::string cpp = ReadFileBytes(dir + "/out.cpp");
    EXPECT_NE(cpp.find("RegisterEmbeddedDefinition(\n         \"TEST_FORM\""), std::string::npos)
        << cpp;

    // --base changes the folder of relative paths.
    std::filesystem::create_directories(dir + "/defs");
    Write("defs/moved.wdef", source);
    EXPECT_EQ(RunWdc("'" + dir + "/defs/moved.wdef' '" + dir + "/moved.out'").status, 1);
    const ToolRun based =
        RunWdc("'" + dir + "/defs/moved.wdef' '" + dir + "/moved.out' --base '" + dir + "'");
    EXPECT_EQ(based.status, 0) << based.output;
    EXPECT_EQ(ReadFileBytes(dir + "/moved.out"), out);
}

TEST_F(WdcTest, PacksSkinFoldersIntoStoredSkins) {
    // A small skin folder: a description and the one picture it names.
    std::filesystem::create_directories(dir + "/skin");
    TBitmapData picture(8, 4, pf24bit);
    picture.SetPixel(1, 1, 0x00FF00);
    Write("skin/main.bmp", picture.SaveToBytes());
    Write("skin/skin.ini",
          "[VERSION]\r\nSkinName=t\r\n[PICTURES]\r\npicture=main.bmp\r\ncount=0\r\n"
          "[FORMINFO]\r\n[SKINOBJECTS]\r\ncount=0\r\n[SKINCONTROLS]\r\ncount=0\r\n");
    Write("form.wdef", "object F: TForm\n  Data = skin(\"skin\")\nend\n");
    const ToolRun run =
        RunWdc("'" + dir + "/form.wdef' '" + dir + "/out.wdef' --depfile '" + dir + "/out.d'");
    ASSERT_EQ(run.status, 0) << run.output;
    const TDefinitionObject parsed = ParseDefinition(ReadFileBytes(dir + "/out.wdef"));
    const std::string packed = parsed.properties[0].value.AsBinary();
    // A zlib stream of an archive that holds the picture and the description.
    const std::string archive = base::ZDecompress(packed);
    EXPECT_NE(archive.find(picture.SaveToBytes().substr(54)), std::string::npos);
    EXPECT_NE(archive.find("[SKINCONTROLS]"), std::string::npos);
    const std::string depfile = ReadFileBytes(dir + "/out.d");
    EXPECT_NE(depfile.find("/skin/main.bmp"), std::string::npos) << depfile;
    EXPECT_NE(depfile.find("/skin/skin.ini"), std::string::npos) << depfile;

    // A folder without a description is an error naming the line.
    Write("bad.wdef", "object F: TForm\n  Data = skin(\"assets\")\nend\n");
    const ToolRun bad = RunWdc("'" + dir + "/bad.wdef' '" + dir + "/bad.out'");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.output.find("line 2"), std::string::npos) << bad.output;
    EXPECT_NE(bad.output.find("not a skin folder"), std::string::npos) << bad.output;
}

TEST_F(WdcTest, ErrorsGiveTheLineAndStatusOne) {
    Write("missing.wdef", "object F: TForm\n  A = 1\n  P = file(\"nothere.bmp\")\nend\n");
    ToolRun run = RunWdc("'" + dir + "/missing.wdef' '" + dir + "/out.wdef'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "wdc: " + dir +
                              "/missing.wdef: line 3: cannot read file \"nothere.bmp\" (" + dir +
                              "/nothere.bmp)\n");
    EXPECT_FALSE(std::filesystem::exists(dir + "/out.wdef"));

    Write("syntax.wdef", "object F: TForm\n  A 1\nend\n");
    run = RunWdc("'" + dir + "/syntax.wdef' '" + dir + "/out.wdef'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              "wdc: " + dir +
                  "/syntax.wdef: line 2: object F: expected \"=\" after \"A\", found an "
                  "integer\n");

    run = RunWdc("'" + dir + "/absent.wdef' '" + dir + "/out.wdef'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "wdc: cannot read " + dir + "/absent.wdef\n");

    run = RunWdc("only-one-argument");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.output.starts_with("wdc: usage: wdc INPUT OUTPUT")) << run.output;

    run = RunWdc("a b --cpp x.cpp");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "wdc: --cpp and --rc need --name with letters, digits and '_' only\n");
}

#endif  // FRAMEWORK_WDC

}  // namespace
}  // namespace framework
