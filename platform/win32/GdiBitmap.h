// A picture as a 32-bit top-down DIB section: GDI draws into it and copies
// from it, and its pixels stay readable in memory (0x00RRGGBB each).
#pragma once

#include "platform/GraphicsDevice.h"

#include <windows.h>

namespace platform
{

class GdiBitmap : public Bitmap
{
public:
    GdiBitmap(int width, int height);
    ~GdiBitmap() override;
    GdiBitmap(const GdiBitmap&) = delete;
    GdiBitmap& operator=(const GdiBitmap&) = delete;

    bool isValid() const { return bitmap != nullptr; }
    int width() const override { return pixelWidth; }
    int height() const override { return pixelHeight; }
    ColorRef getPixel(int x, int y) const override;

    HBITMAP handle() const { return bitmap; }
    uint32_t* pixels() { return bits; }

    // A bitmap can be selected into one device context at a time: the memory
    // device drawing into it lends its context to copies from it.
    HDC selectedInto = nullptr;

private:
    int pixelWidth = 0;
    int pixelHeight = 0;
    HBITMAP bitmap = nullptr;
    uint32_t* bits = nullptr;
};

} // namespace platform
