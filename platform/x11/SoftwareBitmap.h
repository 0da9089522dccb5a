// The Linux picture: 32-bit pixels 0x00RRGGBB, the layout of a 24-bit
// TrueColor X11 image, so a window's back buffer can be shown as it is.
#pragma once

#include "platform/GraphicsDevice.h"

#include <cstdint>
#include <vector>

namespace platform
{

class SoftwareBitmap : public Bitmap
{
public:
    SoftwareBitmap(int width, int height);

    int width() const override { return pixelWidth; }
    int height() const override { return pixelHeight; }
    ColorRef getPixel(int x, int y) const override;

    uint32_t* row(int y) { return pixels.data() + static_cast<size_t>(y) * pixelWidth; }
    const uint32_t* row(int y) const { return pixels.data() + static_cast<size_t>(y) * pixelWidth; }
    uint32_t* data() { return pixels.data(); }
    // Keeps the overlapping content; new area black.
    void resize(int width, int height);

    static uint32_t fromColorRef(ColorRef color)
    {
        return (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF);
    }
    static ColorRef toColorRef(uint32_t pixel)
    {
        return (pixel >> 16 & 0xFF) | (pixel & 0xFF00) | (pixel & 0xFF) << 16;
    }

private:
    int pixelWidth;
    int pixelHeight;
    std::vector<uint32_t> pixels;
};

} // namespace platform
