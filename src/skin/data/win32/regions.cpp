#include "skin/data/win32/regions.h"

#include <cstring>
#include <vector>

namespace skin {

namespace {

RECT ToRect(const TRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

}  // namespace

HRGN RegionFromRuns(const TMaskRuns& runs) {
    const std::vector<TRect> rects = runs.Rectangles();
    if (rects.empty()) {
        return CreateRectRgn(0, 0, 0, 0);
    }
    if (rects.size() == 1) {
        return CreateRectRgn(rects[0].left, rects[0].top, rects[0].right, rects[0].bottom);
    }
    // RGNDATA: the header, then the rectangles. Kept in a DWORD-aligned
    // buffer.
    const size_t rect_bytes = rects.size() * sizeof(RECT);
    std::vector<DWORD> buffer((sizeof(RGNDATAHEADER) + rect_bytes + sizeof(DWORD) - 1) /
                              sizeof(DWORD));
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(rects.size());
    data->rdh.nRgnSize = static_cast<DWORD>(rect_bytes);
    data->rdh.rcBound = ToRect(runs.bounds);
    auto* out = reinterpret_cast<RECT*>(data->Buffer);
    for (size_t i = 0; i < rects.size(); ++i) {
        out[i] = ToRect(rects[i]);
    }
    HRGN region =
        ExtCreateRegion(nullptr, static_cast<DWORD>(sizeof(RGNDATAHEADER) + rect_bytes), data);
    if (region != nullptr) {
        return region;
    }
    // The system refused the list (out of resources): unite the rectangles
    // one by one instead, which gives the same region.
    region = CreateRectRgn(0, 0, 0, 0);
    for (const TRect& r : rects) {
        HRGN part = CreateRectRgn(r.left, r.top, r.right, r.bottom);
        CombineRgn(region, region, part, RGN_OR);
        DeleteObject(part);
    }
    return region;
}

HRGN MaskToRegion(const TBitmapData& mask, int x, int y) {
    return RegionFromRuns(MaskRuns(mask, x, y));
}

HRGN MaskToRegion9(const TBitmapData& mask, const TPartGeometry& from, const TPartGeometry& to,
                   int width, int height) {
    const auto parts = MaskRuns9(mask, from, to, width, height);
    if (!parts) {
        return nullptr;
    }
    HRGN region = nullptr;
    for (const TMaskRuns& part : *parts) {
        HRGN piece = RegionFromRuns(part);
        if (region == nullptr) {
            region = piece;
            continue;
        }
        CombineRgn(region, region, piece, RGN_OR);
        DeleteObject(piece);
    }
    return region;
}

}  // namespace skin
