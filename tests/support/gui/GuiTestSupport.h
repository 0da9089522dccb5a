// Shared pieces of the toolkit tests: a scripted window that plays a pointer
// path for drag loops, generated test pictures, and recording listeners.
#pragma once

#include "gui/vstgui.h"
#include "host/AEffGUIEditor.h"
#include "host/AudioEffectX.h"
#include "host/VstKeyMapping.h"
#include "platform/GraphicsDevice.h"
#include "platform/PlatformWindow.h"

#include <memory>
#include <string>
#include <vector>

namespace guitest
{

using namespace VSTGUI;

struct PointerStep
{
    int x;
    int y;
    int buttons;
};

// A window whose pointer follows a script: each cursor read moves one step on
// (the last step stays); the button state is that of the current step.
class ScriptedWindow : public platform::Window
{
public:
    ScriptedWindow(int width, int height);

    void setPointer(int x, int y, int buttons);
    void playPath(const std::vector<PointerStep>& path);

    void* getNativeHandle() const override { return nullptr; }
    int getWidth() const override { return sizeWidth; }
    int getHeight() const override { return sizeHeight; }
    platform::GraphicsDevice* acquireDevice() override;
    void releaseDevice(platform::GraphicsDevice* device) override;
    void getScreenOrigin(int& x, int& y) override { x = y = 0; }
    void getCursorPosition(int& x, int& y) override;
    int getInputState() override { return current.buttons; }
    void setCursor(int type) override { cursor = type; }
    void resize(int width, int height) override;
    void processEvents() override { processed++; }
    void dispatchPendingPaint() override {}
    void setDropTarget(bool active) override { dropTarget = active; }
    void* getParentOf(void*) override { return nullptr; }
    bool isMdiClient(void*) override { return false; }
    void getOuterSize(void*, int& width, int& height) override { width = getWidth(), height = getHeight(); }
    void resizeWindow(void*, int, int) override { resizes++; }
    int getDialogFrameSize() override { return 3; }
    void getRectInParent(void*, platform::IntRect& rect) override { rect = {0, 0, getWidth(), getHeight()}; }
    std::unique_ptr<platform::EditBox> createEditBox(const platform::IntRect& rect, const std::string& text,
                                                     const platform::EditBoxStyle& style,
                                                     platform::EditBoxListener* listener) override;
    int trackPopupMenu(const std::vector<platform::MenuItem>& items, int screenX, int screenY,
                       bool rightButton) override;

    CColor pixel(int x, int y) const;

    // What the controls asked for.
    int cursor = 0;
    int processed = 0;
    int resizes = 0;
    bool dropTarget = false;
    std::vector<platform::MenuItem> lastMenu;
    int menuX = 0;
    int menuY = 0;
    int menuChoice = 0; // the command the next menu answers
    platform::EditBoxListener* editListener = nullptr;
    std::string editText; // what the open edit box holds
    platform::IntRect editRect;
    int openEditBoxes = 0;

private:
    std::unique_ptr<platform::Bitmap> screen;
    // One device for all contexts at once: a memory bitmap can belong to only
    // one device context on Windows.
    std::unique_ptr<platform::GraphicsDevice> device;
    int deviceUsers = 0;
    int sizeWidth;
    int sizeHeight;
    std::vector<PointerStep> path;
    size_t step = 0;
    PointerStep current{0, 0, 0};
};

// A frame in a scripted window, without an editor unless one is given.
struct ScriptedFrame
{
    explicit ScriptedFrame(int width = 200, int height = 200, GuiEditor* editor = nullptr);
    ~ScriptedFrame();
    CFrame* frame = nullptr;
    ScriptedWindow* window = nullptr; // owned by the frame
};

struct ValueRecord
{
    long tag;
    float value;
    CControl* control;
};

class RecordingListener : public CControlListener
{
public:
    void valueChanged(CDrawContext*, CControl* control) override
    {
        changes.push_back(ValueRecord{control->getTag(), control->getValue(), control});
    }
    long controlModifierClicked(CDrawContext*, CControl*, long) override { return modifierAnswer; }

    std::vector<float> values() const;
    std::vector<ValueRecord> changes;
    long modifierAnswer = 0;
};

// An effect without a host (every host call neutral) that counts idle calls.
class TestEffect : public AudioEffectX
{
public:
    TestEffect() : AudioEffectX(nullptr, 1, 1) {}
    void masterIdle() override { masterIdles++; }
    bool canHostDo(char* text) override { return hostCanSize && std::string(text) == "sizeWindow"; }
    bool sizeWindow(VstInt32 width, VstInt32 height) override
    {
        sizeRequests.push_back({width, height});
        return hostAcceptsSize;
    }
    int masterIdles = 0;
    bool hostCanSize = false;
    bool hostAcceptsSize = false;
    std::vector<std::pair<int, int>> sizeRequests;
};

// An editor that records the edit gestures it passes on, shown by a VST 2.4
// host through the format's editor binding (vst).
class TestEditor : public GuiEditor
{
public:
    explicit TestEditor(AudioEffect* effect) : vst(effect, *this) {}
    void beginEdit(int index) override
    {
        edits.push_back("begin " + std::to_string(index));
        GuiEditor::beginEdit(index);
    }
    void endEdit(int index) override
    {
        edits.push_back("end " + std::to_string(index));
        GuiEditor::endEdit(index);
    }
    // A key as the host passes it.
    bool onKeyDown(VstKeyCode& key) { return vst.onKeyDown(key); }
    void attachFrame(CFrame* newFrame) { frame = newFrame; }
    std::vector<std::string> edits;
    AEffGUIEditor vst;
};

// Pictures for the controls, 0xAARRGGBB.
std::vector<uint32_t> solidPixels(int width, int height, uint32_t color);
// frames stacked vertically, frame i filled with colors[i].
CBitmap* makeStrip(int width, int frameHeight, const std::vector<uint32_t>& colors);
// A knob face: a grey disc with a dark rim on black.
CBitmap* makeKnobFace(int size);
// A film strip of n frames, each a disc with a pointer at its value's angle.
CBitmap* makeKnobStrip(int size, int frames);

inline uint32_t argb(int r, int g, int b) { return 0xFF000000u | static_cast<uint32_t>(r << 16 | g << 8 | b); }
inline CColor rgb(int r, int g, int b)
{
    return CColor{static_cast<unsigned char>(r), static_cast<unsigned char>(g), static_cast<unsigned char>(b), 255};
}

} // namespace guitest
