// Caption text measured and drawn with a real font on a memory device
// context.

#include "skin/data/win32/text_draw.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "base/text.h"

namespace skin {
namespace {

constexpr COLORREF kPaper = RGB(255, 255, 255);
constexpr COLORREF kBackground = RGB(255, 0, 0);  // what an opaque background would paint

// A memory device context with a 32-bit top-down section and a 16-pixel
// font selected.
class Surface {
  public:
    Surface(int width, int height) : width_(width), height_(height) {
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        section_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels_ = static_cast<uint32_t*>(bits);
        old_bitmap_ = SelectObject(dc_, section_);
        font_ = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                            DEFAULT_PITCH, L"SimSun");
        old_font_ = SelectObject(dc_, font_);
        Clear();
        SetTextColor(dc_, RGB(0, 0, 0));
        SetBkColor(dc_, kBackground);
        SetBkMode(dc_, OPAQUE);
    }
    ~Surface() {
        SelectObject(dc_, old_font_);
        SelectObject(dc_, old_bitmap_);
        DeleteObject(font_);
        DeleteObject(section_);
        DeleteDC(dc_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    HDC dc() const { return dc_; }
    bool valid() const { return dc_ != nullptr && pixels_ != nullptr && font_ != nullptr; }

    void Clear() {
        GdiFlush();
        for (int i = 0; i < width_ * height_; ++i) {
            pixels_[i] = 0x00FFFFFF;  // kPaper as 0x00RRGGBB
        }
    }
    // 0x00RRGGBB.
    uint32_t At(int x, int y) const {
        GdiFlush();
        return pixels_[y * width_ + x] & 0xFFFFFF;
    }
    bool Ink(int x, int y) const {
        const uint32_t p = At(x, y);
        return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 128;
    }
    // The smallest rectangle holding every dark pixel; empty when none.
    RECT InkBox() const {
        RECT box{width_, height_, 0, 0};
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                if (Ink(x, y)) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
            }
        }
        return box;
    }
    int Count(uint32_t colour) const {
        int n = 0;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                n += At(x, y) == colour ? 1 : 0;
            }
        }
        return n;
    }
    bool SamePixels(const Surface& other) const {
        GdiFlush();
        return std::equal(pixels_, pixels_ + width_ * height_, other.pixels_);
    }

  private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP section_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ old_bitmap_ = nullptr, old_font_ = nullptr;
    uint32_t* pixels_ = nullptr;
};

// --- measuring and shortening -------------------------------------------------------

TEST(TextWidth, MeasuresGbkTextInTheSelectedFont) {
    Surface s(10, 10);
    ASSERT_TRUE(s.valid());
    const int one = TextWidth(s.dc(), "ABC");
    EXPECT_GT(one, 0);
    EXPECT_EQ(TextWidth(s.dc(), "ABCABC"), 2 * one);
    EXPECT_EQ(TextWidth(s.dc(), ""), 0);
    EXPECT_GT(TextWidth(s.dc(), "升级"), 0);
    // Bytes that are not GBK are measured as the system converts them.
    EXPECT_GE(TextWidth(s.dc(), "a\x81"), TextWidth(s.dc(), "a"));
}

TEST(FitTextWithEllipsis, ShortensToTheLongestPrefixThatFitsWithDots) {
    Surface s(10, 10);
    ASSERT_TRUE(s.valid());
    const std::string original = "Downloading the update files";
    std::string text = original;
    FitTextWithEllipsis(s.dc(), text, TextWidth(s.dc(), original));
    EXPECT_EQ(text, original);

    const int max_width = TextWidth(s.dc(), original) / 2;
    FitTextWithEllipsis(s.dc(), text, max_width);
    ASSERT_GE(text.size(), 3u);
    ASSERT_EQ(text.substr(text.size() - 3), "...");
    const std::string kept = text.substr(0, text.size() - 3);
    EXPECT_EQ(original.substr(0, kept.size()), kept);
    EXPECT_LE(TextWidth(s.dc(), text), max_width);
    // One more character would not have fitted.
    EXPECT_GT(TextWidth(s.dc(), original.substr(0, kept.size() + 1) + "..."), max_width);
}

