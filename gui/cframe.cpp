#include "gui/cframe.h"

#include "gui/GuiEditor.h"
#include "gui/cdragcontainer.h"
#include "gui/cdrawcontext.h"
#include "gui/coffscreencontext.h"
#include "platform/SystemTime.h"

#include <cstring>

namespace VSTGUI
{

namespace
{

CRect atOrigin(const CRect& size) { return CRect(0, 0, size.width(), size.height()); }

} // namespace

CFrame::CFrame(const CRect& size, void* systemWindow, GuiEditor* editor)
    : CFrame(size, editor, [systemWindow](platform::WindowListener* listener, int width, int height) {
          return platform::createChildWindow(systemWindow, width, height, listener);
      })
{
    pSystemWindow = systemWindow;
}

CFrame::CFrame(const CRect& size, GuiEditor* editor, const WindowFactory& makeWindow)
    : CViewContainer(atOrigin(size), nullptr, nullptr),
      pEditor(editor)
{
    pParentFrame = this;
    if (makeWindow)
        window = makeWindow(this, this->size.width(), this->size.height());
    if (window)
    {
        bOpenFlag = true;
        setDropActive(true);
    }
}

CFrame::~CFrame()
{
    setModalView(nullptr);
    // An edit still open ends as it does when the focus moves away (the typed
    // text taken, the host's edit gesture closed); nothing is idled meanwhile.
    bClosing = true;
    if (pFocusView)
        setFocusView(nullptr);
    pFocusView = nullptr;
    // Views go before the window: their native pieces (edit boxes) live in it.
    removeAll(true);
    releaseOffscreen();
    releaseDrag();
    if (window)
    {
        window->setCursor(kCursorDefault);
        if (bDropActive)
            window->setDropTarget(false);
    }
    window.reset();
    bOpenFlag = false;
}

bool CFrame::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CFrame") == 0 || CViewContainer::isTypeOf(className);
}

CDrawContext* CFrame::createDrawContext() { return new CDrawContext(this, nullptr, window.get()); }

void CFrame::draw(CDrawContext* context)
{
    bFirstPaintPending = false;
    if (context)
    {
        CViewContainer::draw(context);
        return;
    }
    CDrawContext* own = createDrawContext();
    CViewContainer::draw(own);
    own->forget();
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect)
{
    bFirstPaintPending = false;
    if (updateRect.isEmpty())
        return;
    if (context)
    {
        CViewContainer::drawRect(context, updateRect);
        return;
    }
    CDrawContext* own = createDrawContext();
    CViewContainer::drawRect(own, updateRect);
    own->forget();
}

void CFrame::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    // Any click ends text entry before it is dispatched.
    if (pFocusView)
        setFocusView(nullptr);
    if (buttons == -1 && context)
        buttons = context->getMouseButtons();
    if (pModalView)
    {
        if (pModalView->hitTest(where, buttons))
            pModalView->mouse(context, where, buttons);
        return;
    }
    CViewContainer::mouse(context, where, buttons);
}

long CFrame::onKeyDown(const platform::Key& key)
{
    long result = -1;
    if (pFocusView)
        result = pFocusView->onKeyDown(key);
    if (result == -1 && pModalView)
        result = pModalView->onKeyDown(key);
    if (result == -1 && key.name == platform::KeyName::tab)
        result = advanceNextFocusView(pFocusView, (key.modifiers & platform::kKeyModifierShift) != 0) ? 1 : -1;
    return result;
}

long CFrame::onKeyUp(const platform::Key& key)
{
    long result = -1;
    if (pFocusView)
        result = pFocusView->onKeyUp(key);
    if (result == -1 && pModalView)
        result = pModalView->onKeyUp(key);
    return result;
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    CView* view = pModalView ? pModalView : getViewAt(where);
    if (!view)
        return false;
    bool ownContext = context == nullptr;
    if (ownContext)
        context = createDrawContext();
    bool result;
    {
        CViewHold alive(view);
        result = view->onWheel(context, where, distance);
    }
    if (ownContext)
        context->forget();
    return result;
}

void CFrame::update(CDrawContext* context)
{
    if (bUpdatesDisabled)
        return;
    if (bDirty)
    {
        draw(context);
        setDirty(false);
        return;
    }
    for (CView* child : childrenCopy())
        child->update(context);
}

