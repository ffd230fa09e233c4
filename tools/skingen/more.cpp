// The control objects beyond the ones the update window draws: further
// buttons, labels, lists, edits, check boxes, panels, track bars, tabs, grids
// and the menu bar, so that a skinned program has a look for every control.

#include <algorithm>
#include <string>
#include <vector>

#include "controls.h"

namespace skingen {

namespace {

const Color kWhite{255, 255, 255};
const Color kBlack{0, 0, 0};
const Look kFour[4] = {Look::Normal, Look::Hot, Look::Down, Look::Disabled};

// Text on the client background, dimmed when disabled.
Color OffClientText(const Palette& p) {
    return Mix(p.clientText, p.client, 0.55);
}

Color StatusColour(const Palette& p) {
    return Darker(p.client, 0.12);
}

// The caption colours of a button: normal, under the mouse, pressed,
// disabled.
struct TextColours {
    Color normal;
    Color hot;
    Color down;
    Color off;
};

TextColours OnButton(const Palette& p) {
    return {p.buttonText, p.buttonHotText, p.buttonDownText, p.buttonOffText};
}

// For flat buttons, whose caption lies on the client background.
TextColours OnClient(const Palette& p) {
    return {p.clientText, p.clientHotText, p.clientText, OffClientText(p)};
}

// The four looks of a button-type object and the keys that name them.
void ButtonKeys(Section& o, const std::vector<IRect>& looks, const TextColours& text) {
    o.Font("", "Arial", 14, "", text.normal);
    o.Colour("activefontcolor", text.hot);
    o.Colour("downfontcolor", text.down);
    o.Colour("disabledfontcolor", text.off);
    o.Rect("activeskinrect", looks[1]);
    o.Rect("downskinrect", looks[2]);
    o.Rect("disabledskinrect", looks[3]);
    o.Flag("morphing", true);
    o.String("morphkind", "mkdefault");
}

// ---- Buttons --------------------------------------------------------------

void SmallButton(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    int w = s.buttonW - 8;
    int h = s.buttonH - 6;
    double r = std::max(2, s.buttonRadius - 1);
    auto looks = DrawLooks(ctx.controls, w, h, ctx.palette.client, 4, [&](Canvas& c, int k) {
        DrawPushButton(c, BoxOf(w, h), r, kFour[k], ctx.palette);
    });
    Section& o = ctx.AddControl("smallbutton", "button");
    WidthKeys(o, kControlsPicture, looks[0], 6, 7, {3, 2, w - 3, h - 2});
    ButtonKeys(o, looks, OnButton(ctx.palette));
}

// A push button for any height. The program repeats its middle in both
// directions, so the face is flat: light and shade lie only in the fixed
// bands along its edges.
void ResizeButton(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    int w = s.buttonW;
    int h = s.buttonH + 11;
    double r = s.buttonRadius;
    auto looks = DrawLooks(ctx.controls, w, h, p.client, 4, [&](Canvas& c, int k) {
        Color top = k == 1 ? p.buttonHotTop
                           : (k == 2 ? p.buttonDownTop : (k == 3 ? p.buttonOffTop : p.buttonTop));
        Color bottom =
            k == 1 ? p.buttonHotBottom
                   : (k == 2 ? p.buttonDownBottom : (k == 3 ? p.buttonOffBottom : p.buttonBottom));
        Color edge = k == 1 ? p.buttonHotEdge : (k == 3 ? p.buttonOffEdge : p.buttonEdge);
        Box box = BoxOf(w, h);
        c.Fill(RoundRect(box, r), edge);
        Box in = box.Inset(1);
        c.Fill(RoundRect(in, r - 1), Mix(top, bottom, 0.45));
        Shape rim = RoundRing(in, r - 1, 1);
        if (k == 2) {
            c.Fill(Intersect(rim, Rect({0, 0, box.x1, 2})), kBlack, 0.2);
        } else {
            c.Fill(Intersect(rim, Rect({0, 0, box.x1, 2})), kWhite, 0.75);
            c.Fill(Intersect(rim, Rect({0, 2, 2, h - 2.0})), kWhite, 0.35);
            c.Fill(Intersect(rim, Rect({w - 2.0, 2, box.x1, h - 2.0})), bottom, 0.6);
            c.Fill(Intersect(rim, Rect({0, h - 2.0, box.x1, box.y1})), Darker(bottom, 0.1), 0.8);
        }
    });
    Section& o = ctx.AddControl("resizebutton", "button");
    NineKeys(o, kControlsPicture, looks[0], {3, 3, w - 3, h - 3}, 3);
    ButtonKeys(o, looks, OnButton(p));
}

std::vector<IRect> ToolLooks(SkinContext& ctx, int w, int h, Glyph glyph) {
    const Palette& p = ctx.palette;
    return DrawLooks(ctx.controls, w, h, p.client, 4, [&](Canvas& c, int k) {
        DrawToolButton(c, BoxOf(w, h), kFour[k], p);
        if (glyph != Glyph::None) {
            // The drop-down part at the right end, split off when raised.
            int split = w - 11;
            if (k == 1 || k == 2) {
                c.FillPixels(split, 3, split + 1, h - 3, Darker(p.client, 0.35));
                c.FillPixels(split + 1, 3, split + 2, h - 3, Lighter(p.client, 0.4));
            }
            Color g = k == 3 ? OffClientText(p) : p.clientText;
            DrawGlyph(c, {split + 2.0, 0, w - 1.0, static_cast<double>(h)}, glyph, g);
        }
    });
}

void ToolButtons(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    int n = ctx.design.buttonH - 1;
    auto looks = ToolLooks(ctx, n, n, Glyph::None);
    Section& tool = ctx.AddControl("toolbutton", "button");
    NineKeys(tool, kControlsPicture, looks[0], {3, 3, n - 3, n - 3});
    ButtonKeys(tool, looks, OnClient(p));

    // A label that lights up like a tool button under the mouse.
    Section& label = ctx.AddControl("buttonlabel", "button");
    WidthKeys(label, kControlsPicture, looks[0], 6, 6, {3, 3, n - 3, n - 3});
    ButtonKeys(label, looks, OnClient(p));

    int w = n + 11;
    auto menuLooks = ToolLooks(ctx, w, n, Glyph::ArrowDown);
    Section& menu = ctx.AddControl("toolmenubutton", "menubutton");
    WidthKeys(menu, kControlsPicture, menuLooks[0], 6, 16, {3, 3, w - 14, n - 3});
    ButtonKeys(menu, menuLooks, OnClient(p));
    const IRect& down = menuLooks[2];
    menu.Rect("trackbuttonrect", {down.r - 11, down.t, down.r, down.b});
}

void MenuButton(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    int w = s.buttonW + 14;
    int h = s.buttonH;
    int split = w - 15;
    auto looks = DrawLooks(ctx.controls, w, h, p.client, 4, [&](Canvas& c, int k) {
        DrawPushButton(c, BoxOf(w, h), s.buttonRadius, kFour[k], p);
        c.FillPixels(split, 4, split + 1, h - 4,
                     Darker(k == 3 ? p.buttonOffBottom : p.buttonBottom, 0.3));
        c.FillPixels(split + 1, 4, split + 2, h - 4, kWhite);
        DrawGlyph(c, {split + 1.0, 0, w - 1.0, static_cast<double>(h)}, Glyph::ArrowDown,
                  k == 3 ? p.buttonOffText : p.buttonText);
    });
    Section& o = ctx.AddControl("menubutton", "menubutton");
    WidthKeys(o, kControlsPicture, looks[0], s.buttonLT.x, w - split + 2, {3, 3, split - 1, h - 4});
    ButtonKeys(o, looks, OnButton(p));
    // The drop-down part pressed on its own.
    o.Rect("trackbuttonrect", {looks[2].l + split, looks[2].t, looks[2].r, looks[2].b});
}

void RoundButton(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    int n = ctx.design.buttonH;
    auto looks = DrawLooks(ctx.controls, n, n, p.client, 4, [&](Canvas& c, int k) {
        double r = n / 2.0;
        Point centre{r, r};
        Color top = k == 1 ? p.buttonHotTop
                           : (k == 2 ? p.buttonDownTop : (k == 3 ? p.buttonOffTop : p.buttonTop));
        Color bottom =
            k == 1 ? p.buttonHotBottom
                   : (k == 2 ? p.buttonDownBottom : (k == 3 ? p.buttonOffBottom : p.buttonBottom));
        Color edge = k == 1 ? p.buttonHotEdge : (k == 3 ? p.buttonOffEdge : p.buttonEdge);
        c.Fill(Circle(centre, r), edge);
        c.Fill(Circle(centre, r - 1),
               VGradient(
                   {{1, Lighter(top, 0.15)}, {n * 0.5, Mix(top, bottom, 0.4)}, {n - 1.0, bottom}}));
        if (k != 2 && k != 3) {
            c.Fill(Ellipse({r, r * 0.55}, r * 0.62, r * 0.36), kWhite, 0.45);
        }
    });
    Section& o = ctx.AddControl("roundbutton", "button");
    CustomKeys(o, kControlsPicture, looks[0], {}, {}, {}, {}, {4, 4, n - 4, n - 4});
    ButtonKeys(o, looks, OnButton(p));
}

void DropDownButton(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    int h = ctx.design.buttonH;
    int w = h * 2 / 3 + 1;
    auto looks = DrawLooks(ctx.controls, w, h, p.client, 4, [&](Canvas& c, int k) {
        DrawPushButton(c, BoxOf(w, h), std::min(3, ctx.design.buttonRadius), kFour[k], p);
        DrawGlyph(c, BoxOf(w, h).Moved(0, k == 2 ? 1 : 0), Glyph::ArrowDown,
                  k == 3 ? p.buttonOffText : p.buttonText);
    });
    Section& o = ctx.AddControl("dropdownbutton", "button");
    CustomKeys(o, kControlsPicture, looks[0], {}, {}, {}, {}, {2, 2, w - 2, h - 2});
    ButtonKeys(o, looks, OnButton(p));
}

void HeaderButton(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    int w = 40;
    int h = ctx.design.itemH;
    auto looks = DrawLooks(ctx.lists, w, h, p.field, 4, [&](Canvas& c, int k) {
        Color top = k == 1 ? p.hotTop : (k == 2 ? Darker(p.plateBottom, 0.1) : p.plateTop);
        Color bottom = k == 1 ? p.hotBottom : (k == 2 ? p.plateTop : p.plateBottom);
        if (k == 3) {
            top = p.buttonOffTop;
            bottom = p.buttonOffBottom;
        }
        c.Fill(Rect(BoxOf(w, h)), VGradient({{0, top}, {h - 1.0, bottom}}));
        c.FillPixels(0, 0, w, 1, kWhite);
        c.FillPixels(0, h - 1, w, h, Mix(p.fieldEdge, p.field, 0.5));
        c.FillPixels(w - 2, 3, w - 1, h - 3, Mix(p.fieldEdge, p.field, 0.6));
        c.FillPixels(w - 1, 3, w, h - 3, kWhite);
    });
    Section& o = ctx.AddControl("headerbutton", "button");
    WidthKeys(o, kListsPicture, looks[0], 3, 4, {4, 0, w - 4, h});
    ButtonKeys(o, looks, OnButton(p));
}

// ---- Gauges ---------------------------------------------------------------

void VerticalGauge(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    // The horizontal gauge turned by a quarter.
    int w = s.gaugeH;
    int h = s.gaugeW;
    int barW = s.progressArea.H();
    Canvas bar(barW, s.barW, p.field);
    DrawBar(bar, BoxOf(barW, s.barW), 3, p, true);
    IRect barAt = PutNext(ctx.controls, bar);
    Canvas frame(w, h, p.client);
    DrawField(frame, BoxOf(w, h), s.fieldRadius, p);
    IRect frameAt = PutNext(ctx.controls, frame);
    IRect area{s.progressArea.t, s.progressArea.l, s.progressArea.b, s.progressArea.r};

    Section& o = ctx.AddControl("vgauge", "gauge");
    CustomKeys(o, kControlsPicture, frameAt, {s.gaugeLT.y, s.gaugeLT.x}, {},
               {s.gaugeRT.y, s.gaugeRT.x}, {}, area);
    o.Rect("progressarea", area);
    o.Rect("progressrect", barAt);
    o.Int("beginoffset", s.barEnds);
    o.Int("endoffset", s.barEnds);
    o.Flag("vertical", true);
    o.Font("", "Arial", 14, "", p.fieldText);
    o.Flag("progresstransparent", false);
    o.Colour("progresstransparentcolor", Color{});
}

// A slim gauge for status bars: no text, a thin bar.
void ThinGauge(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    int w = 30;
    int h = 10;
    IRect area{2, 2, w - 3, h - 3};
    Canvas bar(12, area.H(), p.field);
    DrawBar(bar, BoxOf(12, area.H()), 2, p);
    IRect barAt = PutNext(ctx.controls, bar);
    Canvas frame(w, h, p.client);
    DrawField(frame, BoxOf(w, h), 2, p);
    IRect frameAt = PutNext(ctx.controls, frame);

    Section& o = ctx.AddControl("thingauge", "gauge");
    WidthKeys(o, kControlsPicture, frameAt, 4, 4, area);
    o.Rect("progressarea", area);
    o.Rect("progressrect", barAt);
    o.Int("beginoffset", 3);
    o.Int("endoffset", 3);
    o.Flag("vertical", false);
    o.Font("", "Arial", 14, "", p.fieldText);
    o.Flag("progresstransparent", false);
    o.Colour("progresstransparentcolor", Color{});
}

// ---- Labels ---------------------------------------------------------------

void MoreLabels(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    int w = s.labelW;

    // A heading: bold text on a golden strip.
    int h = s.labelH + 2;
    Canvas strip(w, h, p.client);
    Box box = BoxOf(w, h);
    strip.Fill(RoundRect(box, 4), p.hotEdge);
    strip.Fill(RoundRect(box.Inset(1), 3), VGradient({{1, p.hotTop},
                                                      {h * 0.5, Mix(p.hotTop, p.hotBottom, 0.4)},
                                                      {h - 1.0, p.hotBottom}}));
    strip.Fill(Intersect(RoundRing(box.Inset(1), 3, 1), Rect({0, 0, box.x1, 2})), kWhite, 0.7);
    IRect at = PutNext(ctx.controls, strip);
    Section& caption = ctx.AddControl("captionlabel", "label");
    WidthKeys(caption, kControlsPicture, at, 6, 6, {5, 2, w - 5, h - 2});
    caption.Font("", "Arial", 14, "fsbold", p.buttonText);

    // A status bar field: sunk into the status bar, light text.
    Canvas status(w, s.labelH, StatusColour(p));
    DrawPanel(status, BoxOf(w, s.labelH), false, StatusColour(p), p);
    IRect statusAt = PutNext(ctx.controls, status);
    Section& statusLabel = ctx.AddControl("statuslabel", "label");
    WidthKeys(statusLabel, kControlsPicture, statusAt, 3, 3, {3, 1, w - 3, s.labelH - 1});
    statusLabel.Font("", "Arial", 14, "", p.clientText);

    // A link: underlined, lighter under the mouse.
    Section& link = ctx.AddControl("linklabel", "stdlabel");
    NoPictureKeys(link);
    link.Font("", "Arial", 14, "fsunderline", p.clientHotText);
    link.Colour("activefontcolor", p.clientText);
}

// ---- Lists ----------------------------------------------------------------

void CheckImages(SkinContext& ctx, Sheet& sheet, Color background, IRect* checked, IRect* unchecked,
                 Look look, bool radio) {
    const Palette& p = ctx.palette;
    int n = 13;
    auto draw = [&](bool on) {
        return DrawLooks(sheet, n, n, background, 1, [&](Canvas& c, int) {
            if (radio) {
                DrawRadio(c, BoxOf(n, n), on, look, p);
            } else {
                DrawCheckBox(c, BoxOf(n, n), on, look, p);
            }
        })[0];
    };
    *checked = draw(true);
    *unchecked = draw(false);
}

void CaptionListBox(SkinContext& ctx, const ItemLooks& items) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    int ch = 20;  // caption bar
    int bs = 15;  // caption buttons
    int w = s.listW + 33;
    int h = s.listH + ch;
    int right = s.listW - s.listClient.r;
    int bottom = s.listH - s.listClient.b;
    IRect c{s.listClient.l, s.listClient.t + ch, w - right, h - bottom};
    Canvas frame(w, h, p.client);
    DrawField(frame, BoxOf(w, h), 2, p);
    Box bar{1, 1, w - 2.0, ch + 1.0};
    frame.Fill(RoundRect(bar, 1), VGradient({{1, p.hotTop}, {ch + 1.0, p.hotBottom}}));
    frame.FillPixels(1, ch + 1, w - 2, ch + 2, Mix(p.fieldEdge, p.hotBottom, 0.5));
    frame.FillPixels(1, 1, w - 2, 2, kWhite);
    Canvas backdrop = Backdrop(frame, w / 2, 3, bs, bs);
    const Glyph glyphs[3] = {Glyph::ArrowUp, Glyph::ArrowDown, Glyph::Check};
    IRect place[3];
    IRect hot[3];
    IRect down[3];
    for (int i = 0; i < 3; ++i) {
        int x = w - 3 - (i + 1) * bs - i;
        place[i] = {x, 3, x + bs, 3 + bs};
        DrawSmallButton(frame, place[i].ToBox(), glyphs[i], Look::Normal, p);
        auto looks = DrawLooks(ctx.lists, bs, bs, Color{}, 2, [&](Canvas& piece, int k) {
            piece.Blit(backdrop, 0, 0);
            DrawSmallButton(piece, BoxOf(bs, bs), glyphs[i], k == 0 ? Look::Hot : Look::Down, p);
        });
        hot[i] = looks[0];
        down[i] = looks[1];
    }
    IRect at = PutNext(ctx.lists, frame);
    int fixedRight = 3 * (bs + 1) + 6;
    Section& o = ctx.AddControl("captionlistbox", "listbox");
    CustomKeys(o, kListsPicture, at, {c.l + 3, c.t + 3}, {w - fixedRight, c.t + 3},
               {c.l + 3, c.b - 3}, {w - fixedRight, c.b - 3}, c);
    ItemKeys(ctx, o, items, 2);
    o.Rect("captionrect", {5, 1, w - fixedRight, ch + 1});
    o.Font("caption", "Arial", 14, "fsbold", p.buttonText);
    o.Rect("upbuttonrect", place[0]);
    o.Rect("activeupbuttonrect", hot[0]);
    o.Rect("downupbuttonrect", down[0]);
    o.Rect("downbuttonrect", place[1]);
    o.Rect("activedownbuttonrect", hot[1]);
    o.Rect("downdownbuttonrect", down[1]);
    o.Rect("checkbuttonrect", place[2]);
    o.Rect("activecheckbuttonrect", hot[2]);
    o.Rect("downcheckbuttonrect", down[2]);
    ScrollBarNames(o, "");
}

void MoreLists(SkinContext& ctx, const ItemLooks& items) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;

