#include "framework/graphics.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace framework {

TColor ColorToRGB(TColor color) {
    if ((color & kSystemColorFlag) != 0) {
        return static_cast<TColor>(GetSysColor(static_cast<int>(color & 0xFF)));
    }
    return color & 0x00FFFFFF;
}

std::wstring WideText(std::string_view gbk) {
    if (gbk.empty()) {
        return {};
    }
    const int size = static_cast<int>(std::min<size_t>(gbk.size(), 0x7FFFFFFF));
    const int length = MultiByteToWideChar(936, 0, gbk.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(std::max(length, 0)), L'\0');
    if (length > 0) {
        MultiByteToWideChar(936, 0, gbk.data(), size, wide.data(), length);
    }
    return wide;
}

std::string GbkText(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(std::min<size_t>(wide.size(), 0x7FFFFFFF));
    const int length = WideCharToMultiByte(936, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(std::max(length, 0)), '\0');
    if (length > 0) {
        WideCharToMultiByte(936, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
    }
    return text;
}

// --- TFont -------------------------------------------------------------------

TFont::TFont() : name_("MS Sans Serif"), height_(-11) {}

TFont::TFont(const TFont& other)
    : name_(other.name_),
      height_(other.height_),
      style_(other.style_),
      color_(other.color_),
      charset_(other.charset_),
      orientation_(other.orientation_) {}

namespace {

// Stores `value` in `field`; true when that changed it.
template <typename T>
bool Change(T& field, T value) {
    if (field == value) {
        return false;
    }
    field = std::move(value);
    return true;
}

}  // namespace

void TFont::Changed() {
    handle_.Drop();
    if (OnChange) {
        OnChange(*this);
    }
}

void TFont::SetName(std::string name) {
    if (Change(name_, std::move(name))) {
        Changed();
    }
}

void TFont::SetHeight(int height) {
    if (Change(height_, std::move(height))) {
        Changed();
    }
}

void TFont::SetStyle(TFontStyles style) {
    if (Change(style_, std::move(style))) {
        Changed();
    }
}

void TFont::SetColor(TColor color) {
    if (Change(color_, std::move(color))) {
        Changed();
    }
}

void TFont::SetOrientation(int tenths) {
    if (Change(orientation_, std::move(tenths))) {
        Changed();
    }
}

void TFont::SetCharset(int charset) {
    if (Change(charset_, std::move(charset))) {
        Changed();
    }
}

bool TFont::SameAs(const TFont& other) const {
    return name_ == other.name_ && height_ == other.height_ && style_ == other.style_ &&
           color_ == other.color_ && charset_ == other.charset_ &&
           orientation_ == other.orientation_;
}

void TFont::Assign(const TFont& other) {
    if (&other == this || SameAs(other)) {
        return;
    }
    name_ = other.name_;
    height_ = other.height_;
    style_ = other.style_;
    color_ = other.color_;
    charset_ = other.charset_;
    orientation_ = other.orientation_;
    Changed();
}

HFONT TFont::Handle() const {
    return handle_.Get(
        [this] {
            LOGFONTW lf{};
            lf.lfHeight = height_;
            lf.lfWeight = (style_ & fsBold) != 0 ? FW_BOLD : FW_NORMAL;
            lf.lfItalic = (style_ & fsItalic) != 0;
            lf.lfUnderline = (style_ & fsUnderline) != 0;
            lf.lfStrikeOut = (style_ & fsStrikeOut) != 0;
            lf.lfCharSet = static_cast<BYTE>(charset_);
            lf.lfEscapement = orientation_;
            lf.lfOrientation = orientation_;
            lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
            lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
            lf.lfQuality = DEFAULT_QUALITY;
            lf.lfPitchAndFamily = DEFAULT_PITCH;
            const std::wstring face = WideText(name_);
            std::copy_n(face.begin(), std::min<size_t>(face.size(), LF_FACESIZE - 1),
                        lf.lfFaceName);
            return CreateFontIndirectW(&lf);
        },
        static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
}

// --- TPen, TBrush ------------------------------------------------------------

void TPen::SetColor(TColor color) {
    if (Change(color_, color)) {
        handle_.Drop();
    }
}

void TPen::SetWidth(int width) {
    if (Change(width_, std::max(width, 1))) {
        handle_.Drop();
    }
}

void TPen::SetStyle(TPenStyle style) {
    if (Change(style_, style)) {
        handle_.Drop();
    }
}

HPEN TPen::Handle() const {
    return handle_.Get(
        [this] {
            return CreatePen(style_ == psClear ? PS_NULL : PS_SOLID, width_, ColorToRGB(color_));
        },
        static_cast<HPEN>(GetStockObject(BLACK_PEN)));
}

void TBrush::SetColor(TColor color) {
    // A colour makes a clear brush solid again.
    if (Change(color_, color) || style_ == bsClear) {
        style_ = bsSolid;
        handle_.Drop();
    }
}

void TBrush::SetStyle(TBrushStyle style) {
    if (Change(style_, style)) {
        handle_.Drop();
    }
}

HBRUSH TBrush::Handle() const {
    if (style_ == bsClear) {
        return nullptr;
    }
    return handle_.Get([this] { return CreateSolidBrush(ColorToRGB(color_)); },
                       static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

// --- TCanvas -----------------------------------------------------------------

TCanvas::~TCanvas() {
    Deselect();
    font_.handle_.SetReleasing(nullptr);
    pen_.handle_.SetReleasing(nullptr);
    brush_.handle_.SetReleasing(nullptr);
}

void TCanvas::WatchObjects() {
    font_.handle_.SetReleasing([this] { Restore(oldFont_); });
    pen_.handle_.SetReleasing([this] { Restore(oldPen_); });
    brush_.handle_.SetReleasing([this] { Restore(oldBrush_); });
}

void TCanvas::Restore(HGDIOBJ& old) {
    // While `old` is kept, this canvas's own object is the one selected.
    if (dc_ != nullptr && old != nullptr) {
        SelectObject(dc_, old);
    }
    old = nullptr;
}

void TCanvas::Deselect() {
    Restore(oldPen_);
    Restore(oldBrush_);
    Restore(oldFont_);
}

void TCanvas::SetHandle(HDC dc) {
    if (dc == dc_) {
        return;
    }
    Deselect();
    dc_ = dc;
}

void TCanvas::SelectPen() {
    HGDIOBJ old = SelectObject(dc_, pen_.Handle());
    if (oldPen_ == nullptr) {
        oldPen_ = old;
    }
}

void TCanvas::SelectBrush() {
    HBRUSH brush = brush_.Handle();
    HGDIOBJ old = SelectObject(dc_, brush != nullptr ? brush : GetStockObject(NULL_BRUSH));
    if (oldBrush_ == nullptr) {
        oldBrush_ = old;
    }
}

void TCanvas::SelectFont() {
    HGDIOBJ old = SelectObject(dc_, font_.Handle());
    if (oldFont_ == nullptr) {
        oldFont_ = old;
    }
    SetTextColor(dc_, ColorToRGB(font_.Color()));
    if (brush_.Style() == bsClear) {
        SetBkMode(dc_, TRANSPARENT);
    } else {
        SetBkMode(dc_, OPAQUE);
        SetBkColor(dc_, ColorToRGB(brush_.Color()));
    }
}

void TCanvas::MoveTo(int x, int y) {
    RequireHandle();
    MoveToEx(dc_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    RequireHandle();
    SelectPen();
    ::LineTo(dc_, x, y);
    Drawn();
}

void TCanvas::Polyline(const POINT* points, int count) {
    RequireHandle();
    SelectPen();
    ::Polyline(dc_, points, count);
    Drawn();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    RequireHandle();
    SelectPen();
    SelectBrush();
    ::Rectangle(dc_, left, top, right, bottom);
    Drawn();
}

void TCanvas::FillRect(const RECT& r) {
    RequireHandle();
    if (HBRUSH brush = brush_.Handle()) {
        ::FillRect(dc_, &r, brush);
    }
    Drawn();
}

void TCanvas::FrameRect(const RECT& r) {
    RequireHandle();
    if (HBRUSH brush = brush_.Handle()) {
        ::FrameRect(dc_, &r, brush);
    }
    Drawn();
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
    RequireHandle();
    SelectFont();
    const std::wstring wide = WideText(text);
    ExtTextOutW(dc_, x, y, 0, nullptr, wide.c_str(), static_cast<UINT>(wide.size()), nullptr);
    Drawn();
}

SIZE TCanvas::TextExtent(std::string_view text) {
    RequireHandle();
    SelectFont();
    const std::wstring wide = WideText(text);
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size;
}

int TCanvas::DrawText(std::string_view text, RECT& r, UINT flags) {
    RequireHandle();
    SelectFont();
    std::wstring wide = WideText(text);
    const int height = ::DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &r, flags);
    Drawn();
    return height;
}

void TCanvas::SetClipRegion(HRGN region) {
    RequireHandle();
    SelectClipRgn(dc_, region);
}

namespace {

// Selects a bitmap's DIB section into a memory device context for the
// duration of a copy.
class SourceDc {
  public:
    explicit SourceDc(const TBitmapData& bitmap) {
        if (const auto* withCanvas = dynamic_cast<const TBitmap*>(&bitmap)) {
            existing_ = withCanvas->CanvasHandle();
            if (existing_ != nullptr) {
                return;
            }
        }
        dc_ = CreateCompatibleDC(nullptr);
        if (dc_ != nullptr && bitmap.Handle() != nullptr) {
            old_ = SelectObject(dc_, static_cast<HBITMAP>(bitmap.Handle()));
        }
    }
    ~SourceDc() {
        if (dc_ != nullptr) {
            if (old_ != nullptr) {
                SelectObject(dc_, old_);
            }
            DeleteDC(dc_);
        }
    }
    SourceDc(const SourceDc&) = delete;
    SourceDc& operator=(const SourceDc&) = delete;
    HDC Get() const { return existing_ != nullptr ? existing_ : old_ != nullptr ? dc_ : nullptr; }

  private:
    HDC existing_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

}  // namespace

void TCanvas::Draw(int x, int y, const TBitmapData& bitmap) {
    if (bitmap.Empty()) {
        return;
    }
    const auto* withCanvas = dynamic_cast<const TBitmap*>(&bitmap);
    const RECT all = Rect(0, 0, bitmap.Width(), bitmap.Height());
    if (withCanvas != nullptr && withCanvas->Transparent()) {
        DrawTransparent(x, y, bitmap, all, withCanvas->TransparentColor());
        return;
    }
    DrawPart(x, y, bitmap, all);
}

void TCanvas::DrawPart(int x, int y, const TBitmapData& bitmap, const RECT& source) {
    if (bitmap.Empty() || bitmap.Handle() == nullptr) {
        return;
    }
    RequireHandle();
    GdiFlush();
    SourceDc src(bitmap);
    if (src.Get() != nullptr) {
        BitBlt(dc_, x, y, source.right - source.left, source.bottom - source.top, src.Get(),
               source.left, source.top, SRCCOPY);
    }
    Drawn();
}

void TCanvas::StretchDraw(const RECT& r, const TBitmapData& bitmap) {
    if (bitmap.Empty() || bitmap.Handle() == nullptr) {
        return;
    }
    RequireHandle();
    GdiFlush();
    SourceDc src(bitmap);
    if (src.Get() != nullptr) {
        const int oldMode = SetStretchBltMode(dc_, COLORONCOLOR);
        StretchBlt(dc_, r.left, r.top, r.right - r.left, r.bottom - r.top, src.Get(), 0, 0,
                   bitmap.Width(), bitmap.Height(), SRCCOPY);
        SetStretchBltMode(dc_, oldMode);
    }
    Drawn();
}

void TCanvas::CopyRect(const RECT& dest, TCanvas& canvas, const RECT& source) {
    RequireHandle();
    canvas.RequireHandle();
    GdiFlush();
    const int dw = dest.right - dest.left;
    const int dh = dest.bottom - dest.top;
    const int sw = source.right - source.left;
    const int sh = source.bottom - source.top;
    if (dw == sw && dh == sh) {
        BitBlt(dc_, dest.left, dest.top, dw, dh, canvas.Handle(), source.left, source.top, SRCCOPY);
    } else {
        const int oldMode = SetStretchBltMode(dc_, COLORONCOLOR);
        StretchBlt(dc_, dest.left, dest.top, dw, dh, canvas.Handle(), source.left, source.top, sw,
                   sh, SRCCOPY);
        SetStretchBltMode(dc_, oldMode);
    }
    Drawn();
}

void TCanvas::DrawTransparent(int x, int y, const TBitmapData& bitmap, const RECT& source,
                              TColor transparent) {
    if (bitmap.Empty() || bitmap.Handle() == nullptr) {
        return;
    }
    RequireHandle();
    GdiFlush();
    SourceDc src(bitmap);
    if (src.Get() != nullptr) {
        // TransparentBlt would need msimg32; the mask and two raster
        // operations below do the same with plain GDI: the mask is white
        // where the source has the transparent colour.
        const int w = source.right - source.left;
        const int h = source.bottom - source.top;
        HDC maskDc = CreateCompatibleDC(nullptr);
        HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
        if (maskDc != nullptr && mask != nullptr) {
            HGDIOBJ oldMask = SelectObject(maskDc, mask);
            const COLORREF oldBk = SetBkColor(src.Get(), ColorToRGB(transparent));
            BitBlt(maskDc, 0, 0, w, h, src.Get(), source.left, source.top, SRCCOPY);
            SetBkColor(src.Get(), oldBk);
            // Opaque pixels of the destination to black, then the source with
            // its transparent pixels turned black OR-ed in.
            const COLORREF oldText = SetTextColor(dc_, RGB(0, 0, 0));
            const COLORREF oldBack = SetBkColor(dc_, RGB(255, 255, 255));
            BitBlt(dc_, x, y, w, h, maskDc, 0, 0, SRCAND);
            HDC tmpDc = CreateCompatibleDC(dc_);
            HBITMAP tmp = CreateCompatibleBitmap(dc_, w, h);
            if (tmpDc != nullptr && tmp != nullptr) {
                HGDIOBJ oldTmp = SelectObject(tmpDc, tmp);
                BitBlt(tmpDc, 0, 0, w, h, src.Get(), source.left, source.top, SRCCOPY);
                SetTextColor(tmpDc, RGB(255, 255, 255));
                SetBkColor(tmpDc, RGB(0, 0, 0));
                BitBlt(tmpDc, 0, 0, w, h, maskDc, 0, 0, SRCAND);
                BitBlt(dc_, x, y, w, h, tmpDc, 0, 0, SRCPAINT);
                SelectObject(tmpDc, oldTmp);
            }
            if (tmp != nullptr) {
                DeleteObject(tmp);
            }
            if (tmpDc != nullptr) {
                DeleteDC(tmpDc);
            }
            SetTextColor(dc_, oldText);
            SetBkColor(dc_, oldBack);
            SelectObject(maskDc, oldMask);
        }
        if (mask != nullptr) {
            DeleteObject(mask);
        }
        if (maskDc != nullptr) {
            DeleteDC(maskDc);
        }
    }
    Drawn();
}

TColor TCanvas::Pixel(int x, int y) const {
    const_cast<TCanvas*>(this)->RequireHandle();
    GdiFlush();
    const COLORREF c = GetPixel(dc_, x, y);
    return c == CLR_INVALID ? kInvalidColor : static_cast<TColor>(c);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    RequireHandle();
    ::SetPixel(dc_, x, y, ColorToRGB(color));
    Drawn();
}

// --- TBitmap -----------------------------------------------------------------

class TBitmap::BitmapCanvas : public TCanvas {
  public:
    explicit BitmapCanvas(TBitmap& owner) : owner_(owner) {}
    ~BitmapCanvas() override { FreeContext(); }

    // Takes the section out of the device context (before the pixel memory
    // goes away).
    void FreeContext() {
        if (dc_ == nullptr) {
            return;
        }
        SetHandle(nullptr);
        if (oldBitmap_ != nullptr) {
            SelectObject(dc_, oldBitmap_);
        }
        DeleteDC(dc_);
        dc_ = nullptr;
        oldBitmap_ = nullptr;
    }

  protected:
    void RequireHandle() override {
        if (dc_ != nullptr) {
            return;
        }
        dc_ = CreateCompatibleDC(nullptr);
        if (dc_ == nullptr) {
            throw EInvalidGraphicOperation("Out of system resources for a canvas");
        }
        if (owner_.Handle() != nullptr) {
            oldBitmap_ = SelectObject(dc_, static_cast<HBITMAP>(owner_.Handle()));
        }
        SetHandle(dc_);
    }
    void Drawn() override {
        GdiFlush();
        owner_.Changed();
    }

  private:
    TBitmap& owner_;
    HDC dc_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
};

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height, TPixelFormat format) : TBitmapData(width, height, format) {}

TBitmap::TBitmap(const TBitmap& other)
    : TBitmapData(other),
      transparent_(other.transparent_),
      transparentMode_(other.transparentMode_),
      transparentColor_(other.transparentColor_) {}

TBitmap& TBitmap::operator=(const TBitmap& other) {
    Assign(other);
    return *this;
}

TBitmap::~TBitmap() {
    // The section must leave the device context before it is deleted.
    canvas_.reset();
}

HDC TBitmap::CanvasHandle() const {
    return canvas_ && canvas_->HandleAllocated() ? canvas_->Handle() : nullptr;
}

TCanvas& TBitmap::Canvas() {
    if (!canvas_) {
        canvas_ = std::make_unique<BitmapCanvas>(*this);
    }
    return *canvas_;
}

void TBitmap::Assign(const TBitmapData& source) {
    if (&source == this) {
        return;
    }
    TBitmapData::operator=(source);
    if (const auto* other = dynamic_cast<const TBitmap*>(&source)) {
        transparent_ = other->transparent_;
        transparentMode_ = other->transparentMode_;
        transparentColor_ = other->transparentColor_;
    }
    Changed();
}

void TBitmap::PixelMemoryChanging() {
    if (canvas_) {
        canvas_->FreeContext();
    }
}

void TBitmap::PixelMemoryChanged() {
    Changed();
}

void TBitmap::Changed() {
    if (OnChange) {
        OnChange(*this);
    }
}

void TBitmap::SetTransparent(bool value) {
    if (value != transparent_) {
        transparent_ = value;
        Changed();
    }
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
    if (mode != transparentMode_) {
        transparentMode_ = mode;
        Changed();
    }
}

TColor TBitmap::TransparentColor() const {
    if (transparentMode_ == tmFixed) {
        return transparentColor_;
    }
    if (Empty()) {
        return clNone;
    }
    return Pixel(0, Height() - 1);
}

void TBitmap::SetTransparentColor(TColor color) {
    transparentColor_ = color;
    transparentMode_ = tmFixed;
    Changed();
}

void CaptureScreen(const RECT& r, TBitmap& out) {
    out.SetPixelFormat(pf24bit);
    out.SetSize(std::max<int>(r.right - r.left, 0), std::max<int>(r.bottom - r.top, 0));
    if (out.Empty()) {
        return;
    }
    HDC screen = GetDC(nullptr);
    BitBlt(out.Canvas().Handle(), 0, 0, out.Width(), out.Height(), screen, r.left, r.top,
           SRCCOPY | CAPTUREBLT);
    ReleaseDC(nullptr, screen);
    GdiFlush();
}

// --- TRegion -----------------------------------------------------------------

TRegion TRegion::FromRect(int left, int top, int right, int bottom) {
    return TRegion(CreateRectRgn(left, top, right, bottom));
}

bool TRegion::Empty() const {
    RECT box;
    return handle_ == nullptr || GetRgnBox(handle_, &box) == NULLREGION;
}

void TRegion::Union(const TRegion& other) {
    if (other.handle_ == nullptr) {
        return;
    }
    if (handle_ == nullptr) {
        handle_ = CreateRectRgn(0, 0, 0, 0);
    }
    CombineRgn(handle_, handle_, other.handle_, RGN_OR);
}

void TRegion::Offset(int dx, int dy) {
    if (handle_ != nullptr) {
        OffsetRgn(handle_, dx, dy);
    }
}

void TRegion::Reset(HRGN handle) {
    if (handle_ != nullptr && handle_ != handle) {
        DeleteObject(handle_);
    }
    handle_ = handle;
}

}  // namespace framework
