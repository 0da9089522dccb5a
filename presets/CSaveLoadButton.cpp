#include "presets/CSaveLoadButton.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "presets/CPresetSystemListener.h"

#include <cstring>

using namespace VSTGUI;

CSaveLoadButton::CSaveLoadButton(const CRect& size, CControlListener* listener, long tag, int heightOfOneImage,
                                 CBitmap* background, const CPoint& offset, int type)
    : CKickButton(size, listener, tag, heightOfOneImage, background, offset),
      type(type)
{}

bool CSaveLoadButton::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CSaveLoadButton") == 0 || CKickButton::isTypeOf(className);
}

void CSaveLoadButton::setHover(bool state)
{
    if (hover == state)
        return;
    hover = state;
    setDirty(true);
}

void CSaveLoadButton::draw(CDrawContext* context)
{
    int picture = 0;
    if (value > 0.5f)
        picture = 2;
    else if (hover)
        picture = 1;
    if (pBackground)
        pBackground->draw(context, size, CPoint(offset.x, offset.y + picture * heightOfOneImage));
    setDirty(false);
}

void CSaveLoadButton::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!bMouseEnabled || !pParentFrame || !context || !listener)
        return;
    if (buttons == -1)
        buttons = context->getMouseButtons();
    if (!(buttons & kLButton))
        return;
    auto* bar = dynamic_cast<CPresetSystemListener*>(listener);
    if (!bar)
        return;
    value = 1.0f;
    switch (type)
    {
    case kLoadBank: bar->loadBank(); break;
    case kSaveBank: bar->saveBank(); break;
    case kLoadPreset: bar->loadPreset(); break;
    case kSavePreset: bar->savePreset(); break;
    default: break;
    }
    while (context->getMouseButtons() & kLButton)
        doIdleStuff();
    pParentFrame->endEdit(tag);
    value = 0.0f;
    setDirty(true);
}
