#include "gui/cview.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/cviewcontainer.h"

#include <cstring>

namespace VSTGUI
{

const char* kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";
const char* kMsgLooseFocus = "LooseFocus";

CView::CView(const CRect& size) : size(size), mouseableArea(size) {}

CView::~CView()
{
    if (pBackground)
        pBackground->forget();
}

void CView::draw(CDrawContext* context)
{
    if (pBackground)
    {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, size);
        else
            pBackground->draw(context, size);
    }
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect&) { draw(context); }

void CView::mouse(CDrawContext*, CPoint&, long) {}

void CView::setBackground(CBitmap* background)
{
    if (pBackground)
        pBackground->forget();
    pBackground = background;
    if (pBackground)
        pBackground->remember();
    setDirty(true);
}

long CView::onKeyDown(const platform::Key&) { return -1; }
long CView::onKeyUp(const platform::Key&) { return -1; }

bool CView::onWheel(CDrawContext* context, const CPoint& where, long, float distance)
{
    return onWheel(context, where, distance);
}

bool CView::onWheel(CDrawContext*, const CPoint&, float) { return false; }

bool CView::onDrop(CDrawContext*, CDragContainer*, const CPoint&) { return false; }
void CView::onDragEnter(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::onDragLeave(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::onDragMove(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::looseFocus(CDrawContext*) {}
void CView::takeFocus(CDrawContext*) {}

bool CView::hitTest(const CPoint& where, long) { return mouseableArea.pointInside(where); }

void CView::setViewSize(const CRect& rect)
{
    size = rect;
    setDirty(true);
}

bool CView::removed(CView*) { return true; }
bool CView::attached(CView*) { return true; }

void CView::getMouseLocation(CDrawContext* context, CPoint& point)
{
    if (!context)
        return;
    if (pParentView && pParentView->notify(this, kMsgCheckIfViewContainer) == kMessageNotified)
    {
        auto* parent = static_cast<CViewContainer*>(pParentView);
        CPoint savedOffset = context->offset;
        CPoint savedScreen = context->offsetScreen;
        parent->modifyDrawContext(context);
        parent->getMouseLocation(context, point);
        context->offset = savedOffset;
        context->offsetScreen = savedScreen;
    }
    else
    {
        context->getMouseLocation(point);
    }
}

CPoint& CView::frameToLocal(CPoint& point) const
{
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->frameToLocal(point);
    return point;
}

CPoint& CView::localToFrame(CPoint& point) const
{
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->localToFrame(point);
    return point;
}

GuiEditor* CView::getEditor() const { return pParentFrame ? pParentFrame->getEditor() : nullptr; }

long CView::notify(CView*, const char*) { return kMessageUnknown; }

void CView::redrawRect(CDrawContext* context, const CRect& rect)
{
    if (pParentView)
        pParentView->redrawRect(context, rect);
    else if (pParentFrame)
        pParentFrame->drawRect(context, rect);
}

bool CView::isTypeOf(const char* className) const { return std::strcmp(className, "CView") == 0; }

void CView::update(CDrawContext* context)
{
    if (!isDirty())
        return;
    if (context)
        draw(context);
    else if (pParentFrame)
        pParentFrame->drawView(this);
    setDirty(false);
}

bool CView::setAttribute(CViewAttributeID id, long inSize, const void* data)
{
    if (inSize < 0 || (inSize > 0 && !data))
        return false;
    const char* bytes = static_cast<const char*>(data);
    attributes[id] = std::vector<char>(bytes, bytes + inSize);
    return true;
}

bool CView::getAttributeSize(CViewAttributeID id, long& outSize) const
{
    auto found = attributes.find(id);
    if (found == attributes.end())
        return false;
    outSize = static_cast<long>(found->second.size());
    return true;
}

bool CView::getAttribute(CViewAttributeID id, long inSize, void* data, long& outSize) const
{
    auto found = attributes.find(id);
    if (found == attributes.end() || inSize < static_cast<long>(found->second.size()))
        return false;
    outSize = static_cast<long>(found->second.size());
    if (outSize > 0)
        std::memcpy(data, found->second.data(), static_cast<size_t>(outSize));
    return true;
}

bool CView::removeAttribute(CViewAttributeID id) { return attributes.erase(id) > 0; }

} // namespace VSTGUI
