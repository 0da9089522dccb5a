#include "ResourceSourceWriter.h"

#include "ByteCompressor.h"
#include "ColourQuantizer.h"

#include <cstdio>
#include <sstream>

namespace
{
// The bytes a bitmap is stored as before packing: 8-bit pictures as their
// palette (count - 1, then RGB triples) and one index per pixel; 24-bit as
// RGB triples; 32-bit as ARGB quadruples.
std::vector<uint8_t> rawBytes(const SkinBitmapArt& art)
{
    std::vector<uint8_t> out;
    if (art.bitsPerPixel == 8)
    {
        const PalettedImage p = quantize(art.image);
        out.push_back(uint8_t(p.palette.size() - 1));
        for (uint32_t c : p.palette)
            out.insert(out.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
        out.insert(out.end(), p.indices.begin(), p.indices.end());
        return out;
    }
    for (uint32_t c : art.image.pixels)
    {
        if (art.bitsPerPixel == 32)
            out.push_back(uint8_t(c >> 24));
        out.insert(out.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
    return out;
}

void appendLiteral(std::string& text, const std::vector<uint8_t>& bytes)
{
    size_t column = 0;
    text += "    \"";
    for (uint8_t b : bytes)
    {
        if (column >= 96)
        {
            text += "\"\n    \"";
            column = 0;
        }
        if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\' && b != '?' && !(b >= '0' && b <= '7'))
        {
            text += char(b);
            column += 1;
        }
        else
        {
            // Always three octal digits, so a following character cannot extend the escape.
            char esc[5];
            std::snprintf(esc, sizeof esc, "\\%03o", b);
            text += esc;
            column += 4;
        }
    }
    text += "\"";
}

const char* kDecoder = R"(
std::vector<uint8_t> unpack(const uint8_t* packed, size_t packedSize, size_t rawSize)
{
    std::vector<uint8_t> out;
    out.reserve(rawSize);
    size_t i = 0;
    while (i < packedSize && out.size() < rawSize)
    {
        const uint8_t t = packed[i++];
        if (t < 128)
        {
            const size_t n = std::min<size_t>(size_t(t) + 1, packedSize - i);
            out.insert(out.end(), packed + i, packed + i + n);
            i += n;
        }
        else
        {
            if (i + 2 > packedSize)
                break;
            const size_t length = size_t(t - 128) + 4;
            const size_t distance = size_t(packed[i]) | size_t(packed[i + 1]) << 8;
            i += 2;
            if (distance == 0 || distance > out.size())
                break;
            for (size_t k = 0; k < length; ++k)
                out.push_back(out[out.size() - distance]);
        }
    }
    out.resize(rawSize, 0);
    return out;
}

std::vector<uint32_t> toPixels(const PackedBitmap& b, const std::vector<uint8_t>& raw)
{
    const size_t count = size_t(b.width) * size_t(b.height);
    std::vector<uint32_t> pixels(count, 0xFF000000u);
    if (b.bitsPerPixel == 8)
    {
        const size_t colours = size_t(raw[0]) + 1;
        const uint8_t* palette = raw.data() + 1;
        const uint8_t* index = palette + 3 * colours;
        for (size_t i = 0; i < count; ++i)
        {
            const uint8_t* c = palette + 3 * std::min<size_t>(index[i], colours - 1);
            pixels[i] = 0xFF000000u | uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
        }
    }
    else
    {
        const size_t step = b.bitsPerPixel == 32 ? 4 : 3;
        for (size_t i = 0; i < count; ++i)
        {
            const uint8_t* c = raw.data() + step * i;
            const uint32_t alpha = step == 4 ? uint32_t(*c++) : 0xFFu;
            pixels[i] = alpha << 24 | uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
        }
    }
    return pixels;
}

// Unpacked once, on the first request, and kept for the life of the library.
struct Table
{
    std::vector<std::vector<uint32_t>> pixels;
    std::vector<SkinBitmap> bitmaps;

    Table()
    {
        const uint8_t* blob = reinterpret_cast<const uint8_t*>(kBlob);
        for (const PackedBitmap& b : kPacked)
            pixels.push_back(toPixels(b, unpack(blob + b.offset, b.packedSize, b.rawSize)));
        for (size_t i = 0; i < sizeof kPacked / sizeof kPacked[0]; ++i)
        {
            const PackedBitmap& b = kPacked[i];
            bitmaps.push_back({b.id, b.width, b.height, b.bitsPerPixel, pixels[i].data()});
        }
    }
};
}

const SkinBitmap* findSkinBitmap(int id)
{
    static const Table table;
    for (const SkinBitmap& b : table.bitmaps)
        if (b.id == id)
            return &b;
    return nullptr;
}
)";
} // namespace

bool writeResourceSource(const std::string& path, const Skin& skin)
{
    std::string entries, blobText;
    std::vector<uint8_t> blob;
    for (const SkinBitmapArt& art : skin)
    {
        const std::vector<uint8_t> raw = rawBytes(art);
        const std::vector<uint8_t> packed = packBytes(raw);
        std::ostringstream e;
        e << "    {" << art.id << ", " << art.image.width << ", " << art.image.height << ", " << art.bitsPerPixel
          << ", " << blob.size() << "u, " << packed.size() << "u, " << raw.size() << "u},\n";
        entries += e.str();
        blob.insert(blob.end(), packed.begin(), packed.end());
    }
    appendLiteral(blobText, blob);

    std::string text;
    text += "// Generated by the skin generator (tools/skin) at build time; do not edit.\n";
    text += "// The editor's bitmaps, packed; see tools/skin/ByteCompressor.h for the format.\n";
    text += "#include \"resources/SkinResources.h\"\n\n#include <algorithm>\n#include <cstddef>\n#include <vector>\n\n";
    text += "namespace\n{\nstruct PackedBitmap\n{\n    int id, width, height, bitsPerPixel;\n"
            "    size_t offset, packedSize, rawSize;\n};\n\n";
    text += "const PackedBitmap kPacked[] = {\n" + entries + "};\n\n";
    text += "const char kBlob[] =\n" + blobText + ";\n";
    text += kDecoder;

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}
