#pragma once
// makeDibSection: a palette bitmap (ui::Bitmap) as a device-independent bitmap section of the
// window system, 8 bits per pixel with the bitmap's own palette, rows top to bottom. The caller
// owns the handle (DeleteObject). A null bitmap gives nullptr.

#include "platform/ui/Bitmap.h"
#include "platform/win32/ui/WindowsHeaders.h"

namespace ui::win32 {

HBITMAP makeDibSection(const Bitmap& bitmap);

}  // namespace ui::win32
