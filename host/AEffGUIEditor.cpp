#include "host/AEffGUIEditor.h"

#include "host/AudioEffectX.h"
#include "host/VstKeyMapping.h"

#include <limits>

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect, EditorView& view) : AEffEditor(effect), view(view)
{
    view.setWindowHost(this);
    if (effect)
        effect->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor()
{
    view.setWindowHost(nullptr);
    // An editor deleted by someone other than its effect leaves no dangling pointer there.
    if (effect && effect->getEditor() == this)
        effect->setEditor(nullptr);
}

bool AEffGUIEditor::getRect(ERect** outRect)
{
    int width = 0;
    int height = 0;
    view.getSize(width, height);
    constexpr int most = std::numeric_limits<VstInt16>::max();
    rect = {0, 0, static_cast<VstInt16>(height < most ? height : most),
            static_cast<VstInt16>(width < most ? width : most)};
    *outRect = &rect;
    return true;
}

bool AEffGUIEditor::open(void* ptr)
{
    systemWindow = ptr;
    if (view.attach(ptr))
        return true;
    systemWindow = nullptr;
    return false;
}

void AEffGUIEditor::close()
{
    view.detach();
    systemWindow = nullptr;
}

bool AEffGUIEditor::isOpen() { return view.isAttached(); }

void AEffGUIEditor::idle() { view.idle(); }

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) { return view.keyDown(fromVstKeyCode(keyCode)); }

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) { return view.keyUp(fromVstKeyCode(keyCode)); }

bool AEffGUIEditor::onWheel(float distance) { return view.wheel(distance); }

bool AEffGUIEditor::setKnobMode(VstInt32 mode)
{
    view.setKnobMode(mode);
    return true;
}

void AEffGUIEditor::setParameter(VstInt32 index, float value) { view.parameterChanged(index, value); }

void AEffGUIEditor::idleHost()
{
    if (effect)
        effect->masterIdle();
}

bool AEffGUIEditor::resizeHostWindow(int width, int height)
{
    auto* host = dynamic_cast<AudioEffectX*>(effect);
    char sizeWindow[] = "sizeWindow";
    return host && host->canHostDo(sizeWindow) && host->sizeWindow(width, height);
}
