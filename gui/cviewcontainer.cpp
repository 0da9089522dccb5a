#include "gui/cviewcontainer.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/coffscreencontext.h"

#include <algorithm>
#include <cstring>

namespace VSTGUI
{

namespace
{

// Saves and restores what modifyDrawContext changes.
class ContextShift
{
public:
    explicit ContextShift(CDrawContext* context)
        : context(context),
          offset(context ? context->offset : CPoint()),
          screen(context ? context->offsetScreen : CPoint())
    {}
    ~ContextShift()
    {
        if (context)
        {
            context->offset = offset;
            context->offsetScreen = screen;
        }
    }

private:
    CDrawContext* context;
    CPoint offset;
    CPoint screen;
};

} // namespace

CViewContainer::CViewContainer(const CRect& size, CFrame* frame, CBitmap* background) : CView(size)
{
    pParentFrame = frame;
    setBackground(background);
    backgroundOffset = CPoint(0, 0);
    bDirty = false;
}

CViewContainer::~CViewContainer()
{
    removeAll(true);
    releaseOffscreen();
}

bool CViewContainer::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CViewContainer") == 0 || CView::isTypeOf(className);
}

void CViewContainer::modifyDrawContext(CDrawContext* context) const
{
    if (!context)
        return;
    context->offset.offset(size.left, size.top);
    context->offsetScreen.offset(size.left, size.top);
}

void CViewContainer::createOffscreen()
{
    if (!pOffscreenContext && bDrawInOffscreen)
        pOffscreenContext = new COffscreenContext(pParentFrame, size.width(), size.height(), kBlackCColor);
}

void CViewContainer::releaseOffscreen()
{
    if (pOffscreenContext)
    {
        pOffscreenContext->forget();
        pOffscreenContext = nullptr;
    }
}

void CViewContainer::draw(CDrawContext* context)
{
    if (!context)
        return;
    createOffscreen();
    ContextShift restore(context);
    CDrawContext* target = context;
    CRect local(0, 0, size.width(), size.height());
    CRect clip(local);
    CRect oldClip;
    if (pOffscreenContext && bDrawInOffscreen)
    {
        target = pOffscreenContext;
    }
    else
    {
        context->getClipRect(oldClip);
        modifyDrawContext(context);
        CRect parentClip(oldClip);
        parentClip.offset(-size.left, -size.top);
        clip.bound(parentClip);
    }
    CRect targetOldClip;
    target->getClipRect(targetOldClip);
    target->setClipRect(clip);
    drawBackgroundRect(target, local);
    for (CView* child : childrenCopy())
        if (child->checkUpdate(clip))
            child->draw(target);
    target->setClipRect(targetOldClip);
    if (target != context)
        pOffscreenContext->copyFrom(context, size);
    setDirty(false);
}

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect)
{
    if (!context)
        return;
    createOffscreen();
    ContextShift restore(context);
    CRect update(updateRect);
    update.bound(size);
    CRect client(update);
    client.offset(-size.left, -size.top);
    CRect clip(client);
    CDrawContext* target = context;
    if (pOffscreenContext && bDrawInOffscreen)
    {
        target = pOffscreenContext;
    }
    else
    {
        CRect oldClip;
        context->getClipRect(oldClip);
        modifyDrawContext(context);
        oldClip.offset(-size.left, -size.top);
        clip.bound(oldClip);
    }
    CRect targetOldClip;
    target->getClipRect(targetOldClip);
    target->setClipRect(clip);
    drawBackgroundRect(target, client);
    for (CView* child : childrenCopy())
    {
        if (!child->checkUpdate(client))
            continue;
        CRect viewSize;
        child->getViewSize(viewSize);
        CRect drawn(viewSize);
        drawn.bound(clip);
        if (drawn.isEmpty())
            continue;
        target->setClipRect(drawn);
        child->drawRect(target, drawn);
        CRect after;
        child->getViewSize(after);
        if (after != viewSize)
            child->setDirty(true);
        target->setClipRect(clip);
    }
    target->setClipRect(targetOldClip);
    if (target != context)
        pOffscreenContext->copyFrom(context, update, CPoint(client.left, client.top));
    setDirty(false);
}

void CViewContainer::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    CPoint where2(where);
    where2.offset(-size.left, -size.top);
    if (buttons == -1 && context)
        buttons = context->getMouseButtons();
    std::vector<CView*> list = childrenCopy();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
    {
        CView* child = *it;
        if (child->getMouseEnabled() && child->hitTest(where2, buttons))
        {
            CViewHold alive(child);
            child->mouse(context, where2, buttons);
            return;
        }
    }
}

long CViewContainer::onKeyDown(const platform::Key& key)
{
    std::vector<CView*> list = childrenCopy();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
    {
        long result = (*it)->onKeyDown(key);
        if (result != -1)
            return result;
    }
    return -1;
}

