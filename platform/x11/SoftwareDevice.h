// The Linux drawing device: GDI's rules (exclusive line ends, exclusive
// rectangle edges, key-colour and constant-opacity copies) rendered in
// software onto a SoftwareBitmap.
#pragma once

#include "platform/GraphicsDevice.h"
#include "platform/x11/SoftwareBitmap.h"

namespace platform
{

class RenderFont;

class SoftwareDevice : public GraphicsDevice
{
public:
    explicit SoftwareDevice(SoftwareBitmap& target);

    void selectPen(ColorRef color, int width, PenStyle style) override;
    void selectBrush(ColorRef color) override;
    void selectFont(const FontDescription& font) override;
    void setTextColor(ColorRef color) override { textColor = color; }
    void setBackColor(ColorRef color) override { backColor = color; }
    void setOpaqueText(bool opaque) override { opaqueText = opaque; }

    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void fillRect(const IntRect& rect) override;
    void setClipRect(const IntRect& rect) override;
    void drawText(const char* text, const IntRect& rect, TextAlign align) override;
    int getTextWidth(const char* text) override;

    void copyBitmap(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY) override;
    void copyBitmapTransparent(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY,
                               ColorRef key) override;
    bool blendBitmap(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY, int opacity) override;

    // The area touched since the last reset (for showing a window's back buffer).
    const IntRect& getTouchedArea() const { return touched; }
    void resetTouchedArea() { touched = IntRect{}; }
    void resetClip();

private:
    enum class CopyMode
    {
        opaque,
        transparent,
        blend
    };
    void copy(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY, CopyMode mode, uint32_t key,
              int opacity);
    void plot(int x, int y, uint32_t pixel);
    void stampPen(int x, int y);
    void touch(const IntRect& area);
    IntRect clipped(const IntRect& area) const;

    SoftwareBitmap& target;
    IntRect clip;
    IntRect touched;
    uint32_t penPixel = 0;
    int penWidth = 1;
    PenStyle penStyle = PenStyle::solid;
    int dashPhase = 0;
    uint32_t brushPixel = 0xFFFFFF;
    ColorRef textColor = 0;
    ColorRef backColor = 0xFFFFFF;
    bool opaqueText = false;
    RenderFont* font = nullptr;
    int currentX = 0;
    int currentY = 0;
};

} // namespace platform
