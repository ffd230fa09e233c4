#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/exception.h"
#include "framework/ini.h"
#include "skin/data/control_objects.h"
#include "skin/data/form_info.h"
#include "skin/data/frame_objects.h"
#include "skin/data/skin_data.h"
#include "skin/data/skin_values.h"

namespace skin {
namespace {

using Strings = std::vector<std::string>;

std::string R(const TRect& r) {
    return FormatSkinRect(r);
}

std::string P(const TPoint& p) {
    return FormatSkinPoint(p);
}

// A skin data object with `text` read as its description.
std::unique_ptr<TbsSkinData> Describe(std::string_view text) {
    auto data = std::make_unique<TbsSkinData>(nullptr);
    framework::TMemIniFile ini;
    ini.LoadFromText(text);
    data->ReadDescription(ini);
    return data;
}

Strings FrameNames(const TbsSkinData& data) {
    Strings names;
    for (const auto& o : data.FrameObjects()) {
        names.push_back(o->name);
    }
    return names;
}

Strings ControlNames(const TbsSkinData& data) {
    Strings names;
    for (const auto& o : data.ControlObjects()) {
        names.push_back(o->name);
    }
    return names;
}

// --- object lists -------------------------------------------------------------

TEST(SkinDescriptionTest, FrameObjectEntriesAndCaseSensitiveLookup) {
    auto data = Describe(
        "[SKINOBJECTS]\n"
        "count=2\n"
        "0=MENUITEM:menuitem\n"
        "1=caption1:caption\n"
        "[MENUITEM]\n"
        "fontheight=20\n"
        "[Caption1]\n"  // section names match in any case
        "alignment=center\n");
    ASSERT_EQ(FrameNames(*data), (Strings{"MENUITEM", "caption1"}));
    auto* item = dynamic_cast<TbsDataSkinMenuItem*>(data->FrameObject(0));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->font.height, 20);
    auto* caption = dynamic_cast<TbsDataSkinCaption*>(data->FrameObject(1));
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->alignment, taRightJustify);

    EXPECT_EQ(data->IndexOfFrameObject("caption1"), 1);
    EXPECT_EQ(data->IndexOfFrameObject("MENUITEM"), 0);
    EXPECT_EQ(data->IndexOfFrameObject("Caption1"), -1);
    EXPECT_EQ(data->IndexOfFrameObject("menuitem"), -1);
    EXPECT_EQ(data->IndexOfFrameObject("caption"), -1);
    EXPECT_EQ(data->IndexOfFrameObject("caption1 "), -1);
    EXPECT_EQ(data->IndexOfFrameObject(""), -1);
    // The frame list is not the control list.
    EXPECT_EQ(data->IndexOfControlObject("caption1"), -1);
    EXPECT_EQ(data->FrameObject(2), nullptr);
    EXPECT_EQ(data->FrameObject(-1), nullptr);
}

TEST(SkinDescriptionTest, EntriesThatCreateNothingAreSkipped) {
    auto data = Describe(
        "[SKINCONTROLS]\n"
        "count=9\n"
        "0=no colon here\n"
        "1=button:button\n"
        "2=gauge:Gauge\n"  // type words are case-sensitive
        "3=empty type:\n"
        "4=:label\n"      // no name: an object with every default
        "5=a:b:button\n"  // the name ends at the first colon: type "b:button"
        "6=x:nosuchtype\n"
        "7=two:label\n"
        "8=button:stdlabel\n"  // a name that is taken already
        "[]\n"
        "fontheight=99\n"
        "[two]\n"
        "fontheight=11\n");
    ASSERT_EQ(ControlNames(*data), (Strings{"button", "", "two", "button"}));
    auto* unnamed = dynamic_cast<TbsDataSkinLabelControl*>(data->ControlObject(1));
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(unnamed->font.height, 14);
    auto* two = dynamic_cast<TbsDataSkinLabelControl*>(data->ControlObject(2));
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->font.height, 11);
    // The first of two equal names is found.
    EXPECT_EQ(data->IndexOfControlObject("button"), 0);
    EXPECT_NE(dynamic_cast<TbsDataSkinButtonControl*>(data->ControlObject(0)), nullptr);
    EXPECT_NE(dynamic_cast<TbsDataSkinStdLabelControl*>(data->ControlObject(3)), nullptr);
    EXPECT_EQ(data->IndexOfControlObject(""), 1);
}

