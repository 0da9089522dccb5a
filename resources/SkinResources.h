// The editor's skin: bitmaps addressed by resource number, as the Windows
// build finds them in the DLL's resources. On Linux the pixels are compiled
// into the library by the build-time skin generator.
#pragma once

#include <cstdint>

struct SkinBitmap
{
    int id;
    int width;
    int height;
    int bitsPerPixel;       // colour depth the bitmap is specified with (8, 24 or 32)
    const uint32_t* pixels; // width * height values 0xAARRGGBB, rows top to bottom
};

// The bitmap with this resource number, or null when there is none.
const SkinBitmap* findSkinBitmap(int id);
