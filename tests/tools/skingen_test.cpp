// The skins under assets/: that the generator draws them again byte for
// byte, and that they have the geometry the program relies on; and that the
// contact sheet docs/skins.png is the one the generator draws from them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/zstreams.h"
#include "framework/bitmap.h"
#include "framework/ini.h"

namespace fs = std::filesystem;
using framework::TBitmapData;
using framework::TColor;
using framework::TMemIniFile;

namespace {

const fs::path kAssets = SKINGEN_ASSETS;
const fs::path kContactSheet = SKINGEN_CONTACT_SHEET;

struct Rect {
    int l = 0;
    int t = 0;
    int r = 0;
    int b = 0;
    int W() const { return r - l; }
    int H() const { return b - t; }
    bool Empty() const { return W() < 1 || H() < 1; }
    bool operator==(const Rect&) const = default;
};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rect& r) {
    return os << r.l << "," << r.t << "," << r.r << "," << r.b;
}
std::ostream& operator<<(std::ostream& os, const Point& p) {
    return os << p.x << "," << p.y;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The files below `root`, as paths relative to it, leaving out names that
// start with a dot (git's attribute files).
std::set<std::string> FilesBelow(const fs::path& root) {
    std::set<std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
            out.insert(fs::relative(entry.path(), root).generic_string());
        }
    }
    return out;
}

std::vector<int> Fields(const std::string& text) {
    std::vector<int> out;
    std::stringstream in(text);
    std::string field;
    while (std::getline(in, field, ',')) {
        out.push_back(std::stoi(field));
    }
    return out;
}

// A skin folder: its description and its pictures.
class Skin {
  public:
    explicit Skin(const std::string& name) : dir_(kAssets / "skins" / name) {
        text_ = ReadFile(dir_ / "skin.ini");
        ini_.LoadFromText(text_);
    }

    const std::string& Text() const { return text_; }
    const TMemIniFile& Ini() const { return ini_; }
    const fs::path& Dir() const { return dir_; }

    std::string String(const std::string& section, const std::string& key) const {
        EXPECT_TRUE(ini_.ValueExists(section, key)) << "[" << section << "] " << key;
        return ini_.ReadString(section, key, "");
    }
    int Int(const std::string& section, const std::string& key) const {
        EXPECT_TRUE(ini_.ValueExists(section, key)) << "[" << section << "] " << key;
        return ini_.ReadInteger(section, key, -12345);
    }
    // Rectangles and points are written in full: four and two decimal fields.
    Rect RectOf(const std::string& section, const std::string& key) const {
        std::vector<int> f = Fields(String(section, key));
        EXPECT_EQ(f.size(), 4u) << "[" << section << "] " << key;
        if (f.size() != 4) {
            return {};
        }
        return {f[0], f[1], f[2], f[3]};
    }
    Point PointOf(const std::string& section, const std::string& key) const {
        std::vector<int> f = Fields(String(section, key));
        EXPECT_EQ(f.size(), 2u) << "[" << section << "] " << key;
        if (f.size() != 2) {
            return {};
        }
        return {f[0], f[1]};
    }

    const TBitmapData& Picture(const std::string& file) {
        auto it = pictures_.find(file);
        if (it == pictures_.end()) {
            TBitmapData bitmap;
            bitmap.LoadFromBytes(ReadFile(dir_ / file));
            it = pictures_.emplace(file, std::move(bitmap)).first;
        }
        return it->second;
    }
    // Picture-list image `index`.
    const TBitmapData& ListPicture(int index) {
        return Picture(String("PICTURES", std::to_string(index)));
    }
    int PictureCount() const { return ini_.ReadInteger("PICTURES", "activepicturescount", -1); }

    // The objects of [SKINOBJECTS] or [SKINCONTROLS]: name and type word.
    std::vector<std::pair<std::string, std::string>> Objects(const std::string& list) const {
        std::vector<std::pair<std::string, std::string>> out;
        int count = ini_.ReadInteger(list, "count", 0);
        for (int i = 0; i < count; ++i) {
            std::string entry = ini_.ReadString(list, std::to_string(i), "");
            size_t colon = entry.find(':');
            EXPECT_NE(colon, std::string::npos) << entry;
            out.emplace_back(entry.substr(0, colon), entry.substr(colon + 1));
        }
        return out;
    }

  private:
    fs::path dir_;
    std::string text_;
    TMemIniFile ini_;
    std::map<std::string, TBitmapData> pictures_;
};

// True when every row of `r` holds one colour from column `from` to `to`.
bool RowsUniform(const TBitmapData& bmp, Rect r, int from, int to) {
    for (int y = r.t; y < r.b; ++y) {
        for (int x = from; x < to; ++x) {
            if (bmp.Pixel(x, y) != bmp.Pixel(from, y)) {
                return false;
            }
        }
    }
    return true;
}

