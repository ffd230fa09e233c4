#include "sheet.h"

#include <algorithm>
#include <stdexcept>

namespace skingen {

namespace {

std::string Lower(std::string text) {
    for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    return text;
}

bool Overlap(const IRect& a, const IRect& b) {
    return a.l < b.r && b.l < a.r && a.t < b.b && b.t < a.b;
}

}  // namespace

Sheet::Sheet(int width) : width_(width), canvas_(width, kMaxHeight, kBackground) {}

IRect Sheet::At(int x, int y, int w, int h) {
    IRect r{x, y, x + w, y + h};
    if (x < 0 || y < 0 || r.r > width_ || r.b > kMaxHeight) {
        throw std::logic_error("Sheet: a piece leaves the sheet");
    }
    for (const IRect& other : pieces_) {
        if (Overlap(r, other)) {
            throw std::logic_error("Sheet: pieces overlap");
        }
    }
    pieces_.push_back(r);
    return r;
}

IRect Sheet::Next(int w, int h) {
    if (shelfY_ < 0) {
        int lowest = 0;
        for (const IRect& p : pieces_) {
            lowest = std::max(lowest, p.b);
        }
        shelfY_ = lowest + 1;
        shelfX_ = 1;
        shelfH_ = 0;
    }
    if (shelfX_ + w + 1 > width_) {
        shelfY_ += shelfH_ + 1;
        shelfX_ = 1;
        shelfH_ = 0;
    }
    IRect r = At(shelfX_, shelfY_, w, h);
    shelfX_ += w + 1;
    shelfH_ = std::max(shelfH_, h);
    return r;
}

Canvas Sheet::Finish() const {
    int lowest = 0;
    for (const IRect& p : pieces_) {
        lowest = std::max(lowest, p.b);
    }
    return canvas_.Crop(0, 0, width_, lowest + 1);
}

Section& Section::String(std::string_view key, std::string_view value) {
    // Keys match in any case, and a reader takes the first of two: a second
    // one would be a mistake that nothing shows.
    for (const auto& entry : keys) {
        if (Lower(entry.first) == Lower(std::string(key))) {
            throw std::logic_error("Description: key " + std::string(key) + " written twice in [" +
                                   name + "]");
        }
    }
    keys.emplace_back(std::string(key), std::string(value));
    return *this;
}

Section& Section::Int(std::string_view key, int value) {
    return String(key, std::to_string(value));
}

Section& Section::Flag(std::string_view key, bool value) {
    return String(key, value ? "1" : "0");
}

Section& Section::Rect(std::string_view key, IRect r) {
    return String(key, std::to_string(r.l) + "," + std::to_string(r.t) + "," + std::to_string(r.r) +
                           "," + std::to_string(r.b));
}

Section& Section::Point(std::string_view key, IPoint p) {
    return String(key, std::to_string(p.x) + "," + std::to_string(p.y));
}

Section& Section::Colour(std::string_view key, Color c) {
    return Int(key, DescriptionColor(c));
}

Section& Section::Font(std::string_view prefix, std::string_view name, int height,
                       std::string_view style, Color color) {
    std::string p(prefix);
    String(p + "fontname", name);
    Int(p + "fontheight", height);
    String(p + "fontstyle", style);
    return Colour(p + "fontcolor", color);
}

Section& Description::Add(std::string name) {
    for (const Section& s : sections_) {
        if (Lower(s.name) == Lower(name)) {
            throw std::logic_error("Description: section [" + name + "] written twice");
        }
    }
    sections_.push_back(Section{std::move(name), {}});
    return sections_.back();
}

std::string Description::Text() const {
    std::string out;
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (i > 0) {
            out += "\r\n";
        }
        out += "[" + sections_[i].name + "]\r\n";
        for (const auto& [key, value] : sections_[i].keys) {
            out += key + "=" + value + "\r\n";
        }
    }
    return out;
}

}  // namespace skingen
