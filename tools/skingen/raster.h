#pragma once

// A small software rasterizer for the skin pictures.
//
// Coordinates are continuous: pixel (i, j) covers the square [i, i + 1) x
// [j, j + 1). A shape is a point predicate with a bounding box; filling it
// samples every pixel of the box on a regular grid of kSamples x kSamples
// points, so edges are anti-aliased by their coverage. A paint gives the
// colour at a pixel centre. Colours are sRGB channel values 0..255 held as
// doubles and are blended in that space, the way the pictures are shown.
//
// Only +, -, *, / and sqrt are used, all exactly rounded by IEEE arithmetic,
// so the pictures come out byte for byte the same on every run.

#include <functional>
#include <vector>

#include "framework/bitmap.h"

namespace skingen {

struct Color {
    double r = 0;
    double g = 0;
    double b = 0;
};

// From 0xRRGGBB (the way colours are written in drawing code).
constexpr Color Hex(unsigned rgb) {
    return Color{static_cast<double>((rgb >> 16) & 0xFF), static_cast<double>((rgb >> 8) & 0xFF),
                 static_cast<double>(rgb & 0xFF)};
}
// t = 0 gives a, t = 1 gives b.
Color Mix(Color a, Color b, double t);
// Towards white or black by t (0..1).
Color Lighter(Color c, double t);
Color Darker(Color c, double t);
// The colour as the skin description stores it: 0x00BBGGRR, rounded.
int DescriptionColor(Color c);

struct Point {
    double x = 0;
    double y = 0;
};

struct Box {
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;

    double Width() const { return x1 - x0; }
    double Height() const { return y1 - y0; }
    Box Inset(double d) const { return {x0 + d, y0 + d, x1 - d, y1 - d}; }
    Box Inset(double dx, double dy) const { return {x0 + dx, y0 + dy, x1 - dx, y1 - dy}; }
    Box Moved(double dx, double dy) const { return {x0 + dx, y0 + dy, x1 + dx, y1 + dy}; }
};

struct Shape {
    Box bounds;
    std::function<bool(double x, double y)> inside;
};

// Corner radii of a rounded rectangle, clockwise from the top left.
struct Radii {
    double tl = 0;
    double tr = 0;
    double br = 0;
    double bl = 0;
};

Shape Rect(Box box);
Shape RoundRect(Box box, double radius);
Shape RoundRect(Box box, Radii radii);
Shape Ellipse(Point centre, double rx, double ry);
Shape Circle(Point centre, double r);
// Even-odd filled polygon.
Shape Polygon(std::vector<Point> points);
// Every point within width / 2 of the polyline (round joins and caps).
Shape Stroke(std::vector<Point> points, double width);
// The outline band of a rounded rectangle, `width` wide, inside `box`.
Shape RoundRing(Box box, double radius, double width);
Shape Union(Shape a, Shape b);
Shape Intersect(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);

// Points along a cubic Bezier curve, both ends included.
std::vector<Point> Bezier(Point p0, Point p1, Point p2, Point p3, int steps);

using Paint = std::function<Color(double x, double y)>;

struct Stop {
    double at = 0;
    Color color;
};

Paint Solid(Color c);
// Linear in y (VGradient) or x (HGradient) through the stops, which must be
// in increasing order; clamped before the first and after the last.
Paint VGradient(std::vector<Stop> stops);
Paint HGradient(std::vector<Stop> stops);
// By the distance from `centre`, the stops given in that distance.
Paint Radial(Point centre, std::vector<Stop> stops);
// Along the direction from `from` to `to` (0 at `from`, 1 at `to`).
Paint Linear(Point from, Point to, std::vector<Stop> stops);

class Canvas {
  public:
    static constexpr int kSamples = 5;

    Canvas() = default;
    Canvas(int width, int height, Color fill);

    int Width() const { return width_; }
    int Height() const { return height_; }

    Color At(int x, int y) const { return pixels_[Index(x, y)]; }
    void Set(int x, int y, Color c);
    // Whole pixels x0..x1-1, y0..y1-1, clipped.
    void FillPixels(int x0, int y0, int x1, int y1, Color c);
    // Blends `paint` over the pixels the shape covers, by coverage x opacity.
    void Fill(const Shape& shape, const Paint& paint, double opacity = 1.0);
    void Fill(const Shape& shape, Color c, double opacity = 1.0) { Fill(shape, Solid(c), opacity); }
    // The same with an opacity that varies over the picture.
    void Fill(const Shape& shape, const Paint& paint,
              const std::function<double(double, double)>& opacity);
    // The fraction of pixel (x, y) that the shape covers (0..1).
    static double Coverage(const Shape& shape, int x, int y);

    // Copies the pixels sx0..sx1-1, sy0..sy1-1 of `source` to (dx, dy).
    void Blit(const Canvas& source, int sx0, int sy0, int sx1, int sy1, int dx, int dy);
    void Blit(const Canvas& source, int dx, int dy) {
        Blit(source, 0, 0, source.Width(), source.Height(), dx, dy);
    }
    Canvas Crop(int x0, int y0, int x1, int y1) const;

    // Rounded to 8 bits per channel.
    framework::TBitmapData ToBitmap() const;

  private:
    size_t Index(int x, int y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<Color> pixels_;
};

// A w x h canvas whose every row repeats pixel (x, y + row) of `source`: the
// background of a piece that sits on a band which does not change across it.
Canvas Backdrop(const Canvas& source, int x, int y, int w, int h);
// Upside down.
Canvas FlipVertical(const Canvas& source);
// Turned by a quarter: the top row becomes the left column.
Canvas Transposed(const Canvas& source);

}  // namespace skingen
