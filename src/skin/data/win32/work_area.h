#pragma once

// The screen area a window may use.

#include <windows.h>

#include "framework/geometry.h"

namespace skin {

// With more than one monitor (and the monitor functions present): the work
// area (`work_area` set) or the whole area of the monitor nearest to the
// window. Otherwise the desktop's work area or the whole screen.
framework::TRect WorkAreaOf(HWND window, bool work_area);

}  // namespace skin
