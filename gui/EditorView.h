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

    // Keys the host took from the window and passes on; true when the
    // editor used the key.
    virtual bool keyDown(const platform::Key& key) = 0;
    virtual bool keyUp(const platform::Key& key) = 0;

    // Any thread, the audio thread too: a parameter (normalised 0..1)
    // changed; the controls follow on the next idle.
    virtual void parameterChanged(int index, float value) = 0;
};