bool ColumnsUniform(const TBitmapData& bmp, Rect r, int from, int to) {
    for (int x = r.l; x < r.r; ++x) {
        for (int y = from; y < to; ++y) {
            if (bmp.Pixel(x, y) != bmp.Pixel(x, from)) {
                return false;
            }
        }
    }
    return true;
}

bool Inside(const Rect& r, int w, int h) {
    return r.l >= 0 && r.t >= 0 && r.r <= w && r.b <= h && r.l <= r.r && r.t <= r.b;
}

// The colour the pictures leave where no look is drawn.
constexpr TColor kUnused = framework::MakeColor(255, 0, 255);

bool HasUnusedPixel(const TBitmapData& bmp, const Rect& r) {
    for (int y = r.t; y < r.b; ++y) {
        for (int x = r.l; x < r.r; ++x) {
            if (bmp.Pixel(x, y) == kUnused) {
                return true;
            }
        }
    }
    return false;
}

bool SameLook(const TBitmapData& bmp, const Rect& a, const Rect& b) {
    for (int y = 0; y < a.H(); ++y) {
        for (int x = 0; x < a.W(); ++x) {
            if (bmp.Pixel(a.l + x, a.t + y) != bmp.Pixel(b.l + x, b.t + y)) {
                return false;
            }
        }
    }
    return true;
}

// The keys that name looks in an object's picture, by type word. The rest of
// its rectangles place parts inside the control.
const std::map<std::string, std::vector<std::string>>& LookKeys() {
    static const std::map<std::string, std::vector<std::string>> keys = {
        {"button", {"activeskinrect", "downskinrect", "disabledskinrect"}},
        {"menubutton", {"activeskinrect", "downskinrect", "disabledskinrect", "trackbuttonrect"}},
        {"gauge", {"progressrect"}},
        {"label", {}},
        {"stdlabel", {}},
        {"listbox",
         {"itemrect", "activeitemrect", "focusitemrect", "activeupbuttonrect", "downupbuttonrect",
          "activedownbuttonrect", "downdownbuttonrect", "activecheckbuttonrect",
          "downcheckbuttonrect"}},
        {"checklistbox",
         {"itemrect", "activeitemrect", "focusitemrect", "checkimagerect", "uncheckimagerect"}},
        {"scrollbar",
         {"activeupbuttonrect", "downupbuttonrect", "activedownbuttonrect", "downdownbuttonrect",
          "thumbrect", "activethumbrect", "downthumbrect", "glyphrect", "activeglyphrect",
          "downglyphrect"}},
        {"edit", {"activeskinrect", "activebuttonrect", "downbuttonrect", "unenabledbuttonrect"}},
        {"memo", {"activeskinrect"}},
        {"combobox",
         {"itemrect", "focusitemrect", "activebuttonrect", "downbuttonrect",
          "unenabledbuttonrect"}},
        {"spinedit",
         {"activeskinrect", "activeupbuttonrect", "downupbuttonrect", "activedownbuttonrect",
          "downdownbuttonrect"}},
        {"updown",
         {"activeupbuttonrect", "downupbuttonrect", "activedownbuttonrect", "downdownbuttonrect"}},
        {"checkradio",
         {"activeskinrect", "checkimagerect", "uncheckimagerect", "activecheckimagerect",
          "activeuncheckimagerect", "unenabledcheckimagerect", "unenableduncheckimagerect"}},
        {"panel", {"checkimagerect", "uncheckimagerect"}},
        {"expanel",
         {"rollhskinrect", "rollvskinrect", "closebuttonrect", "closebuttonactiverect",
          "closebuttondownrect", "hrollbuttonrect", "hrollbuttonactiverect", "hrollbuttondownrect",
          "hrestorebuttonrect", "hrestorebuttonactiverect", "hrestorebuttondownrect",
          "vrollbuttonrect", "vrollbuttonactiverect", "vrollbuttondownrect", "vrestorebuttonrect",
          "vrestorebuttonactiverect", "vrestorebuttondownrect"}},
        {"trackbar", {"buttonrect", "activebuttonrect"}},
        {"splitter", {}},
        {"scrollbox", {}},
        {"controlbar", {"itemrect"}},
        {"tab", {"tabrect", "activetabrect", "focustabrect", "mouseintabrect", "tabsbgrect"}},
        {"grid", {"fixedcellrect", "selectcellrect", "focuscellrect"}},
        {"treeview", {}},
        {"listview", {}},
        {"richedit", {}},
        {"bevel", {}},
        {"slider", {"hrulerrect", "hthumbrect", "vrulerrect", "vthumbrect"}},
        {"mainmenubar", {}},
    };
    return keys;
}

