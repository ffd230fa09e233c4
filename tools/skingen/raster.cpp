#include "raster.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace skingen {

namespace {

double Clamp01(double t) {
    return t < 0 ? 0 : (t > 1 ? 1 : t);
}

uint8_t ToByte(double v) {
    double r = std::floor(v + 0.5);
    return static_cast<uint8_t>(r < 0 ? 0 : (r > 255 ? 255 : r));
}

Color Through(const std::vector<Stop>& stops, double at) {
    if (stops.empty()) {
        return {};
    }
    if (at <= stops.front().at) {
        return stops.front().color;
    }
    for (size_t i = 1; i < stops.size(); ++i) {
        if (at <= stops[i].at) {
            double span = stops[i].at - stops[i - 1].at;
            double t = span > 0 ? (at - stops[i - 1].at) / span : 1.0;
            return Mix(stops[i - 1].color, stops[i].color, t);
        }
    }
    return stops.back().color;
}

double SegmentDistance2(Point p, Point a, Point b) {
    double dx = b.x - a.x;
    double dy = b.y - a.y;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? Clamp01(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2) : 0.0;
    double ex = a.x + t * dx - p.x;
    double ey = a.y + t * dy - p.y;
    return ex * ex + ey * ey;
}

Box Hull(const Box& a, const Box& b) {
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

}  // namespace

Color Mix(Color a, Color b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Color Lighter(Color c, double t) {
    return Mix(c, Color{255, 255, 255}, t);
}

Color Darker(Color c, double t) {
    return Mix(c, Color{0, 0, 0}, t);
}

int DescriptionColor(Color c) {
    return ToByte(c.r) | (ToByte(c.g) << 8) | (ToByte(c.b) << 16);
}

Shape Rect(Box box) {
    return {box, [box](double x, double y) {
                return x >= box.x0 && x < box.x1 && y >= box.y0 && y < box.y1;
            }};
}

Shape RoundRect(Box box, double radius) {
    return RoundRect(box, Radii{radius, radius, radius, radius});
}

Shape RoundRect(Box box, Radii radii) {
    return {box, [box, radii](double x, double y) {
                if (x < box.x0 || x >= box.x1 || y < box.y0 || y >= box.y1) {
                    return false;
                }
                auto outside = [x, y](double cx, double cy, double r) {
                    double dx = x - cx;
                    double dy = y - cy;
                    return dx * dx + dy * dy > r * r;
                };
                if (x < box.x0 + radii.tl && y < box.y0 + radii.tl &&
                    outside(box.x0 + radii.tl, box.y0 + radii.tl, radii.tl)) {
                    return false;
                }
                if (x > box.x1 - radii.tr && y < box.y0 + radii.tr &&
                    outside(box.x1 - radii.tr, box.y0 + radii.tr, radii.tr)) {
                    return false;
                }
                if (x > box.x1 - radii.br && y > box.y1 - radii.br &&
                    outside(box.x1 - radii.br, box.y1 - radii.br, radii.br)) {
                    return false;
                }
                if (x < box.x0 + radii.bl && y > box.y1 - radii.bl &&
                    outside(box.x0 + radii.bl, box.y1 - radii.bl, radii.bl)) {
                    return false;
                }
                return true;
            }};
}

Shape Ellipse(Point centre, double rx, double ry) {
    Box bounds{centre.x - rx, centre.y - ry, centre.x + rx, centre.y + ry};
    return {bounds, [centre, rx, ry](double x, double y) {
                double dx = (x - centre.x) / rx;
                double dy = (y - centre.y) / ry;
                return dx * dx + dy * dy <= 1.0;
            }};
}

Shape Circle(Point centre, double r) {
    return Ellipse(centre, r, r);
}

Shape Polygon(std::vector<Point> points) {
    Box bounds{1e9, 1e9, -1e9, -1e9};
    for (const Point& p : points) {
        bounds = Hull(bounds, Box{p.x, p.y, p.x, p.y});
    }
    return {bounds, [points = std::move(points)](double x, double y) {
                bool in = false;
                size_t n = points.size();
                for (size_t i = 0, j = n - 1; i < n; j = i++) {
                    const Point& a = points[i];
                    const Point& b = points[j];
                    if ((a.y > y) != (b.y > y)) {
                        double cross = (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x;
                        if (x < cross) {
                            in = !in;
                        }
                    }
                }
                return in;
            }};
}

Shape Stroke(std::vector<Point> points, double width) {
    double h = width / 2;
    Box bounds{1e9, 1e9, -1e9, -1e9};
    for (const Point& p : points) {
        bounds = Hull(bounds, Box{p.x - h, p.y - h, p.x + h, p.y + h});
    }
    return {bounds, [points = std::move(points), h](double x, double y) {
                Point p{x, y};
                double limit = h * h;
                if (points.size() == 1) {
                    return SegmentDistance2(p, points[0], points[0]) <= limit;
                }
                for (size_t i = 1; i < points.size(); ++i) {
                    if (SegmentDistance2(p, points[i - 1], points[i]) <= limit) {
                        return true;
                    }
                }
                return false;
            }};
}

Shape RoundRing(Box box, double radius, double width) {
    return Subtract(RoundRect(box, radius),
                    RoundRect(box.Inset(width), std::max(0.0, radius - width)));
}

Shape Union(Shape a, Shape b) {
    Box bounds = Hull(a.bounds, b.bounds);
    return {bounds, [a = std::move(a), b = std::move(b)](double x, double y) {
                return a.inside(x, y) || b.inside(x, y);
            }};
}

Shape Intersect(Shape a, Shape b) {
    Box bounds{std::max(a.bounds.x0, b.bounds.x0), std::max(a.bounds.y0, b.bounds.y0),
               std::min(a.bounds.x1, b.bounds.x1), std::min(a.bounds.y1, b.bounds.y1)};
    return {bounds, [a = std::move(a), b = std::move(b)](double x, double y) {
                return a.inside(x, y) && b.inside(x, y);
            }};
}

Shape Subtract(Shape a, Shape b) {
    Box bounds = a.bounds;
    return {bounds, [a = std::move(a), b = std::move(b)](double x, double y) {
                return a.inside(x, y) && !b.inside(x, y);
            }};
}

std::vector<Point> Bezier(Point p0, Point p1, Point p2, Point p3, int steps) {
    std::vector<Point> out;
    for (int i = 0; i <= steps; ++i) {
        double t = static_cast<double>(i) / steps;
        double u = 1 - t;
        double a = u * u * u;
        double b = 3 * u * u * t;
        double c = 3 * u * t * t;
        double d = t * t * t;
        out.push_back(
            {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
    return out;
}

Paint Solid(Color c) {
    return [c](double, double) { return c; };
}

Paint VGradient(std::vector<Stop> stops) {
    return [stops = std::move(stops)](double, double y) { return Through(stops, y); };
}

Paint HGradient(std::vector<Stop> stops) {
    return [stops = std::move(stops)](double x, double) { return Through(stops, x); };
}

Paint Radial(Point centre, std::vector<Stop> stops) {
    return [centre, stops = std::move(stops)](double x, double y) {
        double dx = x - centre.x;
        double dy = y - centre.y;
        return Through(stops, std::sqrt(dx * dx + dy * dy));
    };
}

Paint Linear(Point from, Point to, std::vector<Stop> stops) {
    double dx = to.x - from.x;
    double dy = to.y - from.y;
    double len2 = dx * dx + dy * dy;
    return [from, dx, dy, len2, stops = std::move(stops)](double x, double y) {
        double t = len2 > 0 ? ((x - from.x) * dx + (y - from.y) * dy) / len2 : 0.0;
        return Through(stops, t);
    };
}

Canvas::Canvas(int width, int height, Color fill)
    : width_(width),
      height_(height),
      pixels_(static_cast<size_t>(width) * static_cast<size_t>(height), fill) {
    if (width <= 0 || height <= 0) {
        throw std::invalid_argument("Canvas: empty size");
    }
}

void Canvas::Set(int x, int y, Color c) {
    if (x >= 0 && x < width_ && y >= 0 && y < height_) {
        pixels_[Index(x, y)] = c;
    }
}

void Canvas::FillPixels(int x0, int y0, int x1, int y1, Color c) {
    for (int y = std::max(0, y0); y < std::min(height_, y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(width_, x1); ++x) {
            pixels_[Index(x, y)] = c;
        }
    }
}

double Canvas::Coverage(const Shape& shape, int x, int y) {
    int hits = 0;
    for (int j = 0; j < kSamples; ++j) {
        double sy = y + (j + 0.5) / kSamples;
        for (int i = 0; i < kSamples; ++i) {
            double sx = x + (i + 0.5) / kSamples;
            if (shape.inside(sx, sy)) {
                ++hits;
            }
        }
    }
    return static_cast<double>(hits) / (kSamples * kSamples);
}

void Canvas::Fill(const Shape& shape, const Paint& paint, double opacity) {
    Fill(shape, paint, [opacity](double, double) { return opacity; });
}

void Canvas::Fill(const Shape& shape, const Paint& paint,
                  const std::function<double(double, double)>& opacity) {
    int x0 = std::max(0, static_cast<int>(std::floor(shape.bounds.x0)));
    int y0 = std::max(0, static_cast<int>(std::floor(shape.bounds.y0)));
    int x1 = std::min(width_, static_cast<int>(std::ceil(shape.bounds.x1)) + 1);
    int y1 = std::min(height_, static_cast<int>(std::ceil(shape.bounds.y1)) + 1);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            double cover = Coverage(shape, x, y) * opacity(x + 0.5, y + 0.5);
            if (cover <= 0) {
                continue;
            }
            Color& dst = pixels_[Index(x, y)];
            dst = Mix(dst, paint(x + 0.5, y + 0.5), cover);
        }
    }
}

void Canvas::Blit(const Canvas& source, int sx0, int sy0, int sx1, int sy1, int dx, int dy) {
    for (int y = sy0; y < sy1; ++y) {
        for (int x = sx0; x < sx1; ++x) {
            if (x >= 0 && x < source.width_ && y >= 0 && y < source.height_) {
                Set(dx + x - sx0, dy + y - sy0, source.At(x, y));
            }
        }
    }
}

Canvas Canvas::Crop(int x0, int y0, int x1, int y1) const {
    Canvas out(x1 - x0, y1 - y0, Color{});
    out.Blit(*this, x0, y0, x1, y1, 0, 0);
    return out;
}

framework::TBitmapData Canvas::ToBitmap() const {
    framework::TBitmapData bitmap(width_, height_, framework::pf24bit);
    for (int y = 0; y < height_; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < width_; ++x) {
            const Color& c = pixels_[Index(x, y)];
            row[x * 3 + 0] = ToByte(c.b);
            row[x * 3 + 1] = ToByte(c.g);
            row[x * 3 + 2] = ToByte(c.r);
        }
    }
    return bitmap;
}

Canvas Backdrop(const Canvas& source, int x, int y, int w, int h) {
    Canvas out(w, h, Color{});
    for (int row = 0; row < h; ++row) {
        Color c = source.At(x, std::min(source.Height() - 1, y + row));
        out.FillPixels(0, row, w, row + 1, c);
    }
    return out;
}

Canvas FlipVertical(const Canvas& source) {
    Canvas out(source.Width(), source.Height(), Color{});
    for (int y = 0; y < source.Height(); ++y) {
        for (int x = 0; x < source.Width(); ++x) {
            out.Set(x, source.Height() - 1 - y, source.At(x, y));
        }
    }
    return out;
}

Canvas Transposed(const Canvas& source) {
    Canvas out(source.Height(), source.Width(), Color{});
    for (int y = 0; y < source.Height(); ++y) {
        for (int x = 0; x < source.Width(); ++x) {
            out.Set(y, x, source.At(x, y));
        }
    }
    return out;
}

}  // namespace skingen
