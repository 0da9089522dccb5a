#include "editor/CSelectors.h"

#include "editor/FilmStrip.h"
#include "effect/ParameterTable.h"
#include "gui/cframe.h"

using namespace VSTGUI;

namespace
{

// One click: the next state, its value, the listener told, the control redrawn.
template <typename Selector>
void advance(Selector* control, int& state, int states, CControlListener* listener, CDrawContext* context)
{
    state = (state + 1) % states;
    control->setValue(stepValue(state, states));
    listener->valueChanged(context, control);
    control->setDirty(true);
}

} // namespace

CRequantizerSelector::CRequantizerSelector(const CRect& size, CControlListener* listener, long tag, CBitmap* bitmap,
                                           int states)
    : CControl(size, listener, tag, bitmap),
      states(states)
{}

void CRequantizerSelector::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!bMouseEnabled || !(resolveButtons(context, buttons) & kLButton) || !listener)
        return;
    advance(this, state, states, listener, context);
}

void CRequantizerSelector::setEnabled(float v)
{
    enabled = stepIndex(v, 2);
    setDirty(true);
}

void CRequantizerSelector::setState(float v)
{
    state = stepIndex(v, states);
    setDirty(true);
}

CBits::CBits(const CRect& size, CControlListener* listener, long tag, CBitmap* bitmap)
    : CRequantizerSelector(size, listener, tag, bitmap, 3)
{}

void CBits::draw(CDrawContext* context)
{
    drawPicture(context, pBackground, size, enabled * 3 + state, size.height());
    setDirty(false);
}

CNoiseShape::CNoiseShape(const CRect& size, CControlListener* listener, long tag, CBitmap* bitmap)
    : CRequantizerSelector(size, listener, tag, bitmap, 4)
{}

void CNoiseShape::draw(CDrawContext* context)
{
    const int picture = (!enabled || state == 0) ? state : 3 + state;
    drawPicture(context, pBackground, size, picture, size.height());
    setDirty(false);
}

CAutoBlack::CAutoBlack(const CRect& size, CControlListener* listener, long tag, CBitmap* bitmap)
    : CRequantizerSelector(size, listener, tag, bitmap, 2)
{}

void CAutoBlack::draw(CDrawContext* context)
{
    const int picture = state == 0 ? 0 : (enabled ? 1 : 2);
    drawPicture(context, pBackground, size, picture, size.height());
    setDirty(false);
}

CCalibButton::CCalibButton(const CRect& size, CControlListener* listener, long tag, CBitmap* bitmap)
    : CControl(size, listener, tag, bitmap)
{}

int CCalibButton::pictureFor(int state, uint32_t sinceClick)
{
    static const int pictures[4] = {0, 1, 3, 2};
    const int picture = pictures[state & 3];
    // Bit 8 of the milliseconds: the picture changes every 256 ms, starting
    // with the alternate one right after a click.
    if (picture != 0 && (sinceClick & 256u) == 0)
        return picture + 3;
    return picture;
}

void CCalibButton::setTicks(uint32_t now)
{
    ticks = now;
    if (stepIndex(value, 4) != 0)
        setDirty(true);
}

void CCalibButton::draw(CDrawContext* context)
{
    drawPicture(context, pBackground, size, pictureFor(stepIndex(value, 4), ticks - clickTicks), kPictureHeight);
    setDirty(false);
}

void CCalibButton::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!bMouseEnabled || !(resolveButtons(context, buttons) & kLButton) || !listener)
        return;
    const int state = stepIndex(value, 4);
    value = stepValue(state == 3 ? 0 : state + 1, 4);
    listener->valueChanged(context, this);
    clickTicks = ticks;
}

CSpeedSwitch::CSpeedSwitch(const CRect& size, CControlListener* listener, long tag, CBitmap* bitmap)
    : CControl(size, listener, tag, bitmap)
{}

void CSpeedSwitch::draw(CDrawContext* context)
{
    drawPicture(context, pBackground, size, stepIndex(value, 3), kPictureHeight);
    setDirty(false);
}

int CSpeedSwitch::positionAt(const CPoint& where)
{
    if (where.y < 123 || where.y > 140)
        return -1;
    if (where.x >= 39 && where.x <= 56)
        return 0;
    if (where.x >= 72 && where.x <= 89)
        return 1;
    if (where.x >= 105 && where.x <= 122)
        return 2;
    return -1;
}

void CSpeedSwitch::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (!bMouseEnabled || !(resolveButtons(context, buttons) & kLButton) || !listener)
        return;
    doIdleStuff();
    CPoint point = where;
    localToFrame(point);
    const int position = positionAt(point);
    if (position < 0)
        return;
    value = stepValue(position, 3);
    listener->valueChanged(context, this);
}
