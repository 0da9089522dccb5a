// A picture from the library's bitmap resources, copied opaquely, with a key
// colour left out, or blended with a constant opacity.
#pragma once

#include "gui/ccolor.h"
#include "gui/cgeometry.h"
#include "gui/creferencecounter.h"

#include <cstdint>
#include <memory>

namespace platform
{
class Bitmap;
}

namespace VSTGUI
{

class CDrawContext;

class CBitmap : public CReferenceCounter
{
public:
    // Empty (width and height 0, drawing does nothing) when the resource is missing.
    explicit CBitmap(int resourceID);
    // A picture from width * height pixels 0xAARRGGBB, rows top to bottom.
    CBitmap(int width, int height, const uint32_t* pixels);
    ~CBitmap() override;

    virtual void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
    virtual void drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
    virtual void drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0),
                                unsigned char opacity = 128);
    virtual void dispose();
    virtual bool loadFromResource(int resourceID);
    // Pictures come from the resources only.
    virtual bool loadFromPath(const void* path);

    int getResourceID() const { return resourceID; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    bool isLoaded() const { return loaded; }
    void setTransparentColor(const CColor& color) { transparentColor = color; }
    CColor getTransparentColor() const { return transparentColor; }
    platform::Bitmap* getPlatformBitmap() const { return picture.get(); }

private:
    int resourceID = 0;
    int width = 0;
    int height = 0;
    CColor transparentColor = {0, 0, 0, 255};
    bool loaded = false;
    std::unique_ptr<platform::Bitmap> picture;
};

} // namespace VSTGUI
