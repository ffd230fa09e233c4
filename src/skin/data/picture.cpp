#include "skin/data/picture.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "framework/bitmap_ops.h"
#include "skin/data/picture_detail.h"

namespace skin {

using framework::pf24bit;

namespace detail {

int Sane(int value) {
    return std::clamp(value, -kCoordinateLimit, kCoordinateLimit);
}

TPoint Sane(const TPoint& p) {
    return TPoint{Sane(p.x), Sane(p.y)};
}

TRect Sane(const TRect& r) {
    return TRect{Sane(r.left), Sane(r.top), Sane(r.right), Sane(r.bottom)};
}

TPartGeometry Sane(const TPartGeometry& g) {
    return TPartGeometry{Sane(g.left_top), Sane(g.right_top), Sane(g.left_bottom),
                         Sane(g.right_bottom), Sane(g.client)};
}

void CopyBytes(uint8_t* to, const uint8_t* from, size_t n) {
    if (n > 256) {
        std::memcpy(to, from, n);
        return;
    }
    // Short runs (a few dozen pixels) are most of a skin picture's copies:
    // move them in 16-byte steps, the last step overlapping the one before,
    // which costs less than a call for each.
    if (n >= 32) {
        size_t i = 0;
        for (; i + 32 <= n; i += 32) {
            std::memcpy(to + i, from + i, 32);
        }
        if (n - i > 16) {
            std::memcpy(to + i, from + i, 16);
        }
        if (n > i) {
            std::memcpy(to + n - 16, from + n - 16, 16);
        }
    } else if (n >= 16) {
        std::memcpy(to, from, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else {
        for (size_t i = 0; i < n; ++i) {
            to[i] = from[i];
        }
    }
}

Rows::Rows(const TBitmapData& bitmap) {
    if (bitmap.Height() > 0) {
        first_ = const_cast<uint8_t*>(bitmap.ScanLine(0));
        step_ = bitmap.Height() > 1 ? bitmap.ScanLine(1) - bitmap.ScanLine(0) : 0;
    }
}

Source::Source(const TBitmapData& source, std::initializer_list<const TBitmapData*> targets) {
    const bool shared = std::find(targets.begin(), targets.end(), &source) != targets.end();
    if (!shared) {
        source_ = &source;
        return;
    }
    // A copy as it is: converting could make it larger than any bitmap.
    copy_ = source;
    source_ = &copy_;
}

TTargetSize TargetSize(int width, int height) {
    TTargetSize size{std::clamp(width, 0, kMaxTargetSide), std::clamp(height, 0, kMaxTargetSide)};
    if (size.width > 0 && int64_t{size.width} * size.height > kMaxTargetPixels) {
        size.height = static_cast<int>(kMaxTargetPixels / size.width);
    }
    return size;
}

void Prepare(TBitmapData& target, int width, int height) {
    if (target.PixelFormat() != pf24bit) {
        target.SetSize(0, 0);
        target.SetPixelFormat(pf24bit);
    }
    const TTargetSize size = TargetSize(width, height);
    target.SetSize(size.width, size.height);
}

void FillByDoubling(uint8_t* start, size_t filled, size_t span) {
    while (filled < span) {
        const size_t n = std::min(filled, span - filled);
        CopyBytes(start + filled, start, n);
        filled += n;
    }
}

// Writes `count` pixels of row y of a source that is not 24-bit, from
// column x, as 24-bit pixels.
void ReadPixels(const TBitmapData& source, int x, int y, int64_t count, uint8_t* out) {
    for (int64_t i = 0; i < count; ++i, out += 3) {
        const TColor c = source.Pixel(x + static_cast<int>(i), y);
        out[0] = framework::ColorBlue(c);
        out[1] = framework::ColorGreen(c);
        out[2] = framework::ColorRed(c);
    }
}

void Tile24(TBitmapData& target, const TRect& to, const TBitmapData& source, const TRect& piece,
            bool across, bool down) {
    // Coordinates are within +-2^24 (Sane), so all sums below fit in int64
    // with room to spare.
    const int64_t pw = int64_t{piece.right} - piece.left;
    const int64_t ph = int64_t{piece.bottom} - piece.top;
    if (pw < 1 || ph < 1) {
        return;
    }
    const int64_t x0 = std::max<int64_t>(to.left, 0);
    const int64_t y0 = std::max<int64_t>(to.top, 0);
    int64_t x1 = std::min<int64_t>(to.right, target.Width());
    int64_t y1 = std::min<int64_t>(to.bottom, target.Height());
    if (!across) {
        x1 = std::min(x1, to.left + pw);
    }
    if (!down) {
        y1 = std::min(y1, to.top + ph);
    }
    if (x1 <= x0 || y1 <= y0) {
        return;
    }

    // The columns of a row as runs of 1:1 copies from the source row. A
    // narrow piece inside the source would take many short runs: then only
    // one period is planned and the rest of each row is filled by doubling
    // what the row already holds, which keeps every column at its place in
    // the period and takes few, longer copies.
    const bool doubling = across && pw < kDoublingBelow && piece.left >= 0 &&
                          piece.right <= source.Width() && x1 - x0 > pw;
    const int64_t planned_end = doubling ? std::min(x1, x0 + pw) : x1;
    struct Run {
        int64_t to, from, length;
    };
    constexpr size_t kInline = 8;
    Run runs[kInline];
    std::vector<Run> more;
    size_t count = 0;
    for (int64_t tx = x0; tx < planned_end;) {
        const int64_t u = tx - to.left;
        const int64_t su = across ? u % pw : u;
        const int64_t length = std::min(planned_end - tx, pw - su);
        const int64_t sx = piece.left + su;
        const int64_t a = std::max<int64_t>(sx, 0);
        const int64_t b = std::min<int64_t>(sx + length, source.Width());
        if (b > a) {
            const Run run{tx + (a - sx), a, b - a};
            if (count < kInline) {
                runs[count] = run;
            } else {
                more.push_back(run);
            }
            ++count;
        }
        tx += length;
    }
    if (count == 0) {
        return;
    }

    constexpr int64_t kBytes = 3;
    const size_t span = static_cast<size_t>((x1 - x0) * kBytes);
    const size_t period = static_cast<size_t>((planned_end - x0) * kBytes);
    // Other formats are read pixel by pixel, only where the runs read.
    const bool raw = source.PixelFormat() == pf24bit;
    const Rows source_rows(source);
    const Rows target_rows(target);
    for (int64_t ty = y0; ty < y1; ++ty) {
        const int64_t v = ty - to.top;
        const int64_t sy = piece.top + (down ? v % ph : v);
        if (sy < 0 || sy >= source.Height()) {
            continue;
        }
        uint8_t* d = target_rows.Row(static_cast<int>(ty));
        for (size_t i = 0; i < count; ++i) {
            const Run& r = i < kInline ? runs[i] : more[i - kInline];
            if (raw) {
                CopyBytes(d + r.to * kBytes,
                          source_rows.Row(static_cast<int>(sy)) + r.from * kBytes,
                          static_cast<size_t>(r.length * kBytes));
            } else {
                ReadPixels(source, static_cast<int>(r.from), static_cast<int>(sy), r.length,
                           d + r.to * kBytes);
            }
        }
        if (doubling) {
            FillByDoubling(d + x0 * kBytes, period, span);
        }
    }
}

void Copy24(TBitmapData& target, const TRect& to, const TBitmapData& source, const TRect& piece) {
    Tile24(target, to, source, piece, false, false);
}

}  // namespace detail

using namespace detail;

namespace {

// Build3H for the usual case: a 24-bit source, the piece inside it, a target
// within the size caps, and ends that do not overlap, in the piece or in the
// target. Each row is then one copy of the left end with the middle's first
// period, the rest of the middle doubled within the row, and the right end.
// Every pixel of the target is written, so a target of the right size and
// format is reused as it is rather than allocated and cleared again. Returns
// false, having done nothing, for any other case.
bool Build3HWhole(const TBitmapData& source, const TRect& s, int left, int right, int width,
                  bool right_part, TBitmapData& target) {
    const int sw = s.Width();
    const int h = s.Height();
    const int end = right_part ? right : 0;  // columns of the right end drawn
    const int middle = sw - left - right;    // the piece's middle columns
    const int span = width - left - end;     // the target's middle columns
    if (source.PixelFormat() != framework::pf24bit || s.left < 0 || s.top < 0 ||
        s.right > source.Width() || s.bottom > source.Height() || h < 1 || width < 1 ||
        middle < 0 || span < 0 || (middle == 0 && span > 0)) {
        return false;
    }
    const TTargetSize size = TargetSize(width, h);
    if (size.width != width || size.height != h) {
        return false;
    }
    if (target.Width() != width || target.Height() != h ||
        target.PixelFormat() != framework::pf24bit) {
        Prepare(target, width, h);
    }
    const Rows source_rows(source);
    const Rows target_rows(target);
    const size_t head = static_cast<size_t>(left + std::min(middle, span)) * 3;
    const bool doubling = middle < kDoublingBelow && span > middle;
    const size_t period = static_cast<size_t>(middle) * 3;
    const size_t span_bytes = static_cast<size_t>(span) * 3;
    for (int y = 0; y < h; ++y) {
        const uint8_t* from = source_rows.Row(s.top + y) + static_cast<size_t>(s.left) * 3;
        uint8_t* to = target_rows.Row(y);
        CopyBytes(to, from, head);  // the left end and the first period
        uint8_t* mid = to + static_cast<size_t>(left) * 3;
        if (doubling) {
            FillByDoubling(mid, period, span_bytes);
        } else {
            for (size_t done = period; done < span_bytes; done += period) {
                CopyBytes(mid + done, from + static_cast<size_t>(left) * 3,
                          std::min(period, span_bytes - done));
            }
        }
        if (end > 0) {
            CopyBytes(to + static_cast<size_t>(width - end) * 3,
                      from + static_cast<size_t>(sw - end) * 3, static_cast<size_t>(end) * 3);
        }
    }
    return true;
}

// Builds a three-part image along the width. Without `right_part` the middle
// runs to the right edge.
void Build3H(const TBitmapData& source_in, TRect s, int left, int right, int width, bool right_part,
             TBitmapData& target) {
    s = Sane(s);
    left = std::max(Sane(left), 0);
    right = std::max(Sane(right), 0);
    width = Sane(width);
    const Source source(source_in, {&target});
    if (Build3HWhole(source.get(), s, left, right, width, right_part, target)) {
        return;
    }
    // The height comes from the piece: no more than the picture's.
    Prepare(target, width, std::min(s.Height(), source.get().Height()));
    width = target.Width();
    const int h = target.Height();
    if (left > 0) {
        Copy24(target, TRect{0, 0, left, h}, source.get(),
               TRect{s.left, s.top, s.left + left, s.bottom});
    }
    if (right_part && right > 0) {
        Copy24(target, TRect{width - right, 0, width, h}, source.get(),
               TRect{s.right - right, s.top, s.right, s.bottom});
    }
    Tile24(target, TRect{left, 0, right_part ? width - right : width, h}, source.get(),
           TRect{s.left + left, s.top, s.right - right, s.bottom}, true, false);
}

void Build9(const TBitmapData& source_in, TRect s, TPartGeometry g, TPartGeometry n, int width,
            int height, bool draw_centre, const TBandStretch& stretch, TBitmapData& target) {
    s = Sane(s);
    g = Sane(g);
    n = Sane(n);
    const Source source(source_in, {&target});
    Prepare(target, Sane(width), Sane(height));
    const int w = target.Width();
    const int h = target.Height();
    const TBitmapData& src = source.get();
    if (g.right_bottom.x == g.left_top.x || g.right_bottom.y == g.left_top.y || src.Empty() ||
        s.IsEmpty()) {
        return;
    }
    const int sw = s.Width();
    const int sh = s.Height();
    const TRect& c = g.client;
    const TRect& nc = n.client;
    // A rectangle of the piece, in source coordinates.
    auto part = [&](int l, int t, int r, int b) {
        return TRect{l + s.left, t + s.top, r + s.left, b + s.top};
    };
    auto band = [&](const TRect& to, const TRect& from, bool horizontal, bool stretched) {
        if (stretched) {
            framework::StretchCopy(target, to, src, from);
        } else {
            Tile24(target, to, src, from, horizontal, !horizontal);
        }
    };
    const TPoint &lt = g.left_top, &rt = g.right_top, &lb = g.left_bottom, &rb = g.right_bottom;
    const TPoint &nlt = n.left_top, &nrt = n.right_top, &nlb = n.left_bottom, &nrb = n.right_bottom;

    band(TRect{nlt.x, 0, nrt.x, nc.top}, part(lt.x, 0, rt.x, c.top), true, stretch.top);
    band(TRect{nlb.x, nc.bottom, nrb.x, h}, part(lb.x, c.bottom, rb.x, sh), true, stretch.bottom);
    band(TRect{0, nlt.y, nc.left, nlb.y}, part(0, lt.y, c.left, lb.y), false, stretch.left);
    band(TRect{nc.right, nrt.y, w, nrb.y}, part(c.right, rt.y, sw, rb.y), false, stretch.right);

    Copy24(target, TRect{0, 0, nlt.x, nc.top}, src, part(0, 0, lt.x, c.top));
    Copy24(target, TRect{0, nc.top, nc.left, nlt.y}, src, part(0, c.top, c.left, lt.y));
    Copy24(target, TRect{nrt.x, 0, w, nc.top}, src, part(rt.x, 0, sw, c.top));
    Copy24(target, TRect{nc.right, nc.top, w, nrt.y}, src, part(c.right, c.top, sw, rt.y));
    Copy24(target, TRect{0, nlb.y, nc.left, h}, src, part(0, lb.y, c.left, sh));
    Copy24(target, TRect{nc.left, nc.bottom, nlb.x, h}, src, part(c.left, c.bottom, lb.x, sh));
    Copy24(target, TRect{nrb.x, nc.bottom, w, h}, src, part(rb.x, c.bottom, sw, sh));
    Copy24(target, TRect{nc.right, nrb.y, w, nc.bottom}, src, part(c.right, rb.y, sw, c.bottom));

    if (draw_centre) {
        Tile24(target, nc, src, part(c.left, c.top, c.right, c.bottom), true, true);
    }
}

// Sizes one frame band, or empties it when it would have no pixels or no
// middle piece. Returns whether the band is to be drawn.
bool PrepareBand(TBitmapData& band, int width, int height, int middle) {
    if (width < 1 || height < 1 || middle < 1) {
        Prepare(band, 0, 0);
        return false;
    }
    Prepare(band, width, height);
    return true;
}

}  // namespace

void TilePiece(TBitmapData& target, const TRect& to, const TBitmapData& source, const TRect& piece,
               bool tile_across, bool tile_down) {
    const Source src(source, {&target});
    if (target.PixelFormat() != pf24bit) {
        target.SetPixelFormat(pf24bit);
    }
    Tile24(target, Sane(to), src.get(), Sane(piece), tile_across, tile_down);
}

void BuildPartImage3H(const TBitmapData& source, const TRect& piece, int left, int right, int width,
                      TBitmapData& target) {
    Build3H(source, piece, left, right, width, true, target);
}

void BuildPartImageLeft(const TBitmapData& source, const TRect& piece, int left, int right,
                        int width, TBitmapData& target) {
    Build3H(source, piece, left, right, width, false, target);
}

void BuildPartImage3V(const TBitmapData& source_in, const TRect& piece, int top, int bottom,
                      int height, TBitmapData& target) {
    const TRect s = Sane(piece);
    top = std::max(Sane(top), 0);
    bottom = std::max(Sane(bottom), 0);
    const Source source(source_in, {&target});
    // The width comes from the piece: no more than the picture's.
    Prepare(target, std::min(s.Width(), source.get().Width()), Sane(height));
    const int w = target.Width();
    height = target.Height();
    if (top > 0) {
        Copy24(target, TRect{0, 0, w, top}, source.get(),
               TRect{s.left, s.top, s.right, s.top + top});
    }
    if (bottom > 0) {
        Copy24(target, TRect{0, height - bottom, w, height}, source.get(),
               TRect{s.left, s.bottom - bottom, s.right, s.bottom});
    }
    Tile24(target, TRect{0, top, w, height - bottom}, source.get(),
           TRect{s.left, s.top + top, s.right, s.bottom - bottom}, false, true);
}

void BuildPartImage9(const TBitmapData& source, const TRect& piece, const TPartGeometry& from,
                     const TPartGeometry& to, int width, int height, bool draw_centre,
                     TBitmapData& target) {
    Build9(source, piece, from, to, width, height, draw_centre, TBandStretch{}, target);
}

void BuildPartImage9Stretch(const TBitmapData& source, const TRect& piece,
                            const TPartGeometry& from, const TPartGeometry& to, int width,
                            int height, bool draw_centre, const TBandStretch& stretch,
                            TBitmapData& target) {
    Build9(source, piece, from, to, width, height, draw_centre, stretch, target);
}

void BuildFrameBands(const TBitmapData& source_in, const TRect& piece, const TPartGeometry& from,
                     const TPartGeometry& to, int width, int height, const TBandStretch& stretch,
                     TBitmapData& top, TBitmapData& bottom, TBitmapData& left, TBitmapData& right) {
    const TRect s = Sane(piece);
    const TPartGeometry g = Sane(from);
    const TPartGeometry n = Sane(to);
    width = Sane(width);
    height = Sane(height);
    const Source source(source_in, {&top, &bottom, &left, &right});
    const TBitmapData& src = source.get();
    const int sw = s.Width();
    const int sh = s.Height();
    const TRect& c = g.client;
    const TRect& nc = n.client;
    const TPoint &lt = g.left_top, &rt = g.right_top, &lb = g.left_bottom, &rb = g.right_bottom;
    auto part = [&](int l, int t, int r, int b) {
        return TRect{l + s.left, t + s.top, r + s.left, b + s.top};
    };

    // Top and bottom: the middle fills the whole width from column 0 (or is
    // stretched between the moved corner points), then the corners. A band
    // is no thicker than the picture it is cut from.
    auto across = [&](TBitmapData& band, int band_height, int row, int row_end, int middle_left,
                      int middle_right, int new_left, int new_right, bool stretched) {
        if (!PrepareBand(band, width, std::min(band_height, src.Height()),
                         middle_right - middle_left)) {
            return;
        }
        const TRect middle = part(middle_left, row, middle_right, row_end);
        if (stretched) {
            framework::StretchCopy(band, TRect{new_left, 0, new_right, band_height}, src, middle);
        } else {
            Tile24(band, TRect{0, 0, width, band_height}, src, middle, true, false);
        }
        Copy24(band, TRect{0, 0, new_left, band_height}, src, part(0, row, middle_left, row_end));
        Copy24(band, TRect{new_right, 0, width, band_height}, src,
               part(middle_right, row, sw, row_end));
    };
    across(top, nc.top, 0, c.top, lt.x, rt.x, n.left_top.x, n.right_top.x, stretch.top);
    across(bottom, height - nc.bottom, c.bottom, sh, lb.x, rb.x, n.left_bottom.x, n.right_bottom.x,
           stretch.bottom);

    // Left and right: between the top and the bottom band. The middle fills
    // the band from row 0 (or is stretched between the end pieces), then the
    // end pieces at the top and the bottom.
    const int band_height = nc.bottom - nc.top;
    auto down = [&](TBitmapData& band, int band_width, int column, int column_end, int middle_top,
                    int middle_bottom, bool stretched) {
        if (!PrepareBand(band, std::min(band_width, src.Width()), band_height,
                         middle_bottom - middle_top)) {
            return;
        }
        const int head = middle_top - c.top;        // rows above the middle
        const int tail = c.bottom - middle_bottom;  // rows below it
        const TRect middle = part(column, middle_top, column_end, middle_bottom);
        if (stretched) {
            framework::StretchCopy(band, TRect{0, head, band_width, band_height - tail}, src,
                                   middle);
        } else {
            Tile24(band, TRect{0, 0, band_width, band_height}, src, middle, false, true);
        }
        Copy24(band, TRect{0, 0, band_width, head}, src,
               part(column, c.top, column_end, middle_top));
        Copy24(band, TRect{0, band_height - tail, band_width, band_height}, src,
               part(column, middle_bottom, column_end, c.bottom));
    };
    down(left, nc.left, 0, c.left, lt.y, lb.y, stretch.left);
    down(right, width - nc.right, c.right, sw, rt.y, rb.y, stretch.right);
}

void BuildTiledImage(const TBitmapData& source_in, const TRect& piece, int width, int height,
                     TBitmapData& target) {
    const Source source(source_in, {&target});
    Prepare(target, Sane(width), Sane(height));
    Tile24(target, TRect{0, 0, target.Width(), target.Height()}, source.get(), Sane(piece), true,
           true);
}

void DrawStripGlyph(TBitmapData& canvas, int x, int y, int n, int count, const TBitmapData& strip) {
    if (strip.Empty() || count < 1 || n < 1 || n > count) {
        return;
    }
    const int glyph_width = strip.Width() / count;
    if (glyph_width < 1) {
        return;
    }
    const int left = (n - 1) * glyph_width;
    // Like a bitmap drawn with automatic transparency: the colour of the
    // glyph's bottom-left pixel is left out.
    const TColor transparent = strip.Pixel(left, strip.Height() - 1);
    framework::TransparentCopy(canvas, x, y, strip,
                               TRect{left, 0, left + glyph_width, strip.Height()}, transparent);
}

}  // namespace skin
