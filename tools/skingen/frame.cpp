// The frame objects (caption, caption buttons, menu item, menu bar) with
// pictures 0 (frame.bmp), 1 (popup.bmp) and 2 (menuitem.bmp), and the popup
// and hint windows.

#include <algorithm>
#include <string>

#include "context.h"

namespace skingen {

namespace {

const Color kWhite{255, 255, 255};

enum CaptionButtonRow {
    kClose,
    kMaximize,
    kRestore,
    kMinimize,
    kRollUp,
    kRollDown,
    kTray,
    kSysMenu
};
constexpr int kButtonRows = 8;
constexpr Look kStates[] = {Look::Normal, Look::Hot, Look::Down, Look::Inactive, Look::Disabled};
constexpr int kStateCount = 5;

struct CaptionButtonCells {
    IRect cell[kButtonRows][kStateCount];
};

// The looks of every caption button, one row per button, one column per
// state, each drawn over the caption at the height where buttons are placed.
CaptionButtonCells DrawCaptionButtons(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Glyph glyphs[kButtonRows] = {Glyph::Close,    Glyph::Maximize, Glyph::Restore,
                                       Glyph::Minimize, Glyph::RollUp,   Glyph::RollDown,
                                       Glyph::Tray,     Glyph::Menu};
    int w = s.captionButtonW;
    int h = s.captionButtonH;
    int midX = (s.leftTop.x + s.rightTop.x) / 2;
    // The system menu button is centred in the caption rectangle; the others
    // stand at its top.
    int sysTop = s.captionRect.t + s.captionRect.H() / 2 - h / 2;
    CaptionButtonCells cells;
    for (int row = 0; row < kButtonRows; ++row) {
        for (int col = 0; col < kStateCount; ++col) {
            IRect r =
                ctx.frame.At(s.buttonGrid.x + col * (w + 1), s.buttonGrid.y + row * (h + 1), w, h);
            cells.cell[row][col] = r;
            const Canvas& under = kStates[col] == Look::Inactive ? ctx.inactive : ctx.main;
            int top = row == kSysMenu ? sysTop : s.captionRect.t;
            Canvas piece = Backdrop(under, midX, top, w, h);
            DrawCaptionButton(piece, {0, 0, static_cast<double>(w), static_cast<double>(h)},
                              glyphs[row], kStates[col], ctx.palette);
            ctx.frame.Pixels().Blit(piece, r.l, r.t);
        }
    }
    return cells;
}

// The plate behind the caption text: a pill whose ends stay and whose middle
// is repeated to the text's width.
IRect DrawCaptionPlate(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    IRect r = ctx.frame.At(s.plateAt.x, s.plateAt.y, s.plateW, s.plateH);
    int midX = (s.leftTop.x + s.rightTop.x) / 2;
    Canvas piece = Backdrop(ctx.main, midX, s.captionObject.t, s.plateW, s.plateH);
    Box box{0, 0, static_cast<double>(s.plateW), static_cast<double>(s.plateH)};
    double radius = std::min(s.plateEnds - 1.0, s.plateH / 2.0 - 1);
    // A soft light rim below, the edge, then the face with a shade under its
    // top edge.
    piece.Fill(RoundRect(box.Inset(0.5, 0).Moved(0, 0.5), radius), kWhite, 0.45);
    Box body{box.x0 + 0.5, box.y0 + 0.5, box.x1 - 0.5, box.y1 - 1};
    piece.Fill(RoundRect(body, radius), p.plateEdge, 0.7);
    Box face = body.Inset(1);
    piece.Fill(RoundRect(face, radius - 1), VGradient({{face.y0, Darker(p.plateBottom, 0.06)},
                                                       {face.y0 + 2, p.plateTop},
                                                       {face.y1, p.plateBottom}}));
    ctx.frame.Pixels().Blit(piece, r.l, r.t);
    return r;
}

struct MenuBarLooks {
    IRect bar;
    IRect item[3];        // normal, hot, pressed
    IRect buttons[4][3];  // close, restore, minimize, system menu x normal, hot, pressed
};

// The strip of a main menu bar, its items and the buttons it shows for a
// maximized child window.
MenuBarLooks DrawMenuBar(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    MenuBarLooks looks;
    int w = s.buttonGrid.x - 4;
    int h = s.menuItemH;
    Canvas bar(w, h, Color{});
    Box all{0, 0, static_cast<double>(w), static_cast<double>(h)};
    bar.Fill(Rect(all), VGradient({{0, Lighter(p.captionMid, 0.55)},
                                   {h - 1.0, Lighter(p.captionBottom, 0.2)}}));
    bar.FillPixels(0, h - 1, w, h, p.frameShade);
    bar.FillPixels(0, 0, w, 1, Lighter(p.captionTop, 0.5));
    looks.bar = ctx.frame.At(1, 1, w, h);
    ctx.frame.Pixels().Blit(bar, looks.bar.l, looks.bar.t);
    for (int i = 0; i < 3; ++i) {
        Canvas item = bar;
        Box body = all.Inset(1, 1);
        body.y1 -= 1;
        if (i == 1) {
            item.Fill(RoundRect(body, 3), p.hotEdge);
            item.Fill(RoundRect(body.Inset(1), 2),
                      VGradient({{body.y0, p.hotTop}, {body.y1, p.hotBottom}}));
        } else if (i == 2) {
            item.Fill(RoundRect(body, 3), p.menuEdge);
            item.Fill(RoundRect(body.Inset(1), 2),
                      VGradient({{body.y0, p.menuColumn}, {body.y1, p.menu}}));
        }
        looks.item[i] = ctx.frame.At(1, 1 + (i + 1) * (h + 1), w, h);
        ctx.frame.Pixels().Blit(item, looks.item[i].l, looks.item[i].t);
    }
    const Glyph glyphs[4] = {Glyph::Close, Glyph::Restore, Glyph::Minimize, Glyph::Menu};
    const Look states[3] = {Look::Normal, Look::Hot, Look::Down};
    int side = h - 4;
    for (int g = 0; g < 4; ++g) {
        for (int k = 0; k < 3; ++k) {
            Canvas piece = Backdrop(bar, 0, 2, side, side);
            DrawCaptionButton(piece, {0, 0, static_cast<double>(side), static_cast<double>(side)},
                              glyphs[g], states[k], p);
            IRect r = ctx.frame.Next(side, side);
            looks.buttons[g][k] = r;
            ctx.frame.Pixels().Blit(piece, r.l, r.t);
        }
    }
    return looks;
}

// The popup window: an outline, a light line and the dark inside that the
// items cover.
void DrawPopup(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    Canvas& c = ctx.popup;
    int n = s.popupSize;
    c.FillPixels(0, 0, n, n, p.menuEdge);
    c.FillPixels(1, 1, n - 1, n - 1, p.menuLight);
    c.FillPixels(2, 2, n - 1, n - 1, Darker(p.menuLight, 0.35));
    c.FillPixels(2, 2, n - 2, n - 2, p.menu);
    if (s.popupBorder > 2) {
        c.FillPixels(2, 2, n - 2, n - 2, Darker(p.menu, 0.2));
        c.FillPixels(3, 3, n - 3, n - 3, p.menu);
    }
}

// The menu item looks: normal, active, divider.
struct MenuItemLooks {
    IRect normal;
    IRect active;
    IRect divider;
};

Canvas MenuItemBackground(const SkinDesign& s, const Palette& p, int h) {
    Canvas c(s.menuItemW, h, p.menu);
    c.FillPixels(0, 0, s.menuColumn, h, p.menuColumn);
    c.FillPixels(s.menuColumn, 0, s.menuColumn + 1, h, Darker(p.menu, 0.3));
    return c;
}

MenuItemLooks DrawMenuItems(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    MenuItemLooks looks;
    int w = s.menuItemW;
    int h = s.menuItemH;

    Canvas normal = MenuItemBackground(s, p, h);
    looks.normal = ctx.menu.At(s.menuItemAt.x, s.menuItemAt.y, w, h);
    ctx.menu.Pixels().Blit(normal, looks.normal.l, looks.normal.t);

    Canvas active = normal;
    Box pill{2, 1, w - 2.0, h - 1.0};
    active.Fill(RoundRect(pill, 3), p.menuHotEdge);
    Box face = pill.Inset(1);
    active.Fill(
        RoundRect(face, 2),
        VGradient({{face.y0, p.menuHotTop},
                   {face.y0 + face.Height() * 0.5, Mix(p.menuHotTop, p.menuHotBottom, 0.45)},
                   {face.y1, p.menuHotBottom}}));
    active.Fill(Intersect(RoundRing(face, 2, 1), Rect({face.x0, face.y0, face.x1, face.y0 + 1})),
                kWhite, 0.6);
    looks.active = ctx.menu.Next(w, h);
    ctx.menu.Pixels().Blit(active, looks.active.l, looks.active.t);

    int dh = s.menuDividerH;
    Canvas divider = MenuItemBackground(s, p, dh);
    int row = dh / 2 - 1;
    divider.FillPixels(s.menuColumn + 4, row, w - 4, row + 1, Darker(p.menu, 0.45));
    divider.FillPixels(s.menuColumn + 4, row + 1, w - 4, row + 2, Lighter(p.menu, 0.18));
    looks.divider = ctx.menu.At(s.menuDividerAt.x, s.menuDividerAt.y, w, dh);
    ctx.menu.Pixels().Blit(divider, looks.divider.l, looks.divider.t);
    return looks;
}

// The keys every frame object reads, before those of its class.
void BaseKeys(Section& o, const std::string& hint, int picture, bool inPicture, IRect normal,
              IRect active, IRect inactive, bool morphing) {
    o.String("hint", hint);
    o.Int("activepictureindex", picture);
    o.Flag("skinrectinapicture", inPicture);
    o.Rect("skinrect", normal);
    o.Rect("activeskinrect", active);
    o.Rect("inactiveskinrect", inactive);
    o.Flag("morphing", morphing);
    o.String("morphkind", "mkdefault");
}

void StdButton(SkinContext& ctx, const std::string& name, const std::string& hint,
               const std::string& command, const IRect (&looks)[kStateCount],
               const IRect* restore) {
    Section& o = ctx.AddFrameObject(name, "stdbutton");
    BaseKeys(o, hint, kFramePicture, true, looks[0], looks[1], looks[3], true);
    o.Rect("downrect", looks[2]);
    o.Rect("disableskinrsect", looks[4]);
    o.String("command", command);
    IRect none;
    o.Rect("restorerect", restore ? restore[0] : none);
    o.Rect("restoreactiverect", restore ? restore[1] : none);
    o.Rect("restoredownrect", restore ? restore[2] : none);
    o.Rect("restoreinactiverect", restore ? restore[3] : none);
}

void MenuBarButton(SkinContext& ctx, const std::string& name, const std::string& hint,
                   const std::string& command, const IRect (&looks)[3]) {
    Section& o = ctx.AddFrameObject(name, "mainmenubarbutton");
    IRect none;
    BaseKeys(o, hint, kFramePicture, true, looks[0], looks[1], none, true);
    o.Rect("downrect", looks[2]);
    o.Rect("disableskinrsect", none);
    o.String("command", command);
    // The bar shows these buttons only for a maximized child window, so the
    // maximize button always shows the restore look.
    o.Rect("restorerect", command == "cmmaximize" ? looks[0] : none);
    o.Rect("restoreactiverect", command == "cmmaximize" ? looks[1] : none);
    o.Rect("restoredownrect", command == "cmmaximize" ? looks[2] : none);
    o.Rect("restoreinactiverect", none);
}

}  // namespace

void BuildFrameObjects(SkinContext& ctx) {
    const SkinDesign& s = ctx.design;
    const Palette& p = ctx.palette;
    IRect none;

    CaptionButtonCells cells = DrawCaptionButtons(ctx);
    IRect plate = DrawCaptionPlate(ctx);
    MenuBarLooks bar = DrawMenuBar(ctx);
    ctx.menuBar = bar.bar;
    DrawPopup(ctx);
    MenuItemLooks item = DrawMenuItems(ctx);

    // The caption: its background is part of the main picture, so only the
    // text is drawn, on the plate.
    Section& caption = ctx.AddFrameObject("caption1", "caption");
    BaseKeys(caption, "", kFramePicture, false, s.captionObject, none, none, false);
    caption.Rect("textrect", s.captionText);
    caption.Font("", "Arial", 14, "fsbold", Hex(0x808080));
    caption.Colour("activefontcolor", Hex(0x000000));
    caption.String("alignment", "taleftjustify");
    caption.Flag("shadow", true);
    caption.Colour("shadowcolor", Hex(0xECECEC));
    caption.Colour("activeshadowcolor", Hex(0xEDEDED));
    caption.Rect("framerect", plate);
    caption.Rect("activeframerect", none);
    caption.Rect("frametextrect", s.plateText);
    caption.Int("frameleftoffset", s.plateEnds);
    caption.Int("framerightoffset", s.plateEnds);

    StdButton(ctx, "closebutton", "Close", "cmclose", cells.cell[kClose], nullptr);
    StdButton(ctx, "maxbutton", "Maximize", "cmmaximize", cells.cell[kMaximize],
              cells.cell[kRestore]);
    StdButton(ctx, "minbutton", "Minimize", "cmminimize", cells.cell[kMinimize],
              cells.cell[kRestore]);
    StdButton(ctx, "sysmenubutton", "System menu", "cmsysmenu", cells.cell[kSysMenu], nullptr);
    StdButton(ctx, "rollupbutton", "Roll up", "cmrollup", cells.cell[kRollUp],
              cells.cell[kRollDown]);
    StdButton(ctx, "traybutton", "Minimize to tray", "cmminimizetotray", cells.cell[kTray],
              nullptr);

    Section& menuItem = ctx.AddFrameObject("MENUITEM", "menuitem");
    BaseKeys(menuItem, "", kMenuPicture, false, item.normal, item.active, none, true);
    menuItem.Int("itemleftoffset", s.menuColumn + 3);
    menuItem.Int("itemrightoffset", 6);
    menuItem.Rect("dividerrect", item.divider);
    menuItem.Int("dividerleftoffset", s.menuColumn + 6);
    menuItem.Int("dividerrightoffset", 6);
    // Glyphs are drawn 2 pixels and captions 16 pixels right of the text
    // rectangle's left edge: the glyph sits in the column, the caption after it.
    menuItem.Rect("textrect", {s.menuColumn - 13, 0, s.menuItemW - 4, s.menuItemH});
    menuItem.Font("", "Arial", 14, "", p.menuText);
    menuItem.Colour("activefontcolor", p.menuHotText);
    menuItem.Colour("unenabledfontcolor", p.menuOffText);

    Section& barItem = ctx.AddFrameObject("MAINMENUBARITEM", "mainmenubaritem");
    BaseKeys(barItem, "", kFramePicture, false, bar.item[0], bar.item[1], none, false);
    barItem.Int("itemleftoffset", 4);
    barItem.Int("itemrightoffset", 4);
    barItem.Rect("downrect", bar.item[2]);
    barItem.Rect("textrect", {4, 1, bar.item[0].W() - 4, bar.item[0].H() - 1});
    barItem.Font("", "Arial", 14, "", p.buttonText);
    barItem.Colour("activefontcolor", p.buttonHotText);
    barItem.Colour("downfontcolor", p.menuText);
    barItem.Colour("unenabledfontColor", p.buttonOffText);

    MenuBarButton(ctx, "mmbclosebutton", "Close", "cmclose", bar.buttons[0]);
    MenuBarButton(ctx, "mmbmaxbutton", "Restore", "cmmaximize", bar.buttons[1]);
    MenuBarButton(ctx, "mmbminbutton", "Minimize", "cmminimize", bar.buttons[2]);
    MenuBarButton(ctx, "mmbsysmenubutton", "System menu", "cmsysmenu", bar.buttons[3]);

    // The popup window: its corners and borders stay, the middles repeat.
    int n = s.popupSize;
    int b = s.popupBorder;
    IRect items{b, b, n - b, n - b};
    IPoint lt{b + 5, b + 5};
    IPoint rt{n - b - 5, b + 5};
    IPoint lb{b + 5, n - b - 5};
    IPoint rb{n - b - 5, n - b - 5};
    Section& w = ctx.popupWindow;
    w.Int("windowpictureindex", kPopupPicture);
    w.Int("maskpictureindex", -1);
    w.Point("lefttoppoint", lt);
    w.Point("righttoppoint", rt);
    w.Point("leftbottompoint", lb);
    w.Point("rightbottompoint", rb);
    w.Rect("itemsrect", items);
    w.Colour("scrollmarkercolor", p.menuMarker);
    w.Colour("scrollmarkeractivecolor", p.menuMarkerHot);
    w.Flag("leftstretch", false);
    w.Flag("rightstretch", false);
    w.Flag("topstretch", false);
    w.Flag("bottomstretch", false);

    // The hint window looks like a menu.
    Section& h = ctx.hintWindow;
    h.Int("windowpictureindex", kPopupPicture);
    h.Int("maskpictureindex", -1);
    h.Point("lefttoppoint", lt);
    h.Point("righttoppoint", rt);
    h.Point("leftbottompoint", lb);
    h.Point("rightbottompoint", rb);
    h.Rect("clientrect", items);
    h.Font("", "Arial", 14, "", p.menuText);
    h.Flag("leftstretch", false);
    h.Flag("rightstretch", false);
    h.Flag("topstretch", false);
    h.Flag("bottomstretch", false);
}

}  // namespace skingen
