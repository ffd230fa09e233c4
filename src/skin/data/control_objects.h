#pragma once

// Control objects: the entries of a skin description's [SKINCONTROLS] list.
// A skinned control finds its object by name (TbsSkinData::IndexOfControlObject)
// and copies the fields; it checks the class (dynamic_cast) before it reads
// class-specific fields.
//
// Coordinate spaces: a rectangle that names a look is in the coordinates of
// the object's picture (the picture-list image "pictureindex"); the points,
// "clientrect", "progressarea", "trackarea" and the other rectangles that
// place a part are relative to the top-left corner of "skinrect".
//
// As everywhere in the description (skin_values.h), coordinates are 0..INT_MAX
// as read, never clamped to a picture or to "skinrect"; picture indexes are
// any int, and TbsSkinData::Picture resolves one to a bitmap or to null.
//
// Load and Save work as for the frame objects (frame_objects.h): each class
// reads its parent's keys first, then its own in the order declared here.

#include <memory>
#include <string>
#include <string_view>

#include "framework/ini.h"
#include "skin/data/skin_values.h"

namespace skin {

class TbsDataSkinControl {
  public:
    explicit TbsDataSkinControl(std::string name) : name(std::move(name)) {}
    TbsDataSkinControl(const TbsDataSkinControl&) = delete;
    TbsDataSkinControl& operator=(const TbsDataSkinControl&) = delete;
    virtual ~TbsDataSkinControl() = default;

    // Raise base::EConvertError for a malformed rectangle or point.
    virtual void Load(const framework::TMemIniFile& ini);
    virtual void Save(framework::TMemIniFile& ini) const;

    std::string name;  // the entry name and the section
    int picture_index = -1;
    int mask_picture_index = -1;
    TRect skin_rect;  // empty: the object cannot be drawn
};

// The geometry from which a control is drawn at any size.
class TbsDataSkinCustomControl : public TbsDataSkinControl {
  public:
    using TbsDataSkinControl::TbsDataSkinControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TPoint left_top_point;
    TPoint right_top_point;
    TPoint left_bottom_point;
    TPoint right_bottom_point;
    TRect client_rect;
};

// "button"
class TbsDataSkinButtonControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TSkinFont font;
    TColor active_font_color = 0;
    TColor down_font_color = 0;
    TColor disabled_font_color = 0;
    TRect active_skin_rect;
    TRect down_skin_rect;
    TRect disabled_skin_rect;
    bool morphing = false;
    TMorphKind morph_kind = mkDefault;
};

// "menubutton"
class TbsDataSkinMenuButtonControl : public TbsDataSkinButtonControl {
  public:
    using TbsDataSkinButtonControl::TbsDataSkinButtonControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect track_button_rect;
};

// "gauge"
class TbsDataSkinGaugeControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect progress_area;  // local: where the bar grows
    TRect progress_rect;  // picture: a full bar
    int begin_offset = 0;
    int end_offset = 0;
    bool vertical = false;
    TSkinFont font;
    bool progress_transparent = false;
    TColor progress_transparent_color = 0;
};

// "label"
class TbsDataSkinLabelControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TSkinFont font;
};

// "stdlabel": no geometry beyond "skinrect".
class TbsDataSkinStdLabelControl : public TbsDataSkinControl {
  public:
    using TbsDataSkinControl::TbsDataSkinControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TSkinFont font;
    TColor active_font_color = 0xFF0000;  // blue
};

// "listbox"
class TbsDataSkinListBox : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect item_rect;
    TRect active_item_rect;
    TRect focus_item_rect;
    int item_left_offset = 0;
    int item_right_offset = 0;
    TRect item_text_rect;  // relative to the item
    TSkinFont font;
    TColor active_font_color = 0;
    TColor focus_font_color = 0;
    TRect caption_rect;
    TSkinFont caption_font;  // "captionfontname", ...
    TRect up_button_rect;
    TRect active_up_button_rect;
    TRect down_up_button_rect;
    TRect down_button_rect;
    TRect active_down_button_rect;
    TRect down_down_button_rect;
    TRect check_button_rect;
    TRect active_check_button_rect;
    TRect down_check_button_rect;
    // Names of [SKINCONTROLS] entries.
    std::string v_scroll_bar_name = "vscrollbar";
    std::string h_scroll_bar_name = "hscrollbar";
    std::string both_h_scroll_bar_name = "bothhscrollbar";
};

