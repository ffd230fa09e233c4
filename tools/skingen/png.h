#pragma once

// A PNG writer for the pictures skingen shows in the documentation.

#include <string>

#include "framework/bitmap.h"

namespace skingen {

// The picture as a PNG file: 8-bit RGB, not interlaced, one IDAT chunk
// compressed by zlib at level 9. Each row takes the filter whose bytes have
// the smallest sum of absolute values (as signed bytes), the first of equals,
// so the same picture always gives the same filtered data. Any pixel format
// is read through TBitmapData::Pixel.
std::string EncodePng(const framework::TBitmapData& picture);

}  // namespace skingen
