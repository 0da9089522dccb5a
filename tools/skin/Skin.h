// The skin as the generator builds it: one picture per bitmap resource,
// with the colour depth it is stored at and its film-strip layout.
#pragma once

#include "Image.h"

#include <vector>

struct SkinBitmapArt
{
    int id;
    int bitsPerPixel; // 8 (palette), 24 or 32
    int frames;       // pictures stacked vertically (1 for a single picture)
    Image image;
};

using Skin = std::vector<SkinBitmapArt>;

// The families of bitmaps; each appends its resources to the skin. The
// control painters take the finished panel (resource 128) as the backdrop
// for the parts of their pictures that show the panel.
Image paintBackgroundPanel();
void addKnobStrips(Skin& skin, const Image& panel);
void addButtons(Skin& skin, const Image& panel);
void addMeterBitmaps(Skin& skin, const Image& panel);
void addBitmapFonts(Skin& skin);
void addAboutPanel(Skin& skin);
void addPresetBarButtons(Skin& skin, const Image& panel);

// The whole skin, sorted by resource number, 8-bit pictures already reduced
// to their palettes so what is written is what is embedded.
Skin buildSkin();

const SkinBitmapArt* findArt(const Skin& skin, int id);
