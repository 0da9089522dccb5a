// Reduces a picture to at most 256 colours for the 8-bit resources. The most
// frequent colours are kept exactly (they are the flat panel areas that must
// meet the 24-bit background without a seam); the rest are grouped by
// median cut and each pixel takes the nearest palette colour.
#pragma once

#include "Image.h"

#include <cstdint>
#include <vector>

struct PalettedImage
{
    std::vector<uint32_t> palette; // 0xAARRGGBB, at most 256 entries
    std::vector<uint8_t> indices;  // one per pixel, rows top to bottom
};

PalettedImage quantize(const Image& image);
// The picture the palette indices stand for.
Image expand(const PalettedImage& paletted, int width, int height);
