// A view with a value that a user edits: tells its listener about changes and
// the host about the start and end of each edit gesture.
#pragma once

#include "gui/ccontrollistener.h"
#include "gui/cview.h"

namespace VSTGUI
{

class CControl : public CView
{
public:
    CControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0, CBitmap* background = nullptr);
    ~CControl() override;

    bool isDirty() const override;
    void setDirty(bool state = true) override;
    bool isTypeOf(const char* className) const override;

    virtual void doIdleStuff();

    virtual void setValue(float val) { value = val; }
    virtual float getValue() const { return value; }
    virtual void setMin(float val) { vmin = val; }
    virtual float getMin() const { return vmin; }
    virtual void setMax(float val) { vmax = val; }
    virtual float getMax() const { return vmax; }
    virtual void setOldValue(float val) { oldValue = val; }
    virtual float getOldValue() const { return oldValue; }
    virtual void setDefaultValue(float val) { defaultValue = val; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setTag(long val) { tag = val; }
    virtual long getTag() const { return tag; }

    virtual void beginEdit();
    virtual void endEdit();

    virtual void setBackOffset(const CPoint& offset) { backOffset = offset; }
    virtual void copyBackOffset();
    virtual void setWheelInc(float val) { wheelInc = val; }
    virtual float getWheelInc() const { return wheelInc; }

    virtual void bounceValue();
    // Control-click (exactly left + Control) sets the default value.
    virtual bool checkDefaultValue(CDrawContext* context, long button);

    CControlListener* getListener() const { return listener; }
    void setListener(CControlListener* newListener) { listener = newListener; }
    const CPoint& getBackOffset() const { return backOffset; }
    long getDoubleClickInterval() const { return doubleClickInterval; }

protected:
    // The shared start of every mouse handler: resolves a live button state and
    // asks the listener about modifier clicks. False when the click is to be ignored.
    bool acceptClick(CDrawContext* context, long& buttons, long requiredButtons = kLButton);
    // True when this click comes within the double-click interval of the previous one.
    bool isDoubleClick();

    CControlListener* listener;
    long tag;
    float oldValue = 1.0f;
    float defaultValue = 0.5f;
    float value = 0.0f;
    float vmin = 0.0f;
    float vmax = 1.0f;
    float wheelInc = 0.1f;
    long lastTicks = -1;
    long doubleClickInterval;
    CPoint backOffset;
};

} // namespace VSTGUI
