// The toolkit's editor: binds a frame to the editor seam every plug-in
// format's adapter drives (EditorView) and passes the controls' edit
// gestures on. It knows no format: what a host can do for its editor (idle
// itself during a long drag, resize its window) it asks through the
// EditorWindowHost an adapter gives it.
#pragma once

#include "gui/EditorView.h"
#include "gui/cgeometry.h"

#include <cstdint>

namespace VSTGUI
{
class CFrame;
}

class GuiEditor : public EditorView
{
public:
    GuiEditor();
    ~GuiEditor() override;

    // Stores the parent window; the derived editor builds its frame in it.
    virtual bool open(void* parent);
    virtual void close();
    virtual bool isOpen() const { return systemWindow != nullptr; }
    void idle() override;
    bool onWheel(float distance);
    // Any thread: a parameter changed; nothing here, the editor shows it.
    virtual void setParameter(int index, float value);
    // A drag on a control begins and ends: nothing here, the editor tells the effect.
    virtual void beginEdit(int index);
    virtual void endEdit(int index);
    // The editor's idle, called from inside long drag loops: runs at most
    // every 30 ms, and lets the host idle itself too.
    virtual void doIdleStuff();
    // The host's idle alone, while a modal loop of the system (a menu, a
    // message box) holds the user-interface thread; the editor's own idle
    // stays out, as in doIdleStuff.
    void hostIdleDuringModalLoop();
    // Asks the host to give its window this size; false when it cannot, and
    // the frame then resizes the windows it reaches itself.
    bool resizeHostWindow(int width, int height);

    // EditorView.
    bool attach(void* parent) override;
    void detach() override { close(); }
    bool isAttached() const override { return systemWindow != nullptr; }
    void* getNativeWindow() const override;
    void getSize(int& width, int& height) const override;
    bool keyDown(const platform::Key& key) override;
    bool keyUp(const platform::Key& key) override;
    bool wheel(float distance) override { return onWheel(distance); }
    void setKnobMode(int mode) override { knobMode = mode; }
    void parameterChanged(int index, float value) override { setParameter(index, value); }
    void setWindowHost(EditorWindowHost* host) override { windowHost = host; }
    int getEventDescriptor() const override;
    bool idleWithWindowTimer(int milliseconds) override;
    // The window's timer came due: idle, unless an idle is running already
    // (a system menu or dialog inside one lets the timer through).
    void timerIdle();

    VSTGUI::CFrame* getFrame() const { return frame; }
    void* getParentWindow() const { return systemWindow; }
    static long getKnobMode() { return knobMode; }

protected:
    // The editor's area; the derived editor sets it before it is opened.
    VSTGUI::CRect rect;
    uint32_t lLastTicks;
    bool inIdleStuff = false;
    bool inTimerIdle = false;
    VSTGUI::CFrame* frame = nullptr;
    void* systemWindow = nullptr;
    EditorWindowHost* windowHost = nullptr;

    // How knobs follow the mouse, for every editor of the process.
    static long knobMode;
};
