#include "gui/cknob.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"

#include <cmath>
#include <cstring>

namespace VSTGUI
{

namespace
{

constexpr double kTwoPi = 6.283185307179586;
// Linear drags cover the range in this many pixels.
constexpr float kLinearRange = 200.0f;

} // namespace

CKnob::CKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* handle,
             const CPoint& offset)
    : CControl(size, listener, tag, background),
      offset(offset),
      startAngle(3.9269907f),
      rangeAngle(-4.712389f),
      radius(size.width() / 2.0f)
{
    if (handle)
        setHandleBitmap(handle);
    setWantsFocus(true);
    compute();
    bDirty = false;
}

CKnob::~CKnob()
{
    if (pHandle)
        pHandle->forget();
}

bool CKnob::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CKnob") == 0 || CControl::isTypeOf(className);
}

void CKnob::compute()
{
    aCoef = (vmax - vmin) / rangeAngle;
    bCoef = vmin - aCoef * startAngle;
    halfAngle = static_cast<float>((kTwoPi - std::fabs(rangeAngle)) * 0.5);
    setDirty(true);
}

void CKnob::setStartAngle(float angle)
{
    startAngle = angle;
    compute();
}

void CKnob::setRangeAngle(float angle)
{
    rangeAngle = angle;
    compute();
}

void CKnob::setColorShadowHandle(const CColor& color)
{
    colorShadowHandle = color;
    setDirty(true);
}

void CKnob::setColorHandle(const CColor& color)
{
    colorHandle = color;
    setDirty(true);
}

void CKnob::setHandleBitmap(CBitmap* bitmap)
{
    if (pHandle)
        pHandle->forget();
    pHandle = bitmap;
    if (pHandle)
    {
        pHandle->remember();
        inset = static_cast<int>(pHandle->getWidth() * 0.5 + 2.5);
    }
    else
    {
        inset = 3;
    }
}

void CKnob::valueToPoint(CPoint& point) const
{
    // An infinite value has no angle; it points at the end it lies beyond.
    const float shown = std::isfinite(value) ? value : (value > 0.0f ? vmax : vmin);
    float alpha = (shown - bCoef) / aCoef;
    point.x = static_cast<int>(radius + std::cos(alpha) * (radius - inset) + 0.5f);
    point.y = static_cast<int>(radius - std::sin(alpha) * (radius - inset) + 0.5f);
}

float CKnob::valueFromPoint(const CPoint& point) const
{
    double alpha = std::atan2(radius - point.y, point.x - radius);
    if (alpha < 0.0)
        alpha += kTwoPi;
    // How far the pointer has turned from the start, in the knob's direction.
    double direction = rangeAngle < 0 ? -1.0 : 1.0;
    double turned = std::fmod((alpha - startAngle) * direction, kTwoPi);
    if (turned < 0.0)
        turned += kTwoPi;
    double range = std::fabs(rangeAngle);
    if (turned > range)
    {
        // In the dead gap: the nearer end.
        return turned - range <= halfAngle ? vmax : vmin;
    }
    return static_cast<float>(vmin + (vmax - vmin) * turned / range);
}

void CKnob::draw(CDrawContext* context)
{
    if (pBackground)
    {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, size, offset);
        else
            pBackground->draw(context, size, offset);
    }
    drawHandle(context);
    setDirty(false);
}

void CKnob::drawHandle(CDrawContext* context)
{
    CPoint where;
    valueToPoint(where);
    if (pHandle)
    {
        int width = pHandle->getWidth();
        int height = pHandle->getHeight();
        where.offset(size.left - width / 2, size.top - height / 2);
        CRect handleSize(where.x, where.y, where.x + width, where.y + height);
        pHandle->drawTransparent(context, handleSize);
        return;
    }
    CPoint origin(size.width() / 2, size.height() / 2);
    where.offset(size.left - 1, size.top);
    origin.offset(size.left - 1, size.top);
    context->setFrameColor(colorShadowHandle);
    context->moveTo(where);
    context->lineTo(origin);
    where.offset(1, -1);
    origin.offset(1, -1);
    context->setFrameColor(colorHandle);
    context->moveTo(where);
    context->lineTo(origin);
}

void CKnob::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (!acceptClick(context, buttons))
        return;
    if (checkDefaultValue(context, buttons))
        return;

    long frameMode = pParentFrame ? pParentFrame->getKnobMode() : static_cast<long>(kCircularMode);
    bool linear = frameMode == kLinearMode;
    if (buttons & kAlt)
        linear = !linear;

    float range = kLinearRange;
    if (linear && (buttons & kShift))
        range *= zoomFactor;
    float step = (vmax - vmin) / range;
    float entryValue = value;
    CPoint firstPoint(where);
    long oldButtons = buttons;
    float middle = (vmax - vmin) * 0.5f;
    float previous = value;
    if (!linear)
    {
        CPoint local(where);
        local.offset(-size.left, -size.top);
        previous = valueFromPoint(local);
    }

    CPoint oldWhere(-1, -1);
    // Every change of value is reported, also one too small to change the
    // picture (a Shift-drag, the last pixels of a drag).
    float reported = value;
    beginEdit();
    do
    {
        buttons = context ? context->getMouseButtons() : 0;
        if (where != oldWhere)
        {
            oldWhere = where;
            if (linear)
            {
                int distance = (where.x - firstPoint.x) + (firstPoint.y - where.y);
                if ((buttons & kShift) != (oldButtons & kShift) && (buttons & kLButton))
                {
                    // Shift changes the scale; the start moves so the value stays where it is.
                    float newRange = kLinearRange * ((buttons & kShift) ? zoomFactor : 1.0f);
                    float newStep = (vmax - vmin) / newRange;
                    entryValue += distance * (step - newStep);
                    step = newStep;
                    oldButtons = buttons;
                }
                value = entryValue + distance * step;
                bounceValue();
            }
            else
            {
                CPoint local(where);
                local.offset(-size.left, -size.top);
                value = valueFromPoint(local);
                // Never jump across the gap: stay at the end the pointer came from.
                if (previous - value > middle)
                    value = vmax;
                else if (value - previous > middle)
                    value = vmin;
                else
                    previous = value;
            }
            if (value != reported && listener)
            {
                listener->valueChanged(context, this);
                reported = value;
            }
        }
        getMouseLocation(context, where);
        doIdleStuff();
    } while (buttons & kLButton);
    endEdit();
}

void CKnob::reportStep(float before)
{
    bounceValue();
    if (value != before && listener)
    {
        beginEdit();
        listener->valueChanged(nullptr, this);
        endEdit();
    }
}

bool CKnob::onWheel(CDrawContext* context, const CPoint&, float distance)
{
    if (!bMouseEnabled)
        return false;
    long buttons = context ? context->getMouseButtons() : 0;
    const float before = value;
    value += distance * wheelInc * ((buttons & kShift) ? 0.1f : 1.0f);
    bounceValue();
    // A fine step may not change the picture; the host still hears of it.
    if (value != before && listener)
    {
        beginEdit();
        listener->valueChanged(context, this);
        endEdit();
    }
    return true;
}

long CKnob::onKeyDown(const platform::Key& key)
{
    float step = wheelInc * ((key.modifiers & platform::kKeyModifierShift) ? 0.1f : 1.0f);
    const float before = value;
    switch (key.name)
    {
    case platform::KeyName::up:
    case platform::KeyName::right: value += step; break;
    case platform::KeyName::down:
    case platform::KeyName::left: value -= step; break;
    default: return -1;
    }
    reportStep(before);
    return 1;
}

} // namespace VSTGUI
