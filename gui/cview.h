// The base of everything on the editor's panel: a rectangle in its parent's
// coordinates that draws itself, takes input and is redrawn when dirty.
#pragma once

#include "gui/cbuttonstate.h"
#include "gui/cgeometry.h"
#include "gui/creferencecounter.h"
#include "platform/Key.h"

#include <map>
#include <vector>

class GuiEditor;

namespace VSTGUI
{

class CBitmap;
class CDrawContext;
class CDragContainer;
class CFrame;

typedef long CViewAttributeID;

class CView : public CReferenceCounter
{
public:
    explicit CView(const CRect& size);
    ~CView() override;

    virtual void draw(CDrawContext* context);
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    virtual bool checkUpdate(const CRect& updateRect) const { return updateRect.rectOverlap(size); }
    virtual void mouse(CDrawContext* context, CPoint& where, long buttons = -1);

    virtual void setBackground(CBitmap* background);
    virtual CBitmap* getBackground() const { return pBackground; }

    virtual long onKeyDown(const platform::Key& key);
    virtual long onKeyUp(const platform::Key& key);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, long axis, float distance);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);

    virtual bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where);

    virtual void looseFocus(CDrawContext* context = nullptr);
    virtual void takeFocus(CDrawContext* context = nullptr);

    virtual bool isDirty() const { return bDirty; }
    virtual void setDirty(bool state = true) { bDirty = state; }

    virtual void setMouseEnabled(bool enable = true) { bMouseEnabled = enable; }
    virtual bool getMouseEnabled() const { return bMouseEnabled; }
    virtual void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    virtual void getMouseableArea(CRect& rect) const { rect = mouseableArea; }
    virtual bool hitTest(const CPoint& where, long buttons = -1);

    virtual void setTransparency(bool state) { bTransparencyEnabled = state; }
    virtual bool getTransparency() const { return bTransparencyEnabled; }

    virtual void setViewSize(const CRect& rect);
    virtual void getViewSize(CRect& rect) const { rect = size; }

    virtual bool removed(CView* parent);
    virtual bool attached(CView* parent);

    virtual void getMouseLocation(CDrawContext* context, CPoint& point);
    virtual CPoint& frameToLocal(CPoint& point) const;
    virtual CPoint& localToFrame(CPoint& point) const;

    virtual GuiEditor* getEditor() const;
    virtual long notify(CView* sender, const char* message);
    virtual void redrawRect(CDrawContext* context, const CRect& rect);

    virtual bool wantsFocus() const { return bWantsFocus; }
    virtual void setWantsFocus(bool state) { bWantsFocus = state; }
    virtual bool isTypeOf(const char* className) const;
    virtual void update(CDrawContext* context);

    // Named attributes: small blobs of data kept with the view.
    bool setAttribute(CViewAttributeID id, long inSize, const void* data);
    bool getAttributeSize(CViewAttributeID id, long& outSize) const;
    bool getAttribute(CViewAttributeID id, long inSize, void* data, long& outSize) const;
    bool removeAttribute(CViewAttributeID id);

    // A reference taken only while one of the view's own handlers runs (the
    // handler may remove the view). It belongs to no owner, so removeView does
    // not count it as the creator's.
    void holdDuringHandler()
    {
        handlerHolds++;
        remember();
    }
    void releaseAfterHandler()
    {
        handlerHolds--;
        forget();
    }
    long getHandlerHolds() const { return handlerHolds; }

    CFrame* getFrame() const { return pParentFrame; }
    CView* getParentView() const { return pParentView; }
    void setParentFrame(CFrame* frame) { pParentFrame = frame; }
    void setParentView(CView* parent) { pParentView = parent; }

    int left() const { return size.left; }
    int top() const { return size.top; }

protected:
    CRect size;
    CRect mouseableArea;
    CFrame* pParentFrame = nullptr;
    CView* pParentView = nullptr;
    bool bDirty = false;
    bool bMouseEnabled = true;
    bool bTransparencyEnabled = false;
    bool bWantsFocus = false;
    CBitmap* pBackground = nullptr;
    std::map<CViewAttributeID, std::vector<char>> attributes;

private:
    long handlerHolds = 0;
};

// Keeps a view alive while one of its handlers runs.
class CViewHold
{
public:
    explicit CViewHold(CView* view) : view(view) { view->holdDuringHandler(); }
    ~CViewHold() { view->releaseAfterHandler(); }
    CViewHold(const CViewHold&) = delete;
    CViewHold& operator=(const CViewHold&) = delete;

private:
    CView* view;
};

} // namespace VSTGUI
