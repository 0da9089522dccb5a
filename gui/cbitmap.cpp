#include "gui/cbitmap.h"

#include "gui/cdrawcontext.h"
#include "platform/GraphicsDevice.h"
#include "platform/ResourceBitmaps.h"

namespace VSTGUI
{

namespace
{

platform::IntRect onDevice(const CRect& rect, const CDrawContext* context)
{
    return platform::IntRect{rect.left + context->offset.x, rect.top + context->offset.y,
                             rect.right + context->offset.x, rect.bottom + context->offset.y};
}

} // namespace

CBitmap::CBitmap(int resourceID) { loadFromResource(resourceID); }

CBitmap::CBitmap(int width, int height, const uint32_t* pixels)
{
    if (width > 0 && height > 0 && pixels)
    {
        picture = platform::createBitmapFromPixels(width, height, pixels);
        this->width = width;
        this->height = height;
        loaded = picture != nullptr;
    }
}

CBitmap::~CBitmap() { dispose(); }

void CBitmap::dispose()
{
    picture.reset();
    width = 0;
    height = 0;
    loaded = false;
}

bool CBitmap::loadFromResource(int id)
{
    dispose();
    resourceID = id;
    picture = platform::loadResourceBitmap(id);
    if (!picture)
        return false;
    width = picture->width();
    height = picture->height();
    loaded = true;
    return true;
}

bool CBitmap::loadFromPath(const void*)
{
    dispose();
    return false;
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset)
{
    if (picture && context && context->getDevice())
        context->getDevice()->copyBitmap(*picture, onDevice(rect, context), offset.x, offset.y);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset)
{
    if (picture && context && context->getDevice())
        context->getDevice()->copyBitmapTransparent(
            *picture, onDevice(rect, context), offset.x, offset.y,
            platform::makeColorRef(transparentColor.red, transparentColor.green, transparentColor.blue));
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset, unsigned char opacity)
{
    if (picture && context && context->getDevice())
        context->getDevice()->blendBitmap(*picture, onDevice(rect, context), offset.x, offset.y, opacity);
}

} // namespace VSTGUI
