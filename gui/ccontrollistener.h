// Told by controls about value changes and modifier clicks.
#pragma once

namespace VSTGUI
{

class CDrawContext;
class CControl;

class CControlListener
{
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    // A non-zero answer makes the control ignore the click.
    virtual long controlModifierClicked(CDrawContext*, CControl*, long) { return 0; }
};

} // namespace VSTGUI
