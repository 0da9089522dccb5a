#include "gui/cparamdisplay.h"

#include "gui/cbitmap.h"

#include <cstdio>
#include <cstring>

namespace VSTGUI
{

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* background, long style)
    : CControl(size, nullptr, 0, background),
      style(style)
{}

bool CParamDisplay::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CParamDisplay") == 0 || CControl::isTypeOf(className);
}

void CParamDisplay::setFont(int id)
{
    if (id != fontID)
        setDirty(true);
    fontID = id;
}

void CParamDisplay::setFontColor(const CColor& color)
{
    if (color != fontColor)
        setDirty(true);
    fontColor = color;
}

void CParamDisplay::setBackColor(const CColor& color)
{
    if (color != backColor)
        setDirty(true);
    backColor = color;
}

void CParamDisplay::setFrameColor(const CColor& color)
{
    if (color != frameColor)
        setDirty(true);
    frameColor = color;
}

void CParamDisplay::setShadowColor(const CColor& color)
{
    if (color != shadowColor)
        setDirty(true);
    shadowColor = color;
}

void CParamDisplay::setStringConvert(void (*convert)(float, char*, void*), void* data)
{
    stringConvert2 = convert;
    userData = data;
}

void CParamDisplay::setStringConvert(void (*convert)(float, char*)) { stringConvert = convert; }

void CParamDisplay::setString2FloatConvert(void (*convert)(char*, float&)) { string2FloatConvert = convert; }

void CParamDisplay::draw(CDrawContext* context)
{
    char text[256] = "";
    if (stringConvert2)
        stringConvert2(value, text, userData);
    else if (stringConvert)
        stringConvert(value, text);
    else
        std::snprintf(text, sizeof text, "%2.2f", value);
    text[255] = 0;
    drawText(context, text);
}

void CParamDisplay::drawText(CDrawContext* context, const char* text, CBitmap* pressedBackground)
{
    setDirty(false);
    if (style & kNoDrawStyle)
        return;

    CBitmap* back = pressedBackground ? pressedBackground : pBackground;
    if (back)
    {
        if (bTransparencyEnabled)
            back->drawTransparent(context, size, backOffset);
        else
            back->draw(context, size, backOffset);
    }
    else if (!bTransparencyEnabled)
    {
        context->setFillColor(backColor);
        context->fillRect(size);
        if (!(style & (k3DIn | k3DOut | kNoFrame)))
        {
            context->setFrameColor(frameColor);
            context->drawRect(size);
        }
    }

    if (style & (k3DIn | k3DOut))
    {
        context->setLineWidth(1);
        context->setFrameColor((style & k3DIn) ? backColor : frameColor);
        context->moveTo(CPoint(size.left, size.bottom - 1));
        context->lineTo(CPoint(size.left, size.top + 1));
        context->lineTo(CPoint(size.right - 1, size.top + 1));
        context->setFrameColor((style & k3DIn) ? frameColor : backColor);
        context->moveTo(CPoint(size.right - 1, size.top + 1));
        context->lineTo(CPoint(size.right - 1, size.bottom - 1));
        context->lineTo(CPoint(size.left, size.bottom - 1));
    }

    if ((style & kNoTextStyle) || !text || !*text)
        return;
    CRect oldClip;
    context->getClipRect(oldClip);
    CRect clip(size);
    clip.bound(oldClip);
    context->setClipRect(clip);
    context->setFont(fontID, 0, txtFace);
    if (style & kShadowText)
    {
        CRect shadow(size);
        shadow.offset(1, 1);
        context->setFontColor(shadowColor);
        context->drawString(text, shadow, !bTextTransparencyEnabled, horiTxtAlign);
    }
    context->setFontColor(fontColor);
    context->drawString(text, size, !bTextTransparencyEnabled, horiTxtAlign);
    context->setClipRect(oldClip);
}

} // namespace VSTGUI
