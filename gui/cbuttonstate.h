// Mouse button and modifier bits, key modifiers, cursors and message texts
// shared by the toolkit's classes.
#pragma once

namespace VSTGUI
{

enum CButton
{
    kLButton = 1,
    kMButton = 2,
    kRButton = 4,
    kShift = 8,
    kControl = 16,
    kAlt = 32,
    kApple = 64,
};

// Modifier bits of a key, as platform::KeyModifier has them.
enum CKeyModifier
{
    kKeyShift = 1,
    kKeyAlternate = 2,
    kKeyCommand = 4,
    kKeyControl = 8,
};

enum CCursorType
{
    kCursorDefault = 0,
    kCursorWait,
    kCursorHSize,
    kCursorVSize,
    kCursorSizeAll,
    kCursorNESWSize,
    kCursorNWSESize,
    kCursorCopy,
    kCursorNotAllowed,
    kCursorHand,
};

enum CMessageResult
{
    kMessageUnknown = 0,
    kMessageNotified = 1,
};

extern const char* kMsgCheckIfViewContainer;
extern const char* kMsgLooseFocus;

} // namespace VSTGUI
