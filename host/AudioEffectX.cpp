#include "host/AudioEffectX.h"

#include <cstring>

#include "host/AEffEditor.h"
#include "effect/NumberText.h"

AudioEffectX::AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : AudioEffect(audioMaster, numPrograms, numParams)
{}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode)
    {
    case effProcessEvents: return 0;
    case effCanBeAutomated: return 1;
    case effString2Parameter: return 0;
    case effGetProgramNameIndexed:
        return ptr && getProgramNameIndexed((VstInt32)value, index, static_cast<char*>(ptr)) ? 1 : 0;
    case effGetInputProperties:
    case effGetOutputProperties: return 0;
    case effGetPlugCategory: return getPlugCategory();
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effSetSpeakerArrangement: return 0;
    case effGetSpeakerArrangement:
        // value and ptr each point to a VstSpeakerArrangement* the host wants filled.
        if (value)
            *reinterpret_cast<void**>(value) = nullptr;
        if (ptr)
            *static_cast<void**>(ptr) = nullptr;
        return 0;
    case effSetBypass: return 0;
    case effGetEffectName: return ptr && getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorString: return ptr && getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetProductString: return ptr && getProductString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: return 0;
    case effCanDo: return ptr ? canDo(static_cast<char*>(ptr)) : 0;
    case effGetTailSize: return 0;
    case effGetParameterProperties:
        return ptr && getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1 : 0;
    case effGetVstVersion: return kVstVersion;
    case effEditKeyDown:
    case effEditKeyUp:
        if (editor)
        {
            VstKeyCode key;
            key.character = index;
            key.virt = (unsigned char)value;
            // The modifier bits arrive as a float; any other number a host
            // sends (negative, huge, NaN) carries no modifiers, rather than
            // an undefined conversion.
            key.modifier = opt >= 0.0f && opt < 256.0f ? (unsigned char)opt : 0;
            bool handled = opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
            return handled ? 1 : 0;
        }
        return 0;
    case effSetEditKnobMode: return editor && editor->setKnobMode((VstInt32)value) ? 1 : 0;
    case effGetMidiProgramName:
    case effGetMidiProgramCategory:
    case effHasMidiProgramsChanged:
    case effGetMidiKeyName: return 0;
    case effGetCurrentMidiProgram: return -1;
    case effBeginSetProgram:
    case effEndSetProgram:
    case effShellGetNextPlugin:
    case effStartProcess:
    case effStopProcess: return 0;
    case effSetTotalSampleToProcess: return value;
    case effSetPanLaw:
    case effBeginLoadBank:
    case effBeginLoadProgram:
    case effSetProcessPrecision:
    case effGetNumMidiInputChannels:
    case effGetNumMidiOutputChannels: return 0;
    default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

namespace
{
// A name cut to fit a short field: lower-case vowels go from the end
// backwards (never a word's first letter), then the rest is truncated, so
// "Transient" reads "Transnt" rather than "Transie".
void abbreviate(const char* name, char* text, size_t maxLen)
{
    char work[64];
    copyText(work, name, (int32_t)sizeof work - 1);
    size_t length = std::strlen(work);
    for (size_t i = length; i-- > 1 && length > maxLen;)
    {
        const bool wordStart = work[i - 1] == ' ' || work[i - 1] == '/' || work[i - 1] == '-';
        if (!wordStart && std::strchr("aeiou", work[i]))
        {
            std::memmove(work + i, work + i + 1, length - i);
            --length;
        }
    }
    copyText(text, work, (int32_t)maxLen);
}
} // namespace

bool AudioEffectX::getParameterProperties(VstInt32 index, VstParameterProperties* p)
{
    // Hosts read every field of the record, so none may keep what the host
    // left in it. Fine float steps as before; the labels carry the
    // parameter's name, as hosts that list parameters by label show them.
    std::memset(p, 0, sizeof *p);
    p->stepFloat = 0.0001f;
    p->flags = kVstParameterUsesFloatStep;
    char name[256] = "";
    getParameterName(index, name);
    name[sizeof name - 1] = 0;
    copyText(p->label, name, (int32_t)sizeof p->label - 1);
    abbreviate(name, p->shortLabel, sizeof p->shortLabel - 1);
    return true;
}

bool AudioEffectX::beginEdit(VstInt32 index) { return callHost(audioMasterBeginEdit, index) != 0; }

bool AudioEffectX::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }

bool AudioEffectX::canHostDo(char* text) { return callHost(audioMasterCanDo, 0, 0, text) != 0; }

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height)
{
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }
