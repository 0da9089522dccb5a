#include "ColourQuantizer.h"
#include "Skin.h"

#include <algorithm>

Skin buildSkin()
{
    Skin skin;
    const Image panel = paintBackgroundPanel();
    skin.push_back({128, 24, 1, panel});
    addKnobStrips(skin, panel);
    addButtons(skin, panel);
    addMeterBitmaps(skin, panel);
    addBitmapFonts(skin);
    addAboutPanel(skin);
    addPresetBarButtons(skin, panel);
    for (SkinBitmapArt& art : skin)
        if (art.bitsPerPixel == 8)
            art.image = expand(quantize(art.image), art.image.width, art.image.height);
    std::sort(skin.begin(), skin.end(), [](const SkinBitmapArt& a, const SkinBitmapArt& b) { return a.id < b.id; });
    return skin;
}

const SkinBitmapArt* findArt(const Skin& skin, int id)
{
    for (const SkinBitmapArt& art : skin)
        if (art.id == id)
            return &art;
    return nullptr;
}