long CViewContainer::onKeyUp(const platform::Key& key)
{
    std::vector<CView*> list = childrenCopy();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
    {
        long result = (*it)->onKeyUp(key);
        if (result != -1)
            return result;
    }
    return -1;
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, long axis, float distance)
{
    CView* view = getViewAt(where);
    if (!view)
        return false;
    CPoint where2(where);
    where2.offset(-size.left, -size.top);
    ContextShift restore(context);
    modifyDrawContext(context);
    CViewHold alive(view);
    return view->onWheel(context, where2, axis, distance);
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    return onWheel(context, where, 1, distance);
}

bool CViewContainer::onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    CPoint where2(where);
    where2.offset(-size.left, -size.top);
    CView* view = getViewAt(where);
    if (view != currentDragView)
    {
        if (currentDragView)
            currentDragView->onDragLeave(context, drag, where2);
        currentDragView = view;
    }
    bool result = false;
    if (currentDragView)
    {
        result = currentDragView->onDrop(context, drag, where2);
        currentDragView->onDragLeave(context, drag, where2);
    }
    currentDragView = nullptr;
    return result;
}

void CViewContainer::onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    CPoint where2(where);
    where2.offset(-size.left, -size.top);
    if (currentDragView)
        currentDragView->onDragLeave(context, drag, where2);
    currentDragView = getViewAt(where);
    if (currentDragView)
        currentDragView->onDragEnter(context, drag, where2);
}

void CViewContainer::onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    CPoint where2(where);
    where2.offset(-size.left, -size.top);
    if (currentDragView)
        currentDragView->onDragLeave(context, drag, where2);
    currentDragView = nullptr;
}

void CViewContainer::onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    CPoint where2(where);
    where2.offset(-size.left, -size.top);
    CView* view = getViewAt(where);
    if (view != currentDragView)
    {
        if (currentDragView)
            currentDragView->onDragLeave(context, drag, where2);
        if (view)
            view->onDragEnter(context, drag, where2);
        currentDragView = view;
    }
    else if (currentDragView)
    {
        currentDragView->onDragMove(context, drag, where2);
    }
}

void CViewContainer::looseFocus(CDrawContext* context)
{
    for (CView* child : childrenCopy())
        child->looseFocus(context);
}

void CViewContainer::takeFocus(CDrawContext* context)
{
    for (CView* child : childrenCopy())
        child->takeFocus(context);
}

bool CViewContainer::isDirty() const
{
    if (bDirty)
        return true;
    CRect area(0, 0, size.width(), size.height());
    for (CView* child : children)
    {
        if (!child->isDirty())
            continue;
        CRect r;
        child->getViewSize(r);
        r.bound(area);
        if (r.width() > 0 && r.height() > 0)
            return true;
    }
    return false;
}

void CViewContainer::setViewSize(const CRect& rect)
{
    CView::setViewSize(rect);
    if (pOffscreenContext && bDrawInOffscreen)
    {
        releaseOffscreen();
        createOffscreen();
    }
}

bool CViewContainer::removed(CView* parent)
{
    releaseOffscreen();
    return CView::removed(parent);
}

bool CViewContainer::attached(CView* parent)
{
    createOffscreen();
    return CView::attached(parent);
}

CPoint& CViewContainer::frameToLocal(CPoint& point) const
{
    point.offset(-size.left, -size.top);
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->frameToLocal(point);
    return point;
}

CPoint& CViewContainer::localToFrame(CPoint& point) const
{
    point.offset(size.left, size.top);
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->localToFrame(point);
    return point;
}

long CViewContainer::notify(CView*, const char* message)
{
    if (message && std::strcmp(message, kMsgCheckIfViewContainer) == 0)
        return kMessageNotified;
    return kMessageUnknown;
}

void CViewContainer::redrawRect(CDrawContext* context, const CRect& rect)
{
    CRect shifted(rect);
    shifted.offset(size.left, size.top);
    if (bTransparencyEnabled)
    {
        if (pParentView)
            pParentView->redrawRect(context, shifted);
        else if (pParentFrame && pParentFrame != this)
            pParentFrame->drawRect(context, shifted);
        return;
    }
    if (!context)
        return;
    ContextShift restore(context);
    if (pParentView)
    {
        CPoint origin(0, 0);
        pParentView->localToFrame(origin);
        context->offset.offset(origin.x, origin.y);
        context->offsetScreen.offset(origin.x, origin.y);
    }
    drawRect(context, shifted);
}