// The types whose objects read corner points and a client rectangle.
bool IsCustomControl(const std::string& type) {
    static const std::set<std::string> custom = {
        "button",  "menubutton", "gauge",    "label",     "listbox",   "checklistbox", "scrollbar",
        "edit",    "memo",       "combobox", "spinedit",  "updown",    "checkradio",   "panel",
        "expanel", "trackbar",   "splitter", "scrollbox", "controlbar"};
    return custom.count(type) > 0;
}

TEST(SkingenTest, DrawsTheCommittedAssetsAgain) {
    fs::path out = fs::path(UPDATER_TEST_OUTPUT) / "skingen";
    fs::remove_all(out);
    std::string command = std::string("\"") + SKINGEN + "\" \"" + out.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::set<std::string> drawn = FilesBelow(out);
    std::set<std::string> committed = FilesBelow(kAssets);
    EXPECT_EQ(drawn, committed);
    EXPECT_TRUE(drawn.count("side.bmp"));
    EXPECT_TRUE(drawn.count("skins/yellow/skin.ini"));
    EXPECT_TRUE(drawn.count("skins/silver/skin.ini"));
    for (const std::string& file : drawn) {
        if (committed.count(file)) {
            EXPECT_TRUE(ReadFile(out / file) == ReadFile(kAssets / file))
                << file << " differs from the committed one: run skingen " << kAssets.string();
        }
    }
}

TEST(SkingenTest, SidePictureIs115By229With24Bits) {
    TBitmapData side;
    side.LoadFromBytes(ReadFile(kAssets / "side.bmp"));
    EXPECT_EQ(side.Width(), 115);
    EXPECT_EQ(side.Height(), 229);
    EXPECT_EQ(side.PixelFormat(), framework::pf24bit);
    // Blue all round its edges.
    for (auto [x, y] : {std::pair{0, 0}, {114, 0}, {0, 228}, {114, 228}, {57, 0}}) {
        TColor c = side.Pixel(x, y);
        EXPECT_GT(framework::ColorBlue(c), framework::ColorRed(c) + 40) << x << "," << y;
    }
}