    // The drop-down list of a combo box: a thin outline, small scroll bars.
    int n = 40;
    Canvas thin(n, n, p.field);
    thin.FillPixels(0, 0, n, n, p.fieldEdge);
    thin.FillPixels(1, 1, n - 1, n - 1, p.field);
    IRect thinAt = PutNext(ctx.lists, thin);
    Section& combo = ctx.AddControl("combolistbox", "listbox");
    NineKeys(combo, kListsPicture, thinAt, {1, 1, n - 1, n - 1});
    ItemKeys(ctx, combo, items, 2);
    NoCaptionKeys(ctx, combo);
    ScrollBarNames(combo, "small");

    // A list with a check box in every item.
    IRect checked;
    IRect unchecked;
    CheckImages(ctx, ctx.lists, p.field, &checked, &unchecked, Look::Normal, false);
    Section& check = ctx.AddControl("checklistbox", "checklistbox");
    NineKeys(check, kListsPicture, ctx.listFrame, s.listClient);
    ItemKeys(ctx, check, items, 19);
    NoCaptionKeys(ctx, check);
    ScrollBarNames(check, "");
    int top = (s.itemH - 13) / 2;
    check.Rect("itemcheckrect", {3, top, 16, top + 13});
    check.Rect("checkimagerect", checked);
    check.Rect("uncheckimagerect", unchecked);
}