// "checklistbox"
class TbsDataSkinCheckListBox : public TbsDataSkinListBox {
  public:
    using TbsDataSkinListBox::TbsDataSkinListBox;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect item_check_rect;
    TRect check_image_rect;
    TRect uncheck_image_rect;
};

// "scrollbar"
class TbsDataSkinScrollBarControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect track_area;
    TRect up_button_rect;
    TRect active_up_button_rect;
    TRect down_up_button_rect;
    TRect down_button_rect;
    TRect active_down_button_rect;
    TRect down_down_button_rect;
    TRect thumb_rect;
    TRect active_thumb_rect;
    TRect down_thumb_rect;
    int thumb_offset1 = 0;
    int thumb_offset2 = 0;
    bool thumb_transparent = false;
    TColor thumb_transparent_color = 0;
    TRect glyph_rect;
    TRect active_glyph_rect;
    TRect down_glyph_rect;
};

// "panel"
class TbsDataSkinPanelControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    int bg_picture_index = -1;
    TRect caption_rect;
    TAlignment alignment = taCenter;
    TSkinFont font;
    TRect check_image_rect;
    TRect uncheck_image_rect;
};

// "expanel"
class TbsDataSkinExPanelControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect roll_h_skin_rect;
    TRect roll_v_skin_rect;
    int roll_left_offset = 0;
    int roll_right_offset = 0;
    int roll_top_offset = 0;
    int roll_bottom_offset = 0;
    TRect roll_v_caption_rect;
    TRect roll_h_caption_rect;
    TRect close_button_rect;
    TRect close_button_active_rect;
    TRect close_button_down_rect;
    TRect h_roll_button_rect;
    TRect h_roll_button_active_rect;
    TRect h_roll_button_down_rect;
    TRect h_restore_button_rect;
    TRect h_restore_button_active_rect;
    TRect h_restore_button_down_rect;
    TRect v_roll_button_rect;
    TRect v_roll_button_active_rect;
    TRect v_roll_button_down_rect;
    TRect v_restore_button_rect;
    TRect v_restore_button_active_rect;
    TRect v_restore_button_down_rect;
    TRect caption_rect;
    TSkinFont font;
};

// "checkradio"
class TbsDataSkinCheckRadioControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TSkinFont font;
    TColor active_font_color = 0;
    TColor unenabled_font_color = 0;
    TColor frame_font_color = 0;
    TRect active_skin_rect;
    TRect check_image_area;
    TRect text_area;
    TRect check_image_rect;
    TRect uncheck_image_rect;
    TRect active_check_image_rect;
    TRect active_uncheck_image_rect;
    TRect unenabled_check_image_rect;
    TRect unenabled_uncheck_image_rect;
    bool morphing = false;
    TMorphKind morph_kind = mkDefault;
};

// "splitter": no keys of its own.
class TbsDataSkinSplitterControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
};

// "trackbar"
class TbsDataSkinTrackBarControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect track_area;
    TRect button_rect;
    TRect active_button_rect;
    bool vertical = false;
    bool button_transparent = false;
    TColor button_transparent_color = 0;
};

// "updown"
class TbsDataSkinUpDownControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect up_button_rect;
    TRect active_up_button_rect;
    TRect down_up_button_rect;
    TRect down_button_rect;
    TRect active_down_button_rect;
    TRect down_down_button_rect;
};

// "grid"
class TbsDataSkinGridControl : public TbsDataSkinControl {
  public:
    using TbsDataSkinControl::TbsDataSkinControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect fixed_cell_rect;
    TRect select_cell_rect;
    TRect focus_cell_rect;
    int fixed_cell_left_offset = 0;
    int fixed_cell_right_offset = 0;
    TRect fixed_cell_text_rect;
    int cell_left_offset = 0;
    int cell_right_offset = 0;
    TRect cell_text_rect;
    TColor lines_color = 0;
    TColor bg_color = 0;
    TSkinFont font;
    TColor select_font_color = 0;
    TColor focus_font_color = 0;
    TSkinFont fixed_font;  // "fixedfontname", ...
};

