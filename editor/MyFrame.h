// The editor's frame: while the about panel is open it lies over everything
// else, takes every click and lets nothing under it take input or paint over
// it; wheel turns go to the view under the pointer's current position.
#pragma once

#include "gui/cframe.h"

class MyFrame : public VSTGUI::CFrame
{
public:
    MyFrame(const VSTGUI::CRect& size, void* parentWindow, GuiEditor* editor);

    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;
    bool onWheel(VSTGUI::CDrawContext* context, const VSTGUI::CPoint& where, float distance) override;
    using VSTGUI::CFrame::onWheel;
    long onKeyDown(const platform::Key& key) override;
    long onKeyUp(const platform::Key& key) override;
    void update(VSTGUI::CDrawContext* context) override;

    // The view becomes the last one drawn, so it covers every other view.
    void setInfoView(VSTGUI::CView* view);
    // Everything is redrawn over the closed panel.
    void clearInfoView();
    bool hasInfoView() const { return infoView != nullptr; }

private:
    VSTGUI::CView* infoView = nullptr;
    // Where the info view stood among the children before it was moved to the top.
    long infoViewIndex = -1;
};
