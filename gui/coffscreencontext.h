// A drawing context on a memory bitmap: the back buffer of a container.
#pragma once

#include "gui/cdrawcontext.h"

#include <memory>

namespace platform
{
class Bitmap;
}

namespace VSTGUI
{

class COffscreenContext : public CDrawContext
{
public:
    // The whole bitmap starts in the background colour.
    COffscreenContext(CFrame* frame, int width, int height, const CColor& background = kBlackCColor);
    ~COffscreenContext() override;

    // Copies the destination rectangle's size from the source offset of the
    // bitmap to the destination rectangle of the target (shifted by its offset).
    void copyFrom(CDrawContext* target, const CRect& destination, const CPoint& source = CPoint(0, 0));

    int getWidth() const { return width; }
    int getHeight() const { return height; }
    CColor getBackgroundColor() const { return backgroundColor; }
    platform::Bitmap* getBitmap() const { return bitmap.get(); }
    // One pixel of the bitmap (alpha 255), for checks of what was drawn.
    CColor getPixel(int x, int y) const;

private:
    std::unique_ptr<platform::Bitmap> bitmap;
    std::unique_ptr<platform::GraphicsDevice> memoryDevice;
    int width;
    int height;
    CColor backgroundColor;
};

} // namespace VSTGUI