// ---- Edits ----------------------------------------------------------------

struct EditLooks {
    std::vector<IRect> field;   // normal, focused, disabled
    std::vector<IRect> button;  // hot, pressed, disabled looks of its button
    IRect place;                // the button's place
};

// An edit field, optionally with a button at its right end.
EditLooks DrawEdit(SkinContext& ctx, int w, int h, Glyph glyph) {
    const Palette& p = ctx.palette;
    const SkinDesign& s = ctx.design;
    EditLooks out;
    int bs = h - 5;
    out.place = {w - 3 - bs, 2, w - 3, 2 + bs};
    out.field = DrawLooks(ctx.controls, w, h, p.client, 3, [&](Canvas& c, int k) {
        DrawField(c, BoxOf(w, h), s.fieldRadius, p, k == 1, k == 2);
        if (glyph != Glyph::None) {
            DrawSmallButton(c, out.place.ToBox(), glyph, k == 2 ? Look::Disabled : Look::Normal, p);
        }
    });
    if (glyph != Glyph::None) {
        const Look looks[3] = {Look::Hot, Look::Down, Look::Disabled};
        out.button = DrawLooks(ctx.controls, bs, bs, p.field, 3, [&](Canvas& c, int k) {
            DrawSmallButton(c, BoxOf(bs, bs), glyph, looks[k], p);
        });
    }
    return out;
}