TEST(SkinDescriptionTest, CountsAndEntryKeys) {
    struct Case {
        const char* section;
        Strings names;
    };
    const Case cases[] = {
        {"[SKINOBJECTS]\n0=a:button\n", {}},             // no count
        {"[SKINOBJECTS]\ncount=0\n0=a:button\n", {}},    // zero
        {"[SKINOBJECTS]\ncount=-3\n0=a:button\n", {}},   // negative
        {"[SKINOBJECTS]\ncount=two\n0=a:button\n", {}},  // not an integer
        {"[SKINOBJECTS]\ncount=1\n0=a:button\n1=b:button\n", {"a"}},
        // Index order, whatever the order of the lines.
        {"[SKINOBJECTS]\ncount=$3\n2=c:button\n1=b:button\n0=a:button\n", {"a", "b", "c"}},
        // Only the exact decimal text of an index is its key.
        {"[SKINOBJECTS]\ncount=5\n00=x:button\n+1=y:button\n 2 =c:button\n-3=z:button\n", {"c"}},
        // A huge count costs nothing: missing keys add nothing.
        {"[SKINOBJECTS]\ncount=2147483647\n5=f:button\n0=a:button\n2147483646=z:button\n",
         {"a", "f", "z"}},
        // The first of two equal keys wins.
        {"[SKINOBJECTS]\ncount=1\n0=first:button\n0=second:button\n", {"first"}},
        // Only [SKINOBJECTS] lists frame objects.
        {"[SKINCONTROLS]\ncount=1\n0=a:button\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        EXPECT_EQ(FrameNames(*Describe(c.section)), c.names);
    }
}

TEST(SkinDescriptionTest, VersionAndPictureNames) {
    auto data = Describe(
        "[VERSION]\n"
        "skinname=\xBB\xC6\xC9\xAB\n"  // GBK, kept as bytes
        "skinauthor= someone \n"
        "skincomments=a=b\n"
        "[PICTURES]\n"
        "picture=main.bmp\n"
        "mask=\n"
        "activepicturescount=4\n"
        "0=a.bmp\n"
        "1=b.bmp\n"
        "3=d.bmp\n");
    EXPECT_EQ(data->VersionInfo().skin_name, "\xBB\xC6\xC9\xAB");
    EXPECT_EQ(data->VersionInfo().skin_author, "someone");
    EXPECT_EQ(data->VersionInfo().author_email, "");
    EXPECT_EQ(data->VersionInfo().skin_comments, "a=b");
    EXPECT_EQ(data->PictureName(), "main.bmp");
    EXPECT_EQ(data->InactivePictureName(), "");
    EXPECT_EQ(data->MaskPictureName(), "");
    // Up to the first missing key.
    EXPECT_EQ(data->ActivePictureNames(), (Strings{"a.bmp", "b.bmp"}));

    auto huge = Describe("[PICTURES]\nactivepicturescount=2147483647\n0=a\n1=b\n2147483646=far\n");
    EXPECT_EQ(huge->ActivePictureNames(), (Strings{"a", "b"}));
    EXPECT_TRUE(
        Describe("[PICTURES]\nactivepicturescount=-1\n0=a\n")->ActivePictureNames().empty());
}

// --- frame objects --------------------------------------------------------------

TEST(SkinDescriptionTest, FrameObjectFields) {
    auto data = Describe(
        "[SKINOBJECTS]\n"
        "count=6\n"
        "0=close:stdbutton\n"
        "1=anim:animate\n"
        "2=area:userobject\n"
        "3=bar:mainmenubaritem\n"
        "4=cap:caption\n"
        "5=other:stdbutton\n"
        "[close]\n"
        "hint=Close\n"
        "activepictureindex=2\n"
        "skinrectinapicture=1\n"
        "skinrect=100,5,116,21\n"
        "activeskinrect=0,0,16,16\n"
        "morphing=1\n"
        "morphkind=mkleftslide\n"
        "downrect=16,0,32,16\n"
        "disableskinrsect=32,0,48,16\n"
        "command=cmclose\n"
        "restorerect=1,2,3,4\n"
        "[other]\n"
        "command=cmClose\n"
        "morphing=2\n"
        "[anim]\n"
        "morphing=1\n"
        "countframes=8\n"
        "cycle=1\n"
        "timerinterval=abc\n"
        "[area]\n"
        "hint=ignored\n"
        "activepictureindex=4\n"
        "morphing=1\n"
        "skinrect=1,2,3,4\n"
        "[bar]\n"
        "unenabledfontColor=255\n"
        "downfontcolor=$FF00\n"
        "[cap]\n"
        "textrect=10,5,120,25\n"
        "fontstyle=fsbold,fsunderline\n"
        "shadow=1\n"
        "frameleftoffset=-4\n");
    ASSERT_EQ(data->FrameObjects().size(), 6u);

    auto* close = dynamic_cast<TbsDataSkinStdButton*>(data->FrameObject(0));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->hint, "Close");
    EXPECT_EQ(close->active_picture_index, 2);
    EXPECT_TRUE(close->skin_rect_in_a_picture);
    EXPECT_EQ(R(close->skin_rect), "100,5,116,21");
    EXPECT_EQ(R(close->active_skin_rect), "0,0,16,16");
    EXPECT_EQ(R(close->inactive_skin_rect), "0,0,0,0");
    EXPECT_TRUE(close->morphing);
    EXPECT_EQ(close->morph_kind, mkLeftSlide);
    EXPECT_EQ(R(close->down_rect), "16,0,32,16");
    EXPECT_EQ(R(close->disable_skin_rect), "32,0,48,16");
    EXPECT_EQ(close->command, cmClose);
    EXPECT_EQ(R(close->restore_rect), "1,2,3,4");
    EXPECT_EQ(R(close->restore_active_rect), "0,0,0,0");

    auto* other = dynamic_cast<TbsDataSkinStdButton*>(data->FrameObject(5));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->command, cmMinimizeToTray);
    EXPECT_FALSE(other->morphing);
    EXPECT_EQ(other->active_picture_index, -1);

    auto* anim = dynamic_cast<TbsDataSkinAnimate*>(data->FrameObject(1));
    ASSERT_NE(anim, nullptr);
    EXPECT_FALSE(anim->morphing);
    EXPECT_EQ(anim->count_frames, 8);
    EXPECT_TRUE(anim->cycle);
    EXPECT_FALSE(anim->button_style);
    EXPECT_EQ(anim->timer_interval, 50);
    EXPECT_EQ(anim->command, cmDefault);

    auto* area = dynamic_cast<TbsDataUserObject*>(data->FrameObject(2));
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(R(area->skin_rect), "1,2,3,4");
    EXPECT_EQ(area->hint, "");
    EXPECT_EQ(area->active_picture_index, -1);
    EXPECT_FALSE(area->morphing);

    auto* bar = dynamic_cast<TbsDataSkinMainMenuBarItem*>(data->FrameObject(3));
    ASSERT_NE(bar, nullptr);
    EXPECT_NE(dynamic_cast<TbsDataSkinMainMenuItem*>(bar), nullptr);
    EXPECT_EQ(bar->unenabled_font_color, 255u);
    EXPECT_EQ(bar->down_font_color, 0xFF00u);
    EXPECT_EQ(bar->font.name, "Arial");

    auto* cap = dynamic_cast<TbsDataSkinCaption*>(data->FrameObject(4));
    ASSERT_NE(cap, nullptr);
    EXPECT_EQ(R(cap->text_rect), "10,5,120,25");
    EXPECT_EQ(cap->font.style, fsBold | fsUnderline);
    EXPECT_EQ(cap->alignment, taCenter);
    EXPECT_TRUE(cap->shadow);
    EXPECT_EQ(cap->frame_left_offset, -4);
}

