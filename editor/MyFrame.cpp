#include "editor/MyFrame.h"

#include "gui/cdrawcontext.h"

using namespace VSTGUI;

MyFrame::MyFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor) : CFrame(size, parentWindow, editor) {}

void MyFrame::clearInfoView()
{
    infoView = nullptr;
    setDirty(true);
}

void MyFrame::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (infoView) {
        CView* target = infoView;
        target->remember();
        target->mouse(context, where, context ? context->getMouseButtons() : buttons);
        target->forget();
        return;
    }
    CFrame::mouse(context, where, buttons);
}

bool MyFrame::onWheel(CDrawContext* context, const CPoint&, float distance)
{
    // The pointer's position now, not the one the wheel message carried.
    CPoint where;
    if (!getCurrentLocation(where))
        return false;
    CView* target = getModalView() ? getModalView() : getViewAt(where);
    if (!target)
        return false;
    const bool ownContext = context == nullptr;
    if (ownContext)
        context = createDrawContext();
    target->remember();
    const bool result = target->onWheel(context, where, distance);
    target->forget();
    if (ownContext)
        context->forget();
    return result;
}