TEST(FitTextWithEllipsis, KeepsChineseCharactersWhole) {
    Surface s(10, 10);
    ASSERT_TRUE(s.valid());
    const std::string original = "正在下载升级文件，请稍候";
    for (int max_width = 0; max_width < TextWidth(s.dc(), original); max_width += 3) {
        std::string text = original;
        FitTextWithEllipsis(s.dc(), text, max_width);
        ASSERT_EQ(text.substr(text.size() - 3), "...") << max_width;
        const std::string kept = text.substr(0, text.size() - 3);
        EXPECT_EQ(kept.size() % 2, 0u) << max_width;
        EXPECT_EQ(original.substr(0, kept.size()), kept);
        EXPECT_NO_THROW(base::GbkToUtf16(kept)) << max_width;
        if (!kept.empty()) {
            EXPECT_LE(TextWidth(s.dc(), text), max_width);
        }
    }
}

// --- drawing ----------------------------------------------------------------------------

TEST(DrawTextCentredV, DrawsAtTheIndentCentredWithoutABackground) {
    Surface drawn(200, 40), expected(200, 40);
    ASSERT_TRUE(drawn.valid() && expected.valid());
    const framework::TRect rect{10, 5, 190, 35};
    DrawTextCentredV(drawn.dc(), "Hg 升级", rect, 7);

    // The same text written at left + indent + 2 and at the row that centres
    // its extent in the rectangle.
    const std::wstring wide = DrawingText("Hg 升级");
    SIZE size{};
    ASSERT_TRUE(
        GetTextExtentPoint32W(expected.dc(), wide.c_str(), static_cast<int>(wide.size()), &size));
    ASSERT_GT(size.cy, 10);
    SetBkMode(expected.dc(), TRANSPARENT);
    TextOutW(expected.dc(), 10 + 7 + 2, 5 + (30 - size.cy) / 2, wide.c_str(),
             static_cast<int>(wide.size()));
    EXPECT_TRUE(drawn.SamePixels(expected));

    const RECT ink = drawn.InkBox();
    EXPECT_GE(ink.left, 19);
    EXPECT_LT(ink.left, 24);
    EXPECT_GE(ink.top, 5);
    EXPECT_LE(ink.bottom, 35);
    EXPECT_EQ(drawn.Count(0xFF0000), 0);       // no background was painted
    EXPECT_EQ(GetBkMode(drawn.dc()), OPAQUE);  // and the mode is back
}

TEST(DrawTextCentredV, IgnoresAndKeepsTheTextAlignment) {
    Surface plain(200, 40), aligned(200, 40);
    ASSERT_TRUE(plain.valid() && aligned.valid());
    SetTextAlign(aligned.dc(), TA_BASELINE | TA_RIGHT);
    DrawTextCentredV(plain.dc(), "Caption", framework::TRect{0, 0, 200, 40}, 0);
    DrawTextCentredV(aligned.dc(), "Caption", framework::TRect{0, 0, 200, 40}, 0);
    EXPECT_TRUE(plain.SamePixels(aligned));
    EXPECT_EQ(GetTextAlign(aligned.dc()), static_cast<UINT>(TA_BASELINE | TA_RIGHT));
}

TEST(DrawTextCentredV, StaysInsideTheRectangle) {
    Surface s(120, 40);
    ASSERT_TRUE(s.valid());
    DrawTextCentredV(s.dc(), "A long caption that does not fit", framework::TRect{10, 10, 60, 30},
                     0);
    const RECT ink = s.InkBox();
    ASSERT_LT(ink.left, ink.right);  // something was drawn
    EXPECT_GE(ink.left, 12);
    EXPECT_LE(ink.right, 60);
    EXPECT_GE(ink.top, 10);
    EXPECT_LE(ink.bottom, 30);
}

}  // namespace
}  // namespace skin
