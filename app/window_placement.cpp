#include "app/window_placement.h"

#include <algorithm>

namespace hub {
namespace {

SIZE scaledWithin(int width, int height, UINT dpi, const RECT& workArea) noexcept {
    const int scale = static_cast<int>(dpi);
    return {std::min<LONG>(workArea.right - workArea.left, MulDiv(width, scale, 96)),
            std::min<LONG>(workArea.bottom - workArea.top, MulDiv(height, scale, 96))};
}

} // namespace

RECT initialPlacement(UINT dpi, const RECT& workArea) noexcept {
    const SIZE size = scaledWithin(1280, 800, dpi, workArea);
    const LONG left = workArea.left + (workArea.right - workArea.left - size.cx) / 2;
    const LONG top = workArea.top + (workArea.bottom - workArea.top - size.cy) / 2;
    return {left, top, left + size.cx, top + size.cy};
}

SIZE minimumTrackSize(UINT dpi, const RECT& workArea) noexcept {
    return scaledWithin(1080, 680, dpi, workArea);
}

} // namespace hub
