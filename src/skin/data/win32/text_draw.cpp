#include "skin/data/win32/text_draw.h"

#include <climits>

#include "base/exception.h"
#include "base/text.h"
#include "skin/data/text_fit.h"

namespace skin {

std::wstring DrawingText(std::string_view gbk) {
    try {
        const std::u16string wide = base::GbkToUtf16(gbk);
        return std::wstring(wide.begin(), wide.end());
    } catch (const base::EEncodingError&) {
        // Not GBK: let the system replace what it cannot read.
        if (gbk.size() > static_cast<size_t>(INT_MAX)) {
            return {};
        }
        const int size = static_cast<int>(gbk.size());
        const int needed = MultiByteToWideChar(936, 0, gbk.data(), size, nullptr, 0);
        if (needed <= 0) {
            return {};
        }
        std::wstring result(static_cast<size_t>(needed), L'\0');
        MultiByteToWideChar(936, 0, gbk.data(), size, result.data(), needed);
        return result;
    }
}

int TextWidth(HDC dc, std::string_view gbk) {
    const std::wstring text = DrawingText(gbk);
    SIZE size{0, 0};
    if (text.empty() ||
        !GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size)) {
        return 0;
    }
    return size.cx;
}

void FitTextWithEllipsis(HDC dc, std::string& text, int max_width) {
    FitTextWithEllipsis(text, max_width, [dc](std::string_view t) { return TextWidth(dc, t); });
}

void DrawTextCentredV(HDC dc, std::string_view text, const framework::TRect& rect, int indent) {
    const std::wstring wide = DrawingText(text);
    if (wide.empty()) {
        return;
    }
    const int length = static_cast<int>(wide.size());
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc, wide.c_str(), length, &size);
    const int x = rect.left + indent + 2;
    const int y = rect.top + (rect.Height() - size.cy) / 2;
    const RECT clip{rect.left, rect.top, rect.right, rect.bottom};
    const int old_mode = SetBkMode(dc, TRANSPARENT);
    const UINT old_align = SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    ExtTextOutW(dc, x, y, ETO_CLIPPED, &clip, wide.c_str(), static_cast<UINT>(length), nullptr);
    if (old_align != GDI_ERROR) {
        SetTextAlign(dc, old_align);
    }
    if (old_mode != 0) {
        SetBkMode(dc, old_mode);
    }
}

}  // namespace skin
