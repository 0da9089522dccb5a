#include "platform/x11/SoftwareDevice.h"

#include "platform/x11/FontRenderer.h"

#include <algorithm>
#include <cstdlib>

namespace platform
{

namespace
{

IntRect intersect(const IntRect& a, const IntRect& b)
{
    IntRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
    if (r.isEmpty())
        return IntRect{};
    return r;
}

// A dotted cosmetic pen draws three pixels, then leaves three.
constexpr int kDotRun = 3;

} // namespace

SoftwareDevice::SoftwareDevice(SoftwareBitmap& target) : target(target)
{
    resetClip();
    FontDescription systemFont;
    systemFont.bold = true;
    font = &getRenderFont(systemFont);
}

void SoftwareDevice::resetClip() { clip = IntRect{0, 0, target.width(), target.height()}; }

void SoftwareDevice::selectPen(ColorRef color, int width, PenStyle style)
{
    penPixel = SoftwareBitmap::fromColorRef(color);
    penWidth = std::max(width, 1);
    // Only one-pixel pens can be dotted; wider ones draw solid.
    penStyle = penWidth == 1 ? style : PenStyle::solid;
    dashPhase = 0;
}

void SoftwareDevice::selectBrush(ColorRef color) { brushPixel = SoftwareBitmap::fromColorRef(color); }

void SoftwareDevice::selectFont(const FontDescription& description) { font = &getRenderFont(description); }

void SoftwareDevice::moveTo(int x, int y)
{
    currentX = x;
    currentY = y;
}

void SoftwareDevice::plot(int x, int y, uint32_t pixel)
{
    if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom)
        return;
    target.row(y)[x] = pixel;
}

void SoftwareDevice::stampPen(int x, int y)
{
    if (penWidth == 1)
    {
        if (penStyle == PenStyle::dotted)
        {
            bool on = (dashPhase / kDotRun) % 2 == 0;
            dashPhase = (dashPhase + 1) % (2 * kDotRun);
            if (!on)
                return;
        }
        plot(x, y, penPixel);
        touch(IntRect{x, y, x + 1, y + 1});
        return;
    }
    // Wide pens have round ends: a disc of the pen's width around each point.
    int low = -(penWidth - 1) / 2;
    int high = low + penWidth;
    double radius = penWidth / 2.0;
    for (int dy = low; dy < high; ++dy)
        for (int dx = low; dx < high; ++dx)
        {
            double cx = dx + 0.5 - (penWidth % 2 ? 0.5 : 0.0);
            double cy = dy + 0.5 - (penWidth % 2 ? 0.5 : 0.0);
            if (cx * cx + cy * cy <= radius * radius)
                plot(x + dx, y + dy, penPixel);
        }
    touch(IntRect{x + low, y + low, x + high, y + high});
}

void SoftwareDevice::lineTo(int x, int y)
{
    // Bresenham from the current position, the end point left out.
    int x0 = currentX;
    int y0 = currentY;
    int dx = std::abs(x - x0);
    int dy = -std::abs(y - y0);
    int sx = x0 < x ? 1 : -1;
    int sy = y0 < y ? 1 : -1;
    int error = dx + dy;
    while (x0 != x || y0 != y)
    {
        stampPen(x0, y0);
        int twice = 2 * error;
        if (twice >= dy)
        {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx)
        {
            error += dx;
            y0 += sy;
        }
    }
    currentX = x;
    currentY = y;
}

IntRect SoftwareDevice::clipped(const IntRect& area) const { return intersect(area, clip); }

void SoftwareDevice::touch(const IntRect& area)
{
    IntRect inside = clipped(area);
    if (inside.isEmpty())
        return;
    if (touched.isEmpty())
    {
        touched = inside;
        return;
    }
    touched = IntRect{std::min(touched.left, inside.left), std::min(touched.top, inside.top),
                      std::max(touched.right, inside.right), std::max(touched.bottom, inside.bottom)};
}

void SoftwareDevice::fillRect(const IntRect& rect)
{
    IntRect area = clipped(rect);
    for (int y = area.top; y < area.bottom; ++y)
        std::fill(target.row(y) + area.left, target.row(y) + area.right, brushPixel);
    touch(area);
}

