#include "editor/CModeButton.h"

#include "editor/FilmStrip.h"
#include "effect/ParameterTable.h"
#include "presets/CPresetSystemListener.h"

using namespace VSTGUI;

namespace
{
constexpr int kPictures = 7;
}

CModeButton::CModeButton(const CRect& size, CControlListener* listener, long tag, CBitmap* bitmap)
    : CControl(size, listener, tag, bitmap)
{}

void CModeButton::setHighlight(bool state)
{
    // The editor turns the highlight off on every idle pass; only a change redraws.
    if (highlight == state)
        return;
    highlight = state;
    setDirty(true);
}

void CModeButton::setMeterType(float value)
{
    meterType = stepIndex(value, 2);
    setDirty(true);
}

void CModeButton::setScale(float value)
{
    scale = stepIndex(value, 3);
    setDirty(true);
}

void CModeButton::draw(CDrawContext* context)
{
    const int picture = highlight ? 6 : (meterType == 0 ? scale : 3 + scale);
    const int pictureHeight = pBackground ? pBackground->getHeight() / kPictures : size.height();
    drawPicture(context, pBackground, size, picture, pictureHeight);
    setDirty(false);
}

void CModeButton::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (!bMouseEnabled)
        return;
    buttons = resolveButtons(context, buttons);
    auto* editor = dynamic_cast<CPresetSystemListener*>(listener);
    if (buttons & kRButton)
    {
        if (editor)
            editor->storeMeteringPreferences();
        setDirty(true);
        return;
    }
    if (!(buttons & kLButton))
        return;
    if (editor)
    {
        if (where.y < size.top + kBandHeight)
        {
            editor->automateMeterType(0);
        }
        else if (where.y > size.bottom - kBandHeight)
        {
            if (meterType == 1)
            {
                scale = (scale + 1) % 3;
                editor->automateMeterScale(scale);
            }
            editor->automateMeterType(1);
        }
    }
    setDirty(true);
}
