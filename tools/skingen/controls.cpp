// The control objects with pictures 3 (controls.bmp), 4 (lists.bmp) and 5
// (scroll.bmp).
//
// A control's look is cut into fixed ends and a middle that the program
// repeats to the control's size, so every middle here changes only across
// the direction in which it is repeated.

#include <string>

#include "controls.h"

namespace skingen {

namespace {

void Put(Sheet& sheet, const Canvas& piece, IRect at) {
    sheet.Pixels().Blit(piece, at.l, at.t);
}

}  // namespace

IRect PutNext(Sheet& sheet, const Canvas& piece) {
    IRect at = sheet.Next(piece.Width(), piece.Height());
    Put(sheet, piece, at);
    return at;
}

std::vector<IRect> DrawLooks(Sheet& sheet, int w, int h, Color background, int count,
                             const std::function<void(Canvas&, int)>& draw) {
    std::vector<IRect> out;
    for (int i = 0; i < count; ++i) {
        Canvas piece(w, h, background);
        draw(piece, i);
        out.push_back(PutNext(sheet, piece));
    }
    return out;
}

void CustomKeys(Section& o, int picture, IRect skin, IPoint lt, IPoint rt, IPoint lb, IPoint rb,
                IRect client) {
    o.Int("pictureindex", picture);
    o.Int("maskpictureindex", -1);
    o.Rect("skinrect", skin);
    o.Point("lefttoppoint", lt);
    o.Point("righttoppoint", rt);
    o.Point("leftbottompoint", lb);
    o.Point("rightbottompoint", rb);
    o.Rect("clientrect", client);
}

void WidthKeys(Section& o, int picture, IRect skin, int left, int right, IRect client) {
    int y = skin.H() / 2;
    CustomKeys(o, picture, skin, {left, y}, {skin.W() - right, y}, {}, {}, client);
}

void HeightKeys(Section& o, int picture, IRect skin, int top, int bottom, IRect client) {
    int x = skin.W() / 2;
    CustomKeys(o, picture, skin, {x, top}, {}, {x, skin.H() - bottom}, {}, client);
}

void NineKeys(Section& o, int picture, IRect skin, IRect c, int corner) {
    CustomKeys(o, picture, skin, {c.l + corner, c.t + corner}, {c.r - corner, c.t + corner},
               {c.l + corner, c.b - corner}, {c.r - corner, c.b - corner}, c);
}

void NoPictureKeys(Section& o) {
    o.Int("pictureindex", -1);
    o.Int("maskpictureindex", -1);
    o.Rect("skinrect", {});
}

namespace {

// ---- Push button ----------------------------------------------------------

struct ButtonLooks {
    IRect look[4];  // normal, active, pressed, disabled
};

ButtonLooks DrawButtons(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Look looks[4] = {Look::Normal, Look::Hot, Look::Down, Look::Disabled};
    ButtonLooks out;
    for (int k = 0; k < 4; ++k) {
        Canvas piece(s.buttonW, s.buttonH, ctx.palette.client);
        DrawPushButton(piece, BoxOf(s.buttonW, s.buttonH), s.buttonRadius, looks[k], ctx.palette);
        // The looks stand side by side on the first row, two pixels apart.
        out.look[k] = ctx.controls.At(1 + k * (s.buttonW + 2), 1, s.buttonW, s.buttonH);
        Put(ctx.controls, piece, out.look[k]);
    }
    return out;
}

void ButtonObject(SkinContext& ctx, const ButtonLooks& b) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    Section& o = ctx.AddControl("button", "button");
    CustomKeys(o, kControlsPicture, b.look[0], s.buttonLT, s.buttonRT, {}, {}, s.buttonClient);
    o.Font("", "Arial", 14, "", p.buttonText);
    o.Colour("activefontcolor", p.buttonHotText);
    o.Colour("downfontcolor", p.buttonDownText);
    o.Colour("disabledfontcolor", p.buttonOffText);
    o.Rect("activeskinrect", b.look[1]);
    o.Rect("downskinrect", b.look[2]);
    o.Rect("disabledskinrect", b.look[3]);
    o.Flag("morphing", true);
    o.String("morphkind", "mkdefault");
}

// ---- Gauge ----------------------------------------------------------------

void GaugeObject(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    // Below the button looks: the full bar, then the frame.
    int row = 1 + s.buttonH + 6;
    int barH = s.progressArea.H();

    // The bar lies on the track's flat inside.
    Canvas bar(s.barW, barH, p.field);
    DrawBar(bar, BoxOf(s.barW, barH), 3, p);
    IRect barAt = ctx.controls.At(2, row, s.barW, barH);
    Put(ctx.controls, bar, barAt);

    Canvas frame(s.gaugeW, s.gaugeH, p.client);
    DrawField(frame, BoxOf(s.gaugeW, s.gaugeH), s.fieldRadius, p);
    IRect frameAt = ctx.controls.At(2 + s.barW + 5, row, s.gaugeW, s.gaugeH);
    Put(ctx.controls, frame, frameAt);

    Section& o = ctx.AddControl("gauge", "gauge");
    CustomKeys(o, kControlsPicture, frameAt, s.gaugeLT, s.gaugeRT, {}, {}, s.progressArea);
    o.Rect("progressarea", s.progressArea);
    o.Rect("progressrect", barAt);
    o.Int("beginoffset", s.barEnds);
    o.Int("endoffset", s.barEnds);
    o.Flag("vertical", false);
    o.Font("", "Arial", 14, "", p.fieldText);
    o.Flag("progresstransparent", false);
    o.Colour("progresstransparentcolor", Color{});
}

// ---- Labels ---------------------------------------------------------------

void LabelObject(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    Canvas piece(s.labelW, s.labelH, p.client);
    DrawField(piece, BoxOf(s.labelW, s.labelH), s.fieldRadius, p);
    IRect at = PutNext(ctx.controls, piece);

    Section& o = ctx.AddControl("label", "label");
    CustomKeys(o, kControlsPicture, at, s.labelLT, s.labelRT, {}, {}, s.labelClient);
    o.Font("", "Arial", 14, "", p.fieldText);
}

void StdLabelObject(SkinContext& ctx) {
    const Palette& p = ctx.palette;
    // Text straight on the window's background (the message box's text).
    Section& o = ctx.AddControl("stdlabel", "stdlabel");
    NoPictureKeys(o);
    o.Font("", "Arial", 14, "", p.clientText);
    o.Colour("activefontcolor", p.clientHotText);
}

// ---- List box -------------------------------------------------------------

void ListBoxObject(SkinContext& ctx, const ItemLooks& items) {
    const SkinDesign& s = ctx.design;
    Canvas frame(s.listW, s.listH, ctx.palette.client);
    DrawField(frame, BoxOf(s.listW, s.listH), 2, ctx.palette);
    IRect at = PutNext(ctx.lists, frame);
    ctx.listFrame = at;
    Section& o = ctx.AddControl("listbox", "listbox");
    NineKeys(o, kListsPicture, at, s.listClient);
    ItemKeys(ctx, o, items, 2);
    NoCaptionKeys(ctx, o);
    ScrollBarNames(o, "");
}

// ---- Scroll bars ----------------------------------------------------------

// The looks of one size of scroll bars.
struct ScrollLooks {
    int thickness = 0;
    int length = 0;
    IRect vertical;
    IRect horizontal;
    IRect both;
    // Hover and pressed looks of the four buttons: up, down, left, right.
    IRect hot[4];
    IRect down[4];
    IRect vThumb[3];  // normal, hover, pressed
    IRect hThumb[3];
    IRect vGlyph[3];
    IRect hGlyph[3];
};

Color TrackColour(const Palette& p) {
    return Mix(p.field, p.fieldTop, 0.55);
}

// A bar's look with its normal buttons: a groove along the middle, the
// buttons at both ends; `corner` adds the square where a vertical and a
// horizontal bar meet.
Canvas DrawScrollBar(const Palette& p, int t, int length, bool vertical, bool corner) {
    int w = vertical ? t : length + (corner ? t : 0);
    int h = vertical ? length : t;
    Color track = TrackColour(p);
    Canvas c(w, h, track);
    double mid = t / 2.0;
    double groove = t >= 14 ? 2 : 1.5;
    if (vertical) {
        c.FillPixels(0, 0, 1, h, Mix(track, p.fieldEdge, 0.18));
        c.Fill(Rect({mid - groove, 0, mid + groove, static_cast<double>(h)}), Darker(track, 0.1));
        c.Fill(Rect({mid - groove, 0, mid - groove + 1, static_cast<double>(h)}),
               Darker(track, 0.2));
        DrawSmallButton(c, BoxOf(t, t).Inset(1), Glyph::ArrowUp, Look::Normal, p);
        DrawSmallButton(c, BoxOf(t, t).Inset(1).Moved(0, length - t), Glyph::ArrowDown,
                        Look::Normal, p);
    } else {
        c.FillPixels(0, 0, w, 1, Mix(track, p.fieldEdge, 0.18));
        c.Fill(Rect({0, mid - groove, static_cast<double>(length), mid + groove}),
               Darker(track, 0.1));
        c.Fill(Rect({0, mid - groove, static_cast<double>(length), mid - groove + 1}),
               Darker(track, 0.2));
        DrawSmallButton(c, BoxOf(t, t).Inset(1), Glyph::ArrowLeft, Look::Normal, p);
        DrawSmallButton(c, BoxOf(t, t).Inset(1).Moved(length - t, 0), Glyph::ArrowRight,
                        Look::Normal, p);
    }
    return c;
}

ScrollLooks DrawScrollBars(SkinContext& ctx, int t, int len, int tl) {
    const Palette& p = ctx.palette;
    Sheet& sheet = ctx.scroll;
    ScrollLooks out;
    out.thickness = t;
    out.length = len;
    Canvas v = DrawScrollBar(p, t, len, true, false);
    Canvas hz = DrawScrollBar(p, t, len, false, false);
    out.vertical = PutNext(sheet, v);
    out.horizontal = PutNext(sheet, hz);
    out.both = PutNext(sheet, DrawScrollBar(p, t, len, false, true));

    const Glyph arrows[4] = {Glyph::ArrowUp, Glyph::ArrowDown, Glyph::ArrowLeft, Glyph::ArrowRight};
    for (int i = 0; i < 4; ++i) {
        std::vector<IRect> looks = DrawLooks(sheet, t, t, TrackColour(p), 2, [&](Canvas& c, int k) {
            Color line = Mix(TrackColour(p), p.fieldEdge, 0.18);
            if (i < 2) {
                c.FillPixels(0, 0, 1, t, line);
            } else {
                c.FillPixels(0, 0, t, 1, line);
            }
            DrawSmallButton(c, BoxOf(t, t).Inset(1), arrows[i], k == 0 ? Look::Hot : Look::Down, p);
        });
        out.hot[i] = looks[0];
        out.down[i] = looks[1];
    }

    // Thumbs lie across the groove, one pixel inside the bar's edges; the
    // grip is cut from a thumb's middle, so it sits on the thumb seamlessly.
    const Look states[3] = {Look::Normal, Look::Hot, Look::Down};
    int tw = t - 2;
    int gw = tw - 6;
    int gl = 7;
    Color grip = Darker(p.buttonBottom, 0.45);
    for (int k = 0; k < 3; ++k) {
        Canvas vt = v.Crop(1, t, 1 + tw, t + tl);
        DrawThumb(vt, BoxOf(tw, tl), true, states[k], p);
        Canvas vg = vt.Crop((tw - gw) / 2, (tl - gl) / 2, (tw - gw) / 2 + gw, (tl - gl) / 2 + gl);
        DrawGlyph(vg, BoxOf(gw, gl), Glyph::Grip, grip);
        out.vThumb[k] = PutNext(sheet, vt);
        out.vGlyph[k] = PutNext(sheet, vg);

        Canvas ht = hz.Crop(t, 1, t + tl, 1 + tw);
        DrawThumb(ht, BoxOf(tl, tw), false, states[k], p);
        Canvas hg = ht.Crop((tl - gl) / 2, (tw - gw) / 2, (tl - gl) / 2 + gl, (tw - gw) / 2 + gw);
        DrawGlyph(hg, BoxOf(gl, gw), Glyph::GripH, grip);
        out.hThumb[k] = PutNext(sheet, ht);
        out.hGlyph[k] = PutNext(sheet, hg);
    }
    return out;
}

void ScrollBarObject(SkinContext& ctx, const std::string& name, const ScrollLooks& l, bool vertical,
                     bool both) {
    int t = l.thickness;
    int len = l.length;
    Section& o = ctx.AddControl(name, "scrollbar");
    IRect start = {0, 0, t, t};
    // The end parts reach one pixel into the track, so that the buttons at
    // the far end lie beyond the point and move with the bar's size.
    if (vertical) {
        IRect end = {0, len - t, t, len};
        HeightKeys(o, kScrollPicture, l.vertical, t, t + 1, {0, t, t, len - t});
        o.Rect("trackarea", {0, t, t, len - t});
        // The end button (at the bottom) is "up", the start button "down".
        o.Rect("upbuttonrect", end);
        o.Rect("activeupbuttonrect", l.hot[1]);
        o.Rect("downupbuttonrect", l.down[1]);
        o.Rect("downbuttonrect", start);
        o.Rect("activedownbuttonrect", l.hot[0]);
        o.Rect("downdownbuttonrect", l.down[0]);
        o.Rect("thumbrect", l.vThumb[0]);
        o.Rect("activethumbrect", l.vThumb[1]);
        o.Rect("downthumbrect", l.vThumb[2]);
    } else {
        IRect end = {len - t, 0, len, t};
        IRect skin = both ? l.both : l.horizontal;
        WidthKeys(o, kScrollPicture, skin, t, skin.W() - (len - t - 1), {t, 0, len - t, t});
        o.Rect("trackarea", {t, 0, len - t, t});
        o.Rect("upbuttonrect", end);
        o.Rect("activeupbuttonrect", l.hot[3]);
        o.Rect("downupbuttonrect", l.down[3]);
        o.Rect("downbuttonrect", start);
        o.Rect("activedownbuttonrect", l.hot[2]);
        o.Rect("downdownbuttonrect", l.down[2]);
        o.Rect("thumbrect", l.hThumb[0]);
        o.Rect("activethumbrect", l.hThumb[1]);
        o.Rect("downthumbrect", l.hThumb[2]);
    }
    o.Int("thumboffset1", 4);
    o.Int("thumboffset2", 4);
    o.Flag("thumbtransparent", false);
    o.Colour("thumbtransparentcolor", Color{});
    const IRect* glyph = vertical ? l.vGlyph : l.hGlyph;
    o.Rect("glyphrect", glyph[0]);
    o.Rect("activeglyphrect", glyph[1]);
    o.Rect("downglyphrect", glyph[2]);
}

void ScrollBarObjects(SkinContext& ctx, const std::string& prefix, int t, int len, int tl) {
    ScrollLooks looks = DrawScrollBars(ctx, t, len, tl);
    ScrollBarObject(ctx, prefix + "vscrollbar", looks, true, false);
    ScrollBarObject(ctx, prefix + "hscrollbar", looks, false, false);
    ScrollBarObject(ctx, prefix + "bothhscrollbar", looks, false, true);
}

}  // namespace

