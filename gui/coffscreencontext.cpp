#include "gui/coffscreencontext.h"

#include "platform/GraphicsDevice.h"

namespace VSTGUI
{

COffscreenContext::COffscreenContext(CFrame* frame, int width, int height, const CColor& background)
    : CDrawContext(frame, nullptr, nullptr),
      width(width),
      height(height),
      backgroundColor(background)
{
    bitmap = platform::createCompatibleBitmap(width > 0 ? width : 1, height > 0 ? height : 1);
    if (bitmap)
        memoryDevice = platform::createMemoryDevice(*bitmap);
    device = memoryDevice.get();
    selectStateIntoDevice();
    clipRect = CRect(0, 0, width, height);
    setFillColor(background);
    setFrameColor(background);
    CRect whole(0, 0, width, height);
    // The fill covers the inside and the outline the edges, so every pixel starts in the colour.
    fillRect(whole);
    drawRect(whole);
}

COffscreenContext::~COffscreenContext() { device = nullptr; }

void COffscreenContext::copyFrom(CDrawContext* target, const CRect& destination, const CPoint& source)
{
    if (!target || !target->getDevice() || !bitmap)
        return;
    platform::IntRect area{destination.left + target->offset.x, destination.top + target->offset.y,
                           destination.right + target->offset.x, destination.bottom + target->offset.y};
    target->getDevice()->copyBitmap(*bitmap, area, source.x, source.y);
}

CColor COffscreenContext::getPixel(int x, int y) const
{
    platform::ColorRef pixel = bitmap ? bitmap->getPixel(x, y) : 0;
    return CColor{static_cast<unsigned char>(pixel & 0xFF), static_cast<unsigned char>(pixel >> 8 & 0xFF),
                  static_cast<unsigned char>(pixel >> 16 & 0xFF), 255};
}

} // namespace VSTGUI
