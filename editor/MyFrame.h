// The editor's frame: while the about panel is open every click goes to it,
// and wheel turns go to the view under the pointer's current position.
#pragma once

#include "gui/cframe.h"

class MyFrame : public VSTGUI::CFrame
{
public:
    MyFrame(const VSTGUI::CRect& size, void* parentWindow, AEffGUIEditor* editor);

    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;
    bool onWheel(VSTGUI::CDrawContext* context, const VSTGUI::CPoint& where, float distance) override;
    using VSTGUI::CFrame::onWheel;

    void setInfoView(VSTGUI::CView* view) { infoView = view; }
    // Everything is redrawn over the closed panel.
    void clearInfoView();
    bool hasInfoView() const { return infoView != nullptr; }

private:
    VSTGUI::CView* infoView = nullptr;
};
