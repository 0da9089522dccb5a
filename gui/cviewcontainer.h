// A view holding child views: draws them in the order they were added, through
// an offscreen buffer of its own, and offers input to the last added first.
#pragma once

#include "gui/ccolor.h"
#include "gui/cview.h"

#include <vector>

namespace VSTGUI
{

class COffscreenContext;

enum CViewContainerMode
{
    kNormalUpdate = 0,    // redraw the whole container when anything in it is dirty
    kOnlyDirtyUpdate = 1, // redraw only the dirty children
};

class CViewContainer : public CView
{
public:
    CViewContainer(const CRect& size, CFrame* frame, CBitmap* background = nullptr);
    ~CViewContainer() override;

    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    long onKeyDown(const platform::Key& key) override;
    long onKeyUp(const platform::Key& key) override;
    bool onWheel(CDrawContext* context, const CPoint& where, long axis, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void looseFocus(CDrawContext* context = nullptr) override;
    void takeFocus(CDrawContext* context = nullptr) override;
    bool isDirty() const override;
    void setViewSize(const CRect& rect) override;
    bool removed(CView* parent) override;
    bool attached(CView* parent) override;
    CPoint& frameToLocal(CPoint& point) const override;
    CPoint& localToFrame(CPoint& point) const override;
    long notify(CView* sender, const char* message) override;
    void redrawRect(CDrawContext* context, const CRect& rect) override;
    void update(CDrawContext* context) override;
    bool isTypeOf(const char* className) const override;

    virtual void addView(CView* view, const CRect& mouseableArea, bool mouseEnabled = true);
    virtual void addView(CView* view);
    virtual void removeView(CView* view, bool withForget = true);
    virtual void removeAll(bool withForget = true);
    virtual bool isChild(CView* view) const;
    virtual long getNbViews() const { return static_cast<long>(children.size()); }
    virtual CView* getView(long index) const;
    virtual void setBackgroundColor(const CColor& color);
    virtual CColor getBackgroundColor() const { return backgroundColor; }
    virtual void setBackgroundOffset(const CPoint& offset) { backgroundOffset = offset; }
    virtual const CPoint& getBackgroundOffset() const { return backgroundOffset; }
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& rect);
    virtual void setMode(long newMode) { mode = newMode; }
    virtual long getMode() const { return mode; }
    virtual void useOffscreen(bool enable);
    virtual CView* getCurrentView() const;
    virtual CView* getViewAt(const CPoint& where, bool deep = false) const;
    virtual bool advanceNextFocusView(CView* oldFocus, bool reverse = false);

    // Shifts the context's drawing offset and screen origin to this container's
    // top-left (children draw in container coordinates).
    void modifyDrawContext(CDrawContext* context) const;
    COffscreenContext* getOffscreenContext() const { return pOffscreenContext; }

protected:
    // Copies of the child list, so children added or removed by an event handler
    // do not disturb the walk over the others.
    std::vector<CView*> childrenCopy() const { return children; }
    void createOffscreen();
    void releaseOffscreen();

    std::vector<CView*> children;
    long mode = kNormalUpdate;
    COffscreenContext* pOffscreenContext = nullptr;
    CColor backgroundColor = kBlackCColor;
    CPoint backgroundOffset;
    bool bDrawInOffscreen = true;
    CView* currentDragView = nullptr;
};

} // namespace VSTGUI
