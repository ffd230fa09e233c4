#pragma once

// Graphics over GDI: colours, fonts, pens, brushes, the canvas that draws on
// a device context, the bitmap that carries its own canvas, and regions.
//
// Texts are GBK; they reach GDI as UTF-16 converted with code page 936.

#include "framework/win32_api.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "framework/bitmap.h"

namespace framework {

// System colours are 0x80000000 | the COLOR_ index; other colours are
// 0x00BBGGRR. ColorToRGB resolves a system colour to its current value.
constexpr TColor kSystemColorFlag = 0x80000000u;
constexpr TColor clScrollBar = kSystemColorFlag | COLOR_SCROLLBAR;
constexpr TColor clWindow = kSystemColorFlag | COLOR_WINDOW;
constexpr TColor clWindowText = kSystemColorFlag | COLOR_WINDOWTEXT;
constexpr TColor clBtnFace = kSystemColorFlag | COLOR_BTNFACE;
constexpr TColor clBtnShadow = kSystemColorFlag | COLOR_BTNSHADOW;
constexpr TColor clBtnText = kSystemColorFlag | COLOR_BTNTEXT;
constexpr TColor clBtnHighlight = kSystemColorFlag | COLOR_BTNHIGHLIGHT;
constexpr TColor clHighlight = kSystemColorFlag | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = kSystemColorFlag | COLOR_HIGHLIGHTTEXT;
constexpr TColor clGrayText = kSystemColorFlag | COLOR_GRAYTEXT;
constexpr TColor cl3DDkShadow = kSystemColorFlag | COLOR_3DDKSHADOW;
constexpr TColor cl3DLight = kSystemColorFlag | COLOR_3DLIGHT;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNavy = 0x800000;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clYellow = 0x00FFFF;
// No colour at all (transparent drawing picks the colour itself).
constexpr TColor clNone = 0x1FFFFFFFu;
constexpr TColor clDefault = 0x20000000u;

TColor ColorToRGB(TColor color);

// Half-open rectangle helper for GDI's RECT.
inline RECT Rect(int left, int top, int right, int bottom) {
    return RECT{left, top, right, bottom};
}

// A GDI object made on demand from its owner's attributes and dropped when
// they change; deleted with its owner.
template <typename H>
class TGdiCache {
  public:
    TGdiCache() = default;
    TGdiCache(const TGdiCache&) = delete;
    TGdiCache& operator=(const TGdiCache&) = delete;
    ~TGdiCache() { Drop(); }

    void Drop() {
        if (handle_ != nullptr) {
            if (releasing_) {
                releasing_();
            }
            DeleteObject(handle_);
            handle_ = nullptr;
        }
    }
    // Called before the object is deleted. GDI must not delete an object
    // that is selected into a device context: the canvas that owns the
    // font, pen or brush puts the previous object back here.
    void SetReleasing(std::function<void()> hook) { releasing_ = std::move(hook); }
    // The object, made by `make` when there is none; `fallback` (a stock
    // object) when the system cannot make one, so drawing goes on.
    template <typename Make>
    H Get(Make make, H fallback) const {
        if (handle_ == nullptr) {
            handle_ = make();
        }
        return handle_ != nullptr ? handle_ : fallback;
    }

  private:
    mutable H handle_ = nullptr;
    std::function<void()> releasing_;
};

enum TFontStyle : uint32_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint32_t;

// Font attributes with a GDI font made on demand. The height is GDI's: a
// negative value is the character height in pixels, a positive one the cell
// height. Every change calls OnChange.
class TFont {
  public:
    TFont();
    TFont(const TFont& other);
    TFont& operator=(const TFont& other) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name);
    int Height() const { return height_; }
    void SetHeight(int height);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    // The angle of the text's base line in tenths of a degree,
    // counter-clockwise (900: text running upwards); 0 unless set.
    int Orientation() const { return orientation_; }
    void SetOrientation(int tenths);
    // DEFAULT_CHARSET (1) unless set.
    int Charset() const { return charset_; }
    void SetCharset(int charset);

