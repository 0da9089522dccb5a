#include "gui/cdrawcontext.h"

#include "gui/cframe.h"
#include "platform/GraphicsDevice.h"
#include "platform/PlatformWindow.h"

namespace VSTGUI
{

const CFontDesc kFontTable[kNumStandardFonts] = {
    {"Arial", 12}, {"Arial", 18}, {"Arial", 14}, {"Arial", 12},
    {"Arial", 11}, {"Arial", 10}, {"Arial", 9},  {"Symbol", 13},
};

namespace
{

platform::ColorRef toColorRef(const CColor& color)
{
    return platform::makeColorRef(color.red, color.green, color.blue);
}

platform::IntRect toDevice(const CRect& rect, const CPoint& offset)
{
    return platform::IntRect{rect.left + offset.x, rect.top + offset.y, rect.right + offset.x, rect.bottom + offset.y};
}

} // namespace

CDrawContext::CDrawContext(CFrame* frame, platform::GraphicsDevice* device, platform::Window* window)
    : frame(frame),
      device(device),
      window(window)
{
    if (window)
    {
        window->getScreenOrigin(offsetScreen.x, offsetScreen.y);
        if (!device)
        {
            this->device = window->acquireDevice();
            deviceFromWindow = this->device != nullptr;
        }
    }
    if (frame)
        frame->getViewSize(clipRect);
    else
        clipRect = CRect(0, 0, 1000, 1000);

    setFont(kSystemFont);
    selectStateIntoDevice();
}

void CDrawContext::selectStateIntoDevice()
{
    if (!device)
        return;
    device->selectPen(toColorRef(frameColor), frameWidth,
                      lineStyle == kLineSolid ? platform::PenStyle::solid : platform::PenStyle::dotted);
    device->selectBrush(toColorRef(fillColor));
    device->setBackColor(toColorRef(fillColor));
    device->setTextColor(toColorRef(fontColor));
    device->setOpaqueText(false);
    device->setClipRect(toDevice(clipRect, CPoint(0, 0)));
    selectFontIntoDevice();
}

void CDrawContext::selectFontIntoDevice()
{
    if (!device || fontId < 0 || fontId >= kNumStandardFonts)
        return;
    platform::FontDescription description;
    description.face = kFontTable[fontId].name;
    description.size = fontSize;
    description.bold = fontId == kSystemFont || (fontStyle & kBoldFace);
    description.italic = (fontStyle & kItalicFace) != 0;
    description.underline = (fontStyle & kUnderlineFace) != 0;
    description.decorative = fontId == kSymbolFont;
    device->selectFont(description);
}

CDrawContext::~CDrawContext()
{
    if (deviceFromWindow && window)
        window->releaseDevice(device);
}

void CDrawContext::moveTo(const CPoint& point)
{
    if (device)
        device->moveTo(point.x + offset.x, point.y + offset.y);
}

void CDrawContext::lineTo(const CPoint& point)
{
    if (device)
        device->lineTo(point.x + offset.x, point.y + offset.y);
}

void CDrawContext::drawRect(const CRect& rect, int style)
{
    if (!device)
        return;
    if (style == kDrawFilled || style == kDrawFilledAndStroked)
        device->fillRect(toDevice(rect, offset));
    if (style == kDrawStroked || style == kDrawFilledAndStroked)
    {
        moveTo(CPoint(rect.left, rect.top));
        lineTo(CPoint(rect.right - 1, rect.top));
        lineTo(CPoint(rect.right - 1, rect.bottom - 1));
        lineTo(CPoint(rect.left, rect.bottom - 1));
        lineTo(CPoint(rect.left, rect.top));
    }
}

void CDrawContext::fillRect(const CRect& rect)
{
    if (device)
        device->fillRect(toDevice(CRect(rect.left + 1, rect.top + 1, rect.right, rect.bottom), offset));
}

void CDrawContext::setClipRect(const CRect& clip)
{
    CRect onDevice(clip);
    onDevice.offset(offset.x, offset.y);
    if (onDevice == clipRect)
        return;
    clipRect = onDevice;
    if (device)
        device->setClipRect(toDevice(clip, offset));
}

void CDrawContext::getClipRect(CRect& clip) const
{
    clip = clipRect;
    clip.offset(-offset.x, -offset.y);
}

void CDrawContext::resetClipRect()
{
    CRect whole(0, 0, 1000, 1000);
    if (frame)
        frame->getViewSize(whole);
    clipRect = whole;
    if (device)
        device->setClipRect(toDevice(whole, CPoint(0, 0)));
}

void CDrawContext::setLineStyle(CLineStyle style)
{
    if (style == lineStyle)
        return;
    lineStyle = style;
    if (device)
        device->selectPen(toColorRef(frameColor), frameWidth,
                          lineStyle == kLineSolid ? platform::PenStyle::solid : platform::PenStyle::dotted);
}

void CDrawContext::setLineWidth(int width)
{
    if (width == frameWidth)
        return;
    frameWidth = width;
    if (device)
        device->selectPen(toColorRef(frameColor), frameWidth,
                          lineStyle == kLineSolid ? platform::PenStyle::solid : platform::PenStyle::dotted);
}

void CDrawContext::setFrameColor(const CColor& color)
{
    if (color == frameColor)
        return;
    frameColor = color;
    if (device)
        device->selectPen(toColorRef(frameColor), frameWidth,
                          lineStyle == kLineSolid ? platform::PenStyle::solid : platform::PenStyle::dotted);
}

void CDrawContext::setFillColor(const CColor& color)
{
    if (color == fillColor)
        return;
    fillColor = color;
    if (device)
    {
        device->setBackColor(toColorRef(color));
        device->selectBrush(toColorRef(color));
    }
}

void CDrawContext::setFontColor(const CColor& color)
{
    fontColor = color;
    if (device)
        device->setTextColor(toColorRef(color));
}

void CDrawContext::setFont(int fontID, int size, int style)
{
    if (fontID < 0 || fontID >= kNumStandardFonts)
        fontID = kSystemFont;
    if (size == 0)
        size = kFontTable[fontID].size;
    if (fontID == fontId && size == fontSize && style == fontStyle)
        return;
    fontId = fontID;
    fontSize = size;
    fontStyle = style;
    selectFontIntoDevice();
}

void CDrawContext::drawString(const char* text, const CRect& rect, short opaque, CHoriTxtAlign align)
{
    if (!device || !text)
        return;
    CRect area(rect);
    platform::TextAlign deviceAlign = platform::TextAlign::left;
    if (align == kCenterText)
        deviceAlign = platform::TextAlign::center;
    else if (align == kRightText)
        deviceAlign = platform::TextAlign::right;
    else
        area.left++;
    device->setOpaqueText(opaque != 0);
    device->drawText(text, toDevice(area, offset), deviceAlign);
    device->setOpaqueText(false);
}

int CDrawContext::getStringWidth(const char* text) { return device && text ? device->getTextWidth(text) : 0; }

platform::Window* CDrawContext::inputWindow() const
{
    if (window)
        return window;
    return frame ? frame->getPlatformWindow() : nullptr;
}

void CDrawContext::getMouseLocation(CPoint& point)
{
    platform::Window* source = inputWindow();
    if (!source)
    {
        point = CPoint(0, 0);
        return;
    }
    source->getCursorPosition(point.x, point.y);
    point.offset(-offsetScreen.x, -offsetScreen.y);
}

long CDrawContext::getMouseButtons()
{
    platform::Window* source = inputWindow();
    return source ? source->getInputState() : 0;
}

} // namespace VSTGUI