// Checks every skin folder has: the description's shape, its pictures, and
// looks that really are drawn where the description says.
void CheckSkin(const std::string& name) {
    SCOPED_TRACE(name);
    Skin skin(name);
    EXPECT_EQ(skin.Text().rfind("[VERSION]\r\n", 0), 0u)
        << "starts with: " << skin.Text().substr(0, 20);
    for (const char* section : {"VERSION", "PICTURES", "FORMINFO", "POPUPWINDOW", "HINTWINDOW",
                                "SKINOBJECTS", "SKINCONTROLS"}) {
        EXPECT_TRUE(skin.Ini().SectionExists(section)) << section;
    }
    EXPECT_EQ(skin.String("VERSION", "skinname"), name);
    // Plain ASCII: the description is 8-bit text read without a code page.
    for (unsigned char ch : skin.Text()) {
        EXPECT_TRUE(ch == '\r' || ch == '\n' || (ch >= 0x20 && ch < 0x7F)) << int(ch);
    }

    // Every picture named exists and is a 24-bit BMP; no BMP lies unnamed.
    std::set<std::string> named;
    for (const char* key : {"picture", "inactivepicture", "mask"}) {
        named.insert(skin.String("PICTURES", key));
    }
    int count = skin.PictureCount();
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i) {
        named.insert(skin.String("PICTURES", std::to_string(i)));
    }
    std::set<std::string> present;
    for (const auto& entry : fs::directory_iterator(skin.Dir())) {
        if (entry.path().extension() == ".bmp") {
            present.insert(entry.path().filename().string());
        }
    }
    EXPECT_EQ(named, present);
    for (const std::string& file : named) {
        ASSERT_TRUE(fs::exists(skin.Dir() / file)) << file;
        const TBitmapData& bmp = skin.Picture(file);
        EXPECT_EQ(bmp.PixelFormat(), framework::pf24bit) << file;
        EXPECT_FALSE(bmp.Empty()) << file;
    }

    // The frame: mask and inactive picture match the main picture; the mask
    // is black (inside) or white (cut away) and cuts the top corners; the
    // bands the frame repeats change only across.
    const TBitmapData& main = skin.Picture(skin.String("PICTURES", "picture"));
    const TBitmapData& mask = skin.Picture(skin.String("PICTURES", "mask"));
    const TBitmapData& inactive = skin.Picture(skin.String("PICTURES", "inactivepicture"));
    int pw = main.Width();
    int ph = main.Height();
    EXPECT_EQ(mask.Width(), pw);
    EXPECT_EQ(mask.Height(), ph);
    EXPECT_EQ(inactive.Width(), pw);
    EXPECT_EQ(inactive.Height(), ph);
    const TColor black = framework::MakeColor(0, 0, 0);
    const TColor white = framework::MakeColor(255, 255, 255);
    for (int y = 0; y < ph; ++y) {
        for (int x = 0; x < pw; ++x) {
            TColor c = mask.Pixel(x, y);
            ASSERT_TRUE(c == black || c == white) << x << "," << y;
        }
    }
    EXPECT_EQ(mask.Pixel(0, 0), white);
    EXPECT_EQ(mask.Pixel(pw - 1, 0), white);
    EXPECT_EQ(mask.Pixel(pw / 2, 0), black);
    EXPECT_EQ(mask.Pixel(0, ph / 2), black);
    EXPECT_EQ(mask.Pixel(pw - 1, ph / 2), black);
    Rect client = skin.RectOf("FORMINFO", "clientrect");
    for (int y = client.t; y < client.b; ++y) {
        for (int x = client.l; x < client.r; ++x) {
            ASSERT_EQ(mask.Pixel(x, y), black) << x << "," << y;
        }
    }
    Point lt = skin.PointOf("FORMINFO", "lefttoppoint");
    Point rt = skin.PointOf("FORMINFO", "righttoppoint");
    Point lb = skin.PointOf("FORMINFO", "leftbottompoint");
    Point rb = skin.PointOf("FORMINFO", "rightbottompoint");
    for (const TBitmapData* frame : {&main, &inactive, &mask}) {
        EXPECT_TRUE(RowsUniform(*frame, {0, 0, pw, client.t}, lt.x, rt.x)) << "top band";
        EXPECT_TRUE(RowsUniform(*frame, {0, client.b, pw, ph}, lb.x, rb.x)) << "bottom band";
        EXPECT_TRUE(ColumnsUniform(*frame, {0, 0, client.l, ph}, lt.y, lb.y)) << "left band";
        EXPECT_TRUE(ColumnsUniform(*frame, {client.r, 0, pw, ph}, rt.y, rb.y)) << "right band";
    }
    // The client area is repeated as the window's background: one colour.
    EXPECT_TRUE(RowsUniform(main, client, client.l, client.r));
    EXPECT_TRUE(ColumnsUniform(main, client, client.t, client.b));

    // Frame objects: each look in its picture, drawn there.
    std::map<std::string, std::string> frameTypes;
    for (const auto& [object, type] : skin.Objects("SKINOBJECTS")) {
        frameTypes[object] = type;
        ASSERT_TRUE(skin.Ini().SectionExists(object)) << object;
        int picture = skin.Int(object, "activepictureindex");
        ASSERT_GE(picture, 0) << object;
        ASSERT_LT(picture, count) << object;
        const TBitmapData& bmp = skin.ListPicture(picture);
        std::vector<std::string> keys = {"activeskinrect", "inactiveskinrect"};
        if (skin.Int(object, "skinrectinapicture") == 1) {
            keys.push_back("skinrect");
        }
        if (type == "stdbutton" || type == "mainmenubarbutton") {
            for (const char* k : {"downrect", "disableskinrsect", "restorerect",
                                  "restoreactiverect", "restoredownrect", "restoreinactiverect"}) {
                keys.push_back(k);
            }
        } else if (type == "caption") {
            keys.push_back("framerect");
            keys.push_back("activeframerect");
        } else if (type == "menuitem") {
            keys.push_back("skinrect");
            keys.push_back("dividerrect");
        } else if (type == "mainmenubaritem") {
            keys.push_back("downrect");
        }
        for (const std::string& key : keys) {
            Rect r = skin.RectOf(object, key);
            if (r.Empty()) {
                continue;
            }
            EXPECT_TRUE(Inside(r, bmp.Width(), bmp.Height())) << object << " " << key << " " << r;
            EXPECT_FALSE(HasUnusedPixel(bmp, r)) << object << " " << key << " " << r;
        }
    }
    for (const char* button :
         {"closebutton", "maxbutton", "minbutton", "sysmenubutton", "rollupbutton", "traybutton"}) {
        EXPECT_EQ(frameTypes[button], "stdbutton") << button;
    }
    EXPECT_EQ(frameTypes["caption1"], "caption");
    EXPECT_EQ(frameTypes["MENUITEM"], "menuitem");

    // Control objects.
    std::set<std::string> names;
    for (const auto& [object, type] : skin.Objects("SKINCONTROLS")) {
        SCOPED_TRACE(object);
        EXPECT_TRUE(names.insert(object).second) << "twice: " << object;
        ASSERT_TRUE(LookKeys().count(type)) << "type " << type;
        ASSERT_TRUE(skin.Ini().SectionExists(object));
        int picture = skin.Int(object, "pictureindex");
        Rect s = skin.RectOf(object, "skinrect");
        if (picture < 0) {
            EXPECT_TRUE(s.Empty());
            continue;
        }
        ASSERT_LT(picture, count);
        const TBitmapData& bmp = skin.ListPicture(picture);
        ASSERT_FALSE(s.Empty());
        EXPECT_TRUE(Inside(s, bmp.Width(), bmp.Height())) << s;
        EXPECT_FALSE(HasUnusedPixel(bmp, s)) << "skinrect " << s;
        for (const std::string& key : LookKeys().at(type)) {
            Rect r = skin.RectOf(object, key);
            if (r.Empty()) {
                continue;
            }
            EXPECT_TRUE(Inside(r, bmp.Width(), bmp.Height())) << key << " " << r;
            EXPECT_FALSE(HasUnusedPixel(bmp, r)) << key << " " << r;
        }
        if (!IsCustomControl(type)) {
            continue;
        }
        // The client rectangle lies in the control; the parts that the
        // control repeats to its size change only across, so a control of
        // any size shows no seams.
        Rect c = skin.RectOf(object, "clientrect");
        EXPECT_TRUE(Inside(c, s.W(), s.H())) << "clientrect " << c;
        Point plt = skin.PointOf(object, "lefttoppoint");
        Point prt = skin.PointOf(object, "righttoppoint");
        Point plb = skin.PointOf(object, "leftbottompoint");
        Point prb = skin.PointOf(object, "rightbottompoint");
        std::vector<Rect> looks = {s};
        for (const char* key : {"activeskinrect", "downskinrect", "disabledskinrect"}) {
            if (skin.Ini().ValueExists(object, key) && !skin.RectOf(object, key).Empty()) {
                Rect r = skin.RectOf(object, key);
                EXPECT_EQ(r.W(), s.W()) << key;
                EXPECT_EQ(r.H(), s.H()) << key;
                looks.push_back(r);
            }
        }
        for (const Rect& look : looks) {
            auto at = [&](int x0, int y0, int x1, int y1) {
                return Rect{look.l + x0, look.t + y0, look.l + x1, look.t + y1};
            };
            if (prb.x != 0 && prb.y != 0) {
                EXPECT_TRUE(RowsUniform(bmp, at(0, 0, s.W(), c.t), look.l + plt.x, look.l + prt.x));
                EXPECT_TRUE(
                    RowsUniform(bmp, at(0, c.b, s.W(), s.H()), look.l + plb.x, look.l + prb.x));
                EXPECT_TRUE(
                    ColumnsUniform(bmp, at(0, 0, c.l, s.H()), look.t + plt.y, look.t + plb.y));
                EXPECT_TRUE(
                    ColumnsUniform(bmp, at(c.r, 0, s.W(), s.H()), look.t + prt.y, look.t + prb.y));
                EXPECT_TRUE(RowsUniform(bmp, at(c.l, c.t, c.r, c.b), look.l + c.l, look.l + c.r))
                    << "centre " << c;
                EXPECT_TRUE(ColumnsUniform(bmp, at(c.l, c.t, c.r, c.b), look.t + c.t, look.t + c.b))
                    << "centre " << c;
            } else if (prt.x != 0 || prt.y != 0) {
                EXPECT_TRUE(RowsUniform(bmp, look, look.l + plt.x, look.l + prt.x)) << look;
            } else if (plb.x != 0 || plb.y != 0) {
                EXPECT_TRUE(ColumnsUniform(bmp, look, look.t + plt.y, look.t + plb.y)) << look;
            }
        }
    }
    // Names that objects give to others lead to objects of the right kind.
    std::map<std::string, std::string> types;
    for (const auto& [object, type] : skin.Objects("SKINCONTROLS")) {
        types[object] = type;
    }
    for (const auto& [object, type] : skin.Objects("SKINCONTROLS")) {
        if (type == "listbox" || type == "checklistbox") {
            for (const char* key : {"vscrollbarname", "hscrollbarname", "bothhscrollbarname"}) {
                EXPECT_EQ(types[skin.String(object, key)], "scrollbar") << object << " " << key;
            }
        }
        if (type == "combobox") {
            EXPECT_EQ(types[skin.String(object, "listboxname")], "listbox") << object;
        }
        if (type == "tab") {
            EXPECT_EQ(types[skin.String(object, "updown")], "updown") << object;
        }
        if (type == "mainmenubar") {
            EXPECT_EQ(frameTypes[skin.String(object, "menubaritem")], "mainmenubaritem");
            for (const char* key : {"closebutton", "minbutton", "maxbutton", "sysmenubutton"}) {
                EXPECT_EQ(frameTypes[skin.String(object, key)], "mainmenubarbutton") << key;
            }
        }
    }
    // The popup menu window and the message box's objects.
    int window = skin.Int("POPUPWINDOW", "windowpictureindex");
    ASSERT_GE(window, 0);
    ASSERT_LT(window, count);
    const TBitmapData& popup = skin.ListPicture(window);
    EXPECT_TRUE(Inside(skin.RectOf("POPUPWINDOW", "itemsrect"), popup.Width(), popup.Height()));
    EXPECT_EQ(types["button"], "button");
    EXPECT_EQ(types["stdlabel"], "stdlabel");
}

