#include "widgets.h"

#include <algorithm>
#include <cmath>

namespace skingen {

namespace {

const Color kWhite{255, 255, 255};
const Color kBlack{0, 0, 0};

// The n x n square, on whole pixels, at the centre of `box`: the glyphs are
// laid out in it so that their straight edges fall on pixel edges.
Box GlyphSquare(Box box, int n) {
    double x = box.x0 + std::floor((box.Width() - n) / 2);
    double y = box.y0 + std::floor((box.Height() - n) / 2);
    return {x, y, x + n, y + n};
}

// A soft two-tone gloss from top to bottom of `box`.
Paint Gloss(Box box, Color top, Color bottom) {
    double h = box.Height();
    return VGradient({{box.y0, Lighter(top, 0.15)},
                      {box.y0 + h * 0.45, Mix(top, bottom, 0.3)},
                      {box.y0 + h * 0.55, Mix(top, bottom, 0.55)},
                      {box.y1, bottom}});
}

Paint GlossAcross(Box box, Color left, Color right) {
    double w = box.Width();
    return HGradient({{box.x0, Lighter(left, 0.15)},
                      {box.x0 + w * 0.45, Mix(left, right, 0.3)},
                      {box.x0 + w * 0.55, Mix(left, right, 0.55)},
                      {box.x1, right}});
}

// The light line just inside a raised shape, strongest at the top and
// fading out towards the middle.
void Highlight(Canvas& canvas, Box box, double radius, double strength) {
    double y0 = box.y0;
    double h = box.Height();
    canvas.Fill(RoundRing(box, radius, 1), Solid(kWhite), [y0, h, strength](double, double y) {
        double t = (y - y0) / (h * 0.7);
        return t >= 1 ? 0.0 : strength * (1 - t);
    });
}

}  // namespace

void DrawGlyph(Canvas& canvas, Box box, Glyph glyph, Color c) {
    int side = static_cast<int>(std::min(box.Width(), box.Height()));
    // Odd boxes get odd glyphs, so that both are centred on whole pixels.
    int n = side >= 15 ? 9 : (side >= 9 ? 7 : 5);
    if ((side - n) % 2 != 0) {
        n -= 1;
    }
    Box g = GlyphSquare(box, n);
    double x = g.x0;
    double y = g.y0;
    double m = n / 2.0;  // half the glyph square
    switch (glyph) {
        case Glyph::None:
            break;
        case Glyph::Close: {
            double a = 1.2;
            double b = n - 1.2;
            canvas.Fill(Stroke({{x + a, y + a}, {x + b, y + b}}, 1.7), c);
            canvas.Fill(Stroke({{x + b, y + a}, {x + a, y + b}}, 1.7), c);
            break;
        }
        case Glyph::Maximize:
            canvas.Fill(
                Subtract(Rect({x, y, x + n, y + n}), Rect({x + 1, y + 2, x + n - 1, y + n - 1})),
                c);
            break;
        case Glyph::Restore: {
            int s = n - 2;  // side of each window
            Box back{x + 2, y, x + n, y + s};
            Box front{x, y + 2, x + s, y + n};
            Shape frontFrame = Subtract(
                Rect(front), Rect({front.x0 + 1, front.y0 + 2, front.x1 - 1, front.y1 - 1}));
            Shape backFrame = Subtract(
                Subtract(Rect(back), Rect({back.x0 + 1, back.y0 + 2, back.x1 - 1, back.y1 - 1})),
                Rect(front));
            canvas.Fill(Union(frontFrame, backFrame), c);
            break;
        }
        case Glyph::Minimize:
            canvas.Fill(Rect({x + 1, y + n - 3, x + n - 1, y + n - 1}), c);
            break;
        case Glyph::RollUp:
            canvas.Fill(Polygon({{x, y + m + 2.5}, {x + n, y + m + 2.5}, {x + m, y + m - 2}}), c);
            break;
        case Glyph::RollDown:
            canvas.Fill(Polygon({{x, y + m - 2.5}, {x + n, y + m - 2.5}, {x + m, y + m + 2}}), c);
            break;
        case Glyph::Tray:
            canvas.Fill(Rect({x, y + n - 2, x + n, y + n}), c);
            canvas.Fill(Polygon({{x + 1.5, y + 1}, {x + n - 1.5, y + 1}, {x + m, y + n - 3.5}}), c);
            break;
        case Glyph::Menu:
            for (int i = 0; i < 3; ++i) {
                double row = y + 1 + i * ((n - 2) / 2);
                canvas.Fill(Rect({x, row, x + n, row + 1}), c);
            }
            break;
        case Glyph::ArrowUp:
            canvas.Fill(Polygon({{x, y + m + 2}, {x + n, y + m + 2}, {x + m, y + m - 2.5}}), c);
            break;
        case Glyph::ArrowDown:
            canvas.Fill(Polygon({{x, y + m - 2}, {x + n, y + m - 2}, {x + m, y + m + 2.5}}), c);
            break;
        case Glyph::ArrowLeft:
            canvas.Fill(Polygon({{x + m + 2, y}, {x + m + 2, y + n}, {x + m - 2.5, y + m}}), c);
            break;
        case Glyph::ArrowRight:
            canvas.Fill(Polygon({{x + m - 2, y}, {x + m - 2, y + n}, {x + m + 2.5, y + m}}), c);
            break;
        case Glyph::Check:
            canvas.Fill(
                Stroke({{x + 0.8, y + m + 0.2}, {x + m - 0.8, y + n - 1.3}, {x + n - 0.6, y + 1.2}},
                       1.8),
                c);
            break;
        case Glyph::Dots:
            for (int i = -1; i <= 1; ++i) {
                canvas.Fill(Circle({x + m + i * 3, y + m + 2}, 1.0), c);
            }
            break;
        case Glyph::Grip:
        case Glyph::GripH: {
            // Three ridges: a dark line with a light one below (or beside).
            for (int i = -1; i <= 1; ++i) {
                if (glyph == Glyph::Grip) {
                    double row = std::floor(y + m) + i * 2 - 1;
                    canvas.Fill(Rect({x + 1, row, x + n - 1, row + 1}), c);
                    canvas.Fill(Rect({x + 1, row + 1, x + n - 1, row + 2}), kWhite, 0.6);
                } else {
                    double col = std::floor(x + m) + i * 2 - 1;
                    canvas.Fill(Rect({col, y + 1, col + 1, y + n - 1}), c);
                    canvas.Fill(Rect({col + 1, y + 1, col + 2, y + n - 1}), kWhite, 0.6);
                }
            }
            break;
        }
    }
}

void DrawCaptionButton(Canvas& canvas, Box box, Glyph glyph, Look look, const Palette& p) {
    double r = 4;
    Box body = box;
    Color glyphColor = p.glyph;
    bool close = glyph == Glyph::Close;
    switch (look) {
        case Look::Normal:
            canvas.Fill(RoundRect(body, r), kWhite, 0.22);
            canvas.Fill(RoundRing(body, r, 1), p.hotEdge, 0.45);
            break;
        case Look::Hot:
        case Look::Down: {
            Color top = close ? p.closeTop : p.hotTop;
            Color bottom = close ? p.closeBottom : p.hotBottom;
            Color edge = close ? p.closeEdge : p.hotEdge;
            if (look == Look::Down) {
                std::swap(top, bottom);
                top = Darker(top, 0.08);
            }
            canvas.Fill(RoundRect(body, r), edge);
            canvas.Fill(RoundRect(body.Inset(1), r - 1), Gloss(body, top, bottom));
            if (look == Look::Hot) {
                Highlight(canvas, body.Inset(1), r - 1, 0.55);
            } else {
                canvas.Fill(Rect({body.x0 + 2, body.y0 + 1, body.x1 - 2, body.y0 + 2}), kBlack,
                            0.15);
            }
            glyphColor = close ? p.glyphHot : p.glyph;
            break;
        }
        case Look::Inactive:
            canvas.Fill(RoundRect(body, r), kWhite, 0.16);
            canvas.Fill(RoundRing(body, r, 1), p.inactiveOutline, 0.3);
            glyphColor = p.glyphInactive;
            break;
        case Look::Disabled:
            canvas.Fill(RoundRing(body, r, 1), p.hotEdge, 0.2);
            glyphColor = Mix(p.glyph, p.captionMid, 0.65);
            break;
    }
    Box g = look == Look::Down ? box.Moved(1, 1) : box;
    if (glyph == Glyph::Menu) {
        // The system menu button shows a small coin, the program's mark.
        double cx = g.x0 + g.Width() / 2;
        double cy = g.y0 + g.Height() / 2;
        double rr = std::floor(box.Width() / 2) - 3;
        Color edge = look == Look::Inactive ? p.inactiveOutline : p.barEdge;
        canvas.Fill(Circle({cx, cy}, rr), edge);
        Color top = look == Look::Inactive ? p.inactiveTop : p.barTop;
        Color bottom = look == Look::Inactive ? p.inactiveBottom : p.barBottom;
        canvas.Fill(Circle({cx, cy}, rr - 1), Radial({cx - rr * 0.35, cy - rr * 0.4},
                                                     {{0, Lighter(top, 0.5)}, {rr * 1.4, bottom}}));
        canvas.Fill(Circle({cx, cy}, rr - 3), edge, 0.35);
        canvas.Fill(Circle({cx, cy}, rr - 4), Radial({cx, cy - 1}, {{0, top}, {rr, bottom}}));
        return;
    }
    DrawGlyph(canvas, g, glyph, glyphColor);
}

void DrawPushButton(Canvas& canvas, Box box, double radius, Look look, const Palette& p) {
    Color top = p.buttonTop;
    Color bottom = p.buttonBottom;
    Color edge = p.buttonEdge;
    switch (look) {
        case Look::Normal:
        case Look::Inactive:
            break;
        case Look::Hot:
            top = p.buttonHotTop;
            bottom = p.buttonHotBottom;
            edge = p.buttonHotEdge;
            break;
        case Look::Down:
            top = p.buttonDownTop;
            bottom = p.buttonDownBottom;
            edge = Darker(p.buttonEdge, 0.1);
            break;
        case Look::Disabled:
            top = p.buttonOffTop;
            bottom = p.buttonOffBottom;
            edge = p.buttonOffEdge;
            break;
    }
    canvas.Fill(RoundRect(box, radius),
                VGradient({{box.y0, Lighter(edge, 0.2)}, {box.y1, Darker(edge, 0.12)}}));
    Box face = box.Inset(1);
    if (look == Look::Down) {
        canvas.Fill(RoundRect(face, radius - 1), VGradient({{face.y0, top}, {face.y1, bottom}}));
        // The face is pressed in: a shadow under the top edge.
        canvas.Fill(
            Intersect(RoundRect(face, radius - 1), Rect({face.x0, face.y0, face.x1, face.y0 + 1})),
            kBlack, 0.18);
        canvas.Fill(Intersect(RoundRect(face, radius - 1),
                              Rect({face.x0, face.y0 + 1, face.x1, face.y0 + 2})),
                    kBlack, 0.07);
        return;
    }
    canvas.Fill(RoundRect(face, radius - 1), Gloss(face, top, bottom));
    if (look != Look::Disabled) {
        Highlight(canvas, face, radius - 1, look == Look::Hot ? 0.8 : 0.65);
    }
    if (look == Look::Hot) {
        // A warm glow along the bottom edge.
        canvas.Fill(
            Intersect(RoundRect(face, radius - 1), Rect({face.x0, face.y1 - 1, face.x1, face.y1})),
            p.buttonHotEdge, 0.35);
    }
}

void DrawToolButton(Canvas& canvas, Box box, Look look, const Palette& p) {
    double r = 3;
    switch (look) {
        case Look::Normal:
        case Look::Disabled:
        case Look::Inactive:
            return;
        case Look::Hot:
            canvas.Fill(RoundRect(box, r), Darker(p.client, 0.35));
            canvas.Fill(RoundRect(box.Inset(1), r - 1), Lighter(p.client, 0.18));
            canvas.Fill(RoundRing(box.Inset(1), r - 1, 1), Lighter(p.client, 0.5), 0.6);
            return;
        case Look::Down:
            canvas.Fill(RoundRect(box, r), Darker(p.client, 0.45));
            canvas.Fill(RoundRect(box.Inset(1), r - 1), Darker(p.client, 0.12));
            canvas.Fill(Intersect(RoundRect(box.Inset(1), r - 1),
                                  Rect({box.x0, box.y0 + 1, box.x1, box.y0 + 2})),
                        kBlack, 0.2);
            return;
    }
}

void DrawSmallButton(Canvas& canvas, Box box, Glyph glyph, Look look, const Palette& p) {
    double r = 3;
    Color top = p.buttonTop;
    Color bottom = p.buttonBottom;
    Color edge = p.buttonEdge;
    Color glyphColor = p.buttonText;
    if (look == Look::Hot) {
        top = p.buttonHotTop;
        bottom = p.buttonHotBottom;
        edge = p.buttonHotEdge;
    } else if (look == Look::Down) {
        top = p.buttonDownTop;
        bottom = p.buttonDownBottom;
    } else if (look == Look::Disabled) {
        top = p.buttonOffTop;
        bottom = p.buttonOffBottom;
        edge = p.buttonOffEdge;
        glyphColor = p.buttonOffText;
    }
    canvas.Fill(RoundRect(box, r), edge);
    Box face = box.Inset(1);
    if (look == Look::Down) {
        canvas.Fill(RoundRect(face, r - 1), VGradient({{face.y0, top}, {face.y1, bottom}}));
        canvas.Fill(
            Intersect(RoundRect(face, r - 1), Rect({face.x0, face.y0, face.x1, face.y0 + 1})),
            kBlack, 0.15);
    } else {
        canvas.Fill(RoundRect(face, r - 1), Gloss(face, top, bottom));
        if (look != Look::Disabled) {
            Highlight(canvas, face, r - 1, 0.6);
        }
    }
    DrawGlyph(canvas, look == Look::Down ? box.Moved(0, 1) : box, glyph, glyphColor);
}

void DrawField(Canvas& canvas, Box box, double radius, const Palette& p, bool focused,
               bool disabled) {
    Box edge{box.x0, box.y0, box.x1 - 1, box.y1 - 1};
    Box inner = edge.Inset(1);
    Color fill = disabled ? Mix(p.field, p.client, 0.35) : p.field;
    Color top = disabled ? Mix(p.fieldTop, p.client, 0.35) : p.fieldTop;
    canvas.Fill(RoundRect(edge.Moved(1, 1), radius), p.fieldLight);
    canvas.Fill(RoundRect(edge, radius), disabled ? Mix(p.fieldEdge, p.client, 0.45) : p.fieldEdge);
    // A one-pixel shadow under the top and beside the left edge; the rest is
    // flat, so that the inside can be repeated in any direction.
    canvas.Fill(RoundRect(inner, std::max(0.0, radius - 1)), fill);
    canvas.Fill(Intersect(RoundRect(inner, std::max(0.0, radius - 1)),
                          Union(Rect({inner.x0, inner.y0, inner.x1, inner.y0 + 1}),
                                Rect({inner.x0, inner.y0, inner.x0 + 1, inner.y1}))),
                top);
    if (focused) {
        canvas.Fill(RoundRing(inner, std::max(0.0, radius - 1), 1), p.barBottom, 0.85);
    }
}

void DrawBar(Canvas& canvas, Box box, double radius, const Palette& p, bool vertical) {
    canvas.Fill(RoundRect(box, radius), p.barEdge);
    Box face = box.Inset(1);
    double r = std::max(0.0, radius - 1);
    if (vertical) {
        canvas.Fill(RoundRect(face, r), GlossAcross(face, p.barTop, p.barBottom));
        canvas.Fill(
            Intersect(RoundRing(face, r, 1), Rect({face.x0, face.y0, face.x0 + 1, face.y1})),
            kWhite, 0.45);
    } else {
        canvas.Fill(RoundRect(face, r), Gloss(face, p.barTop, p.barBottom));
        canvas.Fill(
            Intersect(RoundRing(face, r, 1), Rect({face.x0, face.y0, face.x1, face.y0 + 1})),
            kWhite, 0.5);
    }
}

void DrawPanel(Canvas& canvas, Box box, bool raised, Color fill, const Palette&) {
    Color light = Lighter(fill, 0.45);
    Color dark = Darker(fill, 0.3);
    canvas.Fill(Rect(box), fill);
    Color tl = raised ? light : dark;
    Color br = raised ? dark : light;
    canvas.Fill(Rect({box.x0, box.y0, box.x1, box.y0 + 1}), tl);
    canvas.Fill(Rect({box.x0, box.y0, box.x0 + 1, box.y1}), tl);
    canvas.Fill(Rect({box.x0, box.y1 - 1, box.x1, box.y1}), br);
    canvas.Fill(Rect({box.x1 - 1, box.y0, box.x1, box.y1}), br);
}

void DrawCheckBox(Canvas& canvas, Box box, bool checked, Look look, const Palette& p) {
    bool off = look == Look::Disabled;
    DrawField(canvas, box, 2, p, look == Look::Hot || look == Look::Down, off);
    if (checked) {
        Box inner{box.x0 + 1, box.y0 + 1, box.x1 - 2, box.y1 - 2};
        DrawGlyph(canvas, inner, Glyph::Check, off ? p.fieldOffText : p.fieldText);
    }
}

void DrawRadio(Canvas& canvas, Box box, bool checked, Look look, const Palette& p) {
    bool off = look == Look::Disabled;
    double r = (box.Width() - 1) / 2;
    Point c{box.x0 + r, box.y0 + r};
    canvas.Fill(Circle({c.x + 1, c.y + 1}, r), p.fieldLight);
    canvas.Fill(Circle(c, r), off ? Mix(p.fieldEdge, p.client, 0.45) : p.fieldEdge);
    Color fill = off ? Mix(p.field, p.client, 0.35) : p.field;
    canvas.Fill(Circle(c, r - 1), Radial({c.x, c.y - r}, {{0, p.fieldTop}, {r * 0.8, fill}}));
    if (look == Look::Hot || look == Look::Down) {
        canvas.Fill(Subtract(Circle(c, r - 1), Circle(c, r - 2)), p.barBottom, 0.85);
    }
    if (checked) {
        Color dot = off ? p.fieldOffText : p.fieldText;
        canvas.Fill(Circle(c, r * 0.42),
                    Radial({c.x - 1, c.y - 1}, {{0, Lighter(dot, 0.4)}, {r * 0.5, dot}}));
    }
}

void DrawThumb(Canvas& canvas, Box box, bool vertical, Look look, const Palette& p) {
    double r = 3;
    Color top =
        look == Look::Hot ? p.buttonHotTop : (look == Look::Down ? p.buttonDownTop : p.buttonTop);
    Color bottom = look == Look::Hot ? p.buttonHotBottom
                                     : (look == Look::Down ? p.buttonDownBottom : p.buttonBottom);
    Color edge = look == Look::Hot ? p.buttonHotEdge : p.buttonEdge;
    canvas.Fill(RoundRect(box, r), edge);
    Box face = box.Inset(1);
    if (vertical) {
        canvas.Fill(RoundRect(face, r - 1), GlossAcross(face, top, bottom));
        canvas.Fill(
            Intersect(RoundRing(face, r - 1, 1), Rect({face.x0, face.y0, face.x0 + 1, face.y1})),
            kWhite, 0.55);
    } else {
        canvas.Fill(RoundRect(face, r - 1), Gloss(face, top, bottom));
        canvas.Fill(
            Intersect(RoundRing(face, r - 1, 1), Rect({face.x0, face.y0, face.x1, face.y0 + 1})),
            kWhite, 0.55);
    }
}

}  // namespace skingen
