// The about panel: a click on its button (part of the panel picture) blends
// the panel over the middle of the editor; any further click closes it. While
// open, the view's rectangle is the whole panel, so that a redraw of any part
// of the editor repaints the panel there too; the button stays the only
// place that takes the opening click.
#pragma once

#include "editor/CTextPrinter.h"
#include "gui/ccontrol.h"

class CInfo : public VSTGUI::CControl
{
public:
    CInfo(const VSTGUI::CRect& size, VSTGUI::CBitmap* panel, VSTGUI::CBitmap* font, VSTGUI::CBitmap* transparentFont);
    ~CInfo() override;

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;

    void setLatency(int samples);
    int getLatency() const { return latency; }
    bool isPanelOpen() const { return panelOpen; }

    static constexpr int kOpacity = 200;
    static const VSTGUI::CRect kPanelRect;

private:
    VSTGUI::CBitmap* panel;
    CTextPrinter printer;
    VSTGUI::CRect buttonRect;
    bool panelOpen = false;
    int latency = 0;
};
