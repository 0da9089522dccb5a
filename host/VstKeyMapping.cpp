#include "host/VstKeyMapping.h"

using platform::KeyName;

namespace
{

struct NamedKey
{
    KeyName name;
    VstVirtualKey virt;
};

const NamedKey kNamedKeys[] = {
    {KeyName::back, VKEY_BACK},
    {KeyName::tab, VKEY_TAB},
    {KeyName::clear, VKEY_CLEAR},
    {KeyName::returnKey, VKEY_RETURN},
    {KeyName::pause, VKEY_PAUSE},
    {KeyName::escape, VKEY_ESCAPE},
    {KeyName::space, VKEY_SPACE},
    {KeyName::next, VKEY_NEXT},
    {KeyName::end, VKEY_END},
    {KeyName::home, VKEY_HOME},
    {KeyName::left, VKEY_LEFT},
    {KeyName::up, VKEY_UP},
    {KeyName::right, VKEY_RIGHT},
    {KeyName::down, VKEY_DOWN},
    {KeyName::pageUp, VKEY_PAGEUP},
    {KeyName::pageDown, VKEY_PAGEDOWN},
    {KeyName::select, VKEY_SELECT},
    {KeyName::print, VKEY_PRINT},
    {KeyName::enter, VKEY_ENTER},
    {KeyName::snapshot, VKEY_SNAPSHOT},
    {KeyName::insert, VKEY_INSERT},
    {KeyName::deleteKey, VKEY_DELETE},
    {KeyName::help, VKEY_HELP},
    {KeyName::numpad0, VKEY_NUMPAD0},
    {KeyName::numpad1, VKEY_NUMPAD1},
    {KeyName::numpad2, VKEY_NUMPAD2},
    {KeyName::numpad3, VKEY_NUMPAD3},
    {KeyName::numpad4, VKEY_NUMPAD4},
    {KeyName::numpad5, VKEY_NUMPAD5},
    {KeyName::numpad6, VKEY_NUMPAD6},
    {KeyName::numpad7, VKEY_NUMPAD7},
    {KeyName::numpad8, VKEY_NUMPAD8},
    {KeyName::numpad9, VKEY_NUMPAD9},
    {KeyName::multiply, VKEY_MULTIPLY},
    {KeyName::add, VKEY_ADD},
    {KeyName::separator, VKEY_SEPARATOR},
    {KeyName::subtract, VKEY_SUBTRACT},
    {KeyName::decimal, VKEY_DECIMAL},
    {KeyName::divide, VKEY_DIVIDE},
    {KeyName::f1, VKEY_F1},
    {KeyName::f2, VKEY_F2},
    {KeyName::f3, VKEY_F3},
    {KeyName::f4, VKEY_F4},
    {KeyName::f5, VKEY_F5},
    {KeyName::f6, VKEY_F6},
    {KeyName::f7, VKEY_F7},
    {KeyName::f8, VKEY_F8},
    {KeyName::f9, VKEY_F9},
    {KeyName::f10, VKEY_F10},
    {KeyName::f11, VKEY_F11},
    {KeyName::f12, VKEY_F12},
    {KeyName::numLock, VKEY_NUMLOCK},
    {KeyName::scroll, VKEY_SCROLL},
    {KeyName::shift, VKEY_SHIFT},
    {KeyName::control, VKEY_CONTROL},
    {KeyName::alt, VKEY_ALT},
    {KeyName::equals, VKEY_EQUALS},
};

struct ModifierBit
{
    uint8_t key;
    unsigned char vst;
};

const ModifierBit kModifierBits[] = {
    {platform::kKeyModifierShift, MODIFIER_SHIFT},
    {platform::kKeyModifierAlt, MODIFIER_ALTERNATE},
    {platform::kKeyModifierCommand, MODIFIER_COMMAND},
    {platform::kKeyModifierControl, MODIFIER_CONTROL},
};

} // namespace

VstKeyCode toVstKeyCode(const platform::Key& key)
{
    VstKeyCode code{key.character, 0, 0};
    for (const NamedKey& named : kNamedKeys)
        if (named.name == key.name)
            code.virt = static_cast<unsigned char>(named.virt);
    for (const ModifierBit& bit : kModifierBits)
        if (key.modifiers & bit.key)
            code.modifier |= bit.vst;
    return code;
}

platform::Key fromVstKeyCode(const VstKeyCode& code)
{
    platform::Key key;
    key.character = code.character;
    for (const NamedKey& named : kNamedKeys)
        if (named.virt == code.virt)
            key.name = named.name;
    for (const ModifierBit& bit : kModifierBits)
        if (code.modifier & bit.vst)
            key.modifiers |= bit.key;
    return key;
}