CView* CFrame::getCurrentView() const
{
    if (pModalView)
        return pModalView;
    return CViewContainer::getCurrentView();
}

bool CFrame::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    if (pModalView)
        return false;
    if (!oldFocus)
        oldFocus = pFocusView;
    if (!oldFocus)
        return CViewContainer::advanceNextFocusView(nullptr, reverse);
    if (isChild(oldFocus))
    {
        if (CViewContainer::advanceNextFocusView(oldFocus, reverse))
            return true;
    }
    else
    {
        // Climb through the enclosing containers, each continuing after the one below.
        CView* below = oldFocus;
        CView* parent = oldFocus->getParentView();
        while (parent && parent != this && parent->isTypeOf("CViewContainer"))
        {
            if (static_cast<CViewContainer*>(parent)->CViewContainer::advanceNextFocusView(below, reverse))
                return true;
            below = parent;
            parent = parent->getParentView();
        }
        if (CViewContainer::advanceNextFocusView(below, reverse))
            return true;
    }
    // Past the last view the walk starts again at the first.
    return CViewContainer::advanceNextFocusView(nullptr, reverse);
}

bool CFrame::open(CPoint*) { return false; }

bool CFrame::close()
{
    pSystemWindow = nullptr;
    return false;
}

void CFrame::idle()
{
    if (bClosing)
        return;
    if (window)
        window->processEvents();
    if (!bOpenFlag || bFirstPaintPending || !window)
        return;
    if (isDirty())
    {
        CDrawContext* context = createDrawContext();
        update(context);
        context->forget();
    }
}

void CFrame::doIdleStuff()
{
    if (pEditor && !bClosing)
        pEditor->doIdleStuff();
}

unsigned long CFrame::getTicks() const { return pEditor ? platform::getTicks() : 0; }

long CFrame::getKnobMode() const { return GuiEditor::getKnobMode(); }

bool CFrame::getPosition(int& x, int& y) const
{
    if (!window || !pSystemWindow)
        return false;
    platform::IntRect rect;
    window->getRectInParent(pSystemWindow, rect);
    x = rect.left;
    y = rect.top;
    return true;
}

bool CFrame::getSize(CRect* rect) const
{
    if (!window || !rect)
        return false;
    platform::IntRect area;
    window->getRectInParent(pSystemWindow ? pSystemWindow : window->getNativeHandle(), area);
    *rect = CRect(area.left, area.top, area.right, area.bottom);
    return true;
}

bool CFrame::setSize(int width, int height)
{
    if (!bOpenFlag || !window)
        return false;
    if (width == size.width() && height == size.height())
        return false;
    if (pEditor && pEditor->resizeHostWindow(width, height))
    {
        window->resize(width, height);
    }
    else
    {
        // Grow the chain of windows up to the host's frame, each by what it
        // adds around the one inside it.
        void* current = window->getNativeHandle();
        int dw = 0;
        int dh = 0;
        int stopWidth = 2 * window->getDialogFrameSize();
        bool hostOwnsRest = false;
        while (dw != stopWidth)
        {
            void* parent = window->getParentOf(current);
            if (!parent || window->isMdiClient(parent))
                break;
            if (current == window->getNativeHandle())
                window->resize(width + dw, height + dh);
            else
                window->resizeWindow(current, width + dw, height + dh);
            int parentWidth = 0, parentHeight = 0, currentWidth = 0, currentHeight = 0;
            window->getOuterSize(parent, parentWidth, parentHeight);
            window->getOuterSize(current, currentWidth, currentHeight);
            dw += parentWidth - currentWidth;
            dh += parentHeight - currentHeight;
            if (dw > 80 || dh > 80)
            {
                hostOwnsRest = true;
                break;
            }
            if (dw < 0)
                dw = 0;
            if (dh < 0)
                dh = 0;
            current = parent;
        }
        if (!hostOwnsRest)
        {
            if (current == window->getNativeHandle())
                window->resize(width + dw, height + dh);
            else
                window->resizeWindow(current, width + dw, height + dh);
        }
    }
    CViewContainer::setViewSize(CRect(0, 0, width, height));
    mouseableArea = size;
    releaseOffscreen();
    createOffscreen();
    setDirty(true);
    return true;
}

bool CFrame::setModalView(CView* view)
{
    if (view && pModalView)
        return false;
    if (pModalView)
        removeView(pModalView, false);
    pModalView = view;
    if (pModalView)
        addView(pModalView);
    return true;
}

