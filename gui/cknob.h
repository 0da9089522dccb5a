// A rotary knob: the value follows the pointer's angle around the centre
// (circular mode) or its travel right and up (linear mode).
#pragma once

#include "gui/ccolor.h"
#include "gui/ccontrol.h"

namespace VSTGUI
{

enum CKnobMode
{
    kCircularMode = 0,
    kRelativCircularMode,
    kLinearMode,
};

class CKnob : public CControl
{
public:
    CKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* handle,
          const CPoint& offset = CPoint(0, 0));
    ~CKnob() override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    long onKeyDown(const platform::Key& key) override;
    bool isTypeOf(const char* className) const override;

    virtual void drawHandle(CDrawContext* context);
    virtual void setStartAngle(float angle);
    virtual float getStartAngle() const { return startAngle; }
    virtual void setRangeAngle(float angle);
    virtual float getRangeAngle() const { return rangeAngle; }
    virtual void valueToPoint(CPoint& point) const;
    virtual float valueFromPoint(const CPoint& point) const;
    virtual void setInsetValue(int value) { inset = value; }
    virtual void setColorShadowHandle(const CColor& color);
    virtual void setColorHandle(const CColor& color);
    virtual void setHandleBitmap(CBitmap* bitmap);
    virtual void setZoomFactor(float factor) { zoomFactor = factor; }
    virtual float getZoomFactor() const { return zoomFactor; }

protected:
    void compute();
    // Applies a value change from the wheel or keys, reported as one edit.
    void reportStep(float before);

    CPoint offset;
    CColor colorHandle = kWhiteCColor;
    CColor colorShadowHandle = kGreyCColor;
    CBitmap* pHandle = nullptr;
    int inset = 3;
    float startAngle;
    float rangeAngle;
    float aCoef = 0.0f;
    float bCoef = 0.0f;
    float halfAngle = 0.0f;
    float radius;
    float zoomFactor = 1.5f;
};

} // namespace VSTGUI