// --- control objects ------------------------------------------------------------

TEST(SkinDescriptionTest, ButtonAndGaugeObjectsOfTheUpdaterSkin) {
    auto data = Describe(
        "[SKINCONTROLS]\n"
        "count=2\n"
        "0=button:button\n"
        "1=gauge:gauge\n"
        "[button]\n"
        "pictureindex=3\n"
        "skinrect=1,1,50,26\n"
        "lefttoppoint=8,10\n"
        "righttoppoint=39,10\n"
        "leftbottompoint=0,0\n"
        "rightbottompoint=0,0\n"
        "clientrect=4,4,45,21\n"
        "fontstyle=fsbold\n"
        "activefontcolor=16777215\n"
        "leftstretch=1\n"  // not a control key: ignored
        "showfocus=1\n"
        "[gauge]\n"
        "pictureindex=3\n"
        "skinrect=28,32,65,51\n"
        "lefttoppoint=5,6\n"
        "righttoppoint=32,9\n"
        "progressarea=2,2,34,16\n"
        "progressrect=2,32,23,46\n"
        "beginoffset=5\n"
        "endoffset=5\n");
    auto* button = dynamic_cast<TbsDataSkinButtonControl*>(
        data->ControlObject(data->IndexOfControlObject("button")));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->picture_index, 3);
    EXPECT_EQ(button->mask_picture_index, -1);
    EXPECT_EQ(button->skin_rect.Width(), 49);
    EXPECT_EQ(button->skin_rect.Height(), 25);
    EXPECT_EQ(P(button->left_top_point), "8,10");
    EXPECT_EQ(P(button->right_top_point), "39,10");
    EXPECT_EQ(P(button->right_bottom_point), "0,0");
    EXPECT_EQ(R(button->client_rect), "4,4,45,21");
    EXPECT_EQ(button->font.style, fsBold);
    EXPECT_EQ(button->active_font_color, 0xFFFFFFu);
    EXPECT_EQ(button->down_font_color, 0u);
    EXPECT_TRUE(button->down_skin_rect.IsEmpty());
    EXPECT_EQ(button->morph_kind, mkDefault);
    // Only what the key list names is written back.
    framework::TMemIniFile saved;
    button->Save(saved);
    EXPECT_FALSE(saved.ValueExists("button", "leftstretch"));
    EXPECT_FALSE(saved.ValueExists("button", "showfocus"));

    auto* gauge = dynamic_cast<TbsDataSkinGaugeControl*>(
        data->ControlObject(data->IndexOfControlObject("gauge")));
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(gauge->skin_rect.Width(), 37);
    EXPECT_EQ(gauge->skin_rect.Height(), 19);
    EXPECT_EQ(R(gauge->progress_area), "2,2,34,16");
    EXPECT_EQ(R(gauge->progress_rect), "2,32,23,46");
    EXPECT_EQ(gauge->begin_offset, 5);
    EXPECT_EQ(gauge->end_offset, 5);
    EXPECT_FALSE(gauge->vertical);
    EXPECT_EQ(gauge->font.name, "Arial");
    EXPECT_EQ(gauge->font.height, 14);
}