void EditKeys(SkinContext& ctx, Section& o, const EditLooks& e, bool button) {
    const Palette& p = ctx.palette;
    o.Rect("activeskinrect", e.field[1]);
    o.Font("", "Arial", 14, "", p.fieldText);
    o.Colour("disabledfontcolor", p.fieldOffText);
    o.Colour("activefontcolor", p.fieldText);
    IRect none;
    o.Rect("buttonrect", button ? e.place : none);
    o.Rect("activebuttonrect", button ? e.button[0] : none);
    o.Rect("downbuttonrect", button ? e.button[1] : none);
    o.Rect("unenabledbuttonrect", button ? e.button[2] : none);
}

void Edits(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    int w = s.labelW;
    int h = s.labelH + 3;
    IRect text{4, 3, w - 4, h - 4};

    EditLooks plain = DrawEdit(ctx, w, h, Glyph::None);
    Section& edit = ctx.AddControl("edit", "edit");
    WidthKeys(edit, kControlsPicture, plain.field[0], 5, 6, text);
    EditKeys(ctx, edit, plain, false);

    EditLooks dots = DrawEdit(ctx, w, h, Glyph::Dots);
    int fixed = w - dots.place.l + 3;
    Section& buttonEdit = ctx.AddControl("buttonedit", "edit");
    WidthKeys(buttonEdit, kControlsPicture, dots.field[0], 5, fixed,
              {4, 3, dots.place.l - 2, h - 4});
    EditKeys(ctx, buttonEdit, dots, true);

    // The combo box: the edit with a drop-down button; its text shows the
    // selected item's look when focused.
    EditLooks drop = DrawEdit(ctx, w, h, Glyph::ArrowDown);
    int iw = 40;
    int ih = h - 6;
    auto item = DrawLooks(ctx.controls, iw, ih, p.field, 2, [&](Canvas& c, int k) {
        if (k == 1) {
            DrawBar(c, BoxOf(iw, ih), 2, p);
        }
    });
    Section& combo = ctx.AddControl("combobox", "combobox");
    WidthKeys(combo, kControlsPicture, drop.field[0], 5, fixed, {3, 3, drop.place.l - 1, h - 3});
    combo.Rect("itemrect", item[0]);
    combo.Rect("focusitemrect", item[1]);
    combo.Int("itemleftoffset", 3);
    combo.Int("itemrightoffset", 3);
    combo.Rect("itemtextrect", {2, 0, iw - 2, ih});
    combo.Font("", "Arial", 14, "", p.fieldText);
    combo.Colour("focusfontcolor", p.selectText);
    combo.String("listboxname", "combolistbox");
    combo.Rect("buttonrect", drop.place);
    combo.Rect("activebuttonrect", drop.button[0]);
    combo.Rect("downbuttonrect", drop.button[1]);
    combo.Rect("unenabledbuttonrect", drop.button[2]);

    // The spin edit: two half-height buttons stacked at the right end.
    int sh = h + 2;
    int bw = sh - 8;
    int half = (sh - 5) / 2;
    IRect up{w - 3 - bw, 2, w - 3, 2 + half};
    IRect dn{w - 3 - bw, sh - 3 - half, w - 3, sh - 3};
    auto spinField = DrawLooks(ctx.controls, w, sh, p.client, 2, [&](Canvas& c, int k) {
        DrawField(c, BoxOf(w, sh), s.fieldRadius, p, k == 1);
        DrawSmallButton(c, up.ToBox(), Glyph::ArrowUp, Look::Normal, p);
        DrawSmallButton(c, dn.ToBox(), Glyph::ArrowDown, Look::Normal, p);
    });
    auto upLooks = DrawLooks(ctx.controls, bw, half, p.field, 2, [&](Canvas& c, int k) {
        DrawSmallButton(c, BoxOf(bw, half), Glyph::ArrowUp, k == 0 ? Look::Hot : Look::Down, p);
    });
    auto dnLooks = DrawLooks(ctx.controls, bw, half, p.field, 2, [&](Canvas& c, int k) {
        DrawSmallButton(c, BoxOf(bw, half), Glyph::ArrowDown, k == 0 ? Look::Hot : Look::Down, p);
    });
    Section& spin = ctx.AddControl("spinedit", "spinedit");
    WidthKeys(spin, kControlsPicture, spinField[0], 5, w - up.l + 3, {4, 3, up.l - 2, sh - 4});
    spin.Rect("activeskinrect", spinField[1]);
    spin.Font("", "Arial", 14, "", p.fieldText);
    spin.Colour("activefontcolor", p.fieldText);
    spin.Colour("disabledfontcolor", p.fieldOffText);
    spin.Rect("upbuttonrect", up);
    spin.Rect("activeupbuttonrect", upLooks[0]);
    spin.Rect("downupbuttonrect", upLooks[1]);
    spin.Rect("downbuttonrect", dn);
    spin.Rect("activedownbuttonrect", dnLooks[0]);
    spin.Rect("downdownbuttonrect", dnLooks[1]);
}

// Framed views that show text on the field colour.
void Views(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    int n = 40;
    auto frame = DrawLooks(ctx.lists, n, n, p.client, 2,
                           [&](Canvas& c, int k) { DrawField(c, BoxOf(n, n), 2, p, k == 1); });
    IRect c{2, 2, n - 3, n - 3};
    Section& memo = ctx.AddControl("memo", "memo");
    NineKeys(memo, kListsPicture, frame[0], c);
    memo.Rect("activeskinrect", frame[1]);
    memo.Font("", "Arial", 14, "", p.fieldText);
    memo.Colour("disabledfontcolor", p.fieldOffText);
    memo.Colour("activefontcolor", p.fieldText);
    for (const char* key :
         {"buttonrect", "activebuttonrect", "downbuttonrect", "unenabledbuttonrect"}) {
        memo.Rect(key, {});
    }
    memo.Colour("bgcolor", p.field);
    memo.Colour("activebgcolor", Lighter(p.field, 0.4));

    for (const char* name : {"richedit", "treeview", "listview"}) {
        Section& o = ctx.AddControl(name, name);
        o.Int("pictureindex", kListsPicture);
        o.Int("maskpictureindex", -1);
        o.Rect("skinrect", frame[0]);
        o.Font("", "Arial", 14, "", p.fieldText);
        o.Colour("bgcolor", p.field);
    }

    // The grid: header cells like header buttons, selected cells like list
    // items.
    int cw = 40;
    int ch = ctx.design.itemH;
    auto cells = DrawLooks(ctx.lists, cw, ch, p.field, 3, [&](Canvas& c, int k) {
        if (k == 0) {
            c.Fill(Rect(BoxOf(cw, ch)), VGradient({{0, p.plateTop}, {ch - 1.0, p.plateBottom}}));
            c.FillPixels(0, ch - 1, cw, ch, Mix(p.fieldEdge, p.field, 0.5));
            c.FillPixels(cw - 1, 0, cw, ch, Mix(p.fieldEdge, p.field, 0.6));
        } else {
            DrawBar(c, BoxOf(cw, ch).Inset(1, 1), 2, p);
            if (k == 2) {
                c.Fill(RoundRing(BoxOf(cw, ch).Inset(2, 2), 1, 1), Lighter(p.barTop, 0.6), 0.7);
            }
        }
    });
    Section& grid = ctx.AddControl("grid", "grid");
    grid.Int("pictureindex", kListsPicture);
    grid.Int("maskpictureindex", -1);
    grid.Rect("skinrect", frame[0]);
    grid.Rect("fixedcellrect", cells[0]);
    grid.Rect("selectcellrect", cells[1]);
    grid.Rect("focuscellrect", cells[2]);
    grid.Int("fixedcellleftoffset", 3);
    grid.Int("fixedcellrightoffset", 3);
    grid.Rect("fixedcelltextrect", {3, 0, cw - 3, ch});
    grid.Int("cellleftoffset", 3);
    grid.Int("cellrightoffset", 3);
    grid.Rect("celltextrect", {3, 0, cw - 3, ch});
    grid.Colour("linescolor", Mix(p.field, p.fieldTop, 0.8));
    grid.Colour("bgcolor", p.field);
    grid.Font("", "Arial", 14, "", p.fieldText);
    grid.Colour("selectfontcolor", p.selectText);
    grid.Colour("focusfontcolor", p.selectText);
    grid.Font("fixed", "Arial", 14, "fsbold", p.buttonText);
}

