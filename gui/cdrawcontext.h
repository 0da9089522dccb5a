// A drawing context: a system drawing device with a drawing offset, cached
// pen, brush and font state, and a clip rectangle.
#pragma once

#include "gui/ccolor.h"
#include "gui/cgeometry.h"
#include "gui/creferencecounter.h"

namespace platform
{
class GraphicsDevice;
class Window;
} // namespace platform

namespace VSTGUI
{

class CFrame;

enum CDrawStyle
{
    kDrawStroked = 0,
    kDrawFilled,
    kDrawFilledAndStroked,
};

enum CLineStyle
{
    kLineSolid = 0,
    kLineOnOffDash,
};

enum CDrawMode
{
    kCopyMode = 0,
    kOrMode,
    kXorMode,
};

enum CHoriTxtAlign
{
    kLeftText = 0,
    kCenterText,
    kRightText,
};

// The font table's indices.
enum CFont
{
    kSystemFont = 0,
    kNormalFontVeryBig,
    kNormalFontBig,
    kNormalFont,
    kNormalFontSmall,
    kNormalFontSmaller,
    kNormalFontVerySmall,
    kSymbolFont,
    kNumStandardFonts,
};

enum CTxtFace
{
    kNormalFace = 0,
    kBoldFace = 1,
    kItalicFace = 2,
    kUnderlineFace = 4,
};

struct CFontDesc
{
    const char* name;
    int size;
};
extern const CFontDesc kFontTable[kNumStandardFonts];

class CDrawContext : public CReferenceCounter
{
public:
    // With only a window, the context takes the window's device and gives it back when destroyed.
    CDrawContext(CFrame* frame, platform::GraphicsDevice* device, platform::Window* window);
    ~CDrawContext() override;

    void moveTo(const CPoint& point);
    void lineTo(const CPoint& point);
    void drawRect(const CRect& rect, int style = kDrawStroked);
    void fillRect(const CRect& rect);

    void setClipRect(const CRect& clip);
    void getClipRect(CRect& clip) const;
    void resetClipRect();

    void setLineStyle(CLineStyle style);
    CLineStyle getLineStyle() const { return lineStyle; }
    void setLineWidth(int width);
    int getLineWidth() const { return frameWidth; }
    void setDrawMode(CDrawMode mode) { drawMode = mode; }
    CDrawMode getDrawMode() const { return drawMode; }

    void setFrameColor(const CColor& color);
    CColor getFrameColor() const { return frameColor; }
    void setFillColor(const CColor& color);
    CColor getFillColor() const { return fillColor; }
    void setFontColor(const CColor& color);
    CColor getFontColor() const { return fontColor; }

    void setFont(int fontID, int size = 0, int style = 0);
    int getFont() const { return fontId; }
    int getFontSize() const { return fontSize; }
    int getFontStyle() const { return fontStyle; }

    void drawString(const char* text, const CRect& rect, short opaque = false, CHoriTxtAlign align = kCenterText);
    int getStringWidth(const char* text);

    // The cursor relative to the context's window, and the live button state.
    void getMouseLocation(CPoint& point);
    long getMouseButtons();

    CPoint offset;       // added to every coordinate given to a drawing operation
    CPoint offsetScreen; // the window's screen position, shifted with the offset by containers

    CFrame* getFrame() const { return frame; }
    platform::GraphicsDevice* getDevice() const { return device; }
    platform::Window* getWindow() const { return window; }

protected:
    platform::Window* inputWindow() const;
    // Selects the context's whole state into the device (after construction or a new device).
    void selectStateIntoDevice();
    void selectFontIntoDevice();

    CFrame* frame;
    platform::GraphicsDevice* device;
    platform::Window* window;
    bool deviceFromWindow = false;

    int fontSize = -1;
    int fontStyle = 0;
    int fontId = kNumStandardFonts;
    CColor fontColor = kWhiteCColor;
    CColor frameColor = kWhiteCColor;
    CColor fillColor = kBlackCColor;
    int frameWidth = 1;
    CLineStyle lineStyle = kLineSolid;
    CDrawMode drawMode = kCopyMode;
    CRect clipRect; // in device coordinates, so it survives offset changes
};

} // namespace VSTGUI