TEST(SkinDescriptionTest, ControlDefaultsThatAreNotZero) {
    auto data = Describe(
        "[SKINCONTROLS]\n"
        "count=4\n"
        "0=stdlabel:stdlabel\n"
        "1=listbox:listbox\n"
        "2=panel:panel\n"
        "3=tab:tab\n"
        "[listbox]\n"
        "hscrollbarname=myhbar\n"
        "captionfontheight=9\n");
    auto* std_label = dynamic_cast<TbsDataSkinStdLabelControl*>(data->ControlObject(0));
    ASSERT_NE(std_label, nullptr);
    EXPECT_EQ(std_label->active_font_color, 16711680u);  // blue
    EXPECT_EQ(std_label->font.color, 0u);
    EXPECT_EQ(std_label->picture_index, -1);

    auto* list = dynamic_cast<TbsDataSkinListBox*>(data->ControlObject(1));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->v_scroll_bar_name, "vscrollbar");
    EXPECT_EQ(list->h_scroll_bar_name, "myhbar");
    EXPECT_EQ(list->both_h_scroll_bar_name, "bothhscrollbar");
    EXPECT_EQ(list->caption_font.height, 9);
    EXPECT_EQ(list->font.height, 14);
    EXPECT_EQ(list->active_font_color, 0u);

    auto* panel = dynamic_cast<TbsDataSkinPanelControl*>(data->ControlObject(2));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->bg_picture_index, -1);
    EXPECT_EQ(panel->alignment, taCenter);

    auto* tab = dynamic_cast<TbsDataSkinTabControl*>(data->ControlObject(3));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->bg_picture_index, -1);
    EXPECT_EQ(tab->up_down, "");
}

