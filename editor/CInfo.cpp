#include "editor/CInfo.h"

#include "editor/MyFrame.h"
#include "gui/cbitmap.h"

#include <cstdio>
#include <cstring>

using namespace VSTGUI;

const CRect CInfo::kPanelRect(43, 294, 481, 430);

namespace {
constexpr int kFirstBaseline = 309;
constexpr int kLineSpacing = 14;
constexpr int kLatencyRightEdge = 470;
} // namespace

CInfo::CInfo(const CRect& size, CBitmap* panel, CBitmap* font, CBitmap* transparentFont)
    : CControl(size, nullptr, 0, nullptr), panel(panel), printer(font, transparentFont), buttonRect(size)
{
    if (panel)
        panel->remember();
}

CInfo::~CInfo()
{
    if (panel)
        panel->forget();
}

void CInfo::setLatency(int samples)
{
    latency = samples;
    setDirty(true);
}

void CInfo::draw(CDrawContext* context)
{
    if (!panelOpen) {
        setDirty(false);
        return;
    }
    if (panel)
        panel->drawAlphaBlend(context, kPanelRect, CPoint(0, 0), kOpacity);

    auto label = [&](int x, int line, const char* text) {
        printer.print(context, CPoint(x, kFirstBaseline + line * kLineSpacing), text, false, false, true);
    };
    printer.print(context, CPoint(55, kFirstBaseline), "QDX Zelvo", false, true, false);
    label(200, 0, "Brickwall Limiting, Metering and Requantizing");
    label(55, 1, "Version:");
    label(440, 1, "1.1.1");
    label(55, 2, "Current process latency (samples):");
    char number[16];
    std::snprintf(number, sizeof number, "%d", latency);
    label(kLatencyRightEdge - CTextPrinter::kCellWidth * static_cast<int>(std::strlen(number)), 2, number);
    label(165, 3, "VST plugin technology by Steinberg");
    setDirty(false);
}

void CInfo::mouse(CDrawContext*, CPoint&, long)
{
    if (!bMouseEnabled)
        return;
    auto* frame = dynamic_cast<MyFrame*>(getFrame());
    if (panelOpen) {
        panelOpen = false;
        setViewSize(buttonRect);
        if (frame)
            frame->clearInfoView();
    } else {
        panelOpen = true;
        setViewSize(kPanelRect);
        if (frame)
            frame->setInfoView(this);
        setDirty(true);
    }
}
