#include "platform/x11/SoftwareBitmap.h"

#include "platform/ResourceBitmaps.h"
#include "resources/SkinResources.h"

#include <algorithm>
#include <map>

namespace platform
{

SoftwareBitmap::SoftwareBitmap(int width, int height)
    : pixelWidth(std::max(width, 0)),
      pixelHeight(std::max(height, 0)),
      pixels(static_cast<size_t>(pixelWidth) * pixelHeight, 0)
{}

ColorRef SoftwareBitmap::getPixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= pixelWidth || y >= pixelHeight)
        return 0;
    return toColorRef(row(y)[x]);
}

void SoftwareBitmap::resize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    std::vector<uint32_t> resized(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < std::min(height, pixelHeight); ++y)
        std::copy_n(row(y), std::min(width, pixelWidth), resized.data() + static_cast<size_t>(y) * width);
    pixels.swap(resized);
    pixelWidth = width;
    pixelHeight = height;
}

std::unique_ptr<Bitmap> createCompatibleBitmap(int width, int height)
{
    return std::make_unique<SoftwareBitmap>(width, height);
}

std::unique_ptr<Bitmap> createBitmapFromPixels(int width, int height, const uint32_t* source)
{
    auto bitmap = std::make_unique<SoftwareBitmap>(width, height);
    if (source)
        for (int y = 0; y < bitmap->height(); ++y)
            for (int x = 0; x < bitmap->width(); ++x)
                bitmap->row(y)[x] = source[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
    return bitmap;
}

namespace
{

struct OverridePicture
{
    int width;
    int height;
    std::vector<uint32_t> pixels;
};

std::map<int, OverridePicture>& overrides()
{
    static std::map<int, OverridePicture> table;
    return table;
}

} // namespace

void overrideResourceBitmap(int id, int width, int height, const uint32_t* pixels)
{
    if (!pixels || width <= 0 || height <= 0)
    {
        overrides().erase(id);
        return;
    }
    overrides()[id] =
        OverridePicture{width, height, std::vector<uint32_t>(pixels, pixels + static_cast<size_t>(width) * height)};
}

std::unique_ptr<Bitmap> loadResourceBitmap(int id)
{
    auto found = overrides().find(id);
    if (found != overrides().end())
        return createBitmapFromPixels(found->second.width, found->second.height, found->second.pixels.data());
    const SkinBitmap* skin = findSkinBitmap(id);
    if (!skin || !skin->pixels || skin->width <= 0 || skin->height <= 0)
        return nullptr;
    return createBitmapFromPixels(skin->width, skin->height, skin->pixels);
}

} // namespace platform
