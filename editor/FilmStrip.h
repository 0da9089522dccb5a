// The panel's multi-picture bitmaps stack their pictures vertically; a
// control shows one of them opaquely in its rectangle.
#pragma once

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

inline void drawPicture(VSTGUI::CDrawContext* context, VSTGUI::CBitmap* bitmap, const VSTGUI::CRect& size, int picture,
                        int pictureHeight)
{
    if (bitmap)
        bitmap->draw(context, size, VSTGUI::CPoint(0, picture * pictureHeight));
}

// The live button state when the caller had none (-1).
inline long resolveButtons(VSTGUI::CDrawContext* context, long buttons)
{
    return buttons == -1 ? (context ? context->getMouseButtons() : 0) : buttons;
}
