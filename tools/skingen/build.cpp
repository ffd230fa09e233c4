// Builds a skin: the frame pictures, the six pictures of the picture list and
// the description that names the looks in them.
//
// Picture list (PictureIndex):
//   0 frame.bmp     caption buttons, the caption's text plate, menu bar looks
//   1 popup.bmp     popup menu (and hint) window
//   2 menuitem.bmp  menu items and dividers
//   3 controls.bmp  push buttons, gauges, labels, edits, check boxes, ...
//   4 lists.bmp     list boxes and other framed views
//   5 scroll.bmp    scroll bars and spin buttons

#include <algorithm>
#include <string>

#include "context.h"
#include "skin.h"

namespace skingen {

namespace {

const Color kWhite{255, 255, 255};
const Color kBlack{0, 0, 0};

// The window's outline shape, `inset` pixels inside the picture's edges.
Shape WindowShape(const SkinDesign& s, double inset) {
    double rt = std::max(0.0, s.radiusTop - inset);
    double rb = std::max(0.0, s.radiusBottom - inset);
    Box box{inset, inset, s.width - inset, s.height - inset};
    return RoundRect(box, Radii{rt, rt, rb, rb});
}

// The main or the inactive picture: caption, borders and client area.
//
// The frame is cut into bands whose middles are repeated to any size, so the
// caption changes only from top to bottom and the side borders only across.
Canvas DrawWindow(const SkinDesign& s, bool active) {
    const Palette& p = s.palette;
    Color outline = active ? p.outline : p.inactiveOutline;
    Color top = active ? p.captionTop : p.inactiveTop;
    Color mid = active ? p.captionMid : Mix(p.inactiveTop, p.inactiveBottom, 0.5);
    Color bottom = active ? p.captionBottom : p.inactiveBottom;
    Color body = active ? p.frameBody : p.inactiveBody;
    Color shade = active ? p.frameShade : Darker(p.inactiveBody, 0.18);
    Color inner = active ? p.frameInner : Mix(p.inactiveOutline, p.frameInner, 0.3);
    Color etch = active ? p.frameEtch : Lighter(p.inactiveBody, 0.45);

    Canvas c(s.width, s.height, outline);
    double w = s.width;
    double h = s.height;
    const IRect& cl = s.client;
    // The borders, then the caption over their top.
    c.Fill(WindowShape(s, 1), body);
    double capBottom = cl.t - 1;
    double rt = s.radiusTop - 1;
    c.Fill(RoundRect({1, 1, w - 1, capBottom}, Radii{rt, rt, 0, 0}),
           VGradient({{1.5, top}, {capBottom * 0.45, mid}, {capBottom - 0.5, bottom}}));
    // Light just inside the outline at the top and left, shade at the right
    // and bottom. The light fades only within the caption, so the side
    // borders stay the same all the way down.
    Shape ring = Subtract(WindowShape(s, 1), WindowShape(s, 2));
    Shape lit = Intersect(ring, Rect({0, 0, w - 2, h - 2}));
    c.Fill(lit, Solid(kWhite), [capBottom](double, double y) {
        return y < 2 ? 0.75 : (y < capBottom ? 0.75 - 0.4 * (y / capBottom) : 0.3);
    });
    c.Fill(Subtract(ring, lit), shade);
    // The client area sits in a dark frame with a light line beyond its right
    // and bottom edges.
    c.FillPixels(cl.l - 1, cl.t - 1, cl.r + 1, cl.b + 1, inner);
    c.FillPixels(cl.r + 1, cl.t - 1, cl.r + 2, cl.b + 2, etch);
    c.FillPixels(cl.l - 1, cl.b + 1, cl.r + 2, cl.b + 2, etch);
    c.FillPixels(cl.l, cl.t, cl.r, cl.b, p.client);
    return c;
}

// Black where the window is, white where it is cut away.
Canvas DrawMask(const SkinDesign& s) {
    Canvas c(s.width, s.height, kWhite);
    Shape shape = WindowShape(s, 0);
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            if (Canvas::Coverage(shape, x, y) >= 0.5) {
                c.Set(x, y, kBlack);
            }
        }
    }
    return c;
}

