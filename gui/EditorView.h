// The editor as a plug-in format's adapter drives it: the adapter opens it in
// the host's window, learns its size, idles it, hands it the keys the host
// passes on, and closes it. Nothing here is of any format; each adapter
// translates its own calls (an editor-open opcode, a UI parent feature, a
// view's attach call) into these.
//
// Called on the host's interface thread, which owns the window, unless a
// comment says otherwise.
#pragma once

#include "platform/Key.h"

// What a host can do for the editor it shows, through the format's adapter.
// Called on the interface thread.
class EditorWindowHost
{
public:
    virtual ~EditorWindowHost() = default;
    // The host runs its own idle work (a drag or a menu holds the editor's
    // thread for a while, and the host's display should not freeze).
    virtual void idleHost() {}
    // The host gives its window (the editor's parent) this size; false when
    // it cannot.
    virtual bool resizeHostWindow(int width, int height)
    {
        (void)width;
        (void)height;
        return false;
    }
};

class EditorView
{
public:
    virtual ~EditorView() = default;

    // Opens the editor's window as a child of parent: an X11 Window id on
    // Linux, an HWND on Windows. False when no window could be made; the
    // editor is then closed.
    virtual bool attach(void* parent) = 0;
    // Closes the window; harmless when closed. The editor lives on and can
    // be attached again.
    virtual void detach() = 0;
    virtual bool isAttached() const = 0;
    // The editor's window: null while detached.
    virtual void* getNativeWindow() const = 0;

    // The window's size in pixels; fixed, known before attaching.
    virtual void getSize(int& width, int& height) const = 0;

    // Meters, readouts and changes that came from other threads are shown,
    // and the window's pending events handled. Every 20 to 50 ms suits it.
    virtual void idle() = 0;
    // While attached: a file descriptor that becomes readable when the
    // window has events waiting (the X connection's on Linux), for a host's
    // run loop to watch and call idle(); -1 where there is none.
    virtual int getEventDescriptor() const = 0;
    // While attached: the window calls idle() itself every interval
    // milliseconds from the system's message loop (Windows). False where
    // the system has no window timers; the host's timer must call idle().
    virtual bool idleWithWindowTimer(int milliseconds) = 0;

    // Keys the host took from the window and passes on; true when the
    // editor used the key.
    virtual bool keyDown(const platform::Key& key) = 0;
    virtual bool keyUp(const platform::Key& key) = 0;
    // The host's wheel turned by distance notches over the editor; true when
    // a control took it.
    virtual bool wheel(float distance) = 0;
    // How knobs follow a drag, as the host prefers it: 0 circular, 1
    // relative circular, 2 linear.
    virtual void setKnobMode(int mode) = 0;

    // The host's side of the window; null (the default) for none. It must
    // outlive the editor or be replaced first.
    virtual void setWindowHost(EditorWindowHost* host) = 0;

    // Any thread, the audio thread too: a parameter (normalised 0..1)
    // changed; the controls follow on the next idle.
    virtual void parameterChanged(int index, float value) = 0;
};