// ---- Spin buttons ---------------------------------------------------------

void UpDowns(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    int t = ctx.design.scrollW - 1;
    int half = t - 4;
    for (bool horizontal : {false, true}) {
        int w = horizontal ? 2 * half : t;
        int h = horizontal ? t : 2 * half;
        IRect first = horizontal ? IRect{0, 0, half, t} : IRect{0, 0, t, half};
        IRect second = horizontal ? IRect{half, 0, 2 * half, t} : IRect{0, half, t, 2 * half};
        Glyph g1 = horizontal ? Glyph::ArrowLeft : Glyph::ArrowUp;
        Glyph g2 = horizontal ? Glyph::ArrowRight : Glyph::ArrowDown;
        auto whole = DrawLooks(ctx.scroll, w, h, p.client, 1, [&](Canvas& c, int) {
            DrawSmallButton(c, first.ToBox(), g1, Look::Normal, p);
            DrawSmallButton(c, second.ToBox(), g2, Look::Normal, p);
        });
        auto looks1 =
            DrawLooks(ctx.scroll, first.W(), first.H(), p.client, 2, [&](Canvas& c, int k) {
                DrawSmallButton(c, BoxOf(first.W(), first.H()), g1, k == 0 ? Look::Hot : Look::Down,
                                p);
            });
        auto looks2 =
            DrawLooks(ctx.scroll, second.W(), second.H(), p.client, 2, [&](Canvas& c, int k) {
                DrawSmallButton(c, BoxOf(second.W(), second.H()), g2,
                                k == 0 ? Look::Hot : Look::Down, p);
            });
        // "up" is the button that counts up: the lower one of a vertical
        // pair would count down, so the upper one is "up"; of a horizontal
        // pair the right one.
        IRect upPlace = horizontal ? second : first;
        IRect downPlace = horizontal ? first : second;
        const std::vector<IRect>& upLooks = horizontal ? looks2 : looks1;
        const std::vector<IRect>& downLooks = horizontal ? looks1 : looks2;
        Section& o = ctx.AddControl(horizontal ? "hupdown" : "updown", "updown");
        CustomKeys(o, kScrollPicture, whole[0], {}, {}, {}, {}, {0, 0, w, h});
        o.Rect("upbuttonrect", upPlace);
        o.Rect("activeupbuttonrect", upLooks[0]);
        o.Rect("downupbuttonrect", upLooks[1]);
        o.Rect("downbuttonrect", downPlace);
        o.Rect("activedownbuttonrect", downLooks[0]);
        o.Rect("downdownbuttonrect", downLooks[1]);
    }
}

// ---- Check boxes and radio buttons ----------------------------------------

void CheckRadios(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    int w = s.labelW + 10;
    int h = s.itemH;
    Color hover = Lighter(p.client, 0.12);
    auto strips = DrawLooks(ctx.controls, w, h, p.client, 2, [&](Canvas& c, int k) {
        if (k == 1) {
            c.Fill(RoundRect(BoxOf(w, h), 3), hover);
        }
    });
    int top = (h - 13) / 2;
    for (bool radio : {false, true}) {
        IRect on;
        IRect off;
        IRect hotOn;
        IRect hotOff;
        IRect offOn;
        IRect offOff;
        CheckImages(ctx, ctx.controls, p.client, &on, &off, Look::Normal, radio);
        CheckImages(ctx, ctx.controls, hover, &hotOn, &hotOff, Look::Hot, radio);
        CheckImages(ctx, ctx.controls, p.client, &offOn, &offOff, Look::Disabled, radio);
        Section& o = ctx.AddControl(radio ? "radiobox" : "checkbox", "checkradio");
        IRect text{19, 0, w - 2, h};
        WidthKeys(o, kControlsPicture, strips[0], 19, 3, text);
        o.Font("", "Arial", 14, "", p.clientText);
        o.Colour("activefontcolor", p.clientHotText);
        o.Colour("unenabledfontcolor", OffClientText(p));
        o.Colour("framefontcolor", p.clientText);
        o.Rect("activeskinrect", strips[1]);
        o.Rect("checkimagearea", {3, top, 16, top + 13});
        o.Rect("textarea", text);
        o.Rect("checkimagerect", on);
        o.Rect("uncheckimagerect", off);
        o.Rect("activecheckimagerect", hotOn);
        o.Rect("activeuncheckimagerect", hotOff);
        o.Rect("unenabledcheckimagerect", offOn);
        o.Rect("unenableduncheckimagerect", offOff);
        o.Flag("morphing", false);
        o.String("morphkind", "mkdefault");
    }
}

// ---- Panels ---------------------------------------------------------------

void PanelKeys(Section& o, IRect caption, Color text, const char* style, IRect check,
               IRect uncheck) {
    o.Int("bgpictureindex", -1);
    o.Rect("captionrect", caption);
    o.String("alignment", "taleftjustify");
    o.Font("", "Arial", 14, style, text);
    o.Rect("checkimagerect", check);
    o.Rect("uncheckimagerect", uncheck);
}

// A golden strip with rounded top corners across the top of `c`.
void CaptionStrip(Canvas& c, const Palette& p, int w, int h, bool roundBottom) {
    Box bar{0, 0, static_cast<double>(w), static_cast<double>(h)};
    double rb = roundBottom ? 4 : 0;
    c.Fill(RoundRect(bar, Radii{4, 4, rb, rb}), p.frameShade);
    Box in = bar.Inset(1);
    c.Fill(RoundRect(in, Radii{3, 3, rb ? 3.0 : 0.0, rb ? 3.0 : 0.0}),
           VGradient({{in.y0, p.captionTop},
                      {in.y0 + in.Height() * 0.5, p.captionMid},
                      {in.y1, p.captionBottom}}));
    c.Fill(Intersect(RoundRing(in, 3, 1), Rect({0, 0, bar.x1, in.y0 + 1})), kWhite, 0.7);
}

// A sunk etched line around a box: dark outside, light inside.
void Etch(Canvas& c, Box b, const Palette& p) {
    Color dark = Darker(p.client, 0.35);
    Color light = Lighter(p.client, 0.3);
    c.Fill(Subtract(Rect(b), Rect(b.Inset(1))), dark);
    c.Fill(Subtract(Rect(b.Inset(1)), Rect(b.Inset(2))), light);
}