void SoftwareDevice::setClipRect(const IntRect& rect)
{
    clip = intersect(rect, IntRect{0, 0, target.width(), target.height()});
}

int SoftwareDevice::getTextWidth(const char* text) { return text ? font->getTextWidth(text) : 0; }

void SoftwareDevice::drawText(const char* text, const IntRect& rect, TextAlign align)
{
    if (!text)
        return;
    int width = font->getTextWidth(text);
    int height = font->getHeight();
    int x = rect.left;
    if (align == TextAlign::center)
        x = rect.left + (rect.width() - width) / 2;
    else if (align == TextAlign::right)
        x = rect.right - width;
    int y = rect.top + (rect.height() - height) / 2;
    IntRect area = intersect(rect, clip);
    if (area.isEmpty())
        return;
    if (opaqueText)
    {
        IntRect cell = intersect(IntRect{x, y, x + width, y + height}, area);
        uint32_t back = SoftwareBitmap::fromColorRef(backColor);
        for (int row = cell.top; row < cell.bottom; ++row)
            std::fill(target.row(row) + cell.left, target.row(row) + cell.right, back);
    }
    font->drawText(target, area, x, y, text, textColor);
    touch(area);
}

void SoftwareDevice::copy(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY, CopyMode mode,
                          uint32_t key, int opacity)
{
    const auto* picture = dynamic_cast<const SoftwareBitmap*>(&source);
    if (!picture)
        return;
    // Only the part that exists in the source and lies inside the clip is drawn.
    IntRect sourceArea{sourceX, sourceY, sourceX + dest.width(), sourceY + dest.height()};
    sourceArea = intersect(sourceArea, IntRect{0, 0, picture->width(), picture->height()});
    IntRect area{dest.left + sourceArea.left - sourceX, dest.top + sourceArea.top - sourceY,
                 dest.left + sourceArea.right - sourceX, dest.top + sourceArea.bottom - sourceY};
    area = clipped(area);
    if (area.isEmpty())
        return;
    unsigned alpha = static_cast<unsigned>(std::clamp(opacity, 0, 255));
    for (int y = area.top; y < area.bottom; ++y)
    {
        const uint32_t* from = picture->row(y - dest.top + sourceY) + (area.left - dest.left + sourceX);
        uint32_t* to = target.row(y) + area.left;
        int count = area.width();
        if (mode == CopyMode::opaque)
        {
            std::copy_n(from, count, to);
            continue;
        }
        for (int i = 0; i < count; ++i)
        {
            uint32_t s = from[i] & 0xFFFFFF;
            if (mode == CopyMode::transparent)
            {
                if (s != key)
                    to[i] = s;
                continue;
            }
            uint32_t d = to[i];
            uint32_t result = 0;
            for (int shift = 0; shift < 24; shift += 8)
            {
                unsigned sc = s >> shift & 0xFF;
                unsigned dc = d >> shift & 0xFF;
                result |= ((sc * alpha + dc * (255 - alpha) + 127) / 255) << shift;
            }
            to[i] = result;
        }
    }
    touch(area);
}

void SoftwareDevice::copyBitmap(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY)
{
    copy(source, dest, sourceX, sourceY, CopyMode::opaque, 0, 255);
}

void SoftwareDevice::copyBitmapTransparent(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY,
                                           ColorRef key)
{
    copy(source, dest, sourceX, sourceY, CopyMode::transparent, SoftwareBitmap::fromColorRef(key), 255);
}

bool SoftwareDevice::blendBitmap(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY, int opacity)
{
    copy(source, dest, sourceX, sourceY, CopyMode::blend, 0, opacity);
    return true;
}

std::unique_ptr<GraphicsDevice> createMemoryDevice(Bitmap& target)
{
    auto* picture = dynamic_cast<SoftwareBitmap*>(&target);
    if (!picture)
        return nullptr;
    return std::make_unique<SoftwareDevice>(*picture);
}

} // namespace platform
