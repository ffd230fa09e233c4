#include "framework/classes.h"

#include "framework/forms.h"

namespace framework {

TColor ReadColor(const TDefinitionValue& value) {
    if (value.kind == TValueKind::Integer) {
        return static_cast<TColor>(value.AsInt64());
    }
    return value.AsEnum<TColor>({
        {"clScrollBar", clScrollBar},
        {"clWindow", clWindow},
        {"clWindowText", clWindowText},
        {"clBtnFace", clBtnFace},
        {"clBtnShadow", clBtnShadow},
        {"clBtnText", clBtnText},
        {"clBtnHighlight", clBtnHighlight},
        {"clHighlight", clHighlight},
        {"clHighlightText", clHighlightText},
        {"clGrayText", clGrayText},
        {"cl3DDkShadow", cl3DDkShadow},
        {"cl3DLight", cl3DLight},
        {"clBlack", clBlack},
        {"clWhite", clWhite},
        {"clNavy", clNavy},
        {"clBlue", clBlue},
        {"clRed", clRed},
        {"clYellow", clYellow},
        {"clNone", clNone},
        {"clDefault", clDefault},
    });
}

void RegisterFontProperties(TClassRegistry& registry, std::string_view className,
                            const std::string& prefix, std::function<TFont&(TComponent&)> font) {
    registry.RegisterProperty(className, prefix + ".Name",
                              [font](TComponent& c, const TDefinitionValue& v, TReaderContext&) {
                                  font(c).SetName(v.AsString());
                              });
    registry.RegisterProperty(className, prefix + ".Height",
                              [font](TComponent& c, const TDefinitionValue& v, TReaderContext&) {
                                  font(c).SetHeight(v.AsInteger());
                              });
    registry.RegisterProperty(className, prefix + ".Style",
                              [font](TComponent& c, const TDefinitionValue& v, TReaderContext&) {
                                  font(c).SetStyle(v.AsFlags({{"fsBold", fsBold},
                                                              {"fsItalic", fsItalic},
                                                              {"fsUnderline", fsUnderline},
                                                              {"fsStrikeOut", fsStrikeOut}}));
                              });
    registry.RegisterProperty(className, prefix + ".Color",
                              [font](TComponent& c, const TDefinitionValue& v, TReaderContext&) {
                                  font(c).SetColor(ReadColor(v));
                              });
    registry.RegisterProperty(
        className, prefix + ".Charset",
        [font](TComponent& c, const TDefinitionValue& v, TReaderContext&) {
            font(c).SetCharset(v.kind == TValueKind::Integer
                                   ? v.AsInteger()
                                   : v.AsEnum<int>({{"DEFAULT_CHARSET", DEFAULT_CHARSET},
                                                    {"ANSI_CHARSET", ANSI_CHARSET},
                                                    {"GB2312_CHARSET", GB2312_CHARSET}}));
        });
}

namespace {

using Value = const TDefinitionValue&;

void RegisterControl(TClassRegistry& r) {
    r.RegisterClass("TControl", "", nullptr);
    r.RegisterProperty<TControl>("TControl", "Left", [](TControl& c, Value v, TReaderContext&) {
        c.SetLeft(v.AsInteger());
    });
    r.RegisterProperty<TControl>(
        "TControl", "Top", [](TControl& c, Value v, TReaderContext&) { c.SetTop(v.AsInteger()); });
    r.RegisterProperty<TControl>("TControl", "Width", [](TControl& c, Value v, TReaderContext&) {
        c.SetWidth(v.AsInteger());
    });
    r.RegisterProperty<TControl>("TControl", "Height", [](TControl& c, Value v, TReaderContext&) {
        c.SetHeight(v.AsInteger());
    });
    r.RegisterProperty<TControl>("TControl", "Visible", [](TControl& c, Value v, TReaderContext&) {
        c.SetVisible(v.AsBoolean());
    });
    r.RegisterProperty<TControl>("TControl", "Enabled", [](TControl& c, Value v, TReaderContext&) {
        c.SetEnabled(v.AsBoolean());
    });
    r.RegisterProperty<TControl>("TControl", "Caption", [](TControl& c, Value v, TReaderContext&) {
        c.SetCaption(v.AsString());
    });
    r.RegisterProperty<TControl>("TControl", "Color", [](TControl& c, Value v, TReaderContext&) {
        c.SetColor(ReadColor(v));
    });
    r.RegisterProperty<TControl>("TControl", "OnClick",
                                 [](TControl& c, Value v, TReaderContext& context) {
                                     c.OnClick = context.Method<void(TComponent*)>(v);
                                 });
    using MouseSignature = void(TComponent*, TMouseButton, TShiftState, int, int);
    r.RegisterProperty<TControl>("TControl", "OnMouseDown",
                                 [](TControl& c, Value v, TReaderContext& context) {
                                     c.OnMouseDown = context.Method<MouseSignature>(v);
                                 });
    r.RegisterProperty<TControl>("TControl", "OnMouseUp",
                                 [](TControl& c, Value v, TReaderContext& context) {
                                     c.OnMouseUp = context.Method<MouseSignature>(v);
                                 });
    r.RegisterProperty<TControl>(
        "TControl", "OnMouseMove", [](TControl& c, Value v, TReaderContext& context) {
            c.OnMouseMove = context.Method<void(TComponent*, TShiftState, int, int)>(v);
        });
    RegisterFontProperties(r, "TControl", "Font", [](TComponent& c) -> TFont& {
        return static_cast<TControl&>(c).Font();
    });

    r.RegisterClass("TWinControl", "TControl", nullptr);
    r.RegisterProperty<TWinControl>(
        "TWinControl", "TabOrder",
        [](TWinControl& c, Value v, TReaderContext&) { c.SetTabOrder(v.AsInteger()); });
    r.RegisterProperty<TWinControl>(
        "TWinControl", "TabStop",
        [](TWinControl& c, Value v, TReaderContext&) { c.SetTabStop(v.AsBoolean()); });
    r.RegisterClass("TCustomControl", "TWinControl", nullptr);
    r.RegisterClass("TGraphicControl", "TControl", nullptr);
}

void RegisterImage(TClassRegistry& r) {
    r.RegisterClass<TImage>("TImage", "TGraphicControl");
    r.RegisterProperty<TImage>("TImage", "Picture.Data", [](TImage& c, Value v, TReaderContext&) {
        c.Picture().LoadFromBytes(v.AsBinary());
    });
    r.RegisterProperty<TImage>("TImage", "AutoSize", [](TImage& c, Value v, TReaderContext&) {
        c.SetAutoSize(v.AsBoolean());
    });
    r.RegisterProperty<TImage>("TImage", "Stretch", [](TImage& c, Value v, TReaderContext&) {
        c.SetStretch(v.AsBoolean());
    });
    r.RegisterProperty<TImage>("TImage", "Center", [](TImage& c, Value v, TReaderContext&) {
        c.SetCenter(v.AsBoolean());
    });
    r.RegisterProperty<TImage>("TImage", "Transparent", [](TImage& c, Value v, TReaderContext&) {
        c.Picture().SetTransparent(v.AsBoolean());
    });
}

void RegisterLabel(TClassRegistry& r) {
    r.RegisterClass("TCustomLabel", "TGraphicControl", nullptr);
    r.RegisterProperty<TCustomLabel>(
        "TCustomLabel", "Alignment", [](TCustomLabel& c, Value v, TReaderContext&) {
            c.SetAlignment(v.AsEnum<TAlignment>({{"taLeftJustify", taLeftJustify},
                                                 {"taRightJustify", taRightJustify},
                                                 {"taCenter", taCenter}}));
        });
    r.RegisterProperty<TCustomLabel>(
        "TCustomLabel", "Layout", [](TCustomLabel& c, Value v, TReaderContext&) {
            c.SetLayout(v.AsEnum<TTextLayout>(
                {{"tlTop", tlTop}, {"tlCenter", tlCenter}, {"tlBottom", tlBottom}}));
        });
    r.RegisterProperty<TCustomLabel>(
        "TCustomLabel", "WordWrap",
        [](TCustomLabel& c, Value v, TReaderContext&) { c.SetWordWrap(v.AsBoolean()); });
    r.RegisterProperty<TCustomLabel>(
        "TCustomLabel", "ShowAccelChar",
        [](TCustomLabel& c, Value v, TReaderContext&) { c.SetShowAccelChar(v.AsBoolean()); });
    r.RegisterProperty<TCustomLabel>(
        "TCustomLabel", "AutoSize",
        [](TCustomLabel& c, Value v, TReaderContext&) { c.SetAutoSize(v.AsBoolean()); });
    r.RegisterProperty<TCustomLabel>(
        "TCustomLabel", "Transparent",
        [](TCustomLabel& c, Value v, TReaderContext&) { c.SetTransparent(v.AsBoolean()); });
    r.RegisterProperty<TCustomLabel>(
        "TCustomLabel", "FocusControl", [](TCustomLabel& c, Value v, TReaderContext& context) {
            context.Reference<TWinControl>(
                v, [&c](TWinControl& target) { c.SetFocusControl(&target); });
        });
    r.RegisterClass<TLabel>("TLabel", "TCustomLabel");
}

void RegisterForm(TClassRegistry& r) {
    r.RegisterClass<TForm>("TForm", "TWinControl");
    r.RegisterProperty<TForm>("TForm", "BorderStyle", [](TForm& f, Value v, TReaderContext&) {
        f.SetBorderStyle(v.AsEnum<TBorderStyle>({{"bsNone", bsNone},
                                                 {"bsSingle", bsSingle},
                                                 {"bsSizeable", bsSizeable},
                                                 {"bsDialog", bsDialog},
                                                 {"bsToolWindow", bsToolWindow},
                                                 {"bsSizeToolWin", bsSizeToolWin}}));
    });
    r.RegisterProperty<TForm>("TForm", "BorderIcons", [](TForm& f, Value v, TReaderContext&) {
        f.SetBorderIcons(v.AsFlags({{"biSystemMenu", biSystemMenu},
                                    {"biMinimize", biMinimize},
                                    {"biMaximize", biMaximize},
                                    {"biHelp", biHelp}}));
    });
    r.RegisterProperty<TForm>("TForm", "FormStyle", [](TForm& f, Value v, TReaderContext&) {
        f.SetFormStyle(
            v.AsEnum<TFormStyle>({{"fsNormal", fsNormal}, {"fsStayOnTop", fsStayOnTop}}));
    });
    r.RegisterProperty<TForm>("TForm", "Position", [](TForm& f, Value v, TReaderContext&) {
        f.SetPosition(v.AsEnum<TPosition>({{"poDesigned", poDesigned},
                                           {"poScreenCenter", poScreenCenter},
                                           {"poDesktopCenter", poDesktopCenter}}));
    });
    r.RegisterProperty<TForm>("TForm", "ClientWidth", [](TForm& f, Value v, TReaderContext&) {
        f.SetClientWidth(v.AsInteger());
    });
    r.RegisterProperty<TForm>("TForm", "ClientHeight", [](TForm& f, Value v, TReaderContext&) {
        f.SetClientHeight(v.AsInteger());
    });
    // The window is laid out in pixels at 96 pixels per inch; other
    // resolutions are left to the system's scaling of applications that do
    // not declare themselves DPI-aware.
    r.RegisterProperty<TForm>("TForm", "PixelsPerInch", [](TForm&, Value v, TReaderContext&) {
        if (v.AsInteger() <= 0) {
            throw EDefinitionError("pixels per inch must be positive");
        }
    });
    r.RegisterProperty<TForm>("TForm", "OnCreate", [](TForm& f, Value v, TReaderContext& context) {
        f.OnCreate = context.Method<void(TComponent*)>(v);
    });
    r.RegisterProperty<TForm>("TForm", "OnShow", [](TForm& f, Value v, TReaderContext& context) {
        f.OnShow = context.Method<void(TComponent*)>(v);
    });
    r.RegisterProperty<TForm>("TForm", "OnClose", [](TForm& f, Value v, TReaderContext& context) {
        f.OnClose = context.Method<void(TComponent*, TCloseAction&)>(v);
    });
}

void RegisterTimer(TClassRegistry& r) {
    r.RegisterClass<TTimer>("TTimer", "");
    r.RegisterProperty<TTimer>("TTimer", "Interval", [](TTimer& t, Value v, TReaderContext&) {
        const int64_t ms = v.AsInt64();
        if (ms < 0 || ms > 0x7FFFFFFF) {
            throw EDefinitionError("interval out of range");
        }
        t.SetInterval(static_cast<unsigned>(ms));
    });
    r.RegisterProperty<TTimer>("TTimer", "Enabled", [](TTimer& t, Value v, TReaderContext&) {
        t.SetEnabled(v.AsBoolean());
    });
    r.RegisterProperty<TTimer>("TTimer", "OnTimer",
                               [](TTimer& t, Value v, TReaderContext& context) {
                                   t.OnTimer = context.Method<void(TComponent*)>(v);
                               });
}

}  // namespace

void RegisterFrameworkClasses(TClassRegistry& registry) {
    RegisterControl(registry);
    RegisterImage(registry);
    RegisterLabel(registry);
    RegisterForm(registry);
    RegisterTimer(registry);
}

}  // namespace framework