// A list item: the field colour with a faint rule at its foot; selected, a
// glossy bar.
ItemLooks DrawItems(SkinContext& ctx, Sheet& sheet, int w, int h) {
    const Palette& p = ctx.palette;
    ItemLooks out;
    Canvas normal(w, h, p.field);
    normal.FillPixels(2, h - 1, w - 2, h, Mix(p.field, p.fieldTop, 0.45));
    out.normal = PutNext(sheet, normal);

    Canvas active(w, h, p.field);
    DrawBar(active, BoxOf(w, h).Inset(1, 1), 3, p);
    out.active = PutNext(sheet, active);

    Canvas focus(w, h, p.field);
    DrawBar(focus, BoxOf(w, h).Inset(1, 1), 3, p);
    focus.Fill(RoundRing(BoxOf(w, h).Inset(2, 2), 2, 1), Lighter(p.barTop, 0.6), 0.7);
    out.focus = PutNext(sheet, focus);
    return out;
}

void ItemKeys(SkinContext& ctx, Section& o, const ItemLooks& items, int textLeft) {
    const Palette& p = ctx.palette;
    int w = items.normal.W();
    int h = items.normal.H();
    o.Rect("itemrect", items.normal);
    o.Rect("activeitemrect", items.active);
    o.Rect("focusitemrect", items.focus);
    o.Int("itemleftoffset", 4);
    o.Int("itemrightoffset", 4);
    o.Rect("itemtextrect", {textLeft, 0, w - 2, h});
    o.Font("", "Arial", 14, "", p.fieldText);
    o.Colour("activefontcolor", p.selectText);
    o.Colour("focusfontcolor", p.selectText);
}