TEST(SkingenTest, YellowIsComplete) {
    CheckSkin("yellow");
}

TEST(SkingenTest, SilverIsComplete) {
    CheckSkin("silver");
}

// The numbers of "yellow" that the window definition and the controls
// depend on.
TEST(SkingenTest, YellowHasTheUpdateWindowsGeometry) {
    Skin skin("yellow");
    EXPECT_EQ(skin.PictureCount(), 6);
    const TBitmapData& main = skin.Picture(skin.String("PICTURES", "picture"));
    EXPECT_EQ(main.Width(), 161);
    EXPECT_EQ(main.Height(), 159);
    EXPECT_EQ(skin.RectOf("FORMINFO", "clientrect"), (Rect{7, 30, 153, 151}));
    EXPECT_EQ(skin.RectOf("FORMINFO", "captionrect"), (Rect{4, 6, 154, 23}));
    EXPECT_TRUE(skin.RectOf("FORMINFO", "buttonsrect").Empty());
    EXPECT_EQ(skin.Int("FORMINFO", "buttonsoffset"), 2);

    EXPECT_EQ(skin.Objects("SKINOBJECTS").size(), 13u);
    EXPECT_EQ(skin.Objects("SKINCONTROLS").size(), 63u);

    EXPECT_EQ(skin.RectOf("caption1", "skinrect"), (Rect{5, 4, 153, 25}));
    EXPECT_EQ(skin.RectOf("caption1", "framerect"), (Rect{4, 92, 48, 113}));
    EXPECT_TRUE(skin.RectOf("caption1", "activeskinrect").Empty());
    EXPECT_EQ(skin.String("caption1", "fontname"), "Arial");
    EXPECT_EQ(skin.Int("caption1", "fontheight"), 14);
    EXPECT_EQ(skin.String("caption1", "fontstyle"), "fsbold");
    EXPECT_EQ(skin.Int("caption1", "fontcolor"), 8421504);
    EXPECT_EQ(skin.Int("caption1", "activefontcolor"), 0);
    EXPECT_EQ(skin.String("caption1", "alignment"), "taleftjustify");
    EXPECT_EQ(skin.Int("caption1", "shadow"), 1);
    EXPECT_EQ(skin.Int("caption1", "shadowcolor"), 15527148);
    EXPECT_EQ(skin.Int("caption1", "activeshadowcolor"), 15592941);
    Rect close = skin.RectOf("closebutton", "skinrect");
    EXPECT_EQ(close.W(), 17);
    EXPECT_EQ(close.H(), 17);
    EXPECT_EQ(skin.String("closebutton", "command"), "cmclose");

    EXPECT_EQ(skin.RectOf("MENUITEM", "skinrect"), (Rect{1, 99, 61, 119}));
    EXPECT_EQ(skin.RectOf("MENUITEM", "dividerrect"), (Rect{1, 29, 61, 35}));
    EXPECT_EQ(skin.Int("MENUITEM", "fontcolor"), 16777215);
    EXPECT_EQ(skin.Int("MENUITEM", "activefontcolor"), 0);

    // The push button: four 49 x 25 looks side by side on picture 3, each a
    // different picture, their middles repeatable.
    EXPECT_EQ(skin.Int("button", "pictureindex"), 3);
    Rect looks[4] = {skin.RectOf("button", "skinrect"), skin.RectOf("button", "activeskinrect"),
                     skin.RectOf("button", "downskinrect"),
                     skin.RectOf("button", "disabledskinrect")};
    Rect quoted[4] = {{1, 1, 50, 26}, {52, 1, 101, 26}, {103, 1, 152, 26}, {154, 1, 203, 26}};
    const TBitmapData& controls = skin.ListPicture(3);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(looks[i], quoted[i]);
        EXPECT_EQ(looks[i].W(), 49);
        EXPECT_EQ(looks[i].H(), 25);
        // Nothing drawn right outside the look: it is where it is said to be.
        EXPECT_EQ(controls.Pixel(looks[i].l - 1, looks[i].t + 12), kUnused) << i;
        EXPECT_EQ(controls.Pixel(looks[i].r, looks[i].t + 12), kUnused) << i;
        EXPECT_EQ(controls.Pixel(looks[i].l + 20, looks[i].b), kUnused) << i;
        for (int j = 0; j < i; ++j) {
            EXPECT_FALSE(SameLook(controls, looks[i], looks[j])) << i << " " << j;
        }
    }
    EXPECT_EQ(skin.PointOf("button", "lefttoppoint"), (Point{8, 10}));
    EXPECT_EQ(skin.PointOf("button", "righttoppoint"), (Point{39, 10}));
    EXPECT_EQ(skin.PointOf("button", "leftbottompoint"), (Point{0, 0}));
    EXPECT_EQ(skin.PointOf("button", "rightbottompoint"), (Point{0, 0}));
    EXPECT_EQ(skin.RectOf("button", "clientrect"), (Rect{3, 3, 45, 21}));

    EXPECT_EQ(skin.Int("gauge", "pictureindex"), 3);
    EXPECT_EQ(skin.RectOf("gauge", "skinrect"), (Rect{28, 32, 65, 51}));
    EXPECT_EQ(skin.PointOf("gauge", "lefttoppoint"), (Point{5, 6}));
    EXPECT_EQ(skin.PointOf("gauge", "righttoppoint"), (Point{32, 9}));
    EXPECT_EQ(skin.RectOf("gauge", "progressarea"), (Rect{2, 2, 34, 16}));
    Rect bar = skin.RectOf("gauge", "progressrect");
    EXPECT_EQ(bar, (Rect{2, 32, 23, 46}));
    EXPECT_EQ(skin.Int("gauge", "beginoffset"), 5);
    EXPECT_EQ(skin.Int("gauge", "endoffset"), 5);
    // The bar fills the bar area's height and its middle repeats.
    EXPECT_EQ(bar.H(), skin.RectOf("gauge", "progressarea").H());
    EXPECT_TRUE(RowsUniform(controls, bar, bar.l + 5, bar.r - 5));

    Rect label = skin.RectOf("label", "skinrect");
    EXPECT_EQ(label.W(), 75);
    EXPECT_EQ(label.H(), 18);
    EXPECT_EQ(skin.PointOf("label", "lefttoppoint"), (Point{5, 9}));
    EXPECT_EQ(skin.PointOf("label", "righttoppoint"), (Point{68, 7}));
    EXPECT_EQ(skin.RectOf("label", "clientrect"), (Rect{3, 2, 72, 16}));

    EXPECT_EQ(skin.Int("stdlabel", "fontcolor"), 16777215);
    EXPECT_EQ(skin.String("stdlabel", "fontname"), "Arial");
    EXPECT_EQ(skin.Int("stdlabel", "fontheight"), 14);

    Rect list = skin.RectOf("listbox", "skinrect");
    EXPECT_EQ(list.W(), 67);
    EXPECT_EQ(list.H(), 64);
    EXPECT_EQ(skin.RectOf("listbox", "clientrect"), (Rect{2, 2, 64, 61}));
    Rect item = skin.RectOf("listbox", "itemrect");
    EXPECT_EQ(item.W(), 50);
    EXPECT_EQ(item.H(), 20);
}

