// The toolkit's own connection to the X server, shared by its windows, with
// the routing of events to the object behind each window.
#pragma once

#include "platform/Key.h"
#include "platform/GraphicsDevice.h"
#include "platform/x11/SoftwareBitmap.h"

#include <X11/Xlib.h>

#include <map>

namespace platform
{

class X11EventHandler
{
public:
    virtual ~X11EventHandler() = default;
    virtual void handleEvent(XEvent& event) = 0;
    // Called while a modal loop of the toolkit waits for input.
    virtual void modalIdle() {}
};

class X11Display
{
public:
    // The shared connection, opened on first use; null when there is no X server.
    static X11Display* acquire();
    static void release();

    Display* get() const { return display; }
    void registerHandler(::Window window, X11EventHandler* handler) { handlers[window] = handler; }
    void unregisterHandler(::Window window) { handlers.erase(window); }
    X11EventHandler* handlerFor(::Window window) const;

    // Hands all pending events to their windows; when called again from inside a
    // handler (a drag loop or a modal menu), only paint events are handled.
    void dispatchPending();
    void dispatchPaints();
    // True inside a handler called by dispatchPending (a drag loop runs there).
    bool isDispatching() const { return dispatchDepth > 0; }
    void dispatch(XEvent& event);

    // For the toolkit's modal loops (menus, message boxes), which hold up the
    // host's own loop: the next event, or false when none came within the
    // time; and the modal idle of every window's owner, to be called every
    // kModalIdleMs, so that the host can go on repainting.
    bool nextEventWithin(XEvent& event, int timeoutMs);
    void modalIdle();
    static constexpr int kModalIdleMs = 30;

    // Shows part of a picture in a window (any 24/32-bit TrueColor visual).
    void putPicture(::Window window, GC gc, SoftwareBitmap& picture, const IntRect& area);

    Atom atom(const char* name);

private:
    X11Display() = default;
    Display* display = nullptr;
    int users = 0;
    int dispatchDepth = 0;
    std::map<::Window, X11EventHandler*> handlers;
};

// Ignores X errors while it exists (windows that vanish under us, focus races).
class X11ErrorTrap
{
public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    bool failed() const;

private:
    Display* display;
    int (*previous)(Display*, XErrorEvent*);
};

// Key events as the window seam reports them: key name, character and modifiers.
Key translateKey(XKeyEvent& event, char* text = nullptr, int textSize = 0);

// Draws text and boxes of the toolkit's own windows (edit box, menus, dialogs).
class SoftwareDevice;

} // namespace platform
