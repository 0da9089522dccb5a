#include "gui/canimknob.h"

#include <algorithm>

#include "gui/cbitmap.h"

#include <cstring>

namespace VSTGUI
{

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, long tag, int subPixmaps, int heightOfOneImage,
                     CBitmap* background, const CPoint& offset)
    : CKnob(size, listener, tag, background, nullptr, offset),
      subPixmaps(subPixmaps),
      heightOfOneImage(heightOfOneImage),
      lastDrawnPoint(-1, -1)
{}

bool CAnimKnob::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CAnimKnob") == 0 || CKnob::isTypeOf(className);
}

bool CAnimKnob::isDirty() const
{
    // Value changes too small to change the picture cause no redraw.
    if (!bDirty)
    {
        CPoint point;
        valueToPoint(point);
        if (point == lastDrawnPoint)
            return false;
    }
    return CKnob::isDirty();
}

void CAnimKnob::draw(CDrawContext* context)
{
    CPoint where(0, 0);
    if (value >= 0.0f && heightOfOneImage > 0)
    {
        int last = heightOfOneImage * (subPixmaps - 1);
        // Values beyond 1 (a host may send any number) show the last frame;
        // converting them unclamped to int would be undefined.
        const float shown = std::min(bInverseBitmap ? 1.0f - value : value, 1.0f);
        int position = shown > 0.0f ? static_cast<int>(shown * static_cast<float>(last)) : 0;
        if (position >= last)
            where.y = last;
        else if (position > 0)
            where.y = position / heightOfOneImage * heightOfOneImage;
    }
    if (pBackground)
    {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, size, where);
        else
            pBackground->draw(context, size, where);
    }
    valueToPoint(lastDrawnPoint);
    setDirty(false);
}

} // namespace VSTGUI
