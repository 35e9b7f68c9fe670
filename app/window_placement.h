#pragma once

#include <windows.h>

namespace hub {

// The main window's first rectangle: 1280 x 800 pixels at 96 DPI scaled to `dpi`, no larger
// than the work area, centred in it.
RECT initialPlacement(UINT dpi, const RECT& workArea) noexcept;

// The smallest size the user may drag the window to: 1080 x 680 at 96 DPI scaled to `dpi`, never
// more than the work area of the monitor the window is on.
SIZE minimumTrackSize(UINT dpi, const RECT& workArea) noexcept;

} // namespace hub
