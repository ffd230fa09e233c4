#include "contact_sheet.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "framework/bitmap_ops.h"
#include "framework/ini.h"
#include "label_font.h"

namespace fs = std::filesystem;

namespace skingen {

namespace {

using framework::TBitmapData;
using framework::TColor;
using framework::TRect;

constexpr TColor kBackground = 0xF0F0F0;
constexpr TColor kTitle = 0x202020;
constexpr TColor kName = 0x202020;
constexpr TColor kDetail = 0x606060;
constexpr TColor kFrame = 0x909090;

constexpr int kMargin = 16;        // around the sheet and between columns
constexpr int kColumnWidth = 720;  // pictures wrap to a new row beyond this
constexpr int kGap = 16;           // between pictures on a row
constexpr int kRowGap = 20;        // between rows
constexpr int kTitleScale = 3;
constexpr int kNameScale = 2;
constexpr int kDetailScale = 1;
constexpr int kLabelGap = 3;    // between the two label lines
constexpr int kPictureGap = 4;  // between the labels and the frame

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Detail(const SheetPicture& p) {
    return p.role + "  " + std::to_string(p.picture.Width()) + " x " +
           std::to_string(p.picture.Height());
}

int LabelsHeight() {
    return LabelHeight(kNameScale) + kLabelGap + LabelHeight(kDetailScale) + kPictureGap;
}

struct Placed {
    const SheetPicture* picture;
    int x, y;  // the item's top-left corner: labels, then the framed picture
};

struct Column {
    const SheetSkin* skin;
    std::vector<Placed> items;
    int width = 0;
    int height = 0;
};

int ItemWidth(const SheetPicture& p) {
    return std::max({p.picture.Width() + 2, LabelWidth(p.file, kNameScale),
                     LabelWidth(Detail(p), kDetailScale)});
}

int ItemHeight(const SheetPicture& p) {
    return LabelsHeight() + p.picture.Height() + 2;
}

// Places a skin's pictures on rows, relative to the column's top-left.
Column Lay(const SheetSkin& skin) {
    Column column{&skin, {}, LabelWidth(skin.name, kTitleScale), 0};
    int x = 0;
    int y = LabelHeight(kTitleScale) + kRowGap;
    int row_height = 0;
    for (const SheetPicture& p : skin.pictures) {
        const int w = ItemWidth(p);
        if (x > 0 && x + w > kColumnWidth) {
            x = 0;
            y += row_height + kRowGap;
            row_height = 0;
        }
        column.items.push_back(Placed{&p, x, y});
        column.width = std::max(column.width, x + w);
        row_height = std::max(row_height, ItemHeight(p));
        x += w + kGap;
    }
    column.height = y + row_height;
    return column;
}

}  // namespace

SheetSkin ReadSkinFolder(const fs::path& dir) {
    framework::TMemIniFile ini;
    ini.LoadFromText(ReadFile(dir / "skin.ini"));
    SheetSkin skin;
    skin.name = ini.ReadString("VERSION", "skinname", "");
    if (skin.name.empty()) {
        skin.name = dir.filename().string();
    }
    auto add = [&](const std::string& file, std::string role) {
        SheetPicture p{file, std::move(role), {}};
        try {
            p.picture.LoadFromBytes(ReadFile(dir / file));
        } catch (const base::Exception& e) {
            throw std::runtime_error((dir / file).string() + ": " + e.Message());
        }
        skin.pictures.push_back(std::move(p));
    };
    for (const char* key : {"picture", "inactivepicture", "mask"}) {
        const std::string file = ini.ReadString("PICTURES", key, "");
        if (!file.empty()) {
            add(file, key);
        }
    }
    const int count = ini.ReadInteger("PICTURES", "activepicturescount", 0);
    for (int i = 0; i < count; ++i) {
        add(ini.ReadString("PICTURES", std::to_string(i), ""), "index " + std::to_string(i));
    }
    return skin;
}

TBitmapData BuildContactSheet(const std::vector<SheetSkin>& skins) {
    std::vector<Column> columns;
    int width = kMargin;
    int height = 0;
    for (const SheetSkin& skin : skins) {
        columns.push_back(Lay(skin));
        width += columns.back().width + kMargin;
        height = std::max(height, columns.back().height);
    }
    height += 2 * kMargin;

    TBitmapData sheet(width, height, framework::pf24bit);
    framework::FillRect(sheet, TRect{0, 0, width, height}, kBackground);
    int left = kMargin;
    for (const Column& column : columns) {
        DrawLabel(sheet, left, kMargin, column.skin->name, kTitleScale, kTitle);
        for (const Placed& item : column.items) {
            const SheetPicture& p = *item.picture;
            const int x = left + item.x;
            int y = kMargin + item.y;
            DrawLabel(sheet, x, y, p.file, kNameScale, kName);
            DrawLabel(sheet, x, y + LabelHeight(kNameScale) + kLabelGap, Detail(p), kDetailScale,
                      kDetail);
            y += LabelsHeight();
            const int w = p.picture.Width();
            const int h = p.picture.Height();
            framework::FillRect(sheet, TRect{x, y, x + w + 2, y + h + 2}, kFrame);
            framework::CopyRect(sheet, x + 1, y + 1, p.picture, TRect{0, 0, w, h});
        }
        left += column.width + kMargin;
    }
    return sheet;
}

}  // namespace skingen