void Panels(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    IRect none;
    int n = 40;

    auto raised = DrawLooks(ctx.controls, n, n, p.client, 1,
                            [&](Canvas& c, int) { DrawPanel(c, BoxOf(n, n), true, p.client, p); });
    Section& panel = ctx.AddControl("panel", "panel");
    NineKeys(panel, kControlsPicture, raised[0], {2, 2, n - 2, n - 2});
    PanelKeys(panel, none, p.clientText, "", none, none);

    // Group boxes: a caption strip over an etched frame.
    int w = 60;
    int h = 50;
    int ch = 19;
    auto group = DrawLooks(ctx.controls, w, h, p.client, 1, [&](Canvas& c, int) {
        Etch(c, {0, ch - 2.0, static_cast<double>(w), static_cast<double>(h)}, p);
        CaptionStrip(c, p, w, ch, false);
    });
    IRect body{3, ch + 2, w - 3, h - 3};
    Section& groupBox = ctx.AddControl("groupbox", "panel");
    NineKeys(groupBox, kControlsPicture, group[0], body, 5);
    PanelKeys(groupBox, {6, 0, w - 6, ch}, p.buttonText, "fsbold", none, none);

    Canvas stripBack = ctx.controls.Pixels().Crop(group[0].l, group[0].t, group[0].r, group[0].b);
    Canvas checkBack = Backdrop(stripBack, w / 2, (ch - 13) / 2, 13, 13);
    auto checks = DrawLooks(ctx.controls, 13, 13, Color{}, 2, [&](Canvas& c, int k) {
        c.Blit(checkBack, 0, 0);
        DrawCheckBox(c, BoxOf(13, 13), k == 0, Look::Normal, p);
    });
    Section& checkGroup = ctx.AddControl("checkgroupbox", "panel");
    NineKeys(checkGroup, kControlsPicture, group[0], body, 5);
    PanelKeys(checkGroup, {22, 0, w - 6, ch}, p.buttonText, "fsbold", checks[0], checks[1]);

    // A raised panel with a caption strip.
    auto captioned = DrawLooks(ctx.controls, w, h, p.client, 1, [&](Canvas& c, int) {
        DrawPanel(c, BoxOf(w, h), true, p.client, p);
        CaptionStrip(c, p, w, ch, false);
    });
    Section& captionPanel = ctx.AddControl("captionpanel", "panel");
    NineKeys(captionPanel, kControlsPicture, captioned[0], {2, ch, w - 2, h - 2}, 4);
    PanelKeys(captionPanel, {6, 0, w - 6, ch}, p.buttonText, "fsbold", none, none);

    // An information panel (the field colour, dark text) and a hint panel
    // (the menus' colours, light text).
    auto info = DrawLooks(ctx.controls, n, n, p.client, 1, [&](Canvas& c, int) {
        DrawField(c, BoxOf(n, n), ctx.design.fieldRadius, p);
    });
    Section& infoPanel = ctx.AddControl("infopanel", "panel");
    NineKeys(infoPanel, kControlsPicture, info[0], {2, 2, n - 3, n - 3});
    PanelKeys(infoPanel, none, p.fieldText, "", none, none);

    auto hint = DrawLooks(ctx.controls, n, n, p.client, 1, [&](Canvas& c, int) {
        c.Fill(RoundRect(BoxOf(n, n), 3), p.menuEdge);
        c.Fill(RoundRect(BoxOf(n, n).Inset(1), 2), p.menuLight);
        c.Fill(Rect(BoxOf(n, n).Inset(2)), p.menu);
    });
    Section& hintPanel = ctx.AddControl("hintpanel", "panel");
    NineKeys(hintPanel, kControlsPicture, hint[0], {2, 2, n - 2, n - 2});
    PanelKeys(hintPanel, none, p.menuText, "", none, none);

    // Status bar and its panels.
    Color status = StatusColour(p);
    int sh = ctx.design.labelH + 4;
    auto bar = DrawLooks(ctx.controls, n, sh, status, 1, [&](Canvas& c, int) {
        c.FillPixels(0, 0, n, 1, Darker(p.client, 0.35));
        c.FillPixels(0, 1, n, 2, Lighter(status, 0.25));
    });
    Section& statusBar = ctx.AddControl("statusbar", "panel");
    WidthKeys(statusBar, kControlsPicture, bar[0], 4, 4, {2, 2, n - 2, sh});
    PanelKeys(statusBar, none, p.clientText, "", none, none);

    int ph = ctx.design.labelH;
    auto statusPanel = DrawLooks(ctx.controls, 30, ph, status, 1, [&](Canvas& c, int) {
        DrawPanel(c, BoxOf(30, ph), false, status, p);
    });
    Section& sp = ctx.AddControl("statuspanel", "panel");
    NineKeys(sp, kControlsPicture, statusPanel[0], {1, 1, 29, ph - 1}, 2);
    PanelKeys(sp, none, p.clientText, "", none, none);

    // Tool bars, lying and standing.
    int th = ctx.design.buttonH + 3;
    auto tool = DrawLooks(ctx.controls, n, th, p.client, 1, [&](Canvas& c, int) {
        c.Fill(Rect(BoxOf(n, th)), VGradient({{0, Lighter(p.client, 0.22)}, {th - 1.0, p.client}}));
        c.FillPixels(0, 0, n, 1, Lighter(p.client, 0.45));
        c.FillPixels(0, th - 1, n, th, Darker(p.client, 0.3));
    });
    Section& toolPanel = ctx.AddControl("toolpanel", "panel");
    WidthKeys(toolPanel, kControlsPicture, tool[0], 4, 4, {2, 1, n - 2, th - 1});
    PanelKeys(toolPanel, none, p.clientText, "", none, none);

    Canvas standing =
        Transposed(ctx.controls.Pixels().Crop(tool[0].l, tool[0].t, tool[0].r, tool[0].b));
    IRect standingAt = PutNext(ctx.controls, standing);
    Section& vtool = ctx.AddControl("vtoolpanel", "panel");
    HeightKeys(vtool, kControlsPicture, standingAt, 4, 4, {1, 2, th - 1, n - 2});
    PanelKeys(vtool, none, p.clientText, "", none, none);
}

