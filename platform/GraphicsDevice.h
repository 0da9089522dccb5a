// The drawing surface seam: one device is what a GDI device context is on
// Windows (a window's or a memory bitmap's), and a software renderer on a
// 32-bit pixel bitmap on Linux. The toolkit's drawing contexts keep all
// state caching; a device only creates, selects and draws.
#pragma once

#include <cstdint>
#include <memory>

namespace platform
{

// A colour as the system's drawing layer takes it: red | green << 8 | blue << 16.
using ColorRef = uint32_t;

inline ColorRef makeColorRef(unsigned red, unsigned green, unsigned blue)
{
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}

// Device rectangles exclude their right and bottom edges, as GDI's do.
struct IntRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
};

enum class PenStyle
{
    solid,
    dotted
};
enum class TextAlign
{
    left,
    center,
    right
};

struct FontDescription
{
    const char* face = "Arial";
    int size = 12; // character cell height in pixels (ascent + descent)
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool decorative = false; // symbol family rather than the Swiss (sans) family
};

// A device-dependent picture: a resource bitmap, or the back buffer of a memory device.
class Bitmap
{
public:
    virtual ~Bitmap() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // One pixel as a ColorRef; 0 outside the picture.
    virtual ColorRef getPixel(int x, int y) const = 0;
};

class GraphicsDevice
{
public:
    virtual ~GraphicsDevice() = default;

    virtual void selectPen(ColorRef color, int width, PenStyle style) = 0;
    virtual void selectBrush(ColorRef color) = 0;
    virtual void selectFont(const FontDescription& font) = 0;
    virtual void setTextColor(ColorRef color) = 0;
    virtual void setBackColor(ColorRef color) = 0;
    virtual void setOpaqueText(bool opaque) = 0;

    // Lines with the selected pen; the end point itself is not drawn.
    virtual void moveTo(int x, int y) = 0;
    virtual void lineTo(int x, int y) = 0;
    // Fills with the selected brush, no outline.
    virtual void fillRect(const IntRect& rect) = 0;
    // Replaces the clip region (intersected with the device's own area).
    virtual void setClipRect(const IntRect& rect) = 0;
    // One line of 8-bit text, vertically centred in the rectangle and clipped to it;
    // with opaque text the text cell is first filled with the back colour.
    virtual void drawText(const char* text, const IntRect& rect, TextAlign align) = 0;
    virtual int getTextWidth(const char* text) = 0;

    // Block transfers from a picture: opaque, with a key colour left out, and
    // blended with a constant opacity (0..255, source over).
    virtual void copyBitmap(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY) = 0;
    virtual void copyBitmapTransparent(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY,
                                       ColorRef key) = 0;
    // False when the system offers no blending (nothing is drawn then).
    virtual bool blendBitmap(const Bitmap& source, const IntRect& dest, int sourceX, int sourceY, int opacity) = 0;
};

// A picture of the given size that memory devices can draw into (uninitialised content).
std::unique_ptr<Bitmap> createCompatibleBitmap(int width, int height);
// A picture made from width * height values 0xAARRGGBB, rows top to bottom (alpha ignored).
std::unique_ptr<Bitmap> createBitmapFromPixels(int width, int height, const uint32_t* pixels);
// A device drawing into the picture, which must outlive it.
std::unique_ptr<GraphicsDevice> createMemoryDevice(Bitmap& target);

} // namespace platform
