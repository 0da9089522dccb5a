// The editor as a VST 2.4 host sees it: the editor opcodes (open in the
// host's window, rectangle, idle, keys, wheel, knob mode, close) turned into
// the format-neutral editor seam, and the editor's wishes of the host (idle
// during a drag, a window size) into host callbacks.
#pragma once

#include "gui/EditorView.h"
#include "host/AEffEditor.h"

class AEffGUIEditor : public AEffEditor, private EditorWindowHost
{
public:
    // Registers itself as the effect's editor; view outlives it.
    AEffGUIEditor(AudioEffect* effect, EditorView& view);
    ~AEffGUIEditor() override;

    bool getRect(ERect** rect) override;
    bool open(void* ptr) override;
    void close() override;
    bool isOpen() override;
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(float distance) override;
    bool setKnobMode(VstInt32 mode) override;
    // Any host thread, the audio thread too.
    void setParameter(VstInt32 index, float value) override;

    EditorView& getView() const { return view; }

private:
    void idleHost() override;
    bool resizeHostWindow(int width, int height) override;

    EditorView& view;
    ERect rect = {0, 0, 0, 0};
};