void CFrame::beginEdit(long index)
{
    if (pEditor)
        pEditor->beginEdit(index);
}

void CFrame::endEdit(long index)
{
    if (pEditor)
        pEditor->endEdit(index);
}

bool CFrame::getCurrentLocation(CPoint& where)
{
    if (!window)
        return false;
    int x = 0, y = 0, originX = 0, originY = 0;
    window->getCursorPosition(x, y);
    window->getScreenOrigin(originX, originY);
    where = CPoint(x - originX, y - originY);
    return true;
}

void CFrame::setCursor(int type)
{
    if (window)
        window->setCursor(type);
}

void CFrame::setFocusView(CView* view)
{
    CView* old = pFocusView;
    pFocusView = view;
    if (pFocusView && pFocusView->wantsFocus())
        pFocusView->setDirty(true);
    if (old && old != view)
    {
        old->looseFocus();
        if (old->wantsFocus())
            old->setDirty(true);
    }
}

bool CFrame::setDropActive(bool active)
{
    if (!window)
        return false;
    window->setDropTarget(active);
    bDropActive = active;
    return true;
}

void CFrame::invalidate(const CRect& rect)
{
    for (CView* child : childrenCopy())
    {
        CRect viewSize;
        child->getViewSize(viewSize);
        if (viewSize.rectOverlap(rect))
            child->setDirty(true);
    }
}

bool CFrame::setUpdatesDisabled(bool state)
{
    bool previous = bUpdatesDisabled;
    bUpdatesDisabled = state;
    return previous;
}

void CFrame::drawView(CView* view)
{
    CDrawContext* context = createDrawContext();
    if (view && isChild(view))
        view->draw(context);
    else
        draw(context);
    context->forget();
}

void CFrame::windowPaint(const platform::IntRect& area)
{
    CDrawContext* context = createDrawContext();
    drawRect(context, CRect(area.left, area.top, area.right, area.bottom));
    context->forget();
}

void CFrame::windowMouseDown(int x, int y)
{
    CDrawContext* context = createDrawContext();
    CPoint where(x, y);
    mouse(context, where, -1);
    context->forget();
}

void CFrame::windowWheel(int x, int y, float distance)
{
    CDrawContext* context = createDrawContext();
    onWheel(context, CPoint(x, y), distance);
    context->forget();
}

void CFrame::windowKey(const platform::Key& key, bool down)
{
    if (pEditor)
    {
        if (down)
            pEditor->keyDown(key);
        else
            pEditor->keyUp(key);
    }
    else if (down)
    {
        onKeyDown(key);
    }
    else
    {
        onKeyUp(key);
    }
}

CDragContainer* CFrame::dragFor(const platform::DropData& data)
{
    if (!currentDrag)
        currentDrag = new CDragContainer(data.files, data.items);
    return currentDrag;
}

void CFrame::releaseDrag()
{
    if (currentDrag)
    {
        currentDrag->forget();
        currentDrag = nullptr;
    }
}

void CFrame::windowDragEnter(const platform::DropData& data, int x, int y)
{
    releaseDrag();
    CDrawContext* context = createDrawContext();
    onDragEnter(context, dragFor(data), CPoint(x, y));
    context->forget();
}

void CFrame::windowDragMove(const platform::DropData& data, int x, int y)
{
    CDrawContext* context = createDrawContext();
    onDragMove(context, dragFor(data), CPoint(x, y));
    context->forget();
}

void CFrame::windowDragLeave(const platform::DropData& data, int x, int y)
{
    CDrawContext* context = createDrawContext();
    onDragLeave(context, dragFor(data), CPoint(x, y));
    context->forget();
    releaseDrag();
}

void CFrame::windowDrop(const platform::DropData& data, int x, int y)
{
    releaseDrag();
    CDrawContext* context = createDrawContext();
    onDrop(context, dragFor(data), CPoint(x, y));
    context->forget();
    releaseDrag();
}

void CFrame::windowTimer()
{
    if (pEditor && !bClosing)
        pEditor->timerIdle();
}

void CFrame::windowModalIdle()
{
    if (pEditor)
        pEditor->hostIdleDuringModalLoop();
}

void CFrame::windowDestroyed()
{
    bOpenFlag = false;
    pSystemWindow = nullptr;
}

} // namespace VSTGUI
