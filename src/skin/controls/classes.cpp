#include "skin/controls/classes.h"

#include "framework/classes.h"
#include "skin/controls/button.h"
#include "skin/controls/gauge.h"
#include "skin/controls/label.h"
#include "skin/controls/list_box.h"
#include "skin/controls/scroll_bar.h"
#include "skin/controls/std_label.h"

namespace skin {

using namespace framework;

namespace {

using Value = const TDefinitionValue&;
using Context = TReaderContext&;

void RegisterBase(TClassRegistry& r) {
    r.RegisterClass("TbsSkinControl", "TCustomControl", nullptr);
    r.RegisterProperty<TbsSkinControl>(
        "TbsSkinControl", "SkinData", [](TbsSkinControl& c, Value v, Context context) {
            context.Reference<TbsSkinData>(v, [&c](TbsSkinData& data) { c.SetSkinData(&data); });
        });
    r.RegisterProperty<TbsSkinControl>(
        "TbsSkinControl", "SkinDataName",
        [](TbsSkinControl& c, Value v, Context) { c.SetSkinDataName(v.AsString()); });
    r.RegisterProperty<TbsSkinControl>("TbsSkinControl", "OnMouseEnter",
                                       [](TbsSkinControl& c, Value v, Context context) {
                                           c.OnMouseEnter = context.Method<void(TComponent*)>(v);
                                       });
    r.RegisterProperty<TbsSkinControl>("TbsSkinControl", "OnMouseLeave",
                                       [](TbsSkinControl& c, Value v, Context context) {
                                           c.OnMouseLeave = context.Method<void(TComponent*)>(v);
                                       });

    r.RegisterClass("TbsSkinCustomControl", "TbsSkinControl", nullptr);
    RegisterFontProperties(r, "TbsSkinCustomControl", "DefaultFont", [](TComponent& c) -> TFont& {
        return static_cast<TbsSkinCustomControl&>(c).DefaultFont();
    });
    r.RegisterProperty<TbsSkinCustomControl>(
        "TbsSkinCustomControl", "DefaultWidth",
        [](TbsSkinCustomControl& c, Value v, Context) { c.SetDefaultWidth(v.AsInteger()); });
    r.RegisterProperty<TbsSkinCustomControl>(
        "TbsSkinCustomControl", "DefaultHeight",
        [](TbsSkinCustomControl& c, Value v, Context) { c.SetDefaultHeight(v.AsInteger()); });
    r.RegisterProperty<TbsSkinCustomControl>(
        "TbsSkinCustomControl", "UseSkinFont",
        [](TbsSkinCustomControl& c, Value v, Context) { c.SetUseSkinFont(v.AsBoolean()); });
}

void RegisterButton(TClassRegistry& r) {
    using B = TbsSkinButton;
    r.RegisterClass<B>("TbsSkinButton", "TbsSkinCustomControl");
    r.RegisterProperty<B>("TbsSkinButton", "Glyph.Data",
                          [](B& b, Value v, Context) { b.Glyph().LoadFromBytes(v.AsBinary()); });
    r.RegisterProperty<B>("TbsSkinButton", "NumGlyphs",
                          [](B& b, Value v, Context) { b.SetNumGlyphs(v.AsInteger()); });
    r.RegisterProperty<B>("TbsSkinButton", "Layout", [](B& b, Value v, Context) {
        b.SetLayout(v.AsEnum<TButtonLayout>({{"blGlyphLeft", blGlyphLeft},
                                             {"blGlyphRight", blGlyphRight},
                                             {"blGlyphTop", blGlyphTop},
                                             {"blGlyphBottom", blGlyphBottom}}));
    });
    r.RegisterProperty<B>("TbsSkinButton", "Margin", [](B& b, Value v, Context) {
        if (v.AsInteger() < -1) {
            throw EDefinitionError("a margin is -1 or more");
        }
        b.SetMargin(v.AsInteger());
    });
    r.RegisterProperty<B>("TbsSkinButton", "Spacing",
                          [](B& b, Value v, Context) { b.SetSpacing(v.AsInteger()); });
    r.RegisterProperty<B>("TbsSkinButton", "Down",
                          [](B& b, Value v, Context) { b.SetDown(v.AsBoolean()); });
    r.RegisterProperty<B>("TbsSkinButton", "GroupIndex",
                          [](B& b, Value v, Context) { b.SetGroupIndex(v.AsInteger()); });
    r.RegisterProperty<B>("TbsSkinButton", "AllowAllUp",
                          [](B& b, Value v, Context) { b.SetAllowAllUp(v.AsBoolean()); });
    r.RegisterProperty<B>("TbsSkinButton", "RepeatMode",
                          [](B& b, Value v, Context) { b.SetRepeatMode(v.AsBoolean()); });
    r.RegisterProperty<B>("TbsSkinButton", "RepeatInterval",
                          [](B& b, Value v, Context) { b.SetRepeatInterval(v.AsInteger()); });
    r.RegisterProperty<B>("TbsSkinButton", "CanFocused",
                          [](B& b, Value v, Context) { b.SetCanFocused(v.AsBoolean()); });
    r.RegisterProperty<B>("TbsSkinButton", "Default",
                          [](B& b, Value v, Context) { b.SetDefault(v.AsBoolean()); });
    r.RegisterProperty<B>("TbsSkinButton", "Cancel",
                          [](B& b, Value v, Context) { b.SetCancel(v.AsBoolean()); });
    r.RegisterProperty<B>("TbsSkinButton", "ModalResult",
                          [](B& b, Value v, Context) { b.SetModalResult(v.AsInteger()); });
}

void RegisterGauge(TClassRegistry& r) {
    using G = TbsSkinGauge;
    r.RegisterClass<G>("TbsSkinGauge", "TbsSkinCustomControl");
    r.RegisterProperty<G>("TbsSkinGauge", "MinValue",
                          [](G& g, Value v, Context) { g.SetMinValue(v.AsInteger()); });
    r.RegisterProperty<G>("TbsSkinGauge", "MaxValue",
                          [](G& g, Value v, Context) { g.SetMaxValue(v.AsInteger()); });
    r.RegisterProperty<G>("TbsSkinGauge", "Value",
                          [](G& g, Value v, Context) { g.SetValue(v.AsInteger()); });
    r.RegisterProperty<G>("TbsSkinGauge", "ProgressText",
                          [](G& g, Value v, Context) { g.SetProgressText(v.AsString()); });
    r.RegisterProperty<G>("TbsSkinGauge", "ShowProgressText",
                          [](G& g, Value v, Context) { g.SetShowProgressText(v.AsBoolean()); });
    r.RegisterProperty<G>("TbsSkinGauge", "ShowPercent",
                          [](G& g, Value v, Context) { g.SetShowPercent(v.AsBoolean()); });
    r.RegisterProperty<G>("TbsSkinGauge", "Vertical",
                          [](G& g, Value v, Context) { g.SetVertical(v.AsBoolean()); });
    r.RegisterProperty<G>("TbsSkinGauge", "UseSkinSize",
                          [](G& g, Value v, Context) { g.SetUseSkinSize(v.AsBoolean()); });
}

void RegisterLabel(TClassRegistry& r) {
    using L = TbsSkinLabel;
    r.RegisterClass<L>("TbsSkinLabel", "TbsSkinCustomControl");
    r.RegisterProperty<L>("TbsSkinLabel", "Alignment", [](L& l, Value v, Context) {
        l.SetAlignment(v.AsEnum<TAlignment>({{"taLeftJustify", taLeftJustify},
                                             {"taRightJustify", taRightJustify},
                                             {"taCenter", taCenter}}));
    });
    r.RegisterProperty<L>("TbsSkinLabel", "BorderStyle", [](L& l, Value v, Context) {
        l.SetBorderStyle(v.AsEnum<TBevelStyle>({{"bvFrame", bvFrame},
                                                {"bvRaised", bvRaised},
                                                {"bvLowered", bvLowered},
                                                {"bvNone", bvNone}}));
    });
    r.RegisterProperty<L>("TbsSkinLabel", "AutoSize",
                          [](L& l, Value v, Context) { l.SetAutoSize(v.AsBoolean()); });
    r.RegisterProperty<L>("TbsSkinLabel", "UseSkinSize",
                          [](L& l, Value v, Context) { l.SetUseSkinSize(v.AsBoolean()); });
}

void RegisterScrollBar(TClassRegistry& r) {
    using S = TbsSkinScrollBar;
    r.RegisterClass<S>("TbsSkinScrollBar", "TbsSkinCustomControl");
    r.RegisterProperty<S>("TbsSkinScrollBar", "Kind", [](S& s, Value v, Context) {
        s.SetKind(
            v.AsEnum<TScrollBarKind>({{"sbHorizontal", sbHorizontal}, {"sbVertical", sbVertical}}));
    });
    r.RegisterProperty<S>("TbsSkinScrollBar", "Min",
                          [](S& s, Value v, Context) { s.SetMin(v.AsInteger()); });
    r.RegisterProperty<S>("TbsSkinScrollBar", "Max",
                          [](S& s, Value v, Context) { s.SetMax(v.AsInteger()); });
    r.RegisterProperty<S>("TbsSkinScrollBar", "Position",
                          [](S& s, Value v, Context) { s.SetPosition(v.AsInteger()); });
    r.RegisterProperty<S>("TbsSkinScrollBar", "PageSize",
                          [](S& s, Value v, Context) { s.SetPageSize(v.AsInteger()); });
    r.RegisterProperty<S>("TbsSkinScrollBar", "SmallChange",
                          [](S& s, Value v, Context) { s.SetSmallChange(v.AsInteger()); });
    r.RegisterProperty<S>("TbsSkinScrollBar", "LargeChange",
                          [](S& s, Value v, Context) { s.SetLargeChange(v.AsInteger()); });
    r.RegisterProperty<S>("TbsSkinScrollBar", "Both",
                          [](S& s, Value v, Context) { s.SetBoth(v.AsBoolean()); });
    r.RegisterProperty<S>("TbsSkinScrollBar", "BothMarkerWidth",
                          [](S& s, Value v, Context) { s.SetBothMarkerWidth(v.AsInteger()); });
    r.RegisterProperty<S>("TbsSkinScrollBar", "BothSkinDataName",
                          [](S& s, Value v, Context) { s.SetBothSkinDataName(v.AsString()); });
    r.RegisterProperty<S>("TbsSkinScrollBar", "CanFocused",
                          [](S& s, Value v, Context) { s.SetCanFocused(v.AsBoolean()); });
    using Event = TNotifyEvent S::*;
    const std::pair<const char*, Event> events[] = {
        {"OnChange", &S::OnChange},
        {"OnLastChange", &S::OnLastChange},
        {"OnUpButtonClick", &S::OnUpButtonClick},
        {"OnDownButtonClick", &S::OnDownButtonClick},
        {"OnPageUp", &S::OnPageUp},
        {"OnPageDown", &S::OnPageDown},
    };
    for (const auto& [name, member] : events) {
        r.RegisterProperty<S>("TbsSkinScrollBar", name, [member](S& s, Value v, Context context) {
            s.*member = context.Method<void(TComponent*)>(v);
        });
    }
}

void RegisterStdLabel(TClassRegistry& r) {
    using L = TbsSkinStdLabel;
    r.RegisterClass<L>("TbsSkinStdLabel", "TCustomLabel");
    r.RegisterProperty<L>("TbsSkinStdLabel", "SkinData", [](L& l, Value v, Context context) {
        context.Reference<TbsSkinData>(v, [&l](TbsSkinData& data) { l.SetSkinData(&data); });
    });
    r.RegisterProperty<L>("TbsSkinStdLabel", "SkinDataName",
                          [](L& l, Value v, Context) { l.SetSkinDataName(v.AsString()); });
    r.RegisterProperty<L>("TbsSkinStdLabel", "UseSkinFont",
                          [](L& l, Value v, Context) { l.SetUseSkinFont(v.AsBoolean()); });
    RegisterFontProperties(r, "TbsSkinStdLabel", "DefaultFont", [](TComponent& c) -> TFont& {
        return static_cast<L&>(c).DefaultFont();
    });
}

void RegisterListBox(TClassRegistry& r) {
    using L = TbsSkinListBox;
    r.RegisterClass<L>("TbsSkinListBox", "TbsSkinCustomControl");
    r.RegisterProperty<L>("TbsSkinListBox", "Items",
                          [](L& l, Value v, Context) { l.SetItems(v.AsStrings()); });
    r.RegisterProperty<L>("TbsSkinListBox", "ItemIndex",
                          [](L& l, Value v, Context) { l.SetItemIndex(v.AsInteger()); });
    r.RegisterProperty<L>("TbsSkinListBox", "Sorted",
                          [](L& l, Value v, Context) { l.SetSorted(v.AsBoolean()); });
    r.RegisterProperty<L>("TbsSkinListBox", "MultiSelect",
                          [](L& l, Value v, Context) { l.SetMultiSelect(v.AsBoolean()); });
    r.RegisterProperty<L>("TbsSkinListBox", "CaptionMode",
                          [](L& l, Value v, Context) { l.SetCaptionMode(v.AsBoolean()); });
    r.RegisterProperty<L>("TbsSkinListBox", "UseSkinItemHeight",
                          [](L& l, Value v, Context) { l.SetUseSkinItemHeight(v.AsBoolean()); });
    r.RegisterProperty<L>("TbsSkinListBox", "DefaultItemHeight",
                          [](L& l, Value v, Context) { l.SetDefaultItemHeight(v.AsInteger()); });
    r.RegisterProperty<L>("TbsSkinListBox", "DefaultCaptionHeight",
                          [](L& l, Value v, Context) { l.SetDefaultCaptionHeight(v.AsInteger()); });
    RegisterFontProperties(r, "TbsSkinListBox", "ListBoxFont", [](TComponent& c) -> TFont& {
        return static_cast<TbsSkinListBox&>(c).ListBoxFont();
    });
}

}  // namespace

void RegisterSkinControlClasses(TClassRegistry& registry) {
    RegisterBase(registry);
    RegisterButton(registry);
    RegisterGauge(registry);
    RegisterLabel(registry);
    RegisterListBox(registry);
    RegisterStdLabel(registry);
    RegisterScrollBar(registry);
}

}  // namespace skin