    // Takes every attribute of `other`; OnChange once.
    void Assign(const TFont& other);
    bool SameAs(const TFont& other) const;

    // The GDI font for the current attributes, owned by this object and
    // valid until the next change.
    HFONT Handle() const;

    std::function<void(TFont&)> OnChange;

  private:
    friend class TCanvas;  // takes the object out of its device context before it goes
    void Changed();

    std::string name_;
    int height_;
    TFontStyles style_ = 0;
    TColor color_ = clWindowText;
    int charset_ = DEFAULT_CHARSET;
    int orientation_ = 0;
    TGdiCache<HFONT> handle_;
};

enum TPenStyle { psSolid, psClear };

class TPen {
  public:
    TPen() = default;
    TPen(const TPen&) = delete;
    TPen& operator=(const TPen&) = delete;

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    int Width() const { return width_; }
    void SetWidth(int width);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);
    HPEN Handle() const;

  private:
    friend class TCanvas;  // takes the object out of its device context before it goes
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TGdiCache<HPEN> handle_;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush {
  public:
    TBrush() = default;
    TBrush(const TBrush&) = delete;
    TBrush& operator=(const TBrush&) = delete;

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);
    // Null for the clear style.
    HBRUSH Handle() const;

  private:
    friend class TCanvas;  // takes the object out of its device context before it goes
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    TGdiCache<HBRUSH> handle_;
};

class TBitmap;

// Drawing on a device context with the current pen, brush and font. The
// canvas does not own the device context; it selects its objects into it
// before each operation and puts the previous ones back when the handle is
// taken away (SetHandle(nullptr)) or the canvas is destroyed.
class TCanvas {
  public:
    TCanvas() { WatchObjects(); }
    explicit TCanvas(HDC dc) {
        WatchObjects();
        SetHandle(dc);
    }
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    virtual ~TCanvas();

    // The device context, made first when the canvas makes its own.
    HDC Handle() {
        RequireHandle();
        return dc_;
    }
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return dc_ != nullptr; }

    TFont& Font() { return font_; }
    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }

    void MoveTo(int x, int y);
    // A line to (x, y) with the pen; the end point is not drawn.
    void LineTo(int x, int y);
    void Polyline(const POINT* points, int count);
    // Outlined with the pen, filled with the brush; right and bottom exclusive.
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const RECT& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
    // Fills with the brush (nothing for the clear brush).
    void FillRect(const RECT& r);
    // A one-pixel frame in the brush colour.
    void FrameRect(const RECT& r);
    // Text in the font; the background is filled with the brush unless the
    // brush is clear.
    void TextOut(int x, int y, std::string_view text);
    SIZE TextExtent(std::string_view text);
    int TextWidth(std::string_view text) { return TextExtent(text).cx; }
    int TextHeight(std::string_view text) { return TextExtent(text).cy; }
    // DrawTextW with the given DT_ flags; returns the height of the text.
    // With DT_CALCRECT, `r` receives the size the text needs.
    int DrawText(std::string_view text, RECT& r, UINT flags);
    // The clip region limits every later drawing operation (copied; the
    // caller keeps its region). Null removes the clip.
    void SetClipRegion(HRGN region);

    // Bitmaps: drawn 1:1 at (x, y), transparently when it is a TBitmap whose
    // Transparent() is set.
    void Draw(int x, int y, const TBitmapData& bitmap);
    // Scaled into `r` (the canvas's stretch mode, COLORONCOLOR by default).
    void StretchDraw(const RECT& r, const TBitmapData& bitmap);
    // The part `source` of `bitmap` 1:1 at (x, y).
    void DrawPart(int x, int y, const TBitmapData& bitmap, const RECT& source);
    // Copies `source` of another canvas into `dest`, scaled when the sizes
    // differ.
    void CopyRect(const RECT& dest, TCanvas& canvas, const RECT& source);
    // Draws `source` of `bitmap` at (x, y) leaving out every pixel of colour
    // `transparent`.
    void DrawTransparent(int x, int y, const TBitmapData& bitmap, const RECT& source,
                         TColor transparent);

    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

  protected:
    // Called before each drawing operation with the handle; the bitmap canvas
    // creates its device context here.
    virtual void RequireHandle() {}
    // Called after each drawing operation; the bitmap canvas flushes GDI's
    // batch so the pixels can be read at once.
    virtual void Drawn() {}

  private:
    // Has the font, pen and brush call Restore before their GDI object goes.
    void WatchObjects();
    // Puts `old` back into the device context, if one was taken out.
    void Restore(HGDIOBJ& old);
    void SelectPen();
    void SelectBrush();
    void SelectFont();
    void Deselect();

    HDC dc_ = nullptr;
    TFont font_;
    TPen pen_;
    TBrush brush_;
    HGDIOBJ oldPen_ = nullptr;
    HGDIOBJ oldBrush_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
};

