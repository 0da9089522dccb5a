#include "editor/CMyTextEdit.h"

#include "gui/cbitmap.h"
#include "gui/cframe.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace VSTGUI;

namespace
{

enum FieldTag
{
    kOutputTag = 0,
    kDriveTag = 1,
    kTransientTag = 2,
    kReleaseTag = 3,
    kLinkTag = 5,
    kLevellerTag = 13,
};

// The release time's curve: 1 ms at 0, 1000 ms at 1.
constexpr double kReleaseExponent = 0.82030212;
constexpr double kReleaseInverseExponent = 1.2190630447230832;

float releaseMs(float v)
{
    return static_cast<float>(std::pow(10.0, 3.0 * std::pow(static_cast<double>(v), kReleaseExponent)));
}

// "off" in any letter case.
bool isOff(const char* text)
{
    const char* off = "off";
    for (; *off; ++off, ++text)
        if (std::tolower(static_cast<unsigned char>(*text)) != *off)
            return false;
    return *text == 0;
}

double clampTo(double x, double low, double high) { return x < low ? low : (x > high ? high : x); }

constexpr int kBoxHalfHeight = 6;
constexpr int kBoxHeight = 13;

} // namespace

class CMyTextEdit::BoxListener : public platform::EditBoxListener
{
public:
    explicit BoxListener(CMyTextEdit& field) : field(field) {}
    void editBoxReturn() override
    {
        field.enterPressed = true;
        field.looseFocus();
    }
    void editBoxFocusLost() override { field.looseFocus(); }

private:
    CMyTextEdit& field;
};

CMyTextEdit::CMyTextEdit(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* font,
                         CBitmap* transparentFont)
    : CTextEdit(size, listener, tag, "", background, 0),
      printer(font, transparentFont),
      boxListener(new BoxListener(*this))
{
    fontID = kNormalFont;
}

CMyTextEdit::~CMyTextEdit() { box.reset(); }

bool CMyTextEdit::displayText(long tag, float v, char* text)
{
    switch (tag)
    {
    case kOutputTag: std::sprintf(text, "%+.2fdB", (v - 1.0f) * 12.0f); return true;
    case kDriveTag: std::sprintf(text, "%+.2fdB", (v - 0.5f) * 48.0f); return true;
    case kTransientTag:
    case kLinkTag: std::sprintf(text, "%.1f%%", v * 100.0f); return true;
    case kReleaseTag: std::sprintf(text, "%.1fms", releaseMs(v)); return true;
    case kLevellerTag:
        if (v == 1.0f)
            std::strcpy(text, "off");
        else
            std::sprintf(text, "%+.2fdB", (v - 1.0f) * 12.0f);
        return true;
    default: return false;
    }
}

bool CMyTextEdit::editText(long tag, float v, char* text)
{
    switch (tag)
    {
    case kOutputTag: std::sprintf(text, "%.2f", (v - 1.0f) * 12.0f); return true;
    case kDriveTag: std::sprintf(text, "%.2f", (v - 0.5f) * 48.0f); return true;
    case kTransientTag:
    case kLinkTag: std::sprintf(text, "%.1f", v * 100.0f); return true;
    case kReleaseTag: std::sprintf(text, "%.1f", releaseMs(v)); return true;
    case kLevellerTag:
        if (v == 1.0f)
            std::strcpy(text, "off");
        else
            std::sprintf(text, "%.2f", (v - 1.0f) * 12.0f);
        return true;
    default: return false;
    }
}

bool CMyTextEdit::valueFromText(long tag, const char* text, float& v)
{
    // Read as atof reads: a text that is no number is 0, then clamped.
    const double x = std::atof(text);
    switch (tag)
    {
    case kOutputTag: v = static_cast<float>((clampTo(x, -12.0, 0.0) + 12.0) / 12.0); return true;
    case kDriveTag: v = static_cast<float>((clampTo(x, -24.0, 24.0) + 24.0) / 48.0); return true;
    case kTransientTag:
    case kLinkTag: v = static_cast<float>(clampTo(x, 0.0, 100.0) / 100.0); return true;
    case kReleaseTag:
        v = static_cast<float>(std::pow(std::log10(clampTo(x, 1.0, 1000.0)) / 3.0, kReleaseInverseExponent));
        return true;
    case kLevellerTag:
        if (isOff(text))
            v = 1.0f;
        else
            v = static_cast<float>((clampTo(x, -12.0, 0.0) + 12.0) / 12.0);
        return true;
    default: return false;
    }
}

std::string CMyTextEdit::shownText() const
{
    char text[kMaxTextLength + 1] = "";
    if (!displayText(tag, value, text))
        getText(text);
    return text;
}

