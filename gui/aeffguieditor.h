// The editor the host sees: binds a frame to the plug-in's editor interface
// and passes the controls' edit gestures on to the effect. It is also the
// editor every other format's adapter drives, through EditorView.
#pragma once

#include "gui/EditorView.h"
#include "host/AEffEditor.h"

#include <cstdint>

class AudioEffectX;

namespace VSTGUI
{
class CFrame;
}

class AEffGUIEditor : public AEffEditor, public EditorView
{
public:
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override;

    AudioEffect* getEffect() override { return effect; }
    bool getRect(ERect** rect) override;
    bool open(void* ptr) override;
    void close() override;
    bool isOpen() override;
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(float distance) override;
    bool setKnobMode(VstInt32 mode) override;
    void setParameter(VstInt32 index, float value) override;
    virtual void beginEdit(VstInt32 index);
    virtual void endEdit(VstInt32 index);
    virtual void doIdleStuff();
    // The host's idle alone, while a modal loop of the system (a menu, a
    // message box) holds the user-interface thread; the editor's own idle
    // stays out, as in doIdleStuff.
    void hostIdleDuringModalLoop();

    // EditorView: the same editor, without the VST 2.4 types.
    bool attach(void* parent) override;
    void detach() override { close(); }
    bool isAttached() const override { return systemWindow != nullptr; }
    void* getNativeWindow() const override;
    void getSize(int& width, int& height) const override;
    bool keyDown(const platform::Key& key) override;
    bool keyUp(const platform::Key& key) override;
    void parameterChanged(int index, float value) override { setParameter(index, value); }

    VSTGUI::CFrame* getFrame() const { return frame; }
    void* getParentWindow() const { return systemWindow; }
    static VstInt32 getKnobMode() { return knobMode; }

protected:
    AudioEffectX* effectX() const;

    ERect rect = {0, 0, 0, 0};
    uint32_t lLastTicks;
    bool inIdleStuff = false;
    VSTGUI::CFrame* frame = nullptr;

    static VstInt32 knobMode;
};