// Whether a transparent bitmap takes its transparent colour from its
// bottom-left pixel (automatic) or from TransparentColor.
enum TTransparentMode { tmAuto, tmFixed };

// A bitmap with a canvas: GDI draws straight into its DIB section through a
// memory device context made on first use.
class TBitmap : public TBitmapData {
  public:
    TBitmap();
    TBitmap(int width, int height, TPixelFormat format = pf24bit);
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);
    ~TBitmap() override;

    TCanvas& Canvas();
    // The device context the section is selected into, when the canvas has
    // made one; drawing from this bitmap must use it, since a section can be
    // selected into one device context only.
    HDC CanvasHandle() const;

    // Copies the pixels, format, palette and transparency of `source`.
    void Assign(const TBitmapData& source);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode mode);
    // The colour left out when drawn transparently: the fixed one, or the
    // bottom-left pixel in automatic mode (clNone for an empty bitmap).
    TColor TransparentColor() const;
    void SetTransparentColor(TColor color);

    std::function<void(TBitmap&)> OnChange;

  protected:
    void PixelMemoryChanging() override;
    void PixelMemoryChanged() override;

  private:
    class BitmapCanvas;
    void Changed();

    std::unique_ptr<BitmapCanvas> canvas_;
    bool transparent_ = false;
    TTransparentMode transparentMode_ = tmAuto;
    TColor transparentColor_ = clNone;
};

// Owns a GDI region; moves, never copies.
class TRegion {
  public:
    TRegion() = default;
    explicit TRegion(HRGN handle) : handle_(handle) {}
    static TRegion FromRect(int left, int top, int right, int bottom);
    TRegion(TRegion&& other) noexcept : handle_(other.Release()) {}
    TRegion& operator=(TRegion&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    ~TRegion() { Reset(nullptr); }

    HRGN Handle() const { return handle_; }
    bool Empty() const;
    // Adds `other` (RGN_OR); a null region of this object becomes a copy.
    void Union(const TRegion& other);
    void Offset(int dx, int dy);
    // The handle goes to the caller (for SetWindowRgn, which takes it).
    HRGN Release() {
        HRGN h = handle_;
        handle_ = nullptr;
        return h;
    }
    void Reset(HRGN handle);

  private:
    HRGN handle_ = nullptr;
};

// Copies what the screen shows in `r` into `out` (24 bits, r's size).
void CaptureScreen(const RECT& r, TBitmap& out);

// GBK text to the UTF-16 that the W functions take (code page 936; bytes
// that are not GBK become U+FFFD so drawing never fails on text).
std::wstring WideText(std::string_view gbk);
// UTF-16 from the system back to GBK ('?' for what GBK lacks).
std::string GbkText(std::wstring_view wide);

}  // namespace framework
