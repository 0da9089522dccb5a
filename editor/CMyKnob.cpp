#include "editor/CMyKnob.h"

#include "editor/FilmStrip.h"

using namespace VSTGUI;

CMyKnob::CMyKnob(const CRect& size, CControlListener* listener, long tag, int subPixmaps, int heightOfOneImage,
                 CBitmap* background, const CPoint& offset)
    : CAnimKnob(size, listener, tag, subPixmaps, heightOfOneImage, background, offset)
{}

void CMyKnob::draw(CDrawContext* context)
{
    // The film strip is always copied opaquely and never inverted.
    const bool transparency = bTransparencyEnabled;
    const bool inverse = bInverseBitmap;
    bTransparencyEnabled = false;
    bInverseBitmap = false;
    CAnimKnob::draw(context);
    bTransparencyEnabled = transparency;
    bInverseBitmap = inverse;
}

void CMyKnob::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (!bMouseEnabled)
        return;
    buttons = resolveButtons(context, buttons);
    if (buttons == (kLButton | kControl))
    {
        // The default without an edit bracket.
        const float before = value;
        value = getDefaultValue();
        if ((value != before || isDirty()) && listener)
            listener->valueChanged(context, this);
        return;
    }
    if (!(buttons & kLButton))
        return;

    beginEdit();
    const float range = vmax - vmin;
    const CPoint start = where;
    float startValue = value;
    bool shift = (buttons & kShift) != 0;
    float step = range / (shift ? kPixelsForRangeFine : kPixelsForRange);
    CPoint last = where;
    CPoint current = where;
    // Reported on every change of value, also when the picture stays the same.
    float reported = value;
    // The position and buttons are those of the last pointer event the loop
    // took from the queue; the move that came just before the release is
    // applied before the release ends the loop.
    while (true)
    {
        const long now = context ? context->getMouseButtons() : 0;
        if (current != last)
        {
            const int d = (current.x - start.x) + (start.y - current.y);
            const bool nowShift = (now & kShift) != 0;
            if (nowShift != shift)
            {
                const float newStep = range / (nowShift ? kPixelsForRangeFineChanged : kPixelsForRange);
                // Keeps the value where it is across the change of speed.
                startValue += (step - newStep) * static_cast<float>(d);
                step = newStep;
                shift = nowShift;
            }
            value = startValue + static_cast<float>(d) * step;
            bounceValue();
            if (value != reported && listener)
            {
                listener->valueChanged(context, this);
                reported = value;
            }
            last = current;
        }
        if (!(now & kLButton))
            break;
        doIdleStuff();
        if (context)
            getMouseLocation(context, current);
    }
    endEdit();
}
