#include "skin/data/frame_objects.h"

#include <typeinfo>

namespace skin {

namespace {

// Each class lists its own keys once; Load runs the list with a reader, Save
// with a writer, after the parent's keys.

template <typename O, typename V>
void ObjectFields(O& o, V& v) {
    v.String("hint", o.hint, "");
    v.Integer("activepictureindex", o.active_picture_index, -1);
    v.Flag("skinrectinapicture", o.skin_rect_in_a_picture);
    v.Rect("skinrect", o.skin_rect);
    v.Rect("activeskinrect", o.active_skin_rect);
    v.Rect("inactiveskinrect", o.inactive_skin_rect);
    v.Flag("morphing", o.morphing);
    v.MorphKind("morphkind", o.morph_kind);
}

template <typename O, typename V>
void ButtonFields(O& o, V& v) {
    v.Rect("downrect", o.down_rect);
    v.Rect("disableskinrsect", o.disable_skin_rect);
}

template <typename O, typename V>
void StdButtonFields(O& o, V& v) {
    v.Command("command", o.command);
    v.Rect("restorerect", o.restore_rect);
    v.Rect("restoreactiverect", o.restore_active_rect);
    v.Rect("restoredownrect", o.restore_down_rect);
    v.Rect("restoreinactiverect", o.restore_inactive_rect);
}

template <typename O, typename V>
void AnimateFields(O& o, V& v) {
    v.Integer("countframes", o.count_frames, 1);
    v.Flag("cycle", o.cycle);
    v.Flag("buttonstyle", o.button_style);
    v.Integer("timerinterval", o.timer_interval, 50);
    v.Command("command", o.command);
}

template <typename O, typename V>
void MenuItemFields(O& o, V& v) {
    v.Integer("itemleftoffset", o.item_left_offset, 0);
    v.Integer("itemrightoffset", o.item_right_offset, 0);
    v.Rect("dividerrect", o.divider_rect);
    v.Integer("dividerleftoffset", o.divider_left_offset, 0);
    v.Integer("dividerrightoffset", o.divider_right_offset, 0);
    v.Rect("textrect", o.text_rect);
    v.Font("", o.font);
    v.Color("activefontcolor", o.active_font_color);
    v.Color("unenabledfontcolor", o.unenabled_font_color);
}

template <typename O, typename V>
void MainMenuItemFields(O& o, V& v) {
    v.Integer("itemleftoffset", o.item_left_offset, 0);
    v.Integer("itemrightoffset", o.item_right_offset, 0);
    v.Rect("downrect", o.down_rect);
    v.Rect("textrect", o.text_rect);
    v.Font("", o.font);
    v.Color("activefontcolor", o.active_font_color);
    v.Color("downfontcolor", o.down_font_color);
    v.Color("unenabledfontcolor", o.unenabled_font_color);
}

template <typename O, typename V>
void CaptionFields(O& o, V& v) {
    v.Rect("textrect", o.text_rect);
    v.Font("", o.font);
    v.Color("activefontcolor", o.active_font_color);
    v.Alignment("alignment", o.alignment);
    v.Flag("shadow", o.shadow);
    v.Color("shadowcolor", o.shadow_color);
    v.Color("activeshadowcolor", o.active_shadow_color);
    v.Rect("framerect", o.frame_rect);
    v.Rect("activeframerect", o.active_frame_rect);
    v.Rect("frametextrect", o.frame_text_rect);
    v.Integer("frameleftoffset", o.frame_left_offset, 0);
    v.Integer("framerightoffset", o.frame_right_offset, 0);
}

template <typename O, typename F>
void ReadFields(O& o, const framework::TMemIniFile& ini, F fields) {
    TSkinValueReader reader(ini, o.name);
    fields(o, reader);
}

template <typename O, typename F>
void WriteFields(const O& o, framework::TMemIniFile& ini, F fields) {
    TSkinValueWriter writer(ini, o.name);
    fields(o, writer);
}

}  // namespace

void TbsDataSkinObject::Load(const framework::TMemIniFile& ini) {
    ReadFields(*this, ini, [](auto& o, auto& v) { ObjectFields(o, v); });
}

void TbsDataSkinObject::Save(framework::TMemIniFile& ini) const {
    ini.EraseSection(name);
    WriteFields(*this, ini, [](auto& o, auto& v) { ObjectFields(o, v); });
}

void TbsDataUserObject::Load(const framework::TMemIniFile& ini) {
    TSkinValueReader(ini, name).Rect("skinrect", skin_rect);
}

void TbsDataUserObject::Save(framework::TMemIniFile& ini) const {
    ini.EraseSection(name);
    TSkinValueWriter(ini, name).Rect("skinrect", skin_rect);
}

void TbsDataSkinButton::Load(const framework::TMemIniFile& ini) {
    TbsDataSkinObject::Load(ini);
    ReadFields(*this, ini, [](auto& o, auto& v) { ButtonFields(o, v); });
}

void TbsDataSkinButton::Save(framework::TMemIniFile& ini) const {
    TbsDataSkinObject::Save(ini);
    WriteFields(*this, ini, [](auto& o, auto& v) { ButtonFields(o, v); });
}

void TbsDataSkinStdButton::Load(const framework::TMemIniFile& ini) {
    TbsDataSkinButton::Load(ini);
    ReadFields(*this, ini, [](auto& o, auto& v) { StdButtonFields(o, v); });
}

void TbsDataSkinStdButton::Save(framework::TMemIniFile& ini) const {
    TbsDataSkinButton::Save(ini);
    WriteFields(*this, ini, [](auto& o, auto& v) { StdButtonFields(o, v); });
}

void TbsDataSkinAnimate::Load(const framework::TMemIniFile& ini) {
    TbsDataSkinObject::Load(ini);
    // An animation plays its frames; it never fades between two looks.
    morphing = false;
    ReadFields(*this, ini, [](auto& o, auto& v) { AnimateFields(o, v); });
}

void TbsDataSkinAnimate::Save(framework::TMemIniFile& ini) const {
    TbsDataSkinObject::Save(ini);
    WriteFields(*this, ini, [](auto& o, auto& v) { AnimateFields(o, v); });
}

void TbsDataSkinMenuItem::Load(const framework::TMemIniFile& ini) {
    TbsDataSkinObject::Load(ini);
    ReadFields(*this, ini, [](auto& o, auto& v) { MenuItemFields(o, v); });
}

void TbsDataSkinMenuItem::Save(framework::TMemIniFile& ini) const {
    TbsDataSkinObject::Save(ini);
    WriteFields(*this, ini, [](auto& o, auto& v) { MenuItemFields(o, v); });
}

void TbsDataSkinMainMenuItem::Load(const framework::TMemIniFile& ini) {
    TbsDataSkinObject::Load(ini);
    ReadFields(*this, ini, [](auto& o, auto& v) { MainMenuItemFields(o, v); });
}

void TbsDataSkinMainMenuItem::Save(framework::TMemIniFile& ini) const {
    TbsDataSkinObject::Save(ini);
    WriteFields(*this, ini, [](auto& o, auto& v) { MainMenuItemFields(o, v); });
}

void TbsDataSkinCaption::Load(const framework::TMemIniFile& ini) {
    TbsDataSkinObject::Load(ini);
    ReadFields(*this, ini, [](auto& o, auto& v) { CaptionFields(o, v); });
}

void TbsDataSkinCaption::Save(framework::TMemIniFile& ini) const {
    TbsDataSkinObject::Save(ini);
    WriteFields(*this, ini, [](auto& o, auto& v) { CaptionFields(o, v); });
}

std::unique_ptr<TbsDataSkinObject> CreateFrameObject(std::string_view type, std::string name) {
    if (type == "menuitem") {
        return std::make_unique<TbsDataSkinMenuItem>(std::move(name));
    }
    if (type == "mainmenubaritem") {
        return std::make_unique<TbsDataSkinMainMenuBarItem>(std::move(name));
    }
    if (type == "stdbutton") {
        return std::make_unique<TbsDataSkinStdButton>(std::move(name));
    }
    if (type == "mainmenubarbutton") {
        return std::make_unique<TbsDataSkinMainMenuBarButton>(std::move(name));
    }
    if (type == "button") {
        return std::make_unique<TbsDataSkinButton>(std::move(name));
    }
    if (type == "caption") {
        return std::make_unique<TbsDataSkinCaption>(std::move(name));
    }
    if (type == "animate") {
        return std::make_unique<TbsDataSkinAnimate>(std::move(name));
    }
    if (type == "userobject") {
        return std::make_unique<TbsDataUserObject>(std::move(name));
    }
    return nullptr;
}

std::string_view FrameObjectTypeWord(const TbsDataSkinObject& object) {
    const std::type_info& t = typeid(object);
    if (t == typeid(TbsDataSkinMenuItem)) {
        return "menuitem";
    }
    if (t == typeid(TbsDataSkinMainMenuBarItem)) {
        return "mainmenubaritem";
    }
    if (t == typeid(TbsDataSkinStdButton)) {
        return "stdbutton";
    }
    if (t == typeid(TbsDataSkinMainMenuBarButton)) {
        return "mainmenubarbutton";
    }
    if (t == typeid(TbsDataSkinButton)) {
        return "button";
    }
    if (t == typeid(TbsDataSkinCaption)) {
        return "caption";
    }
    if (t == typeid(TbsDataSkinAnimate)) {
        return "animate";
    }
    if (t == typeid(TbsDataUserObject)) {
        return "userobject";
    }
    return {};
}

}  // namespace skin