void WriteFormInfo(Description& d, const SkinDesign& s) {
    Section& f = d.Add("FORMINFO");
    f.Point("lefttoppoint", s.leftTop);
    f.Point("righttoppoint", s.rightTop);
    f.Point("leftbottompoint", s.leftBottom);
    f.Point("rightbottompoint", s.rightBottom);
    f.Rect("clientrect", s.client);
    f.Int("bgpictureindex", -1);
    f.Int("mdibgpictureindex", -1);
    f.Flag("leftstretch", false);
    f.Flag("rightstretch", false);
    f.Flag("topstretch", false);
    f.Flag("bottomstretch", false);
    // The mask's bands are cut around the client area, which is always inside.
    f.Rect("maskrectarea", s.client);
    f.Point("hittestlefttoppoint", s.leftTop);
    f.Point("hittestrighttoppoint", s.rightTop);
    f.Point("hittestleftbottompoint", s.leftBottom);
    f.Point("hittestrightbottompoint", s.rightBottom);
    f.Rect("buttonsrect", {});
    f.Rect("captionrect", s.captionRect);
    f.Int("buttonsoffset", s.buttonsOffset);
    f.Flag("buttonsinleft", false);
    f.Flag("mainmenupopupup", false);
    f.Int("borderwidth", 3);
    // The inactive picture is drawn, not derived.
    f.Flag("autorenderinginactiveimage", false);
    f.String("inactiveeffect", "iebrightness");
}

void WriteObjectList(Description& d, const std::string& name,
                     const std::deque<SkinObject>& objects) {
    Section& list = d.Add(name);
    list.Int("count", static_cast<int>(objects.size()));
    for (size_t i = 0; i < objects.size(); ++i) {
        list.String(std::to_string(i), objects[i].section.name + ":" + objects[i].type);
    }
    for (const SkinObject& object : objects) {
        d.Add(object.section.name) = object.section;
    }
}

}  // namespace

SkinContext::SkinContext(const SkinDesign& s, const Canvas& mainPicture,
                         const Canvas& inactivePicture)
    : design(s),
      palette(s.palette),
      main(mainPicture),
      inactive(inactivePicture),
      frame(s.buttonGrid.x + 5 * (s.captionButtonW + 1) + 1),
      popup(s.popupSize, s.popupSize, Color{}),
      menu(s.menuItemW + 2),
      controls(256),
      lists(256),
      scroll(128) {}

Section& SkinContext::AddFrameObject(const std::string& name, const std::string& type) {
    frameObjects.push_back(SkinObject{type, Section{name, {}}});
    return frameObjects.back().section;
}

Section& SkinContext::AddControl(const std::string& name, const std::string& type) {
    controlObjects.push_back(SkinObject{type, Section{name, {}}});
    return controlObjects.back().section;
}

SkinFiles BuildSkin(const SkinDesign& s) {
    Canvas mask = DrawMask(s);
    Canvas main = DrawWindow(s, true);
    Canvas inactive = DrawWindow(s, false);

    SkinContext ctx(s, main, inactive);
    BuildFrameObjects(ctx);
    BuildControlObjects(ctx);

    Description d;
    Section& version = d.Add("VERSION");
    version.String("skinname", s.name);
    version.String("skinauthor", "updater.exe developers");
    version.String("authoremail", "");
    version.String("authorurl", "");
    version.String("skincomments", s.comments);

    const char* names[] = {"frame.bmp",    "popup.bmp", "menuitem.bmp",
                           "controls.bmp", "lists.bmp", "scroll.bmp"};
    Section& pictures = d.Add("PICTURES");
    pictures.String("picture", "main.bmp");
    pictures.String("inactivepicture", "inactive.bmp");
    pictures.String("mask", "mask.bmp");
    pictures.Int("activepicturescount", 6);
    for (int i = 0; i < 6; ++i) {
        pictures.String(std::to_string(i), names[i]);
    }

    WriteFormInfo(d, s);
    d.Add("POPUPWINDOW") = ctx.popupWindow;
    d.Add("HINTWINDOW") = ctx.hintWindow;
    WriteObjectList(d, "SKINOBJECTS", ctx.frameObjects);
    WriteObjectList(d, "SKINCONTROLS", ctx.controlObjects);

    SkinFiles files;
    files.description = d.Text();
    files.pictures.emplace_back("main.bmp", main);
    files.pictures.emplace_back("inactive.bmp", inactive);
    files.pictures.emplace_back("mask.bmp", mask);
    files.pictures.emplace_back(names[kFramePicture], ctx.frame.Finish());
    files.pictures.emplace_back(names[kPopupPicture], ctx.popup);
    files.pictures.emplace_back(names[kMenuPicture], ctx.menu.Finish());
    files.pictures.emplace_back(names[kControlsPicture], ctx.controls.Finish());
    files.pictures.emplace_back(names[kListsPicture], ctx.lists.Finish());
    files.pictures.emplace_back(names[kScrollPicture], ctx.scroll.Finish());
    return files;
}

}  // namespace skingen