TEST(SkinDescriptionTest, ControlClassTree) {
    auto is_custom = [](std::string_view type) {
        auto o = CreateControlObject(type, "x");
        return dynamic_cast<TbsDataSkinCustomControl*>(o.get()) != nullptr;
    };
    for (const char* type :
         {"button", "menubutton", "gauge", "label", "listbox", "checklistbox", "scrollbar", "panel",
          "expanel", "checkradio", "splitter", "trackbar", "updown", "controlbar", "memo", "edit",
          "combobox", "spinedit", "scrollbox"}) {
        EXPECT_TRUE(is_custom(type)) << type;
    }
    for (const char* type : {"stdlabel", "grid", "tab", "mainmenubar", "treeview", "listview",
                             "richedit", "bevel", "slider"}) {
        EXPECT_FALSE(is_custom(type)) << type;
        EXPECT_NE(CreateControlObject(type, "x"), nullptr) << type;
    }
    EXPECT_NE(dynamic_cast<TbsDataSkinButtonControl*>(CreateControlObject("menubutton", "").get()),
              nullptr);
    EXPECT_NE(dynamic_cast<TbsDataSkinListBox*>(CreateControlObject("checklistbox", "").get()),
              nullptr);
    EXPECT_NE(dynamic_cast<TbsDataSkinEditControl*>(CreateControlObject("memo", "").get()),
              nullptr);
    EXPECT_EQ(CreateControlObject("Button", "x"), nullptr);
    EXPECT_EQ(CreateControlObject("", "x"), nullptr);
    EXPECT_EQ(CreateControlObject("stdbutton", "x"), nullptr);
    EXPECT_EQ(CreateFrameObject("gauge", "x"), nullptr);
    EXPECT_NE(dynamic_cast<TbsDataSkinStdButton*>(CreateFrameObject("mainmenubarbutton", "").get()),
              nullptr);
    EXPECT_EQ(CreateFrameObject("Caption", "x"), nullptr);
}

// --- Save writes every key Load reads ---------------------------------------------

// A value for `key` that differs from the default `value` Save wrote, in the
// same text form; `k` makes the values of different keys differ.
std::string OtherValue(const std::string& key, const std::string& value, int k) {
    const std::string n = std::to_string(k);
    if (value == "0,0,0,0") {
        return n + "," + std::to_string(k + 1) + "," + std::to_string(k + 2) + "," +
               std::to_string(k + 3);
    }
    if (value == "0,0") {
        return n + "," + std::to_string(k + 1);
    }
    if (key.ends_with("fontstyle")) {
        return "fsbold,fsstrikeout";
    }
    if (value == "mkdefault") {
        return "mkrightslide";
    }
    if (value == "cmdefault") {
        return "cmsysmenu";
    }
    if (value == "tacenter") {
        return "taleftjustify";
    }
    if (value == "0") {
        return "1";  // a flag, or an integer or colour
    }
    if (!value.empty() && (value[0] == '-' || (value[0] >= '0' && value[0] <= '9'))) {
        return std::to_string(100 + k);
    }
    return "text" + n;
}

// Saves a new object with every default, changes every written value, loads a
// second object from that and saves it: the two texts must be the same.
template <typename Create>
void CheckSaveRoundTrip(Create create, std::string_view type, size_t expected_keys) {
    SCOPED_TRACE(std::string(type));
    auto first = create(type, "obj");
    ASSERT_NE(first, nullptr);
    framework::TMemIniFile defaults;
    first->Save(defaults);
    const Strings keys = defaults.ReadSection("obj");
    EXPECT_EQ(keys.size(), expected_keys);

    framework::TMemIniFile changed;
    changed.WriteString("other", "x", "1");  // Save leaves other sections alone
    int k = 1;
    for (const std::string& key : keys) {
        changed.WriteString("obj", key, OtherValue(key, defaults.ReadString("obj", key, ""), k));
        k += 10;
    }
    if (type == "animate") {
        changed.WriteString("obj", "morphing", "0");  // never on after Load
    }
    auto second = create(type, "obj");
    second->Load(changed);
    framework::TMemIniFile resaved;
    resaved.WriteString("other", "x", "1");
    resaved.WriteString("obj", "stale", "gone");  // Save replaces the section
    second->Save(resaved);
    EXPECT_EQ(resaved.ToText(), changed.ToText());
}

TEST(SkinDescriptionTest, SaveWritesEveryKeyThatLoadReads) {
    const std::pair<const char*, size_t> frame_types[] = {
        {"menuitem", 20}, {"mainmenubaritem", 19}, {"stdbutton", 15}, {"mainmenubarbutton", 15},
        {"button", 10},   {"caption", 23},         {"animate", 13},   {"userobject", 1},
    };
    for (const auto& [type, keys] : frame_types) {
        CheckSaveRoundTrip(CreateFrameObject, type, keys);
        EXPECT_EQ(FrameObjectTypeWord(*CreateFrameObject(type, "x")), type);
    }
    const std::pair<const char*, size_t> control_types[] = {
        {"button", 20},      {"menubutton", 21}, {"gauge", 19},        {"label", 12},
        {"stdlabel", 8},     {"listbox", 37},    {"checklistbox", 40}, {"scrollbar", 25},
        {"panel", 17},       {"expanel", 36},    {"checkradio", 26},   {"splitter", 8},
        {"trackbar", 14},    {"updown", 14},     {"grid", 24},         {"tab", 24},
        {"mainmenubar", 11}, {"controlbar", 10}, {"memo", 21},         {"edit", 19},
        {"combobox", 23},    {"spinedit", 21},   {"scrollbox", 9},     {"treeview", 8},
        {"listview", 8},     {"richedit", 8},    {"bevel", 5},         {"slider", 10},
    };
    for (const auto& [type, keys] : control_types) {
        CheckSaveRoundTrip(CreateControlObject, type, keys);
        EXPECT_EQ(ControlObjectTypeWord(*CreateControlObject(type, "x")), type);
    }
}

TEST(SkinDescriptionTest, PopupAndHintWindows) {
    TbsSkinData fresh(nullptr);
    EXPECT_EQ(fresh.PopupWindow().window_picture_index, -1);
    EXPECT_EQ(fresh.HintWindow().font.name, "Arial");
    EXPECT_EQ(fresh.HintWindow().font.height, 14);

    auto data = Describe(
        "[POPUPWINDOW]\n"
        "windowpictureindex=4\n"
        "maskpictureindex=5\n"
        "lefttoppoint=3,3\n"
        "itemsrect=3,3,97,60\n"
        "scrollmarkeractivecolor=$FF\n"
        "topstretch=1\n"
        "[HINTWINDOW]\n"
        "windowpictureindex=2\n"
        "clientrect=2,2,20,10\n"
        "fontname=Tahoma\n"
        "bottomstretch=1\n");
    EXPECT_EQ(data->PopupWindow().window_picture_index, 4);
    EXPECT_EQ(data->PopupWindow().mask_picture_index, 5);
    EXPECT_EQ(P(data->PopupWindow().left_top_point), "3,3");
    EXPECT_EQ(R(data->PopupWindow().items_rect), "3,3,97,60");
    EXPECT_EQ(data->PopupWindow().scroll_marker_active_color, 0xFFu);
    EXPECT_TRUE(data->PopupWindow().top_stretch);
    EXPECT_FALSE(data->PopupWindow().left_stretch);
    EXPECT_EQ(data->HintWindow().window_picture_index, 2);
    EXPECT_EQ(data->HintWindow().mask_picture_index, -1);
    EXPECT_EQ(R(data->HintWindow().client_rect), "2,2,20,10");
    EXPECT_EQ(data->HintWindow().font.name, "Tahoma");
    EXPECT_TRUE(data->HintWindow().bottom_stretch);

    // A clear resets only the window picture indexes.
    data->ClearSkin();
    EXPECT_EQ(data->PopupWindow().window_picture_index, -1);
    EXPECT_EQ(data->HintWindow().window_picture_index, -1);
    EXPECT_EQ(data->PopupWindow().mask_picture_index, 5);
    EXPECT_EQ(data->HintWindow().font.name, "Tahoma");

    // Both write back what they read.
    for (int which = 0; which < 2; ++which) {
        framework::TMemIniFile ini;
        if (which == 0) {
            data->PopupWindow().Save(ini);
        } else {
            data->HintWindow().Save(ini);
        }
        TbsDataSkinPopupWindow popup;
        TbsDataSkinHintWindow hint;
        framework::TMemIniFile again;
        if (which == 0) {
            popup.Load(ini);
            popup.Save(again);
        } else {
            hint.Load(ini);
            hint.Save(again);
        }
        EXPECT_EQ(again.ToText(), ini.ToText());
        EXPECT_EQ(ini.ReadSection(which == 0 ? "POPUPWINDOW" : "HINTWINDOW").size(),
                  which == 0 ? 13u : 15u);
    }
}

// --- form information ---------------------------------------------------------------

constexpr const char* kFrame =
    "[FORMINFO]\n"
    "lefttoppoint=7,30\n"
    "righttoppoint=153,30\n"
    "leftbottompoint=7,151\n"
    "rightbottompoint=153,151\n"
    "clientrect=7,30,153,151\n"
    "captionrect=5,5,120,25\n"
    "buttonsoffset=-2\n"
    "inactiveeffect=iedarkness\n";

TEST(SkinDescriptionTest, FormInfoMaskRules) {
    // With a mask: an empty mask area becomes the client rectangle, and a
    // hit-test point with a zero coordinate becomes the frame point.
    auto masked = Describe(std::string(kFrame) +
                           "hittestlefttoppoint=0,40\n"
                           "hittestrighttoppoint=150,5\n"
                           "hittestrightbottompoint=9,0\n"
                           "[PICTURES]\nmask=mask.bmp\n");
    const TSkinFormInfo& f = masked->FormInfo();
    EXPECT_EQ(P(f.hittest_left_top_point), "7,30");
    EXPECT_EQ(P(f.hittest_right_top_point), "150,5");
    EXPECT_EQ(P(f.hittest_left_bottom_point), "7,151");
    EXPECT_EQ(P(f.hittest_right_bottom_point), "153,151");
    EXPECT_EQ(R(f.mask_rect_area), "7,30,153,151");
    EXPECT_EQ(R(f.caption_rect), "5,5,120,25");
    EXPECT_EQ(f.buttons_offset, -2);
    EXPECT_EQ(f.inactive_effect, ieDarkness);
    EXPECT_EQ(f.bg_picture_index, -1);
    EXPECT_EQ(f.mdi_bg_picture_index, -1);

    // A mask area is widened to hold the client rectangle.
    auto widened = Describe(std::string(kFrame) +
                            "maskrectarea=10,0,100,200\n"
                            "[PICTURES]\nmask=m.bmp\n");
    EXPECT_EQ(R(widened->FormInfo().mask_rect_area), "7,0,153,200");

    // Without a mask nothing of that happens.
    auto plain = Describe(std::string(kFrame) +
                          "hittestlefttoppoint=0,40\n"
                          "maskrectarea=10,0,100,200\n");
    EXPECT_EQ(P(plain->FormInfo().hittest_left_top_point), "0,40");
    EXPECT_EQ(R(plain->FormInfo().mask_rect_area), "10,0,100,200");
    EXPECT_EQ(P(plain->FormInfo().hittest_right_bottom_point), "0,0");
    EXPECT_EQ(plain->FormInfo().inactive_effect, ieDarkness);
    EXPECT_EQ(Describe("[FORMINFO]\n")->FormInfo().inactive_effect, ieBrightness);
    EXPECT_EQ(Describe("[FORMINFO]\ninactiveeffect=blur\n")->FormInfo().inactive_effect,
              ieGrayScale);
}

TEST(SkinDescriptionTest, FormInfoCornerPointsArePulledIntoTheClientRect) {
    auto data = Describe(
        "[FORMINFO]\n"
        "lefttoppoint=2,3\n"
        "righttoppoint=200,1\n"
        "leftbottompoint=1,300\n"
        "rightbottompoint=500,400\n"
        "clientrect=7,30,153,151\n"
        "[PICTURES]\nmask=m.bmp\n");
    const TSkinFormInfo& f = data->FormInfo();
    EXPECT_EQ(P(f.left_top_point), "7,30");
    EXPECT_EQ(P(f.right_top_point), "153,30");
    EXPECT_EQ(P(f.left_bottom_point), "7,151");
    EXPECT_EQ(P(f.right_bottom_point), "153,151");
    // The hit-test points were copied before the corners moved.
    EXPECT_EQ(P(f.hittest_left_top_point), "2,3");
    EXPECT_EQ(P(f.hittest_right_bottom_point), "500,400");

    // Points inside stay where they are.
    auto inside = Describe(
        "[FORMINFO]\nlefttoppoint=20,40\nrighttoppoint=100,40\nleftbottompoint=20,100\n"
        "rightbottompoint=100,100\nclientrect=7,30,153,151\n");
    EXPECT_EQ(P(inside->FormInfo().left_top_point), "20,40");
    EXPECT_EQ(P(inside->FormInfo().right_bottom_point), "100,100");

    // The same x (or y) for the right-bottom and the left-top point: no change.
    for (const char* rb : {"5,400", "500,3"}) {
        auto same = Describe(std::string("[FORMINFO]\nlefttoppoint=5,3\nrighttoppoint=200,1\n"
                                         "rightbottompoint=") +
                             rb + "\nclientrect=7,30,153,151\n");
        EXPECT_EQ(P(same->FormInfo().left_top_point), "5,3") << rb;
        EXPECT_EQ(P(same->FormInfo().right_top_point), "200,1") << rb;
    }
}

TEST(SkinDescriptionTest, AMalformedValueStopsTheReading) {
    framework::TMemIniFile ini;
    ini.LoadFromText(
        "[SKINCONTROLS]\ncount=3\n0=a:label\n1=b:label\n2=c:label\n"
        "[b]\nskinrect=1,2,3\n");
    TbsSkinData data(nullptr);
    try {
        data.ReadDescription(ini);
        FAIL() << "no error";
    } catch (const base::EConvertError& e) {
        EXPECT_EQ(e.Message(), "'' is not a valid integer value");
    }
    // The reading stopped at "b": "c" was never made.
    EXPECT_EQ(data.IndexOfControlObject("c"), -1);
    EXPECT_EQ(data.IndexOfControlObject("a"), 0);

    framework::TMemIniFile form;
    form.LoadFromText("[FORMINFO]\nclientrect=1,2,3,99999999999\n");
    TbsSkinData other(nullptr);
    EXPECT_THROW(other.ReadDescription(form), base::EConvertError);
}

}  // namespace
}  // namespace skin
