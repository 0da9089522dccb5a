// The window seam: the toolkit frame's child window inside the host's window,
// its input, its cursor, and the native pieces of the standard controls
// (a single-line edit box and a pop-up menu).
#pragma once

#include "platform/GraphicsDevice.h"
#include "platform/Key.h"

#include <memory>
#include <string>
#include <vector>

namespace platform
{

// Mouse button and modifier bits as the toolkit uses them.
enum InputState
{
    kInputLeft = 1,
    kInputMiddle = 2,
    kInputRight = 4,
    kInputShift = 8,
    kInputControl = 16,
    kInputAlt = 32,
};

// System cursors; any other number restores the cursor the window had.
enum CursorType
{
    kCursorWait = 1,
    kCursorHorizontalSize = 2,
    kCursorVerticalSize = 3,
    kCursorMove = 4,
    kCursorDiagonalRising = 5,
    kCursorDiagonalFalling = 6,
    kCursorNotAllowed = 8,
    kCursorHand = 9,
};

struct DropData
{
    bool files = false; // a list of file paths, else text
    std::vector<std::string> items;
};

// Implemented by the toolkit's frame. Points are in window coordinates.
class WindowListener
{
public:
    virtual ~WindowListener() = default;
    virtual void windowPaint(const IntRect& area) = 0;
    virtual void windowMouseDown(int x, int y) = 0;
    virtual void windowWheel(int x, int y, float distance) = 0;
    virtual void windowKey(const Key& key, bool down) = 0;
    virtual void windowDragEnter(const DropData& data, int x, int y) = 0;
    virtual void windowDragMove(const DropData& data, int x, int y) = 0;
    virtual void windowDragLeave(const DropData& data, int x, int y) = 0;
    virtual void windowDrop(const DropData& data, int x, int y) = 0;
    virtual void windowDestroyed() = 0;
    // A modal loop of the system (pop-up menu, message box) is waiting for
    // input: the host's own loop is held up meanwhile.
    virtual void windowModalIdle() {}
    // The window's own timer (startTimer) came due.
    virtual void windowTimer() {}
};

struct EditBoxStyle
{
    FontDescription font;
    ColorRef textColor = 0;
    ColorRef backColor = 0xFFFFFF;
    TextAlign align = TextAlign::left;
    int maxLength = 255;
};

class EditBoxListener
{
public:
    virtual ~EditBoxListener() = default;
    // Both may destroy the edit box; it touches nothing of itself afterwards.
    virtual void editBoxReturn() = 0;
    virtual void editBoxFocusLost() = 0;
};

// A native single-line text entry box, open while it exists: all text selected
// at first, the keyboard focus taken.
class EditBox
{
public:
    virtual ~EditBox() = default;
    virtual std::string getText() const = 0;
    // Keys that reached the editor through the host while the box is open.
    virtual bool handleKey(const Key& key) = 0;
};

struct MenuItem
{
    enum Kind
    {
        normal,
        separator,
        title,
        greyed,
        submenu
    };
    Kind kind = normal;
    std::string text;
    bool checked = false;
    bool columnBreak = false;    // starts a new column
    int command = 0;             // identifier reported when chosen (> 0)
    std::vector<MenuItem> items; // the submenu's entries
};

class Window
{
public:
    virtual ~Window() = default; // destroys the native window

    virtual void* getNativeHandle() const = 0;
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;

    // The window's device for drawing now; released (and shown) by releaseDevice.
    virtual GraphicsDevice* acquireDevice() = 0;
    virtual void releaseDevice(GraphicsDevice* device) = 0;

    virtual void getScreenOrigin(int& x, int& y) = 0;
    virtual void getCursorPosition(int& x, int& y) = 0; // screen coordinates
    // The buttons and modifiers carried by the input event being handled (or
    // the last one a drag loop took), not the device's state now: hosts idle
    // late, and by then a quick click has long been released.
    virtual int getInputState() = 0; // InputState bits
    virtual void setCursor(int type) = 0;
    virtual void resize(int width, int height) = 0;

    // Hands pending system events to the listener, in order. Inside a drag
    // loop (when called again from a listener call) it takes the next pointer
    // event from the queue, waiting briefly for one, and handles paint requests.
    virtual void processEvents() = 0;
    virtual void dispatchPendingPaint() = 0;

    virtual void setDropTarget(bool active) = 0;

    // The time of the input event being handled, in milliseconds of the
    // system's event clock; 0 when the window does not know it.
    virtual unsigned long getInputTime() { return 0; }

    // A file descriptor that becomes readable when events for the window are
    // waiting (the X connection's), for a host's run loop to watch; -1 where
    // the system has none.
    virtual int getEventDescriptor() const { return -1; }
    // Calls the listener's windowTimer every interval milliseconds from the
    // system's own message loop while the window lives; false where the
    // system has no window timers (there the host's timer must drive it).
    virtual bool startTimer(int milliseconds)
    {
        (void)milliseconds;
        return false;
    }

    // The host's windows, for the frame's own resizing when the host cannot.
    virtual void* getParentOf(void* window) = 0; // null at the top
    virtual bool isMdiClient(void* window) = 0;
    virtual void getOuterSize(void* window, int& width, int& height) = 0;
    virtual void resizeWindow(void* window, int width, int height) = 0;
    virtual int getDialogFrameSize() = 0;
    virtual void getRectInParent(void* window, IntRect& rect) = 0;

    // Native controls.
    virtual std::unique_ptr<EditBox> createEditBox(const IntRect& rect, const std::string& text,
                                                   const EditBoxStyle& style, EditBoxListener* listener) = 0;
    // Runs the menu modally at the screen point; the chosen command, or 0.
    virtual int trackPopupMenu(const std::vector<MenuItem>& items, int screenX, int screenY, bool rightButton) = 0;
};

// A visible child window of the host's window (an HWND, or an X11 Window id).
// Null when no window can be made (no display, no parent).
std::unique_ptr<Window> createChildWindow(void* parent, int width, int height, WindowListener* listener);

} // namespace platform
