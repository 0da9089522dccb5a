// A minimal PNG writer: 8-bit RGB, the image data in stored (uncompressed)
// deflate blocks. Enough for screenshots; no compression library needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// rgb holds width * height * 3 bytes, rows top to bottom.
bool writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

#ifdef ZELVO_HAVE_LIBPNG
// The same with libpng's compression, for pictures small enough to keep.
bool writeCompressedPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
#endif
