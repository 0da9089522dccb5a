#include "editor/MyFrame.h"

#include "gui/cdrawcontext.h"

#include <algorithm>

using namespace VSTGUI;

MyFrame::MyFrame(const CRect& size, void* parentWindow, GuiEditor* editor) : CFrame(size, parentWindow, editor) {}

void MyFrame::setInfoView(CView* view)
{
    infoView = view;
    infoViewIndex = -1;
    auto found = std::find(children.begin(), children.end(), view);
    if (found == children.end())
        return;
    infoViewIndex = static_cast<long>(found - children.begin());
    std::rotate(found, found + 1, children.end());
}

void MyFrame::clearInfoView()
{
    // Back to its place, so input and drawing order are as before it opened.
    auto found = std::find(children.begin(), children.end(), infoView);
    if (found != children.end() && infoViewIndex >= 0 && infoViewIndex < static_cast<long>(children.size()))
    {
        auto place = children.begin() + infoViewIndex;
        if (place < found)
            std::rotate(place, found, found + 1);
    }
    infoView = nullptr;
    infoViewIndex = -1;
    setDirty(true);
}

void MyFrame::update(CDrawContext* context)
{
    // A view under the open panel that changed (host automation, a new
    // latency) would paint itself over it; instead the whole editor is drawn
    // again, the panel last.
    if (infoView && !getUpdatesDisabled() && isDirty())
    {
        draw(context);
        setDirty(false);
        return;
    }
    CFrame::update(context);
}

long MyFrame::onKeyDown(const platform::Key& key)
{
    // The views under the open panel take no keys; the host gets them.
    if (infoView)
        return -1;
    return CFrame::onKeyDown(key);
}

long MyFrame::onKeyUp(const platform::Key& key)
{
    if (infoView)
        return -1;
    return CFrame::onKeyUp(key);
}

void MyFrame::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (infoView)
    {
        CView* target = infoView;
        CViewHold alive(target);
        target->mouse(context, where, context ? context->getMouseButtons() : buttons);
        return;
    }
    CFrame::mouse(context, where, buttons);
}

bool MyFrame::onWheel(CDrawContext* context, const CPoint&, float distance)
{
    // Nothing under the open panel turns.
    if (infoView)
        return false;
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
    bool result;
    {
        CViewHold alive(target);
        result = target->onWheel(context, where, distance);
    }
    if (ownContext)
        context->forget();
    return result;
}