void NoCaptionKeys(SkinContext& ctx, Section& o) {
    o.Rect("captionrect", {});
    o.Font("caption", "Arial", 14, "fsbold", ctx.palette.buttonText);
    for (const char* key : {"upbuttonrect", "activeupbuttonrect", "downupbuttonrect",
                            "downbuttonrect", "activedownbuttonrect", "downdownbuttonrect",
                            "checkbuttonrect", "activecheckbuttonrect", "downcheckbuttonrect"}) {
        o.Rect(key, {});
    }
}

void ScrollBarNames(Section& o, const std::string& prefix) {
    o.String("vscrollbarname", prefix + "vscrollbar");
    o.String("hscrollbarname", prefix + "hscrollbar");
    o.String("bothhscrollbarname", prefix + "bothhscrollbar");
}

void BuildControlObjects(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    ButtonObject(ctx, DrawButtons(ctx));
    GaugeObject(ctx);
    LabelObject(ctx);
    StdLabelObject(ctx);

    ItemLooks items = DrawItems(ctx, ctx.lists, s.itemW, s.itemH);
    ListBoxObject(ctx, items);
    ScrollBarObjects(ctx, "", s.scrollW, s.scrollLength, s.thumbLength);
    // Thinner bars for compact lists.
    ScrollBarObjects(ctx, "small", s.scrollW - 4, s.scrollLength - 12, s.thumbLength - 6);

    BuildMoreControls(ctx, items);
}

}  // namespace skingen
