#include "editor/CInfo.h"

#include "editor/MyFrame.h"
#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "resources/PanelLayout.h"

#include <cstdio>
#include <cstring>

using namespace VSTGUI;

const CRect CInfo::kPanelRect(PanelLayout::kAboutPanel.left, PanelLayout::kAboutPanel.top,
                              PanelLayout::kAboutPanel.right, PanelLayout::kAboutPanel.bottom);

namespace
{
constexpr int kFirstBaseline = 309;
constexpr int kLineSpacing = 14;
constexpr int kLatencyRightEdge = 470;
const CColor kBaseColor = {209, 214, 218, 255};
constexpr int kBaseCornerInset = 3;
} // namespace

CInfo::CInfo(const CRect& size, CBitmap* panel, CBitmap* font, CBitmap* transparentFont)
    : CControl(size, nullptr, 0, nullptr),
      panel(panel),
      printer(font, transparentFont),
      buttonRect(size)
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
    if (!panelOpen)
    {
        setDirty(false);
        return;
    }
    // A flat base under the blend, in the panel's own light grey: blended
    // straight over the editor, the knobs, meters and labels under the panel
    // showed through its text. The base leaves the rounded corners out.
    const CColor savedFill = context->getFillColor();
    context->setFillColor(kBaseColor);
    const int r = kBaseCornerInset;
    context->drawRect(CRect(kPanelRect.left + r, kPanelRect.top, kPanelRect.right - r, kPanelRect.bottom), kDrawFilled);
    context->drawRect(CRect(kPanelRect.left, kPanelRect.top + r, kPanelRect.right, kPanelRect.bottom - r), kDrawFilled);
    context->setFillColor(savedFill);
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
    if (panelOpen)
    {
        panelOpen = false;
        setViewSize(buttonRect);
        if (frame)
            frame->clearInfoView();
    }
    else
    {
        panelOpen = true;
        setViewSize(kPanelRect);
        if (frame)
            frame->setInfoView(this);
        setDirty(true);
    }
}