void CMyTextEdit::draw(CDrawContext* context)
{
    if (box)
    {
        setDirty(false);
        return;
    }
    // The panel under the field erases the previous text.
    if (pBackground)
        pBackground->draw(context, size, CPoint(size.left, size.top));
    const std::string text = shownText();
    const int free = size.width() - CTextPrinter::kCellWidth * static_cast<int>(text.size());
    const int x = size.left + (free > 0 ? free / 2 : 0);
    // A long program name stops at the field's edge.
    CRect savedClip;
    context->getClipRect(savedClip);
    CRect clip(size.left, size.top, size.right, size.bottom + 1);
    clip.bound(savedClip);
    context->setClipRect(clip);
    printer.print(context, CPoint(x, size.bottom), text.c_str(), false, false, true);
    context->setClipRect(savedClip);
    setDirty(false);
}

void CMyTextEdit::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!bMouseEnabled)
        return;
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
    if (!(buttons & kLButton) || !pParentFrame)
        return;
    if (pParentFrame->getFocusView() == this)
        return;
    pParentFrame->setFocusView(this);
    pParentFrame->beginEdit(tag);
    takeFocus(context);
}

void CMyTextEdit::takeFocus(CDrawContext* context)
{
    enterPressed = false;
    if (box || !pParentFrame || !pParentFrame->getPlatformWindow())
        return;
    char text[kMaxTextLength + 1] = "";
    if (!editText(tag, value, text))
        getText(text);
    setText(text);

    const int middle = size.top + size.height() / 2;
    CRect rect(size.left + 1, middle - kBoxHalfHeight, size.right - 1, middle + kBoxHalfHeight);
    for (CView* parent = pParentView; parent; parent = parent->getParentView())
    {
        if (parent != pParentFrame && parent->notify(this, kMsgCheckIfViewContainer) == kMessageNotified)
        {
            CRect parentSize;
            parent->getViewSize(parentSize);
            rect.offset(parentSize.left, parentSize.top);
        }
    }
    if (context)
        rect.offset(context->offset.x, context->offset.y);
    boxRect = rect;

    platform::EditBoxStyle style;
    style.font.face = "Arial";
    // The box's font: 2 pixels less than the box, at most the field's table size.
    const int font = fontID >= 0 && fontID < kNumStandardFonts ? fontID : kNormalFont;
    style.font.size = std::min(rect.height() - 2, kFontTable[font].size);
    style.textColor = platform::makeColorRef(fontColor.red, fontColor.green, fontColor.blue);
    style.backColor = platform::makeColorRef(backColor.red, backColor.green, backColor.blue);
    style.align = horiTxtAlign == kCenterText  ? platform::TextAlign::center
                  : horiTxtAlign == kRightText ? platform::TextAlign::right
                                               : platform::TextAlign::left;
    style.maxLength = kMaxTextLength;
    const platform::IntRect boxArea{rect.left, rect.top, rect.right, rect.top + kBoxHeight};
    box = pParentFrame->getPlatformWindow()->createEditBox(boxArea, text, style, boxListener.get());
    setDirty(true);
}

void CMyTextEdit::looseFocus(CDrawContext* context)
{
    // Clearing the frame's focus view comes back here; the outer call finishes.
    if (inLooseFocus)
        return;
    inLooseFocus = true;
    if (pParentFrame)
        pParentFrame->endEdit(tag);
    if (pParentFrame && pParentFrame->getFocusView() == this)
        pParentFrame->setFocusView(nullptr);
    if (!box)
    {
        inLooseFocus = false;
        return;
    }
    const std::string typed = box->getText().substr(0, kMaxTextLength);
    box.reset();
    char opened[kMaxTextLength + 1] = "";
    getText(opened);
    setText(typed.c_str());
    // The text the box opened with is the value rounded for typing: reading
    // it back would move the value without the user having changed anything.
    float parsed = value;
    if (typed != opened && valueFromText(tag, typed.c_str(), parsed))
        value = parsed;
    if (listener)
        listener->valueChanged(context, this);
    doIdleStuff();
    inLooseFocus = false;
    CView* receiver = pParentView ? pParentView : pParentFrame;
    if (receiver)
        receiver->notify(this, kMsgLooseFocus);
    setDirty(true);
}

bool CMyTextEdit::removed(CView* parent)
{
    // Taken away while its box is open: the edit ends as losing focus ends it.
    if (box)
        looseFocus();
    return CTextEdit::removed(parent);
}

long CMyTextEdit::onKeyDown(VstKeyCode& keyCode)
{
    if (box && box->handleKey(keyCode))
        return 1;
    return -1;
}