// A panel with a caption strip that rolls up to the strip, or sideways to a
// standing strip.
void ExPanel(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    int w = 60;
    int h = 60;
    int ch = 21;
    int bs = 13;
    auto whole = DrawLooks(ctx.controls, w, h, p.client, 1, [&](Canvas& c, int) {
        DrawPanel(c, BoxOf(w, h), true, p.client, p);
        CaptionStrip(c, p, w, ch, false);
    });
    auto rolledH = DrawLooks(ctx.controls, w, ch, p.client, 1,
                             [&](Canvas& c, int) { CaptionStrip(c, p, w, ch, true); });
    Canvas lying =
        ctx.controls.Pixels().Crop(rolledH[0].l, rolledH[0].t, rolledH[0].r, rolledH[0].b);
    // The standing strip: the lying one stretched along and turned.
    Canvas longStrip(h, ch, p.client);
    CaptionStrip(longStrip, p, h, ch, true);
    IRect rolledV = PutNext(ctx.controls, Transposed(longStrip));

    Canvas back = Backdrop(lying, w / 2, (ch - bs) / 2, bs, bs);
    Canvas backAcross = Transposed(back);
    auto buttonLooks = [&](Glyph g, const Canvas& under) {
        return DrawLooks(ctx.controls, bs, bs, Color{}, 3, [&](Canvas& c, int k) {
            c.Blit(under, 0, 0);
            DrawCaptionButton(c, BoxOf(bs, bs), g,
                              k == 0 ? Look::Normal : (k == 1 ? Look::Hot : Look::Down), p);
        });
    };
    auto close = buttonLooks(Glyph::Close, back);
    auto hroll = buttonLooks(Glyph::RollUp, back);
    auto hrestore = buttonLooks(Glyph::RollDown, back);
    auto vroll = buttonLooks(Glyph::ArrowLeft, back);
    auto vrestore = buttonLooks(Glyph::ArrowRight, backAcross);

    Section& o = ctx.AddControl("expanel", "expanel");
    NineKeys(o, kControlsPicture, whole[0], {2, ch, w - 2, h - 2}, 4);
    o.Rect("rollhskinrect", rolledH[0]);
    o.Rect("rollvskinrect", rolledV);
    o.Int("rollleftoffset", 6);
    o.Int("rollrightoffset", 6);
    o.Int("rolltopoffset", 6);
    o.Int("rollbottomoffset", 6);
    o.Rect("rollvcaptionrect", {0, 6, ch, h - 2 * bs - 8});
    o.Rect("rollhcaptionrect", {6, 0, w - 2 * bs - 8, ch});
    const char* parts[5] = {"closebutton", "hrollbutton", "hrestorebutton", "vrollbutton",
                            "vrestorebutton"};
    const std::vector<IRect>* looks[5] = {&close, &hroll, &hrestore, &vroll, &vrestore};
    for (int i = 0; i < 5; ++i) {
        std::string part = parts[i];
        if (i == 0) {
            o.Rect("closebuttonrect", (*looks[i])[0]);
            o.Rect("closebuttonactiverect", (*looks[i])[1]);
            o.Rect("closebuttondownrect", (*looks[i])[2]);
        } else {
            o.Rect(part + "rect", (*looks[i])[0]);
            o.Rect(part + "activerect", (*looks[i])[1]);
            o.Rect(part + "downrect", (*looks[i])[2]);
        }
    }
    o.Rect("captionrect", {6, 0, w - 2 * bs - 8, ch});
    o.Font("", "Arial", 14, "fsbold", p.buttonText);
}

void Boxes(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    int n = 40;
    auto sunk = DrawLooks(ctx.controls, n, n, p.client, 1,
                          [&](Canvas& c, int) { DrawPanel(c, BoxOf(n, n), false, p.client, p); });
    Section& scrollBox = ctx.AddControl("scrollbox", "scrollbox");
    NineKeys(scrollBox, kControlsPicture, sunk[0], {1, 1, n - 1, n - 1});
    scrollBox.Int("bgpictureindex", -1);

    // A control bar: its background, and the look of one band with a grip.
    auto back = DrawLooks(ctx.controls, n, n, p.client, 1, [&](Canvas& c, int) {
        DrawPanel(c, BoxOf(n, n), true, Darker(p.client, 0.06), p);
    });
    int bw = 60;
    int bh = ctx.design.buttonH + 1;
    auto band = DrawLooks(ctx.controls, bw, bh, Darker(p.client, 0.06), 1, [&](Canvas& c, int) {
        c.Fill(RoundRect(BoxOf(bw, bh), 3), Darker(p.client, 0.35));
        c.Fill(RoundRect(BoxOf(bw, bh).Inset(1), 2),
               VGradient({{1, Lighter(p.client, 0.25)}, {bh - 1.0, p.client}}));
        for (int i = 0; i < 4; ++i) {
            double y = 5 + i * ((bh - 10) / 3.0);
            c.Fill(Circle({4.5, y}, 1), Lighter(p.client, 0.55));
            c.Fill(Circle({5.5, y + 1}, 1), Darker(p.client, 0.4), 0.7);
        }
    });
    Section& controlBar = ctx.AddControl("controlbar", "controlbar");
    NineKeys(controlBar, kControlsPicture, back[0], {1, 1, n - 1, n - 1});
    controlBar.Rect("itemrect", band[0]);
    controlBar.Int("bgpictureindex", -1);

    // Splitters: a ridge along their length.
    int t = 6;
    auto lying = DrawLooks(ctx.controls, n, t, p.client, 1, [&](Canvas& c, int) {
        c.FillPixels(0, 2, n, 3, Lighter(p.client, 0.4));
        c.FillPixels(0, 3, n, 4, Darker(p.client, 0.35));
    });
    Section& splitter = ctx.AddControl("splitter", "splitter");
    WidthKeys(splitter, kControlsPicture, lying[0], 2, 2, {0, 0, n, t});
    Canvas standing =
        Transposed(ctx.controls.Pixels().Crop(lying[0].l, lying[0].t, lying[0].r, lying[0].b));
    IRect standingAt = PutNext(ctx.controls, standing);
    Section& vsplitter = ctx.AddControl("vsplitter", "splitter");
    HeightKeys(vsplitter, kControlsPicture, standingAt, 2, 2, {0, 0, t, n});

    Section& bevel = ctx.AddControl("bevel", "bevel");
    NoPictureKeys(bevel);
    bevel.Colour("lightcolor", Lighter(p.client, 0.4));
    bevel.Colour("darkcolor", Darker(p.client, 0.35));
}

// ---- Track bars and sliders -------------------------------------------------

void TrackBars(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    int len = 80;
    int t = 22;
    int kw = 11;
    int kh = 19;
    // The groove along the middle, the knob across it.
    Canvas lying(len, t, p.client);
    DrawField(lying, {3, t / 2.0 - 3, len - 3.0, t / 2.0 + 4}, 2, p);
    Canvas knobBack = lying.Crop(len / 2, (t - kh) / 2, len / 2 + kw, (t - kh) / 2 + kh);
    auto knobs = DrawLooks(ctx.controls, kw, kh, Color{}, 2, [&](Canvas& c, int k) {
        c.Blit(knobBack, 0, 0);
        DrawThumb(c, BoxOf(kw, kh), true, k == 0 ? Look::Normal : Look::Hot, p);
        DrawGlyph(c, BoxOf(kw, kh).Inset(2, 4), Glyph::Grip, Darker(p.buttonBottom, 0.45));
    });
    IRect lyingAt = PutNext(ctx.controls, lying);
    Canvas standing = Transposed(lying);
    Canvas vKnobBack = standing.Crop((t - kh) / 2, len / 2, (t - kh) / 2 + kh, len / 2 + kw);
    auto vKnobs = DrawLooks(ctx.controls, kh, kw, Color{}, 2, [&](Canvas& c, int k) {
        c.Blit(vKnobBack, 0, 0);
        DrawThumb(c, BoxOf(kh, kw), false, k == 0 ? Look::Normal : Look::Hot, p);
        DrawGlyph(c, BoxOf(kh, kw).Inset(4, 2), Glyph::GripH, Darker(p.buttonBottom, 0.45));
    });
    IRect standingAt = PutNext(ctx.controls, standing);

    for (bool vertical : {false, true}) {
        Section& o = ctx.AddControl(vertical ? "vtrackbar" : "trackbar", "trackbar");
        if (vertical) {
            HeightKeys(o, kControlsPicture, standingAt, 8, 8, {0, 6, t, len - 6});
            o.Rect("trackarea", {0, 6, t, len - 6});
            o.Rect("buttonrect", vKnobs[0]);
            o.Rect("activebuttonrect", vKnobs[1]);
        } else {
            WidthKeys(o, kControlsPicture, lyingAt, 8, 8, {6, 0, len - 6, t});
            o.Rect("trackarea", {6, 0, len - 6, t});
            o.Rect("buttonrect", knobs[0]);
            o.Rect("activebuttonrect", knobs[1]);
        }
        o.Flag("vertical", vertical);
        o.Flag("buttontransparent", false);
        o.Colour("buttontransparentcolor", Color{});
    }

    // The slider: a plain groove and round knobs, drawn on its background
    // colour.
    int rl = 40;
    int rt = 7;
    auto ruler = DrawLooks(ctx.controls, rl, rt, p.client, 1,
                           [&](Canvas& c, int) { DrawField(c, BoxOf(rl, rt), 2, p); });
    Canvas vRuler =
        Transposed(ctx.controls.Pixels().Crop(ruler[0].l, ruler[0].t, ruler[0].r, ruler[0].b));
    IRect vRulerAt = PutNext(ctx.controls, vRuler);
    int kn = 15;
    auto knob = DrawLooks(ctx.controls, kn, kn, p.client, 1, [&](Canvas& c, int) {
        double r = kn / 2.0;
        c.Fill(Circle({r, r}, r), p.buttonEdge);
        c.Fill(Circle({r, r}, r - 1),
               Radial({r - 2, r - 3}, {{0, Lighter(p.buttonTop, 0.3)}, {r * 1.5, p.buttonBottom}}));
    });
    Section& slider = ctx.AddControl("slider", "slider");
    slider.Int("pictureindex", kControlsPicture);
    slider.Int("maskpictureindex", -1);
    slider.Rect("skinrect", ruler[0]);
    slider.Colour("bgcolor", p.client);
    slider.Rect("hrulerrect", ruler[0]);
    slider.Rect("hthumbrect", knob[0]);
    slider.Rect("vrulerrect", vRulerAt);
    slider.Rect("vthumbrect", knob[0]);
    slider.Int("edgesize", 3);
    slider.Colour("pointscolor", Mix(p.clientText, p.client, 0.35));
}

