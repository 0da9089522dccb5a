#include "editor/CMyTextEdit.h"

#include "effect/ParameterTable.h"
#include "gui/cbitmap.h"
#include "gui/cframe.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace VSTGUI;

namespace
{

// The entry field of a parameter (a tag), or null for a field without one
// (the preset bar's name).
const ParameterField* fieldOf(long tag)
{
    if (tag < 0 || tag >= kNumParams)
        return nullptr;
    const ParameterField& field = kParameterTable[tag].field;
    return field.number == FieldNumber::none ? nullptr : &field;
}

// The field's number for a value: the true level of a gain, the time, the
// per cent, from the parameter's own curve. Single precision, as the panel
// has always printed it.
float fieldNumber(long tag, const ParameterField& field, float v)
{
    if (field.number == FieldNumber::travelPercent)
        return v * 100.0f;
    return static_cast<float>(parameterUnitValue(static_cast<int32_t>(tag), v));
}

// The field's top text ("off") in any letter case.
bool isTopText(const ParameterField& field, const char* text)
{
    if (!field.topText)
        return false;
    const char* top = field.topText;
    for (; *top; ++top, ++text)
        if (std::tolower(static_cast<unsigned char>(*text)) != std::tolower(static_cast<unsigned char>(*top)))
            return false;
    return *text == 0;
}

bool formatField(long tag, float v, bool onPanel, char* text)
{
    const ParameterField* field = fieldOf(tag);
    if (!field)
        return false;
    if (field->topText && v == 1.0f)
    {
        std::strcpy(text, field->topText);
        return true;
    }
    const double number = fieldNumber(tag, *field, v);
    // The panel shows the sign and the unit; the edit box the bare number.
    if (onPanel)
        std::snprintf(text, CTextEdit::kMaxTextLength + 1, field->sign ? "%+.*f%s" : "%.*f%s", field->decimals, number,
                      field->suffix);
    else
        std::snprintf(text, CTextEdit::kMaxTextLength + 1, "%.*f", field->decimals, number);
    return true;
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

bool CMyTextEdit::displayText(long tag, float v, char* text) { return formatField(tag, v, true, text); }

bool CMyTextEdit::editText(long tag, float v, char* text) { return formatField(tag, v, false, text); }

bool CMyTextEdit::valueFromText(long tag, const char* text, float& v)
{
    const ParameterField* field = fieldOf(tag);
    if (!field)
        return false;
    if (isTopText(*field, text))
    {
        v = 1.0f;
        return true;
    }
    // Read as atof reads: a text that is no number is 0, then clamped to
    // the field's range.
    const double x = std::atof(text);
    if (field->number == FieldNumber::travelPercent)
        v = static_cast<float>(clampTo(x, 0.0, 100.0) / 100.0);
    else
    {
        const ParameterRange& range = kParameterTable[tag].range;
        v = static_cast<float>(
            parameterNormalised(static_cast<int32_t>(tag), clampTo(x, range.minimum, range.maximum)));
    }
    return true;
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

long CMyTextEdit::onKeyDown(const platform::Key& key) { return passKeyToBox(box.get(), key) ? 1 : -1; }
