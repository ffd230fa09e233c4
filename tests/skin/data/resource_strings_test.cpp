#include "skin/data/resource_strings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/string_list.h"

namespace skin {
namespace {

TEST(ResourceStringsTest, DefaultTable) {
    TbsResourceStrData strings(nullptr);
    EXPECT_EQ(strings.CharSet(), 1);
    const base::TStringList& lines = strings.ResStrings();
    // One line per name, every name different, every line "NAME=text".
    std::set<std::string> names;
    for (int i = 0; i < lines.Count(); ++i) {
        EXPECT_NE(lines[i].find('='), std::string::npos) << lines[i];
        EXPECT_FALSE(lines.ValueFromIndex(i).empty()) << lines[i];
        names.insert(lines.Names(i));
    }
    EXPECT_EQ(names.size(), static_cast<size_t>(lines.Count()));
    for (const char* name :
         {"MI_MINCAPTION", "MI_ROLLUPCAPTION", "MENUBUTTON_HINT", "EDIT_SELECTALL", "MSG_BTN_OPEN",
          "MSG_PREVIEWBUTTON", "CALC_CAP", "ERROR", "FONTDLG_SCRIPT", "NOVALIDDRIVEID",
          "FLV_FREESPACE", "PRNDLG_MARGINS_INCHES", "PRNDLG_WARNING", "FIND_REPLACE_All",
          "FIND_REPLACE_CLOSE"}) {
        EXPECT_EQ(names.count(name), 1u) << name;
    }

    // The message-box texts, byte for byte.
    const std::pair<const char*, const char*> message_box[] = {
        {"MSG_BTN_YES", "&Yes"},
        {"MSG_BTN_NO", "&No"},
        {"MSG_BTN_OK", "OK"},
        {"MSG_BTN_CANCEL", "Cancel"},
        {"MSG_BTN_ABORT", "&Abort"},
        {"MSG_BTN_RETRY", "&Retry"},
        {"MSG_BTN_IGNORE", "&Ignore"},
        {"MSG_BTN_ALL", "&All"},
        {"MSG_BTN_NOTOALL", "N&oToAll"},
        {"MSG_BTN_YESTOALL", "&YesToAll"},
        {"MSG_BTN_HELP", "&Help"},
        {"MSG_CAP_WARNING", "Warning"},
        {"MSG_CAP_ERROR", "Error"},
        {"MSG_CAP_INFORMATION", "Information"},
        {"MSG_CAP_CONFIRM", "Confirm"},
    };
    for (const auto& [name, text] : message_box) {
        EXPECT_EQ(strings.Lookup(name), text) << name;
    }
    // The message-box lines are in the order of their names.
    EXPECT_EQ(lines.IndexOfName("MSG_BTN_NO"), lines.IndexOfName("MSG_BTN_YES") + 1);
    EXPECT_EQ(lines.IndexOfName("MSG_BTN_HELP"), lines.IndexOfName("MSG_BTN_YES") + 10);
}

TEST(ResourceStringsTest, LookupIgnoresCaseAndTakesTheFirstLine) {
    TbsResourceStrData strings(nullptr);
    base::TStringList lines;
    lines.SetCaseSensitive(true);  // the lookup ignores case all the same
    lines.Add("no equals sign");
    lines.Add("Title=first=with equals");
    lines.Add("TITLE=second");
    lines.Add("=unnamed");
    lines.Add("\x81\x61=gbk name");
    strings.SetResStrings(lines);
    EXPECT_EQ(strings.ResStrings().Count(), 5);
    EXPECT_EQ(strings.Lookup("title"), "first=with equals");
    EXPECT_EQ(strings.Lookup("no equals sign"), "");
    EXPECT_EQ(strings.Lookup(""), "unnamed");
    EXPECT_EQ(strings.Lookup("\x81\x61"), "gbk name");
    EXPECT_EQ(strings.Lookup("\x81\x41"), "");    // a trail byte is never folded
    EXPECT_EQ(strings.Lookup("MSG_BTN_OK"), "");  // the defaults are gone
    strings.SetCharSet(134);
    EXPECT_EQ(strings.CharSet(), 134);
}

}  // namespace
}  // namespace skin
