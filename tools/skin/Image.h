// A plain picture: 0xAARRGGBB pixels, rows top to bottom. Every skin bitmap
// ends up as one of these before it is written out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Image
{
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Image() = default;
    Image(int w, int h, uint32_t fill = 0xFF000000u) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}

    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    uint32_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }

    // The area (x, y, w, h) as a new picture; parts outside read as opaque black.
    Image crop(int x, int y, int w, int h) const;
    // Copies the whole of src with its top-left corner at (x, y), clipped.
    void paste(const Image& src, int x, int y);
    // Copies the area (sx, sy, w, h) of src to (x, y), clipped.
    void paste(const Image& src, int sx, int sy, int w, int h, int x, int y);
};
