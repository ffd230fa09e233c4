#pragma once

// The screenshot of an error report: the whole virtual screen (every
// monitor), the mouse cursor drawn in, reduced by the system to 8 bits with
// its 256-colour table and written as a palette PNG. Nothing here throws: a
// capture or a file that fails gives a message, and the report goes on
// without a screenshot.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "exceptions/png_writer.h"

namespace exceptions {

// The name under which a report's screenshot is kept and mailed.
inline constexpr char16_t kScreenshotFileName[] = u"Screenshot.png";

// The virtual screen as an 8-bit device-independent picture.
struct TScreenCapture {
    int32_t left = 0;  // the virtual screen's top-left corner in screen coordinates
    int32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    std::array<TPngColor, 256> palette{};
    // `height` rows of DibRowSize(width) bytes, the bottom row first.
    std::vector<uint8_t> rows;
    // Whether a cursor was showing and was drawn into the picture.
    bool cursor_drawn = false;

    TDib8View View() const { return {width, height, &palette, rows}; }
};

// Copies the virtual screen (layered windows included) and draws the current
// cursor at its place, its hotspot on the cursor's position. On palette
// displays the copy is made through a palette of the 256 system entries.
// On failure returns nothing and, when `error` is given, says which step
// failed and the system's error number.
std::optional<TScreenCapture> CaptureVirtualScreen(std::string* error);

// Captures the screen into the PNG file `path` (created anew; an existing
// file is replaced only by a whole new one). False with `error` set when the
// capture or the file fails.
bool WriteScreenshotFile(const std::u16string& path, std::string* error);

}  // namespace exceptions