// ---- Tabs -----------------------------------------------------------------

void Tabs(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    int tw = 40;
    int th = ctx.design.itemH + 2;
    int n = 60;
    Color page = p.client;
    // A tab: rounded top corners; the selected one has the page's colour and
    // no line at its foot, so it joins the page.
    auto drawTab = [&](Canvas& c, int k) {
        Box box = BoxOf(tw, th);
        bool selected = k == 1 || k == 2;
        Box shape = selected ? box : Box{box.x0, box.y0 + 2, box.x1, box.y1};
        Color top = k == 3 ? Lighter(p.client, 0.35)
                           : (selected ? Lighter(page, 0.3) : Lighter(p.client, 0.18));
        Color bottom = selected ? page : Darker(p.client, 0.08);
        c.Fill(RoundRect(shape, Radii{4, 4, 0, 0}), Darker(p.client, 0.45));
        Box in{shape.x0 + 1, shape.y0 + 1, shape.x1 - 1, shape.y1 - (selected ? 0 : 1)};
        c.Fill(RoundRect(in, Radii{3, 3, 0, 0}), VGradient({{in.y0, top}, {in.y1, bottom}}));
        c.Fill(Intersect(RoundRing(in, 3, 1), Rect({0, 0, box.x1, in.y0 + 1})), kWhite, 0.5);
        if (k == 2) {
            c.Fill(Rect({in.x0 + 2, in.y0 + 1, in.x1 - 2, in.y0 + 3}), p.barBottom, 0.85);
        }
    };
    auto tabs = DrawLooks(ctx.controls, tw, th, Darker(p.client, 0.1), 4, drawTab);
    auto frame = DrawLooks(ctx.controls, n, n, p.client, 1,
                           [&](Canvas& c, int) { DrawPanel(c, BoxOf(n, n), true, page, p); });
    auto strip = DrawLooks(ctx.controls, 20, th, Darker(p.client, 0.1), 1, [&](Canvas& c, int) {
        c.FillPixels(0, th - 1, 20, th, Lighter(page, 0.45));
    });
    // Tabs at the foot of the page: the same looks upside down.
    std::vector<IRect> bottomTabs;
    for (const IRect& r : tabs) {
        Canvas flipped = FlipVertical(ctx.controls.Pixels().Crop(r.l, r.t, r.r, r.b));
        bottomTabs.push_back(PutNext(ctx.controls, flipped));
    }
    Canvas flippedStrip =
        FlipVertical(ctx.controls.Pixels().Crop(strip[0].l, strip[0].t, strip[0].r, strip[0].b));
    IRect bottomStrip = PutNext(ctx.controls, flippedStrip);

    for (bool bottom : {false, true}) {
        const std::vector<IRect>& looks = bottom ? bottomTabs : tabs;
        Section& o = ctx.AddControl(bottom ? "bottomtab" : "tab", "tab");
        o.Int("pictureindex", kControlsPicture);
        o.Int("maskpictureindex", -1);
        o.Rect("skinrect", frame[0]);
        o.Rect("tabrect", looks[0]);
        o.Rect("activetabrect", looks[1]);
        o.Rect("focustabrect", looks[2]);
        o.Rect("mouseintabrect", looks[3]);
        o.Rect("clientrect", {2, 2, n - 2, n - 2});
        o.Int("bgpictureindex", -1);
        o.Point("lefttoppoint", {5, 5});
        o.Point("righttoppoint", {n - 5, 5});
        o.Point("leftbottompoint", {5, n - 5});
        o.Point("rightbottompoint", {n - 5, n - 5});
        o.Int("tableftoffset", 5);
        o.Int("tabrightoffset", 5);
        o.Rect("tabsbgrect", bottom ? bottomStrip : strip[0]);
        o.Font("", "Arial", 14, "", p.clientText);
        o.Colour("activefontcolor", p.clientText);
        o.Colour("focusfontcolor", p.clientHotText);
        o.Colour("mouseinfontcolor", p.clientHotText);
        o.String("updown", "hupdown");
    }
}

void MainMenuBar(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    IRect bar = ctx.menuBar;
    Section& o = ctx.AddControl("mainmenubar", "mainmenubar");
    o.Int("pictureindex", kFramePicture);
    o.Int("maskpictureindex", -1);
    o.Rect("skinrect", bar);
    o.Rect("itemsrect", {2, 0, bar.W() - 2, bar.H()});
    o.String("menubaritem", "MAINMENUBARITEM");
    o.String("closebutton", "mmbclosebutton");
    o.String("minbutton", "mmbminbutton");
    o.String("maxbutton", "mmbmaxbutton");
    o.String("sysmenubutton", "mmbsysmenubutton");
    o.Colour("trackmarkcolor", p.buttonOffText);
    o.Colour("trackmarkactivecolor", p.buttonText);
}

}  // namespace

void BuildMoreControls(SkinContext& ctx, const ItemLooks& items) {
    SmallButton(ctx);
    ResizeButton(ctx);
    ToolButtons(ctx);
    MenuButton(ctx);
    RoundButton(ctx);
    DropDownButton(ctx);
    HeaderButton(ctx);
    VerticalGauge(ctx);
    ThinGauge(ctx);
    MoreLabels(ctx);
    CaptionListBox(ctx, items);
    MoreLists(ctx, items);
    Edits(ctx);
    Views(ctx);
    UpDowns(ctx);
    CheckRadios(ctx);
    Panels(ctx);
    ExPanel(ctx);
    Boxes(ctx);
    TrackBars(ctx);
    Tabs(ctx);
    MainMenuBar(ctx);
}

}  // namespace skingen