// "tab": reads its own points and client rectangle.
class TbsDataSkinTabControl : public TbsDataSkinControl {
  public:
    using TbsDataSkinControl::TbsDataSkinControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect tab_rect;
    TRect active_tab_rect;
    TRect focus_tab_rect;
    TRect mouse_in_tab_rect;
    TRect client_rect;
    int bg_picture_index = -1;
    TPoint left_top_point;
    TPoint right_top_point;
    TPoint left_bottom_point;
    TPoint right_bottom_point;
    int tab_left_offset = 0;
    int tab_right_offset = 0;
    TRect tabs_bg_rect;
    TSkinFont font;
    TColor active_font_color = 0;
    TColor focus_font_color = 0;
    TColor mouse_in_font_color = 0;
    std::string up_down;  // the [SKINCONTROLS] entry of its scroll buttons
};

// "mainmenubar"
class TbsDataSkinMainMenuBar : public TbsDataSkinControl {
  public:
    using TbsDataSkinControl::TbsDataSkinControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect items_rect;
    // Names of [SKINOBJECTS] entries.
    std::string menu_bar_item;
    std::string close_button;
    std::string min_button;
    std::string max_button;
    std::string sys_menu_button;
    TColor track_mark_color = 0;
    TColor track_mark_active_color = 0;
};

// "controlbar"
class TbsDataSkinControlBar : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect item_rect;
    int bg_picture_index = -1;
};

// "edit"
class TbsDataSkinEditControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect active_skin_rect;
    TSkinFont font;
    TColor disabled_font_color = 0;
    TColor active_font_color = 0;
    TRect button_rect;
    TRect active_button_rect;
    TRect down_button_rect;
    TRect unenabled_button_rect;
};

// "memo"
class TbsDataSkinMemoControl : public TbsDataSkinEditControl {
  public:
    using TbsDataSkinEditControl::TbsDataSkinEditControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TColor bg_color = 0;
    TColor active_bg_color = 0;
};

// "combobox"
class TbsDataSkinComboBox : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect item_rect;
    TRect focus_item_rect;
    int item_left_offset = 0;
    int item_right_offset = 0;
    TRect item_text_rect;
    TSkinFont font;
    TColor focus_font_color = 0;
    std::string list_box_name;  // the [SKINCONTROLS] entry of its drop-down list
    TRect button_rect;
    TRect active_button_rect;
    TRect down_button_rect;
    TRect unenabled_button_rect;
};

// "spinedit"
class TbsDataSkinSpinEditControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TRect active_skin_rect;
    TSkinFont font;
    TColor active_font_color = 0;
    TColor disabled_font_color = 0;
    TRect up_button_rect;
    TRect active_up_button_rect;
    TRect down_up_button_rect;
    TRect down_button_rect;
    TRect active_down_button_rect;
    TRect down_down_button_rect;
};

// "scrollbox"
class TbsDataSkinScrollBoxControl : public TbsDataSkinCustomControl {
  public:
    using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    int bg_picture_index = -1;
};

// The text views share their keys: "treeview", "listview", "richedit".
class TbsDataSkinTreeView : public TbsDataSkinControl {
  public:
    using TbsDataSkinControl::TbsDataSkinControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TSkinFont font;
    TColor bg_color = 0;
};

class TbsDataSkinListView : public TbsDataSkinControl {
  public:
    using TbsDataSkinControl::TbsDataSkinControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TSkinFont font;
    TColor bg_color = 0;
};

class TbsDataSkinRichEdit : public TbsDataSkinControl {
  public:
    using TbsDataSkinControl::TbsDataSkinControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TSkinFont font;
    TColor bg_color = 0;
};

// "bevel"
class TbsDataSkinBevel : public TbsDataSkinControl {
  public:
    using TbsDataSkinControl::TbsDataSkinControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TColor light_color = 0;
    TColor dark_color = 0;
};

// "slider"
class TbsDataSkinSlider : public TbsDataSkinControl {
  public:
    using TbsDataSkinControl::TbsDataSkinControl;
    void Load(const framework::TMemIniFile& ini) override;
    void Save(framework::TMemIniFile& ini) const override;

    TColor bg_color = 0;
    TRect h_ruler_rect;
    TRect h_thumb_rect;
    TRect v_ruler_rect;
    TRect v_thumb_rect;
    int edge_size = 0;
    TColor points_color = 0;
};

// The object for an entry type word of [SKINCONTROLS] (exact, case-sensitive),
// or null for a word that names no control class.
std::unique_ptr<TbsDataSkinControl> CreateControlObject(std::string_view type, std::string name);

// The type word that creates an object of this class (empty for the classes
// that no word creates, TbsDataSkinControl and TbsDataSkinCustomControl).
std::string_view ControlObjectTypeWord(const TbsDataSkinControl& object);

}  // namespace skin
