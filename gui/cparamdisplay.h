// A read-only text field showing a value, with optional 3-D edges and shadow.
#pragma once

#include "gui/ccolor.h"
#include "gui/ccontrol.h"
#include "gui/cdrawcontext.h"

namespace VSTGUI
{

// Style bits of the text controls.
enum CParamDisplayStyle
{
    kMultipleCheckStyle = 0x1, // option menu: each entry has its own check mark
    kShadowText = 0x4,
    k3DIn = 0x80,
    k3DOut = 0x100,
    kPopupStyle = 0x200, // option menu pops up at the control's top
    kCheckStyle = 0x400, // option menu: check mark on the current entry
    kNoTextStyle = 0x800,
    kNoDrawStyle = 0x1000,
    kDoubleClickStyle = 0x2000, // text edit opens on double click only
    kNoFrame = 0x4000,
};

class CParamDisplay : public CControl
{
public:
    CParamDisplay(const CRect& size, CBitmap* background = nullptr, long style = 0);

    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* className) const override;

    virtual void setFont(int fontID);
    virtual int getFont() const { return fontID; }
    virtual void setFontColor(const CColor& color);
    virtual CColor getFontColor() const { return fontColor; }
    virtual void setBackColor(const CColor& color);
    virtual CColor getBackColor() const { return backColor; }
    virtual void setFrameColor(const CColor& color);
    virtual CColor getFrameColor() const { return frameColor; }
    virtual void setShadowColor(const CColor& color);
    virtual CColor getShadowColor() const { return shadowColor; }
    virtual void setHoriAlign(CHoriTxtAlign align) { horiTxtAlign = align; }
    virtual void setStringConvert(void (*convert)(float value, char* string, void* userData), void* userData);
    virtual void setStringConvert(void (*convert)(float value, char* string));
    virtual void setString2FloatConvert(void (*convert)(char* string, float& output));
    virtual void setStyle(long newStyle) { style = newStyle; }
    virtual long getStyle() const { return style; }
    virtual void setTxtFace(int face) { txtFace = face; }
    virtual int getTxtFace() const { return txtFace; }
    virtual void setTextTransparency(bool state) { bTextTransparencyEnabled = state; }
    virtual bool getTextTransparency() const { return bTextTransparencyEnabled; }

    CHoriTxtAlign getHoriAlign() const { return horiTxtAlign; }

protected:
    // Background, frame and text; pressedBackground replaces the view's bitmap.
    void drawText(CDrawContext* context, const char* text, CBitmap* pressedBackground = nullptr);

    CHoriTxtAlign horiTxtAlign = kCenterText;
    long style;
    int fontID = kNormalFont;
    int txtFace = kNormalFace;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CColor shadowColor = kRedCColor;
    bool bTextTransparencyEnabled = true;
    void (*stringConvert)(float value, char* string) = nullptr;
    void (*stringConvert2)(float value, char* string, void* userData) = nullptr;
    void (*string2FloatConvert)(char* string, float& output) = nullptr;
    void* userData = nullptr;
};

} // namespace VSTGUI
