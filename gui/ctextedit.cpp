#include "gui/ctextedit.h"

#include "gui/cframe.h"

#include <cstring>

namespace VSTGUI
{

CTextEdit::CTextEdit(const CRect& size, CControlListener* listener, long tag, const char* initial, CBitmap* background,
                     long style)
    : CParamDisplay(size, background, style)
{
    this->listener = listener;
    this->tag = tag;
    if (initial)
        std::strncpy(text, initial, kMaxTextLength);
    text[kMaxTextLength] = 0;
    setWantsFocus(true);
}

CTextEdit::~CTextEdit() { editBox.reset(); }

bool CTextEdit::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CTextEdit") == 0 || CParamDisplay::isTypeOf(className);
}

void CTextEdit::setText(const char* newText)
{
    char copy[kMaxTextLength + 1] = "";
    if (newText)
        std::strncpy(copy, newText, kMaxTextLength);
    if (std::strcmp(copy, text) != 0)
    {
        std::strcpy(text, copy);
        setDirty(true);
    }
}

void CTextEdit::getText(char* out) const
{
    if (out)
        std::strcpy(out, text);
}

void CTextEdit::setTextEditConvert(void (*convert)(char*, char*)) { editConvert = convert; }

void CTextEdit::setTextEditConvert(void (*convert)(char*, char*, void*), void* data)
{
    editConvert2 = convert;
    editUserData = data;
}

void CTextEdit::draw(CDrawContext* context)
{
    if (editBox)
    {
        setDirty(false);
        return;
    }
    char shown[256] = "";
    if (editConvert2)
        editConvert2(text, shown, editUserData);
    else if (editConvert)
        editConvert(text, shown);
    else if (stringConvert2)
        stringConvert2(value, shown, userData);
    else if (stringConvert)
        stringConvert(value, shown);
    else
        std::strcpy(shown, text);
    shown[255] = 0;
    drawText(context, shown);
    setDirty(false);
}

void CTextEdit::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!acceptClick(context, buttons))
        return;
    if (pParentFrame && pParentFrame->getFocusView() == this)
        return;
    if ((style & kDoubleClickStyle) && !isDoubleClick())
        return;
    beginEdit();
    takeFocus(context);
}

void CTextEdit::takeFocus(CDrawContext* context)
{
    bWasReturnPressed = false;
    if (editBox || !pParentFrame || !pParentFrame->getPlatformWindow())
        return;
    CRect rect(size);
    for (CView* parent = pParentView; parent; parent = parent->getParentView())
    {
        if (parent->notify(this, kMsgCheckIfViewContainer) == kMessageNotified)
        {
            CRect parentSize;
            parent->getViewSize(parentSize);
            rect.offset(parentSize.left, parentSize.top);
        }
    }
    if (context)
        rect.offset(context->offset.x, context->offset.y);

    platform::EditBoxStyle boxStyle;
    int font = fontID >= 0 && fontID < kNumStandardFonts ? fontID : kSystemFont;
    boxStyle.font.face = kFontTable[font].name;
    boxStyle.font.size = kFontTable[font].size;
    boxStyle.font.bold = false;
    boxStyle.textColor = platform::makeColorRef(fontColor.red, fontColor.green, fontColor.blue);
    boxStyle.backColor = platform::makeColorRef(backColor.red, backColor.green, backColor.blue);
    boxStyle.align = horiTxtAlign == kCenterText  ? platform::TextAlign::center
                     : horiTxtAlign == kRightText ? platform::TextAlign::right
                                                  : platform::TextAlign::left;
    boxStyle.maxLength = kMaxTextLength;
    editBox = pParentFrame->getPlatformWindow()->createEditBox(
        platform::IntRect{rect.left, rect.top, rect.right, rect.bottom}, text, boxStyle, this);
}

void CTextEdit::looseFocus(CDrawContext* context)
{
    // Clearing the frame's focus comes back here; the outer call finishes the job.
    if (inLooseFocus)
        return;
    inLooseFocus = true;
    endEdit();
    if (pParentFrame && pParentFrame->getFocusView() == this)
        pParentFrame->setFocusView(nullptr);
    if (!editBox)
    {
        inLooseFocus = false;
        return;
    }
    char oldText[kMaxTextLength + 1];
    std::strcpy(oldText, text);
    std::string typed = editBox->getText();
    std::strncpy(text, typed.c_str(), kMaxTextLength);
    text[kMaxTextLength] = 0;
    editBox.reset();
    setDirty(true);
    if (std::strcmp(oldText, text) != 0)
    {
        if (listener)
            listener->valueChanged(context, this);
        doIdleStuff();
    }
    inLooseFocus = false;
    CView* receiver = pParentView ? pParentView : pParentFrame;
    if (receiver)
        receiver->notify(this, kMsgLooseFocus);
}

bool CTextEdit::removed(CView* parent)
{
    // Taken away while its box is open: the edit ends as losing focus ends it.
    if (editBox)
        looseFocus();
    return CParamDisplay::removed(parent);
}

long CTextEdit::onKeyDown(const platform::Key& key) { return passKeyToBox(editBox.get(), key) ? 1 : -1; }

bool CTextEdit::passKeyToBox(platform::EditBox* box, const platform::Key& key) { return box && box->handleKey(key); }

void CTextEdit::editBoxReturn()
{
    bWasReturnPressed = true;
    looseFocus();
}

void CTextEdit::editBoxFocusLost() { looseFocus(); }

} // namespace VSTGUI
