#include "skin/data/control_objects.h"

#include <typeinfo>

namespace skin {

namespace {

// Each class lists its own keys once, in a function that takes the object and
// a TSkinValueReader (Load) or a TSkinValueWriter (Save).

template <typename O, typename V>
void ControlFields(O& o, V& v) {
    v.Integer("pictureindex", o.picture_index, -1);
    v.Integer("maskpictureindex", o.mask_picture_index, -1);
    v.Rect("skinrect", o.skin_rect);
}

template <typename O, typename V>
void CornerFields(O& o, V& v) {
    v.Point("lefttoppoint", o.left_top_point);
    v.Point("righttoppoint", o.right_top_point);
    v.Point("leftbottompoint", o.left_bottom_point);
    v.Point("rightbottompoint", o.right_bottom_point);
}

template <typename O, typename V>
void CustomControlFields(O& o, V& v) {
    CornerFields(o, v);
    v.Rect("clientrect", o.client_rect);
}

template <typename O, typename V>
void UpDownButtonFields(O& o, V& v) {
    v.Rect("upbuttonrect", o.up_button_rect);
    v.Rect("activeupbuttonrect", o.active_up_button_rect);
    v.Rect("downupbuttonrect", o.down_up_button_rect);
    v.Rect("downbuttonrect", o.down_button_rect);
    v.Rect("activedownbuttonrect", o.active_down_button_rect);
    v.Rect("downdownbuttonrect", o.down_down_button_rect);
}

template <typename O, typename V>
void ButtonFields(O& o, V& v) {
    v.Font("", o.font);
    v.Color("activefontcolor", o.active_font_color);
    v.Color("downfontcolor", o.down_font_color);
    v.Color("disabledfontcolor", o.disabled_font_color);
    v.Rect("activeskinrect", o.active_skin_rect);
    v.Rect("downskinrect", o.down_skin_rect);
    v.Rect("disabledskinrect", o.disabled_skin_rect);
    v.Flag("morphing", o.morphing);
    v.MorphKind("morphkind", o.morph_kind);
}

template <typename O, typename V>
void MenuButtonFields(O& o, V& v) {
    v.Rect("trackbuttonrect", o.track_button_rect);
}

template <typename O, typename V>
void GaugeFields(O& o, V& v) {
    v.Rect("progressarea", o.progress_area);
    v.Rect("progressrect", o.progress_rect);
    v.Integer("beginoffset", o.begin_offset, 0);
    v.Integer("endoffset", o.end_offset, 0);
    v.Flag("vertical", o.vertical);
    v.Font("", o.font);
    v.Flag("progresstransparent", o.progress_transparent);
    v.Color("progresstransparentcolor", o.progress_transparent_color);
}

template <typename O, typename V>
void FontFields(O& o, V& v) {
    v.Font("", o.font);
}

template <typename O, typename V>
void StdLabelFields(O& o, V& v) {
    v.Font("", o.font);
    v.Color("activefontcolor", o.active_font_color, 0xFF0000);
}

template <typename O, typename V>
void ListBoxFields(O& o, V& v) {
    v.Rect("itemrect", o.item_rect);
    v.Rect("activeitemrect", o.active_item_rect);
    v.Rect("focusitemrect", o.focus_item_rect);
    v.Integer("itemleftoffset", o.item_left_offset, 0);
    v.Integer("itemrightoffset", o.item_right_offset, 0);
    v.Rect("itemtextrect", o.item_text_rect);
    v.Font("", o.font);
    v.Color("activefontcolor", o.active_font_color);
    v.Color("focusfontcolor", o.focus_font_color);
    v.Rect("captionrect", o.caption_rect);
    v.Font("caption", o.caption_font);
    UpDownButtonFields(o, v);
    v.Rect("checkbuttonrect", o.check_button_rect);
    v.Rect("activecheckbuttonrect", o.active_check_button_rect);
    v.Rect("downcheckbuttonrect", o.down_check_button_rect);
    v.String("vscrollbarname", o.v_scroll_bar_name, "vscrollbar");
    v.String("hscrollbarname", o.h_scroll_bar_name, "hscrollbar");
    v.String("bothhscrollbarname", o.both_h_scroll_bar_name, "bothhscrollbar");
}

template <typename O, typename V>
void CheckListBoxFields(O& o, V& v) {
    v.Rect("itemcheckrect", o.item_check_rect);
    v.Rect("checkimagerect", o.check_image_rect);
    v.Rect("uncheckimagerect", o.uncheck_image_rect);
}

template <typename O, typename V>
void ScrollBarFields(O& o, V& v) {
    v.Rect("trackarea", o.track_area);
    UpDownButtonFields(o, v);
    v.Rect("thumbrect", o.thumb_rect);
    v.Rect("activethumbrect", o.active_thumb_rect);
    v.Rect("downthumbrect", o.down_thumb_rect);
    v.Integer("thumboffset1", o.thumb_offset1, 0);
    v.Integer("thumboffset2", o.thumb_offset2, 0);
    v.Flag("thumbtransparent", o.thumb_transparent);
    v.Color("thumbtransparentcolor", o.thumb_transparent_color);
    v.Rect("glyphrect", o.glyph_rect);
    v.Rect("activeglyphrect", o.active_glyph_rect);
    v.Rect("downglyphrect", o.down_glyph_rect);
}

template <typename O, typename V>
void PanelFields(O& o, V& v) {
    v.Integer("bgpictureindex", o.bg_picture_index, -1);
    v.Rect("captionrect", o.caption_rect);
    v.Alignment("alignment", o.alignment);
    v.Font("", o.font);
    v.Rect("checkimagerect", o.check_image_rect);
    v.Rect("uncheckimagerect", o.uncheck_image_rect);
}

template <typename O, typename V>
void ExPanelFields(O& o, V& v) {
    v.Rect("rollhskinrect", o.roll_h_skin_rect);
    v.Rect("rollvskinrect", o.roll_v_skin_rect);
    v.Integer("rollleftoffset", o.roll_left_offset, 0);
    v.Integer("rollrightoffset", o.roll_right_offset, 0);
    v.Integer("rolltopoffset", o.roll_top_offset, 0);
    v.Integer("rollbottomoffset", o.roll_bottom_offset, 0);
    v.Rect("rollvcaptionrect", o.roll_v_caption_rect);
    v.Rect("rollhcaptionrect", o.roll_h_caption_rect);
    v.Rect("closebuttonrect", o.close_button_rect);
    v.Rect("closebuttonactiverect", o.close_button_active_rect);
    v.Rect("closebuttondownrect", o.close_button_down_rect);
    v.Rect("hrollbuttonrect", o.h_roll_button_rect);
    v.Rect("hrollbuttonactiverect", o.h_roll_button_active_rect);
    v.Rect("hrollbuttondownrect", o.h_roll_button_down_rect);
    v.Rect("hrestorebuttonrect", o.h_restore_button_rect);
    v.Rect("hrestorebuttonactiverect", o.h_restore_button_active_rect);
    v.Rect("hrestorebuttondownrect", o.h_restore_button_down_rect);
    v.Rect("vrollbuttonrect", o.v_roll_button_rect);
    v.Rect("vrollbuttonactiverect", o.v_roll_button_active_rect);
    v.Rect("vrollbuttondownrect", o.v_roll_button_down_rect);
    v.Rect("vrestorebuttonrect", o.v_restore_button_rect);
    v.Rect("vrestorebuttonactiverect", o.v_restore_button_active_rect);
    v.Rect("vrestorebuttondownrect", o.v_restore_button_down_rect);
    v.Rect("captionrect", o.caption_rect);
    v.Font("", o.font);
}

template <typename O, typename V>
void CheckRadioFields(O& o, V& v) {
    v.Font("", o.font);
    v.Color("activefontcolor", o.active_font_color);
    v.Color("unenabledfontcolor", o.unenabled_font_color);
    v.Color("framefontcolor", o.frame_font_color);
    v.Rect("activeskinrect", o.active_skin_rect);
    v.Rect("checkimagearea", o.check_image_area);
    v.Rect("textarea", o.text_area);
    v.Rect("checkimagerect", o.check_image_rect);
    v.Rect("uncheckimagerect", o.uncheck_image_rect);
    v.Rect("activecheckimagerect", o.active_check_image_rect);
    v.Rect("activeuncheckimagerect", o.active_uncheck_image_rect);
    v.Rect("unenabledcheckimagerect", o.unenabled_check_image_rect);
    v.Rect("unenableduncheckimagerect", o.unenabled_uncheck_image_rect);
    v.Flag("morphing", o.morphing);
    v.MorphKind("morphkind", o.morph_kind);
}

template <typename O, typename V>
void TrackBarFields(O& o, V& v) {
    v.Rect("trackarea", o.track_area);
    v.Rect("buttonrect", o.button_rect);
    v.Rect("activebuttonrect", o.active_button_rect);
    v.Flag("vertical", o.vertical);
    v.Flag("buttontransparent", o.button_transparent);
    v.Color("buttontransparentcolor", o.button_transparent_color);
}

template <typename O, typename V>
void GridFields(O& o, V& v) {
    v.Rect("fixedcellrect", o.fixed_cell_rect);
    v.Rect("selectcellrect", o.select_cell_rect);
    v.Rect("focuscellrect", o.focus_cell_rect);
    v.Integer("fixedcellleftoffset", o.fixed_cell_left_offset, 0);
    v.Integer("fixedcellrightoffset", o.fixed_cell_right_offset, 0);
    v.Rect("fixedcelltextrect", o.fixed_cell_text_rect);
    v.Integer("cellleftoffset", o.cell_left_offset, 0);
    v.Integer("cellrightoffset", o.cell_right_offset, 0);
    v.Rect("celltextrect", o.cell_text_rect);
    v.Color("linescolor", o.lines_color);
    v.Color("bgcolor", o.bg_color);
    v.Font("", o.font);
    v.Color("selectfontcolor", o.select_font_color);
    v.Color("focusfontcolor", o.focus_font_color);
    v.Font("fixed", o.fixed_font);
}

template <typename O, typename V>
void TabFields(O& o, V& v) {
    v.Rect("tabrect", o.tab_rect);
    v.Rect("activetabrect", o.active_tab_rect);
    v.Rect("focustabrect", o.focus_tab_rect);
    v.Rect("mouseintabrect", o.mouse_in_tab_rect);
    v.Rect("clientrect", o.client_rect);
    v.Integer("bgpictureindex", o.bg_picture_index, -1);
    CornerFields(o, v);
    v.Integer("tableftoffset", o.tab_left_offset, 0);
    v.Integer("tabrightoffset", o.tab_right_offset, 0);
    v.Rect("tabsbgrect", o.tabs_bg_rect);
    v.Font("", o.font);
    v.Color("activefontcolor", o.active_font_color);
    v.Color("focusfontcolor", o.focus_font_color);
    v.Color("mouseinfontcolor", o.mouse_in_font_color);
    v.String("updown", o.up_down, "");
}

template <typename O, typename V>
void MainMenuBarFields(O& o, V& v) {
    v.Rect("itemsrect", o.items_rect);
    v.String("menubaritem", o.menu_bar_item, "");
    v.String("closebutton", o.close_button, "");
    v.String("minbutton", o.min_button, "");
    v.String("maxbutton", o.max_button, "");
    v.String("sysmenubutton", o.sys_menu_button, "");
    v.Color("trackmarkcolor", o.track_mark_color);
    v.Color("trackmarkactivecolor", o.track_mark_active_color);
}

template <typename O, typename V>
void ControlBarFields(O& o, V& v) {
    v.Rect("itemrect", o.item_rect);
    v.Integer("bgpictureindex", o.bg_picture_index, -1);
}

template <typename O, typename V>
void EditFields(O& o, V& v) {
    v.Rect("activeskinrect", o.active_skin_rect);
    v.Font("", o.font);
    v.Color("disabledfontcolor", o.disabled_font_color);
    v.Color("activefontcolor", o.active_font_color);
    v.Rect("buttonrect", o.button_rect);
    v.Rect("activebuttonrect", o.active_button_rect);
    v.Rect("downbuttonrect", o.down_button_rect);
    v.Rect("unenabledbuttonrect", o.unenabled_button_rect);
}

template <typename O, typename V>
void MemoFields(O& o, V& v) {
    v.Color("bgcolor", o.bg_color);
    v.Color("activebgcolor", o.active_bg_color);
}

template <typename O, typename V>
void ComboBoxFields(O& o, V& v) {
    v.Rect("itemrect", o.item_rect);
    v.Rect("focusitemrect", o.focus_item_rect);
    v.Integer("itemleftoffset", o.item_left_offset, 0);
    v.Integer("itemrightoffset", o.item_right_offset, 0);
    v.Rect("itemtextrect", o.item_text_rect);
    v.Font("", o.font);
    v.Color("focusfontcolor", o.focus_font_color);
    v.String("listboxname", o.list_box_name, "");
    v.Rect("buttonrect", o.button_rect);
    v.Rect("activebuttonrect", o.active_button_rect);
    v.Rect("downbuttonrect", o.down_button_rect);
    v.Rect("unenabledbuttonrect", o.unenabled_button_rect);
}

template <typename O, typename V>
void SpinEditFields(O& o, V& v) {
    v.Rect("activeskinrect", o.active_skin_rect);
    v.Font("", o.font);
    v.Color("activefontcolor", o.active_font_color);
    v.Color("disabledfontcolor", o.disabled_font_color);
    UpDownButtonFields(o, v);
}

template <typename O, typename V>
void BgPictureFields(O& o, V& v) {
    v.Integer("bgpictureindex", o.bg_picture_index, -1);
}

template <typename O, typename V>
void TextViewFields(O& o, V& v) {
    v.Font("", o.font);
    v.Color("bgcolor", o.bg_color);
}

template <typename O, typename V>
void BevelFields(O& o, V& v) {
    v.Color("lightcolor", o.light_color);
    v.Color("darkcolor", o.dark_color);
}

template <typename O, typename V>
void SliderFields(O& o, V& v) {
    v.Color("bgcolor", o.bg_color);
    v.Rect("hrulerrect", o.h_ruler_rect);
    v.Rect("hthumbrect", o.h_thumb_rect);
    v.Rect("vrulerrect", o.v_ruler_rect);
    v.Rect("vthumbrect", o.v_thumb_rect);
    v.Integer("edgesize", o.edge_size, 0);
    v.Color("pointscolor", o.points_color);
}

}  // namespace

void TbsDataSkinControl::Load(const framework::TMemIniFile& ini) {
    TSkinValueReader reader(ini, name);
    ControlFields(*this, reader);
}

void TbsDataSkinControl::Save(framework::TMemIniFile& ini) const {
    ini.EraseSection(name);
    TSkinValueWriter writer(ini, name);
    ControlFields(*this, writer);
}

// Load and Save of a class: the parent's keys, then the class's own list.
#define SKIN_CONTROL_KEYS(Class, Parent, Fields)          \
    void Class::Load(const framework::TMemIniFile& ini) { \
        Parent::Load(ini);                                \
        TSkinValueReader reader(ini, name);               \
        Fields(*this, reader);                            \
    }                                                     \
    void Class::Save(framework::TMemIniFile& ini) const { \
        Parent::Save(ini);                                \
        TSkinValueWriter writer(ini, name);               \
        Fields(*this, writer);                            \
    }

SKIN_CONTROL_KEYS(TbsDataSkinCustomControl, TbsDataSkinControl, CustomControlFields)
SKIN_CONTROL_KEYS(TbsDataSkinButtonControl, TbsDataSkinCustomControl, ButtonFields)
SKIN_CONTROL_KEYS(TbsDataSkinMenuButtonControl, TbsDataSkinButtonControl, MenuButtonFields)
SKIN_CONTROL_KEYS(TbsDataSkinGaugeControl, TbsDataSkinCustomControl, GaugeFields)
SKIN_CONTROL_KEYS(TbsDataSkinLabelControl, TbsDataSkinCustomControl, FontFields)
SKIN_CONTROL_KEYS(TbsDataSkinStdLabelControl, TbsDataSkinControl, StdLabelFields)
SKIN_CONTROL_KEYS(TbsDataSkinListBox, TbsDataSkinCustomControl, ListBoxFields)
SKIN_CONTROL_KEYS(TbsDataSkinCheckListBox, TbsDataSkinListBox, CheckListBoxFields)
SKIN_CONTROL_KEYS(TbsDataSkinScrollBarControl, TbsDataSkinCustomControl, ScrollBarFields)
SKIN_CONTROL_KEYS(TbsDataSkinPanelControl, TbsDataSkinCustomControl, PanelFields)
SKIN_CONTROL_KEYS(TbsDataSkinExPanelControl, TbsDataSkinCustomControl, ExPanelFields)
SKIN_CONTROL_KEYS(TbsDataSkinCheckRadioControl, TbsDataSkinCustomControl, CheckRadioFields)
SKIN_CONTROL_KEYS(TbsDataSkinTrackBarControl, TbsDataSkinCustomControl, TrackBarFields)
SKIN_CONTROL_KEYS(TbsDataSkinUpDownControl, TbsDataSkinCustomControl, UpDownButtonFields)
SKIN_CONTROL_KEYS(TbsDataSkinGridControl, TbsDataSkinControl, GridFields)
SKIN_CONTROL_KEYS(TbsDataSkinTabControl, TbsDataSkinControl, TabFields)
SKIN_CONTROL_KEYS(TbsDataSkinMainMenuBar, TbsDataSkinControl, MainMenuBarFields)
SKIN_CONTROL_KEYS(TbsDataSkinControlBar, TbsDataSkinCustomControl, ControlBarFields)
SKIN_CONTROL_KEYS(TbsDataSkinEditControl, TbsDataSkinCustomControl, EditFields)
SKIN_CONTROL_KEYS(TbsDataSkinMemoControl, TbsDataSkinEditControl, MemoFields)
SKIN_CONTROL_KEYS(TbsDataSkinComboBox, TbsDataSkinCustomControl, ComboBoxFields)
SKIN_CONTROL_KEYS(TbsDataSkinSpinEditControl, TbsDataSkinCustomControl, SpinEditFields)
SKIN_CONTROL_KEYS(TbsDataSkinScrollBoxControl, TbsDataSkinCustomControl, BgPictureFields)
SKIN_CONTROL_KEYS(TbsDataSkinTreeView, TbsDataSkinControl, TextViewFields)
SKIN_CONTROL_KEYS(TbsDataSkinListView, TbsDataSkinControl, TextViewFields)
SKIN_CONTROL_KEYS(TbsDataSkinRichEdit, TbsDataSkinControl, TextViewFields)
SKIN_CONTROL_KEYS(TbsDataSkinBevel, TbsDataSkinControl, BevelFields)
SKIN_CONTROL_KEYS(TbsDataSkinSlider, TbsDataSkinControl, SliderFields)

#undef SKIN_CONTROL_KEYS

namespace {

struct ControlType {
    std::string_view word;
    std::unique_ptr<TbsDataSkinControl> (*create)(std::string name);
    const std::type_info* type;
};

template <typename T>
std::unique_ptr<TbsDataSkinControl> Make(std::string name) {
    return std::make_unique<T>(std::move(name));
}

template <typename T>
ControlType Type(std::string_view word) {
    return ControlType{word, &Make<T>, &typeid(T)};
}

const ControlType kControlTypes[] = {
    Type<TbsDataSkinButtonControl>("button"),
    Type<TbsDataSkinMenuButtonControl>("menubutton"),
    Type<TbsDataSkinGaugeControl>("gauge"),
    Type<TbsDataSkinLabelControl>("label"),
    Type<TbsDataSkinStdLabelControl>("stdlabel"),
    Type<TbsDataSkinListBox>("listbox"),
    Type<TbsDataSkinCheckListBox>("checklistbox"),
    Type<TbsDataSkinScrollBarControl>("scrollbar"),
    Type<TbsDataSkinPanelControl>("panel"),
    Type<TbsDataSkinExPanelControl>("expanel"),
    Type<TbsDataSkinCheckRadioControl>("checkradio"),
    Type<TbsDataSkinSplitterControl>("splitter"),
    Type<TbsDataSkinTrackBarControl>("trackbar"),
    Type<TbsDataSkinUpDownControl>("updown"),
    Type<TbsDataSkinGridControl>("grid"),
    Type<TbsDataSkinTabControl>("tab"),
    Type<TbsDataSkinMainMenuBar>("mainmenubar"),
    Type<TbsDataSkinControlBar>("controlbar"),
    Type<TbsDataSkinMemoControl>("memo"),
    Type<TbsDataSkinEditControl>("edit"),
    Type<TbsDataSkinComboBox>("combobox"),
    Type<TbsDataSkinSpinEditControl>("spinedit"),
    Type<TbsDataSkinScrollBoxControl>("scrollbox"),
    Type<TbsDataSkinTreeView>("treeview"),
    Type<TbsDataSkinListView>("listview"),
    Type<TbsDataSkinRichEdit>("richedit"),
    Type<TbsDataSkinBevel>("bevel"),
    Type<TbsDataSkinSlider>("slider"),
};

}  // namespace

std::unique_ptr<TbsDataSkinControl> CreateControlObject(std::string_view type, std::string name) {
    for (const ControlType& t : kControlTypes) {
        if (t.word == type) {
            return t.create(std::move(name));
        }
    }
    return nullptr;
}

std::string_view ControlObjectTypeWord(const TbsDataSkinControl& object) {
    const std::type_info& type = typeid(object);
    for (const ControlType& t : kControlTypes) {
        if (*t.type == type) {
            return t.word;
        }
    }
    return {};
}

}  // namespace skin