// --- the contact sheet ------------------------------------------------------------------

// A PNG file as its header and pixel data: the IHDR fields and the IDAT
// chunks inflated (the filtered rows), which do not depend on how zlib
// compressed them.
struct Png {
    uint32_t width = 0;
    uint32_t height = 0;
    std::string header;    // IHDR's data
    std::string filtered;  // the IDAT data, inflated
};

uint32_t BigEndian32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

Png ReadPng(const std::string& bytes) {
    Png png;
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    std::string idat;
    size_t at = 8;
    while (at + 12 <= bytes.size()) {
        const uint32_t length = BigEndian32(bytes, at);
        const std::string type = bytes.substr(at + 4, 4);
        const std::string data = bytes.substr(at + 8, length);
        if (type == "IHDR") {
            png.header = data;
        } else if (type == "IDAT") {
            idat += data;
        }
        at += 12 + length;
    }
    EXPECT_EQ(at, bytes.size()) << "chunks do not end with the file";
    if (png.header.size() == 13) {
        png.width = BigEndian32(png.header, 0);
        png.height = BigEndian32(png.header, 4);
    }
    png.filtered = base::ZDecompress(idat);
    return png;
}

// The rows of an 8-bit RGB PNG as bytes R, G, B per pixel, the filters undone.
std::vector<std::string> PngRows(const Png& png) {
    EXPECT_EQ(png.header.substr(8), std::string("\x08\x02\x00\x00\x00", 5));
    const size_t stride = static_cast<size_t>(png.width) * 3;
    std::vector<std::string> rows;
    std::string above(stride, '\0');
    for (uint32_t y = 0; y < png.height; ++y) {
        const size_t at = y * (stride + 1);
        if (at + stride + 1 > png.filtered.size()) {
            ADD_FAILURE() << "pixel data too short";
            break;
        }
        const int type = png.filtered[at];
        std::string row = png.filtered.substr(at + 1, stride);
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= 3 ? static_cast<unsigned char>(row[i - 3]) : 0;
            const int b = static_cast<unsigned char>(above[i]);
            const int c = i >= 3 ? static_cast<unsigned char>(above[i - 3]) : 0;
            int predictor = 0;
            if (type == 1) {
                predictor = a;
            } else if (type == 2) {
                predictor = b;
            } else if (type == 3) {
                predictor = (a + b) / 2;
            } else if (type == 4) {
                const int p = a + b - c;
                const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            } else {
                EXPECT_EQ(type, 0) << "row " << y;
            }
            row[i] = static_cast<char>(static_cast<unsigned char>(row[i]) + predictor);
        }
        rows.push_back(row);
        above = row;
    }
    return rows;
}

