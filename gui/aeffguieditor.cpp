#include "gui/aeffguieditor.h"

#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "host/AudioEffectX.h"
#include "host/VstKeyMapping.h"
#include "platform/SystemTime.h"

using namespace VSTGUI;

VstInt32 AEffGUIEditor::knobMode = 0;

namespace
{

// Drag loops call doIdleStuff on every pass; the real idle work runs at most
// every 30 ms, and early calls wait 4 ms so the loop does not spin.
constexpr uint32_t kIdleRate = 30;
constexpr uint32_t kIdleWait = 4;
constexpr uint32_t kIdleSlack = 15;

} // namespace

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect), lLastTicks(platform::getTicks())
{
    if (effect)
        effect->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor()
{
    // An editor deleted by someone other than its effect leaves no dangling pointer there.
    if (effect && effect->getEditor() == this)
        effect->setEditor(nullptr);
}

AudioEffectX* AEffGUIEditor::effectX() const { return dynamic_cast<AudioEffectX*>(effect); }

bool AEffGUIEditor::getRect(ERect** outRect)
{
    *outRect = &rect;
    return true;
}

bool AEffGUIEditor::open(void* ptr)
{
    systemWindow = ptr;
    return true;
}

void AEffGUIEditor::close() { systemWindow = nullptr; }

bool AEffGUIEditor::isOpen() { return systemWindow != nullptr; }

void AEffGUIEditor::idle()
{
    if (inIdleStuff)
        return;
    if (frame)
        frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) { return frame ? frame->onKeyDown(keyCode) == 1 : false; }

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) { return frame ? frame->onKeyUp(keyCode) == 1 : false; }

bool AEffGUIEditor::onWheel(float distance)
{
    if (!frame)
        return false;
    CDrawContext* context = frame->createDrawContext();
    CPoint where;
    frame->getCurrentLocation(where);
    bool result = frame->onWheel(context, where, distance);
    context->forget();
    return result;
}

bool AEffGUIEditor::setKnobMode(VstInt32 mode)
{
    knobMode = mode;
    return true;
}

void AEffGUIEditor::setParameter(VstInt32, float) {}

// The editor's open() leaves it closed when it fails; a null parent is
// refused before anything is made.
bool AEffGUIEditor::attach(void* parent) { return parent && open(parent); }

void* AEffGUIEditor::getNativeWindow() const { return frame ? frame->getSystemWindow() : nullptr; }

void AEffGUIEditor::getSize(int& width, int& height) const
{
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
}

bool AEffGUIEditor::keyDown(const platform::Key& key)
{
    VstKeyCode code = toVstKeyCode(key);
    return onKeyDown(code);
}

bool AEffGUIEditor::keyUp(const platform::Key& key)
{
    VstKeyCode code = toVstKeyCode(key);
    return onKeyUp(code);
}

void AEffGUIEditor::beginEdit(VstInt32 index)
{
    if (AudioEffectX* target = effectX())
        target->beginEdit(index);
}

void AEffGUIEditor::endEdit(VstInt32 index)
{
    if (AudioEffectX* target = effectX())
        target->endEdit(index);
}

void AEffGUIEditor::hostIdleDuringModalLoop()
{
    if (!effect || inIdleStuff)
        return;
    inIdleStuff = true;
    effect->masterIdle();
    inIdleStuff = false;
}

void AEffGUIEditor::doIdleStuff()
{
    uint32_t now = platform::getTicks();
    if (static_cast<int32_t>(now - lLastTicks) < 0)
    {
        platform::sleepMilliseconds(static_cast<int>(kIdleWait));
        now += kIdleWait;
        if (static_cast<int32_t>(lLastTicks - now) > static_cast<int32_t>(kIdleSlack))
            return;
    }
    idle();
    if (frame && frame->getPlatformWindow())
        frame->getPlatformWindow()->dispatchPendingPaint();
    lLastTicks = now + kIdleRate;
    inIdleStuff = true;
    if (effect)
        effect->masterIdle();
    inIdleStuff = false;
}
