// Pictures from the DLL's bitmap resources. A program that links the
// plug-in's code statically (the tests) has no such resources; it gets the
// same skin from the pixels compiled into the code.
#include "platform/ResourceBitmaps.h"

#include "platform/win32/GdiBitmap.h"
#include "resources/SkinResources.h"

#include <windows.h>

#include <map>
#include <vector>

namespace platform
{

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
    static std::map<int, OverridePicture> pictures;
    return pictures;
}

// The module this code was linked into: the DLL, not the host's program.
HMODULE ownModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ownModule), &module);
    return module;
}

std::unique_ptr<Bitmap> fromModuleResources(int id)
{
    HMODULE module = ownModule();
    if (!module || !FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2) /* RT_BITMAP */))
        return nullptr;
    HBITMAP loaded =
        static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!loaded)
        return nullptr;
    std::unique_ptr<Bitmap> result;
    BITMAP description{};
    if (GetObjectA(loaded, sizeof description, &description) && description.bmWidth > 0 && description.bmHeight > 0)
    {
        auto picture = std::make_unique<GdiBitmap>(description.bmWidth, description.bmHeight);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = description.bmWidth;
        info.bmiHeader.biHeight = -description.bmHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        HDC screen = GetDC(nullptr);
        // Whatever depth the resource has, it arrives as 32-bit pixels.
        if (picture->isValid() && GetDIBits(screen, loaded, 0, static_cast<UINT>(description.bmHeight),
                                            picture->pixels(), &info, DIB_RGB_COLORS) == description.bmHeight)
            result = std::move(picture);
        ReleaseDC(nullptr, screen);
    }
    DeleteObject(loaded);
    return result;
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
    if (std::unique_ptr<Bitmap> picture = fromModuleResources(id))
        return picture;
    const SkinBitmap* skin = findSkinBitmap(id);
    if (!skin || !skin->pixels || skin->width <= 0 || skin->height <= 0)
        return nullptr;
    return createBitmapFromPixels(skin->width, skin->height, skin->pixels);
}

} // namespace platform
