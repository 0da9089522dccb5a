// Windows bitmap files for the resource compiler: bottom-up rows padded to
// four bytes, 8-bit with a palette, 24-bit, or 32-bit with the alpha byte.
#pragma once

#include "ColourQuantizer.h"
#include "Image.h"

#include <string>

bool writeBmp(const std::string& path, const Image& image, int bitsPerPixel);
// An 8-bit file with exactly this palette and these indices.
bool writeBmp8(const std::string& path, const PalettedImage& paletted, int width, int height);
