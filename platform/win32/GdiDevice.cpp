#include "platform/win32/GdiDevice.h"

#include "platform/win32/GdiBitmap.h"

#include <cstring>
#include <initializer_list>

namespace platform
{

namespace
{

// AlphaBlend and TransparentBlt live in msimg32, which older systems lack:
// they are looked up once, at first use.
struct BlendFunctions
{
    typedef BOOL(WINAPI* AlphaBlendProc)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
    typedef BOOL(WINAPI* TransparentBltProc)(HDC, int, int, int, int, HDC, int, int, int, int, UINT);
    AlphaBlendProc alphaBlend = nullptr;
    TransparentBltProc transparentBlt = nullptr;

    BlendFunctions()
    {
        if (HMODULE library = LoadLibraryA("msimg32.dll"))
        {
            alphaBlend =
                reinterpret_cast<AlphaBlendProc>(reinterpret_cast<void*>(GetProcAddress(library, "AlphaBlend")));
            transparentBlt = reinterpret_cast<TransparentBltProc>(
                reinterpret_cast<void*>(GetProcAddress(library, "TransparentBlt")));
        }
    }
};

const BlendFunctions& blendFunctions()
{
    static const BlendFunctions functions;
    return functions;
}

RECT toRect(const IntRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

} // namespace

GdiDevice::GdiDevice(HDC context) : dc(context) {}

GdiDevice::GdiDevice(GdiBitmap& picture)
{
    if (!picture.isValid() || picture.selectedInto)
        return;
    dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return;
    target = &picture;
    originalBitmap = SelectObject(dc, picture.handle());
    picture.selectedInto = dc;
}

GdiDevice::~GdiDevice()
{
    if (!dc)
        return;
    if (originalPen)
        SelectObject(dc, originalPen);
    if (originalFont)
        SelectObject(dc, originalFont);
    SelectClipRgn(dc, nullptr);
    for (HGDIOBJ object : {pen, brush, font})
        if (object)
            DeleteObject(object);
    if (target)
    {
        SelectObject(dc, originalBitmap);
        target->selectedInto = nullptr;
        DeleteDC(dc);
    }
}

void GdiDevice::replace(HGDIOBJ& current, HGDIOBJ created)
{
    if (current)
        DeleteObject(current);
    current = created;
}

void GdiDevice::selectPen(ColorRef color, int width, PenStyle style)
{
    if (!dc)
        return;
    // GDI draws dotted lines one pixel wide only, as the toolkit expects.
    HPEN created = CreatePen(style == PenStyle::dotted ? PS_DOT : PS_SOLID, width < 1 ? 1 : width, color);
    if (!created)
        return;
    HGDIOBJ previous = SelectObject(dc, created);
    if (!originalPen)
        originalPen = previous;
    replace(pen, created);
}

void GdiDevice::selectBrush(ColorRef color)
{
    if (HBRUSH created = CreateSolidBrush(color))
        replace(brush, created);
}

void GdiDevice::selectFont(const FontDescription& description)
{
    if (!dc)
        return;
    // A positive height asks for the character cell height (ascent + descent).
    HFONT created = CreateFontA(description.size, 0, 0, 0, description.bold ? FW_BOLD : FW_NORMAL, description.italic,
                                description.underline, FALSE, description.decorative ? SYMBOL_CHARSET : ANSI_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                (description.decorative ? FF_DECORATIVE : FF_SWISS) | VARIABLE_PITCH,
                                description.face ? description.face : "Arial");
    if (!created)
        return;
    HGDIOBJ previous = SelectObject(dc, created);
    if (!originalFont)
        originalFont = previous;
    replace(font, created);
}

void GdiDevice::moveTo(int x, int y)
{
    if (dc)
        MoveToEx(dc, x, y, nullptr);
}

void GdiDevice::lineTo(int x, int y)
{
    if (dc)
        LineTo(dc, x, y);
}

void GdiDevice::fillRect(const IntRect& rect)
{
    if (!dc || rect.isEmpty())
        return;
    if (!brush)
        selectBrush(0xFFFFFF);
    RECT r = toRect(rect);
    FillRect(dc, &r, static_cast<HBRUSH>(brush));
}

void GdiDevice::setClipRect(const IntRect& rect)
{
    if (!dc)
        return;
    HRGN region = CreateRectRgn(rect.left, rect.top, rect.right, rect.bottom);
    SelectClipRgn(dc, region);
    DeleteObject(region);
}

void GdiDevice::drawText(const char* text, const IntRect& rect, TextAlign align)
{
    if (!dc || !text)
        return;
    SetTextColor(dc, textColor);
    SetBkColor(dc, backColor);
    SetBkMode(dc, opaqueText ? OPAQUE : TRANSPARENT);
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    format |= align == TextAlign::center ? DT_CENTER : align == TextAlign::right ? DT_RIGHT : DT_LEFT;
    RECT r = toRect(rect);
    DrawTextA(dc, text, -1, &r, format);
}

int GdiDevice::getTextWidth(const char* text)
{
    if (!dc || !text)
        return 0;
    SIZE size{};
    if (!GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size))
        return 0;
    return size.cx;
}

HDC GdiDevice::sourceContext(const Bitmap& source, HDC& temporary, HGDIOBJ& previous) const
{
    temporary = nullptr;
    previous = nullptr;
    auto* picture = dynamic_cast<const GdiBitmap*>(&source);
    if (!picture || !picture->isValid())
        return nullptr;
    if (picture->selectedInto)
        return picture->selectedInto;
    temporary = CreateCompatibleDC(dc);
    if (!temporary)
        return nullptr;
    previous = SelectObject(temporary, picture->handle());
    return temporary;
}

void GdiDevice::releaseSource(HDC temporary, HGDIOBJ previous)
{
    if (!temporary)
        return;
    SelectObject(temporary, previous);
    DeleteDC(temporary);
}

void GdiDevice::copyBitmap(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY)
{
    if (!dc || dest.isEmpty())
        return;
    HDC temporary;
    HGDIOBJ previous;
    if (HDC from = sourceContext(source, temporary, previous))
        BitBlt(dc, dest.left, dest.top, dest.width(), dest.height(), from, sourceX, sourceY, SRCCOPY);
    releaseSource(temporary, previous);
}

void GdiDevice::copyBitmapTransparent(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY, ColorRef key)
{
    const auto transparentBlt = blendFunctions().transparentBlt;
    if (!dc || dest.isEmpty() || !transparentBlt)
        return;
    HDC temporary;
    HGDIOBJ previous;
    if (HDC from = sourceContext(source, temporary, previous))
        transparentBlt(dc, dest.left, dest.top, dest.width(), dest.height(), from, sourceX, sourceY, dest.width(),
                       dest.height(), key);
    releaseSource(temporary, previous);
}

bool GdiDevice::blendBitmap(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY, int opacity)
{
    const auto alphaBlend = blendFunctions().alphaBlend;
    if (!dc || !alphaBlend)
        return false;
    if (dest.isEmpty())
        return true;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(opacity < 0 ? 0 : opacity > 255 ? 255 : opacity), 0};
    HDC temporary;
    HGDIOBJ previous;
    bool drawn = false;
    if (HDC from = sourceContext(source, temporary, previous))
        drawn = alphaBlend(dc, dest.left, dest.top, dest.width(), dest.height(), from, sourceX, sourceY, dest.width(),
                           dest.height(), blend) != FALSE;
    releaseSource(temporary, previous);
    return drawn;
}

std::unique_ptr<GraphicsDevice> createMemoryDevice(Bitmap& target)
{
    auto* picture = dynamic_cast<GdiBitmap*>(&target);
    if (!picture)
        return nullptr;
    auto device = std::make_unique<GdiDevice>(*picture);
    if (!device->isValid())
        return nullptr;
    return device;
}

} // namespace platform