// Whether the picture appears whole, 1:1, somewhere in the sheet.
bool Shows(const std::vector<std::string>& sheet, const TBitmapData& picture) {
    std::vector<std::string> rows;
    for (int y = 0; y < picture.Height(); ++y) {
        std::string row;
        for (int x = 0; x < picture.Width(); ++x) {
            const TColor c = picture.Pixel(x, y);
            row += static_cast<char>(framework::ColorRed(c));
            row += static_cast<char>(framework::ColorGreen(c));
            row += static_cast<char>(framework::ColorBlue(c));
        }
        rows.push_back(row);
    }
    for (size_t y = 0; y + rows.size() <= sheet.size(); ++y) {
        for (size_t at = sheet[y].find(rows[0]); at != std::string::npos;
             at = sheet[y].find(rows[0], at + 1)) {
            bool all = at % 3 == 0;
            for (size_t j = 1; all && j < rows.size(); ++j) {
                all = sheet[y + j].compare(at, rows[j].size(), rows[j]) == 0;
            }
            if (all) {
                return true;
            }
        }
    }
    return false;
}

TEST(SkingenTest, TheContactSheetIsTheOneSkingenDraws) {
    const fs::path out = fs::path(UPDATER_TEST_OUTPUT) / "skins.png";
    fs::remove(out);
    const std::string command = std::string("\"") + SKINGEN + "\" --contact-sheet \"" +
                                out.string() + "\" \"" + (kAssets / "skins" / "yellow").string() +
                                "\" \"" + (kAssets / "skins" / "silver").string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string committed = ReadFile(kContactSheet);
    ASSERT_FALSE(committed.empty()) << kContactSheet;
    EXPECT_LT(committed.size(), 1000000u);
    const Png drawn = ReadPng(ReadFile(out));
    const Png shown = ReadPng(committed);
    EXPECT_EQ(shown.header, drawn.header);
    EXPECT_TRUE(shown.filtered == drawn.filtered)
        << kContactSheet.string()
        << " differs from what skingen draws: cmake --build build/native --target skin_assets";
}

TEST(SkingenTest, TheContactSheetShowsEveryPictureOfBothSkins) {
    const std::vector<std::string> sheet = PngRows(ReadPng(ReadFile(kContactSheet)));
    for (const char* name : {"yellow", "silver"}) {
        Skin skin(name);
        std::vector<std::string> files;
        for (const char* key : {"picture", "inactivepicture", "mask"}) {
            files.push_back(skin.String("PICTURES", key));
        }
        for (int i = 0; i < skin.PictureCount(); ++i) {
            files.push_back(skin.String("PICTURES", std::to_string(i)));
        }
        EXPECT_EQ(files.size(), 9u) << name;
        for (const std::string& file : files) {
            EXPECT_TRUE(Shows(sheet, skin.Picture(file))) << name << "/" << file;
        }
    }
    // A picture that is not a skin's is not there.
    TBitmapData side;
    side.LoadFromBytes(ReadFile(kAssets / "side.bmp"));
    EXPECT_FALSE(Shows(sheet, side));
}

}  // namespace
