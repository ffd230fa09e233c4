#pragma once

// Sheet: one picture of a skin's picture list, filled piece by piece, and
// Description: the skin description text.

#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "raster.h"
#include "skin.h"

namespace skingen {

// A picture that collects looks. A piece is either put at a fixed place
// (where other code relies on the coordinates) or on the next free shelf
// below all fixed pieces. Pieces never overlap; unused pixels keep the
// sheet's background colour, which no look uses.
class Sheet {
  public:
    static constexpr Color kBackground{255, 0, 255};

    explicit Sheet(int width);

    // The w x h area at (x, y). Throws when it overlaps a piece placed before
    // or leaves the sheet.
    IRect At(int x, int y, int w, int h);
    // The w x h area at the next free place of the shelves, one pixel apart.
    IRect Next(int w, int h);

    Canvas& Pixels() { return canvas_; }
    // The sheet cut below its lowest piece (one pixel of margin).
    Canvas Finish() const;

  private:
    static constexpr int kMaxHeight = 1024;

    int width_;
    Canvas canvas_;
    std::vector<IRect> pieces_;
    int shelfX_ = 1;
    int shelfY_ = -1;  // -1: no shelf started
    int shelfH_ = 0;
};

// One section of the description: its keys in the order they are written.
struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;

    Section& String(std::string_view key, std::string_view value);
    Section& Int(std::string_view key, int value);
    Section& Flag(std::string_view key, bool value);
    Section& Rect(std::string_view key, IRect r);
    Section& Point(std::string_view key, IPoint p);
    Section& Colour(std::string_view key, Color c);
    // Font keys: "<prefix>fontname", "<prefix>fontheight", "<prefix>fontstyle"
    // and "<prefix>fontcolor".
    Section& Font(std::string_view prefix, std::string_view name, int height,
                  std::string_view style, Color color);
};

// The skin description: 8-bit text, sections in the order they are added,
// each line ended by CR LF, an empty line between sections.
class Description {
  public:
    Section& Add(std::string name);
    std::string Text() const;

  private:
    std::deque<Section> sections_;  // Add hands out references that must stay valid
};

}  // namespace skingen
