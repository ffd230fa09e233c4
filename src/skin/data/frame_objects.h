#pragma once

// Frame objects: the entries of a skin description's [SKINOBJECTS] list
// (caption, caption buttons, menu items, animations, user areas). Each is
// created with its entry name, which is also the section its keys are read
// from. Load sets every field from its key, or from the key's default when
// the key is missing; Save replaces the object's section in a writable INI by
// every key Load reads. A class reads its parent's keys first.
//
// Rectangles name looks in the main picture or in the object's active
// picture. As everywhere in the description, coordinates are 0..INT_MAX and
// not clamped (see skin_values.h), and picture indexes are kept as read.

#include <memory>
#include <string>
#include <string_view>

#include "framework/ini.h"
#include "skin/data/skin_values.h"

namespace skin {

// The root of the frame objects; also the class of "userobject" entries'
// fields (TbsDataUserObject reads only "skinrect").
class TbsDataSkinObject {
  public:
    explicit TbsDataSkinObject(std::string name) : name(std::move(name)) {}
    TbsDataSkinObject(const TbsDataSkinObject&) = delete;
    TbsDataSkinObject& operator=(const TbsDataSkinObject&) = delete;
    virtual ~TbsDataSkinObject() = default;

    // Raise base::EConvertError for a malformed rectangle or point.
    virtual void Load(const framework::TMemIniFile& ini);
    virtual void Save(framework::TMemIniFile& ini) const;

    std::string name;  // the entry name and the section
    std::string hint;
    int active_picture_index = -1;
    bool skin_rect_in_a_picture = false;  // "skinrect" lies in the active picture
    TRect skin_rect;
    TRect active_skin_rect;
    TRect inactive_skin_rect;
    bool morphing = false;
    TMorphKind morph_kind = mkDefault;
};

// "userobject": an area of the frame; reads only "skinrect".
class TbsDataUserObject : public TbsDataSkinObject {
  public:
    using TbsDataSkinObject::TbsDataSkinObject;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;
};

// "button"
class TbsDataSkinButton : public TbsDataSkinObject {
  public:
    using TbsDataSkinObject::TbsDataSkinObject;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect down_rect;
    TRect disable_skin_rect;  // key "disableskinrsect"
};

// "stdbutton": a caption button with a command and the looks of its restore
// state.
class TbsDataSkinStdButton : public TbsDataSkinButton {
  public:
    using TbsDataSkinButton::TbsDataSkinButton;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TStdCommand command = cmDefault;
    TRect restore_rect;
    TRect restore_active_rect;
    TRect restore_down_rect;
    TRect restore_inactive_rect;
};

// "mainmenubarbutton": read like "stdbutton".
class TbsDataSkinMainMenuBarButton : public TbsDataSkinStdButton {
  public:
    using TbsDataSkinStdButton::TbsDataSkinStdButton;
};

// "animate": "morphing" is always off after Load.
class TbsDataSkinAnimate : public TbsDataSkinObject {
  public:
    using TbsDataSkinObject::TbsDataSkinObject;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    int count_frames = 1;
    bool cycle = false;
    bool button_style = false;
    int timer_interval = 50;
    TStdCommand command = cmDefault;
};

// "menuitem": an item of a skinned popup menu.
class TbsDataSkinMenuItem : public TbsDataSkinObject {
  public:
    using TbsDataSkinObject::TbsDataSkinObject;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    int item_left_offset = 0;
    int item_right_offset = 0;
    TRect divider_rect;
    int divider_left_offset = 0;
    int divider_right_offset = 0;
    TRect text_rect;
    TSkinFont font;  // "fontname", "fontheight", "fontstyle", "fontcolor"
    TColor active_font_color = 0;
    TColor unenabled_font_color = 0;
};

// An item of a main menu.
class TbsDataSkinMainMenuItem : public TbsDataSkinObject {
  public:
    using TbsDataSkinObject::TbsDataSkinObject;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    int item_left_offset = 0;
    int item_right_offset = 0;
    TRect down_rect;
    TRect text_rect;
    TSkinFont font;
    TColor active_font_color = 0;
    TColor down_font_color = 0;
    TColor unenabled_font_color = 0;
};

// "mainmenubaritem": read like a main menu item.
class TbsDataSkinMainMenuBarItem : public TbsDataSkinMainMenuItem {
  public:
    using TbsDataSkinMainMenuItem::TbsDataSkinMainMenuItem;
};

// "caption"
class TbsDataSkinCaption : public TbsDataSkinObject {
  public:
    using TbsDataSkinObject::TbsDataSkinObject;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect text_rect;
    TSkinFont font;
    TColor active_font_color = 0;
    TAlignment alignment = taCenter;
    bool shadow = false;
    TColor shadow_color = 0;
    TColor active_shadow_color = 0;
    TRect frame_rect;
    TRect active_frame_rect;
    TRect frame_text_rect;
    int frame_left_offset = 0;
    int frame_right_offset = 0;
};

// The object for an entry type word of [SKINOBJECTS] (exact, case-sensitive:
// "menuitem", "mainmenubaritem", "stdbutton", "mainmenubarbutton", "button",
// "caption", "animate", "userobject"), or null for any other word.
std::unique_ptr<TbsDataSkinObject> CreateFrameObject(std::string_view type, std::string name);

// The type word that creates an object of this class (empty for a class that
// no word creates, TbsDataSkinObject and TbsDataSkinMainMenuItem).
std::string_view FrameObjectTypeWord(const TbsDataSkinObject& object);

}  // namespace skin
