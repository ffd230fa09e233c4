// The side picture of the update window (115 x 229): a globe at the top, a
// white arrow sweeping down from it into a desktop computer, on blue. The
// window shows it from its sixth row on.

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "skin.h"

namespace skingen {

namespace {

const Color kWhite{255, 255, 255};
const Color kBlack{0, 0, 0};

constexpr int kWidth = 115;
constexpr int kHeight = 229;

// Globe.
constexpr Point kGlobe{57, 56};
constexpr double kGlobeR = 37;

// Points given on the unit disc of the globe, in pixels.
std::vector<Point> OnGlobe(std::initializer_list<Point> unit) {
    std::vector<Point> out;
    for (const Point& p : unit) {
        out.push_back({kGlobe.x + p.x * kGlobeR, kGlobe.y + p.y * kGlobeR});
    }
    return out;
}

// A closed, smooth outline through the given points (a Catmull-Rom spline
// turned into Bezier pieces).
std::vector<Point> Smooth(const std::vector<Point>& pts) {
    std::vector<Point> out;
    size_t n = pts.size();
    for (size_t i = 0; i < n; ++i) {
        const Point& p0 = pts[(i + n - 1) % n];
        const Point& p1 = pts[i];
        const Point& p2 = pts[(i + 1) % n];
        const Point& p3 = pts[(i + 2) % n];
        Point c1{p1.x + (p2.x - p0.x) / 6, p1.y + (p2.y - p0.y) / 6};
        Point c2{p2.x - (p3.x - p1.x) / 6, p2.y - (p3.y - p1.y) / 6};
        std::vector<Point> seg = Bezier(p1, c1, c2, p2, 8);
        out.insert(out.end(), seg.begin(), seg.end() - 1);
    }
    return out;
}

void DrawBackground(Canvas& c) {
    double w = kWidth;
    double h = kHeight;
    c.Fill(Rect({0, 0, w, h}),
           VGradient({{0, Hex(0x3A7FD0)}, {120, Hex(0x1C58AA)}, {h, Hex(0x0B2A66)}}));
    // A glow behind the globe and a softer one behind the computer.
    c.Fill(Rect({0, 0, w, h}),
           Radial({kGlobe.x, kGlobe.y}, {{0, Hex(0x9FD4FF)}, {kGlobeR * 2.2, Hex(0x9FD4FF)}}),
           [](double x, double y) {
               double dx = x - kGlobe.x;
               double dy = y - kGlobe.y;
               double d = std::sqrt(dx * dx + dy * dy) / (kGlobeR * 1.9);
               return d >= 1 ? 0.0 : 0.35 * (1 - d) * (1 - d);
           });
    c.Fill(Rect({0, 0, w, h}), Solid(Hex(0x6FB6FF)), [](double x, double y) {
        double dx = (x - 56) / 70;
        double dy = (y - 178) / 45;
        double d = std::sqrt(dx * dx + dy * dy);
        return d >= 1 ? 0.0 : 0.22 * (1 - d);
    });
    // Faint curved light lines, like a sweep of air around the globe.
    for (int i = 0; i < 3; ++i) {
        double r = kGlobeR + 9 + i * 7;
        Shape arc = Subtract(Circle(kGlobe, r + 0.6), Circle(kGlobe, r - 0.6));
        c.Fill(Intersect(arc, Rect({0, kGlobe.y - 10, kGlobe.x - 4, kGlobe.y + r})), kWhite,
               0.10 - i * 0.025);
    }
}

void DrawGlobe(Canvas& c) {
    Shape disc = Circle(kGlobe, kGlobeR);
    // Atmosphere: a soft light ring just outside.
    c.Fill(Subtract(Circle(kGlobe, kGlobeR + 3), disc), Solid(Hex(0xBFE6FF)),
           [](double x, double y) {
               double dx = x - kGlobe.x;
               double dy = y - kGlobe.y;
               double d = std::sqrt(dx * dx + dy * dy) - kGlobeR;
               return d < 0 ? 0.0 : 0.55 * (1 - d / 3);
           });
    // Ocean, lit from the upper left.
    c.Fill(disc, Radial({kGlobe.x - 13, kGlobe.y - 15}, {{0, Hex(0x7CD2FF)},
                                                         {22, Hex(0x2A8FE0)},
                                                         {46, Hex(0x0E4AA8)},
                                                         {58, Hex(0x082E78)}}));
    // Land masses, clipped to the disc, shaded like the ocean.
    Paint land =
        Radial({kGlobe.x - 13, kGlobe.y - 15},
               {{0, Hex(0xB8E67A)}, {24, Hex(0x5FB83A)}, {48, Hex(0x2E7A22)}, {58, Hex(0x1C5216)}});
    std::vector<std::vector<Point>> masses = {
        // A large continent on the left, running from the top to the middle.
        OnGlobe({{-0.78, -0.42},
                 {-0.55, -0.70},
                 {-0.22, -0.78},
                 {-0.02, -0.62},
                 {-0.12, -0.40},
                 {-0.30, -0.30},
                 {-0.22, -0.08},
                 {-0.38, 0.05},
                 {-0.60, -0.02},
                 {-0.84, -0.18}}),
        // Its southern neighbour.
        OnGlobe({{-0.30, 0.14},
                 {-0.10, 0.18},
                 {0.02, 0.36},
                 {-0.06, 0.62},
                 {-0.22, 0.84},
                 {-0.32, 0.64},
                 {-0.42, 0.38}}),
        // A continent on the right with a peninsula.
        OnGlobe({{0.18, -0.74},
                 {0.52, -0.66},
                 {0.80, -0.42},
                 {0.70, -0.16},
                 {0.50, -0.06},
                 {0.58, 0.22},
                 {0.42, 0.50},
                 {0.24, 0.34},
                 {0.20, 0.06},
                 {0.30, -0.20},
                 {0.12, -0.42}}),
        // An island in the south east.
        OnGlobe({{0.52, 0.58}, {0.72, 0.52}, {0.78, 0.68}, {0.60, 0.76}}),
    };
    for (const auto& mass : masses) {
        c.Fill(Intersect(Polygon(Smooth(mass)), disc), land);
    }
    // Meridians and parallels, faint.
    Shape grid = Subtract(Circle(kGlobe, 0.6), Circle(kGlobe, 0));  // starts empty
    for (double k : {0.35, 0.72}) {
        double rx = kGlobeR * k;
        grid = Union(grid, Subtract(Ellipse(kGlobe, rx + 0.45, kGlobeR),
                                    Ellipse(kGlobe, rx - 0.45, kGlobeR)));
    }
    grid = Union(grid,
                 Rect({kGlobe.x - 0.45, kGlobe.y - kGlobeR, kGlobe.x + 0.45, kGlobe.y + kGlobeR}));
    for (double k : {-0.62, -0.3, 0.0, 0.3, 0.62}) {
        double y = kGlobe.y + k * kGlobeR;
        // Parallels, curved a little as on a globe seen from slightly above.
        double half = kGlobeR * std::sqrt(1 - k * k);
        grid = Union(grid, Subtract(Ellipse({kGlobe.x, y - 3}, half, 5.45),
                                    Ellipse({kGlobe.x, y - 3}, half, 4.55)));
    }
    grid = Intersect(grid, disc);
    c.Fill(grid, kWhite, 0.2);
    // Shadow on the lower right, shine on the upper left.
    c.Fill(disc, Solid(Hex(0x031A4A)), [](double x, double y) {
        double dx = x - (kGlobe.x - 16);
        double dy = y - (kGlobe.y - 18);
        double d = std::sqrt(dx * dx + dy * dy) / (kGlobeR * 1.9);
        return d < 0.55 ? 0.0 : std::min(0.55, (d - 0.55) * 1.4);
    });
    c.Fill(Ellipse({kGlobe.x - 13, kGlobe.y - 19}, 15, 9), Solid(kWhite), [](double x, double y) {
        double dx = (x - (kGlobe.x - 13)) / 15;
        double dy = (y - (kGlobe.y - 19)) / 9;
        double d = std::sqrt(dx * dx + dy * dy);
        return d >= 1 ? 0.0 : 0.45 * (1 - d);
    });
    // A crisp rim.
    c.Fill(Subtract(disc, Circle(kGlobe, kGlobeR - 1)), Hex(0x06245E), 0.6);
}

// The computer: a flat screen on a stand, a tower beside it, a keyboard in
// front, all on a soft shadow.
void DrawComputer(Canvas& c) {
    // Shadow on the ground.
    c.Fill(Ellipse({58, 214}, 52, 7), Solid(Hex(0x03122E)), [](double x, double y) {
        double dx = (x - 58) / 52;
        double dy = (y - 214) / 7;
        double d = std::sqrt(dx * dx + dy * dy);
        return d >= 1 ? 0.0 : 0.55 * (1 - d);
    });

    // Tower.
    Box tower{80, 150, 104, 208};
    c.Fill(RoundRect(tower, 3), Hex(0x1A2434));
    c.Fill(RoundRect(tower.Inset(1), 2), HGradient({{tower.x0, Hex(0xF2F5F8)},
                                                    {tower.x0 + 12, Hex(0xD2D9E2)},
                                                    {tower.x1, Hex(0x8C98A8)}}));
    c.Fill(Rect({tower.x0 + 4, 158, tower.x1 - 4, 161}), Hex(0x55606E));
    c.Fill(Rect({tower.x0 + 4, 161, tower.x1 - 4, 162}), kWhite, 0.7);
    c.Fill(Rect({tower.x0 + 4, 166, tower.x1 - 4, 169}), Hex(0x55606E));
    c.Fill(Rect({tower.x0 + 4, 169, tower.x1 - 4, 170}), kWhite, 0.7);
    for (int i = 0; i < 5; ++i) {
        double y = 184 + i * 3;
        c.Fill(Rect({tower.x0 + 5, y, tower.x1 - 5, y + 1}), Hex(0x7A8696));
    }
    c.Fill(Circle({92, 176}, 2.2), Hex(0x2A3442));
    c.Fill(Circle({92, 176}, 1.4),
           Radial({91.5, 175.5}, {{0, Hex(0xD8FFB0)}, {1.6, Hex(0x40D020)}}));

    // Stand.
    c.Fill(Polygon({{38, 193}, {48, 193}, {51, 204}, {35, 204}}),
           Linear({35, 0}, {51, 0}, {{0, Hex(0xC8D0DA)}, {1, Hex(0x7E8A9A)}}));
    c.Fill(RoundRect({24, 203, 62, 208}, 2.5), Hex(0x1A2434));
    c.Fill(RoundRect({25, 204, 61, 207}, 1.5),
           VGradient({{204, Hex(0xE6EBF0)}, {207, Hex(0x9AA6B4)}}));

    // Monitor.
    Box monitor{8, 144, 78, 195};
    c.Fill(RoundRect(monitor, 4), Hex(0x141C2A));
    c.Fill(RoundRect(monitor.Inset(1), 3), VGradient({{monitor.y0, Hex(0xF4F7FA)},
                                                      {monitor.y0 + 20, Hex(0xD6DDE6)},
                                                      {monitor.y1, Hex(0x9AA6B6)}}));
    Box screen{13, 149, 73, 187};
    c.Fill(Rect(screen.Inset(-1)), Hex(0x394556));
    c.Fill(Rect(screen), VGradient({{screen.y0, Hex(0x2F9BEA)}, {screen.y1, Hex(0x0A3C8C)}}));
    // On the screen: a download in progress.
    Box track{19, 172, 67, 178};
    c.Fill(RoundRect(track, 2), Hex(0x06265C));
    c.Fill(RoundRect(track.Inset(1), 1), Hex(0xCFE6FF));
    c.Fill(RoundRect({20, 173, 50, 177}, 1),
           VGradient({{173, Hex(0xFFE38A)}, {177, Hex(0xF08A10)}}));
    c.Fill(Rect({19, 160, 52, 162}), kWhite, 0.75);
    c.Fill(Rect({19, 165, 42, 167}), kWhite, 0.45);
    // Glass shine across the top left.
    c.Fill(Intersect(Rect(screen), Polygon({{13, 149}, {52, 149}, {13, 175}})), kWhite, 0.16);
    c.Fill(Circle({43, 191}, 1.2), Hex(0x40D020));

    // Keyboard.
    std::vector<Point> board = {{14, 209}, {72, 209}, {77, 219}, {9, 219}};
    c.Fill(Polygon({{13, 208}, {73, 208}, {78.5, 220}, {7.5, 220}}), Hex(0x1A2434));
    c.Fill(Polygon(board), VGradient({{209, Hex(0xEEF2F6)}, {219, Hex(0xA6B0BE)}}));
    for (int row = 0; row < 3; ++row) {
        double y = 211 + row * 2.7;
        double inset = 2.0 - row * 0.55;
        c.Fill(Rect({14 + inset - row * 1.4, y, 72 - inset + row * 1.4, y + 1.2}), Hex(0x6E7A8A),
               0.7);
    }
}

// Every point within the polyline's width of it; the width grows linearly
// from `from` at the first point to `to` at the last.
Shape TaperedStroke(std::vector<Point> points, double from, double to) {
    Box bounds{1e9, 1e9, -1e9, -1e9};
    double h = std::max(from, to) / 2;
    for (const Point& p : points) {
        bounds = {std::min(bounds.x0, p.x - h), std::min(bounds.y0, p.y - h),
                  std::max(bounds.x1, p.x + h), std::max(bounds.y1, p.y + h)};
    }
    return {bounds, [points = std::move(points), from, to](double x, double y) {
                size_t n = points.size();
                for (size_t i = 1; i < n; ++i) {
                    const Point& a = points[i - 1];
                    const Point& b = points[i];
                    double dx = b.x - a.x;
                    double dy = b.y - a.y;
                    double len2 = dx * dx + dy * dy;
                    double t = len2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / len2 : 0;
                    t = t < 0 ? 0 : (t > 1 ? 1 : t);
                    double ex = a.x + t * dx - x;
                    double ey = a.y + t * dy - y;
                    double along = (i - 1 + t) / (n - 1);
                    double half = (from + (to - from) * along) / 2;
                    if (ex * ex + ey * ey <= half * half) {
                        return true;
                    }
                }
                return false;
            }};
}

Shape Moved(Shape s, double dx, double dy) {
    Box b = s.bounds.Moved(dx, dy);
    return Shape{
        b, [s = std::move(s), dx, dy](double x, double y) { return s.inside(x - dx, y - dy); }};
}

// The arrow: a white stroke that leaves the globe to the right, swings out
// and comes back down into the top of the screen, growing thicker on its
// way; a blue edge and a shadow set it off the background.
void DrawArrow(Canvas& c) {
    // The head points down and to the left, into the screen.
    Point dir{-0.6, 0.8};
    Point base{53, 131};
    double headLength = 15;
    double headHalf = 9.5;
    Point tip{base.x + dir.x * headLength, base.y + dir.y * headLength};
    Point normal{-dir.y, dir.x};
    std::vector<Point> path =
        Bezier({87, 80}, {114, 93}, {base.x - dir.x * 30, base.y - dir.y * 30}, base, 48);

    auto head = [&](double grow) {
        return Polygon({{tip.x + dir.x * grow * 1.6, tip.y + dir.y * grow * 1.6},
                        {base.x + normal.x * (headHalf + grow) - dir.x * grow,
                         base.y + normal.y * (headHalf + grow) - dir.y * grow},
                        {base.x - normal.x * (headHalf + grow) - dir.x * grow,
                         base.y - normal.y * (headHalf + grow) - dir.y * grow}});
    };
    Shape arrow = Union(TaperedStroke(path, 4, 8.5), head(0));
    Shape edge = Union(TaperedStroke(path, 6, 10.5), head(1.2));
    c.Fill(Moved(edge, 2, 3), Hex(0x031640), 0.4);
    c.Fill(edge, Hex(0x1E5FB8));
    c.Fill(arrow,
           Linear({88, 80}, tip, {{0, Hex(0xFFFFFF)}, {0.55, Hex(0xF4F9FF)}, {1, Hex(0xDCEBFF)}}));
}

}  // namespace

Canvas BuildSidePicture() {
    Canvas c(kWidth, kHeight, kBlack);
    DrawBackground(c);
    DrawComputer(c);
    DrawGlobe(c);
    DrawArrow(c);
    return c;
}

}  // namespace skingen
