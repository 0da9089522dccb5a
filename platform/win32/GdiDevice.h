// The Windows drawing device: a GDI device context, either a window's (lent
// by the window for one drawing) or a memory context over a GdiBitmap.
#pragma once

#include "platform/GraphicsDevice.h"

#include <windows.h>

namespace platform
{

class GdiBitmap;

class GdiDevice : public GraphicsDevice
{
public:
    // Draws on a context owned by someone else (a window's).
    explicit GdiDevice(HDC context);
    // Draws into the picture through a memory context of its own.
    explicit GdiDevice(GdiBitmap& target);
    ~GdiDevice() override;
    GdiDevice(const GdiDevice&) = delete;
    GdiDevice& operator=(const GdiDevice&) = delete;

    bool isValid() const { return dc != nullptr; }
    HDC context() const { return dc; }

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

private:
    void replace(HGDIOBJ& current, HGDIOBJ created);
    HDC sourceContext(const Bitmap& source, HDC& temporary, HGDIOBJ& previous) const;
    static void releaseSource(HDC temporary, HGDIOBJ previous);

    HDC dc = nullptr;
    GdiBitmap* target = nullptr; // when the memory context is ours
    HGDIOBJ originalBitmap = nullptr;
    HGDIOBJ originalPen = nullptr;
    HGDIOBJ originalFont = nullptr;
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
    ColorRef textColor = 0;
    ColorRef backColor = 0xFFFFFF;
    bool opaqueText = false;
};

} // namespace platform