void CViewContainer::update(CDrawContext* context)
{
    if (mode == kNormalUpdate)
    {
        if (isDirty())
            draw(context);
        return;
    }
    if (bDirty)
    {
        draw(context);
        return;
    }
    if (bDrawInOffscreen)
    {
        createOffscreen();
        bool anyDirty = isDirty();
        for (CView* child : childrenCopy())
            child->update(pOffscreenContext);
        if (anyDirty && context)
            pOffscreenContext->copyFrom(context, size);
    }
    else if (context)
    {
        ContextShift restore(context);
        modifyDrawContext(context);
        for (CView* child : childrenCopy())
        {
            if (!child->isDirty())
                continue;
            CViewContainer* nested = nullptr;
            long nestedMode = 0;
            if (child->notify(this, kMsgCheckIfViewContainer) == kMessageNotified)
            {
                nested = static_cast<CViewContainer*>(child);
                nestedMode = nested->getMode();
                nested->setMode(kNormalUpdate);
            }
            CRect viewSize;
            child->getViewSize(viewSize);
            drawBackgroundRect(context, viewSize);
            child->update(context);
            if (nested)
                nested->setMode(nestedMode);
        }
    }
    setDirty(false);
}

void CViewContainer::addView(CView* view, const CRect& mouseableArea, bool mouseEnabled)
{
    if (!view)
        return;
    view->setMouseableArea(mouseableArea);
    view->setMouseEnabled(mouseEnabled);
    addView(view);
}

void CViewContainer::addView(CView* view)
{
    if (!view)
        return;
    view->remember();
    view->setParentFrame(pParentFrame);
    view->setParentView(this);
    children.push_back(view);
    view->attached(this);
    view->setDirty(true);
}

void CViewContainer::removeView(CView* view, bool withForget)
{
    auto found = std::find(children.begin(), children.end(), view);
    if (found == children.end())
        return;
    if (pParentFrame && pParentFrame->getFocusView() == view)
        pParentFrame->setFocusView(nullptr);
    if (currentDragView == view)
        currentDragView = nullptr;
    children.erase(std::find(children.begin(), children.end(), view));
    view->removed(this);
    // The container's own reference, and the creator's when asked; never more
    // than the view has (a creator that already let go leaves only ours, and
    // a hold kept while the view's own handler runs is nobody's).
    if (withForget && view->getNbReference() - view->getHandlerHolds() > 1)
        view->forget();
    view->forget();
}

void CViewContainer::removeAll(bool withForget)
{
    while (!children.empty())
        removeView(children.back(), withForget);
}

bool CViewContainer::isChild(CView* view) const
{
    return std::find(children.begin(), children.end(), view) != children.end();
}

CView* CViewContainer::getView(long index) const
{
    if (index < 0 || index >= static_cast<long>(children.size()))
        return nullptr;
    return children[static_cast<size_t>(index)];
}

void CViewContainer::setBackgroundColor(const CColor& color)
{
    backgroundColor = color;
    setDirty(true);
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& rect)
{
    if (!context)
        return;
    if (pBackground)
    {
        CRect oldClip;
        context->getClipRect(oldClip);
        CRect clip(rect);
        clip.bound(oldClip);
        context->setClipRect(clip);
        CRect whole(0, 0, pBackground->getWidth(), pBackground->getHeight());
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, whole, backgroundOffset);
        else
            pBackground->draw(context, whole, backgroundOffset);
        context->setClipRect(oldClip);
    }
    else if (!bTransparencyEnabled)
    {
        context->setFillColor(backgroundColor);
        context->drawRect(rect, kDrawFilled);
    }
}

void CViewContainer::useOffscreen(bool enable)
{
    bDrawInOffscreen = enable;
    if (!enable)
        releaseOffscreen();
}

CView* CViewContainer::getCurrentView() const
{
    if (!pParentFrame)
        return nullptr;
    CPoint where;
    pParentFrame->getCurrentLocation(where);
    frameToLocal(where);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
    {
        CRect area;
        (*it)->getMouseableArea(area);
        if (area.pointInside(where))
            return *it;
    }
    return nullptr;
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep) const
{
    CPoint where2(where);
    where2.offset(-size.left, -size.top);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
    {
        CRect area;
        (*it)->getMouseableArea(area);
        if (!area.pointInside(where2))
            continue;
        if (deep && (*it)->isTypeOf("CViewContainer"))
            return static_cast<CViewContainer*>(*it)->getViewAt(where2, deep);
        return *it;
    }
    return nullptr;
}

bool CViewContainer::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    std::vector<CView*> list = childrenCopy();
    if (reverse)
        std::reverse(list.begin(), list.end());
    bool foundOld = oldFocus == nullptr;
    for (CView* child : list)
    {
        if (!foundOld)
        {
            foundOld = child == oldFocus;
            continue;
        }
        if (child->wantsFocus())
        {
            if (pParentFrame)
                pParentFrame->setFocusView(child);
            return true;
        }
        if (child->isTypeOf("CViewContainer") &&
            static_cast<CViewContainer*>(child)->CViewContainer::advanceNextFocusView(nullptr, reverse))
            return true;
    }
    return false;
}

} // namespace VSTGUI
