// The root of the view tree: one child window of the host's editor window. It
// routes mouse, wheel, key and drop input to its views and redraws the dirty
// ones on idle.
#pragma once

#include "gui/cviewcontainer.h"
#include "platform/PlatformWindow.h"

#include <functional>
#include <memory>

class GuiEditor;

namespace VSTGUI
{

class CDragContainer;

class CFrame : public CViewContainer, private platform::WindowListener
{
public:
    using WindowFactory =
        std::function<std::unique_ptr<platform::Window>(platform::WindowListener* listener, int width, int height)>;

    // A child window of the given parent window (an X11 Window id or an HWND).
    CFrame(const CRect& size, void* systemWindow, GuiEditor* editor);
    // The window comes from the factory (tests give a window of their own).
    CFrame(const CRect& size, GuiEditor* editor, const WindowFactory& makeWindow);
    ~CFrame() override;

    void draw(CDrawContext* context = nullptr) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    long onKeyDown(const platform::Key& key) override;
    long onKeyUp(const platform::Key& key) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    using CViewContainer::onWheel;
    GuiEditor* getEditor() const override { return pEditor; }
    void update(CDrawContext* context) override;
    CView* getCurrentView() const override;
    bool advanceNextFocusView(CView* oldFocus, bool reverse = false) override;
    bool isTypeOf(const char* className) const override;

    virtual bool open(CPoint* where = nullptr);
    virtual bool close();
    virtual bool isOpen() const { return bOpenFlag; }
    virtual void idle();
    virtual void doIdleStuff();
    virtual unsigned long getTicks() const;
    // The time of the input event being handled (its own clock), 0 if unknown.
    unsigned long getInputTime() const { return window ? window->getInputTime() : 0; }
    virtual long getKnobMode() const;
    virtual bool getPosition(int& x, int& y) const;
    virtual bool setSize(int width, int height);
    virtual bool getSize(CRect* rect) const;
    virtual bool setModalView(CView* view);
    virtual CView* getModalView() const { return pModalView; }
    virtual void beginEdit(long index);
    virtual void endEdit(long index);
    virtual bool getCurrentLocation(CPoint& where);
    virtual void setCursor(int type);
    virtual void setFocusView(CView* view);
    virtual CView* getFocusView() const { return pFocusView; }
    virtual bool setDropActive(bool active);
    virtual bool isDropActive() const { return bDropActive; }
    void setOpenFlag(bool state) { bOpenFlag = state; }
    // Marks dirty every child whose size overlaps the rectangle.
    void invalidate(const CRect& rect);
    bool setUpdatesDisabled(bool state);
    bool getUpdatesDisabled() const { return bUpdatesDisabled; }
    // Draws a child now with a fresh context; anything else redraws the whole frame.
    void drawView(CView* view);

    CDrawContext* createDrawContext();
    platform::Window* getPlatformWindow() const { return window.get(); }
    void* getSystemWindow() const { return window ? window->getNativeHandle() : nullptr; }
    void* getParentSystemWindow() const { return pSystemWindow; }
    bool isFirstPaintPending() const { return bFirstPaintPending; }

private:
    void windowPaint(const platform::IntRect& area) override;
    void windowMouseDown(int x, int y) override;
    void windowWheel(int x, int y, float distance) override;
    void windowKey(const platform::Key& key, bool down) override;
    void windowDragEnter(const platform::DropData& data, int x, int y) override;
    void windowDragMove(const platform::DropData& data, int x, int y) override;
    void windowDragLeave(const platform::DropData& data, int x, int y) override;
    void windowDrop(const platform::DropData& data, int x, int y) override;
    void windowDestroyed() override;
    void windowModalIdle() override;
    void windowTimer() override;
    CDragContainer* dragFor(const platform::DropData& data);
    void releaseDrag();

    GuiEditor* pEditor;
    void* pSystemWindow = nullptr;
    CView* pModalView = nullptr;
    CView* pFocusView = nullptr;
    bool bFirstPaintPending = true;
    bool bOpenFlag = false;
    bool bDropActive = false;
    bool bUpdatesDisabled = false;
    bool bClosing = false;
    std::unique_ptr<platform::Window> window;
    CDragContainer* currentDrag = nullptr;
};

} // namespace VSTGUI
