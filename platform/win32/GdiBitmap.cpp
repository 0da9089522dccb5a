#include "platform/win32/GdiBitmap.h"

namespace platform
{

GdiBitmap::GdiBitmap(int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // rows top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* memory = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    if (!bitmap)
        return;
    bits = static_cast<uint32_t*>(memory);
    pixelWidth = width;
    pixelHeight = height;
}

GdiBitmap::~GdiBitmap()
{
    if (bitmap)
        DeleteObject(bitmap);
}

ColorRef GdiBitmap::getPixel(int x, int y) const
{
    if (!bits || x < 0 || y < 0 || x >= pixelWidth || y >= pixelHeight)
        return 0;
    GdiFlush(); // drawing into the section may still be queued
    const uint32_t pixel = bits[static_cast<size_t>(y) * pixelWidth + x];
    return makeColorRef((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

std::unique_ptr<Bitmap> createCompatibleBitmap(int width, int height)
{
    auto picture = std::make_unique<GdiBitmap>(width, height);
    if (!picture->isValid())
        return nullptr;
    return picture;
}

std::unique_ptr<Bitmap> createBitmapFromPixels(int width, int height, const uint32_t* pixels)
{
    auto picture = std::make_unique<GdiBitmap>(width, height);
    if (!picture->isValid() || !pixels)
        return nullptr;
    GdiFlush();
    // Same layout in memory: blue, green, red, then alpha, which is cleared:
    // GDI's key-colour copy compares all four bytes, and a resource bitmap
    // has none either.
    uint32_t* target = picture->pixels();
    const size_t count = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < count; ++i)
        target[i] = pixels[i] & 0x00FFFFFF;
    return picture;
}

} // namespace platform
