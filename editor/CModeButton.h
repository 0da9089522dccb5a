// The meter mode selector: its top band chooses peak metering, its bottom
// band K metering, and a further click there steps through K-12, K-14 and
// K-20. It changes the MeterType and Scale parameters through the editor and
// follows them when they come back.
#pragma once

#include "gui/ccontrol.h"

class CModeButton : public VSTGUI::CControl
{
public:
    CModeButton(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, VSTGUI::CBitmap* bitmap);

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;

    void setHighlight(bool state);
    void setMeterType(float value);
    void setScale(float value);
    bool getHighlight() const { return highlight; }
    int getMeterType() const { return meterType; }
    int getScale() const { return scale; }

    static constexpr int kBandHeight = 19;

private:
    bool highlight = false;
    int meterType = 0;
    int scale = 1;
};
