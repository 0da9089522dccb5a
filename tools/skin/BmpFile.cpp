#include "BmpFile.h"

#include <cstdio>
#include <vector>

namespace
{
void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

std::vector<uint8_t> header(int width, int height, int bitsPerPixel, uint32_t paletteEntries)
{
    const uint32_t rowBytes = uint32_t((width * bitsPerPixel + 31) / 32 * 4);
    const uint32_t dataOffset = 14 + 40 + paletteEntries * 4;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, dataOffset + rowBytes * uint32_t(height));
    put32(out, 0);
    put32(out, dataOffset);
    put32(out, 40);
    put32(out, uint32_t(width));
    put32(out, uint32_t(height)); // positive: rows stored bottom-up
    put16(out, 1);
    put16(out, uint32_t(bitsPerPixel));
    put32(out, 0); // uncompressed
    put32(out, rowBytes * uint32_t(height));
    put32(out, 2835); // 72 dpi
    put32(out, 2835);
    put32(out, paletteEntries);
    put32(out, 0);
    return out;
}

bool save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
} // namespace

bool writeBmp(const std::string& path, const Image& image, int bitsPerPixel)
{
    if (bitsPerPixel == 8)
        return writeBmp8(path, quantize(image), image.width, image.height);
    std::vector<uint8_t> out = header(image.width, image.height, bitsPerPixel, 0);
    const int bytesPerPixel = bitsPerPixel / 8;
    const int padding = (4 - (image.width * bytesPerPixel) % 4) % 4;
    for (int y = image.height - 1; y >= 0; --y)
    {
        for (int x = 0; x < image.width; ++x)
        {
            const uint32_t p = image.at(x, y);
            out.push_back(uint8_t(p));
            out.push_back(uint8_t(p >> 8));
            out.push_back(uint8_t(p >> 16));
            if (bytesPerPixel == 4)
                out.push_back(uint8_t(p >> 24));
        }
        out.insert(out.end(), size_t(padding), 0);
    }
    return save(path, out);
}

bool writeBmp8(const std::string& path, const PalettedImage& paletted, int width, int height)
{
    std::vector<uint8_t> out = header(width, height, 8, uint32_t(paletted.palette.size()));
    for (uint32_t c : paletted.palette)
    {
        out.push_back(uint8_t(c));
        out.push_back(uint8_t(c >> 8));
        out.push_back(uint8_t(c >> 16));
        out.push_back(0);
    }
    const int padding = (4 - width % 4) % 4;
    for (int y = height - 1; y >= 0; --y)
    {
        for (int x = 0; x < width; ++x)
            out.push_back(paletted.indices[size_t(y) * size_t(width) + size_t(x)]);
        out.insert(out.end(), size_t(padding), 0);
    }
    return save(path, out);
}
