// A key press or release as the window seam reports it: the character it
// types, or the name of a key that types none, and the modifiers held.
// Formats that carry keys of their own translate at their edge.
#pragma once

#include <cstdint>

namespace platform
{

enum class KeyName : uint8_t
{
    none,
    back,
    tab,
    clear,
    returnKey,
    pause,
    escape,
    space,
    next,
    end,
    home,
    left,
    up,
    right,
    down,
    pageUp,
    pageDown,
    select,
    print,
    enter, // the keypad's
    snapshot,
    insert,
    deleteKey,
    help,
    numpad0,
    numpad1,
    numpad2,
    numpad3,
    numpad4,
    numpad5,
    numpad6,
    numpad7,
    numpad8,
    numpad9,
    multiply,
    add,
    separator,
    subtract,
    decimal,
    divide,
    f1,
    f2,
    f3,
    f4,
    f5,
    f6,
    f7,
    f8,
    f9,
    f10,
    f11,
    f12,
    numLock,
    scroll,
    shift,
    control,
    alt,
    equals,
};

// Modifier bits of a Key.
enum KeyModifier : uint8_t
{
    kKeyModifierShift = 1,
    kKeyModifierAlt = 2,
    kKeyModifierCommand = 4,
    kKeyModifierControl = 8,
};

struct Key
{
    int32_t character = 0; // the typed character (lower case for letters), or 0
    KeyName name = KeyName::none;
    uint8_t modifiers = 0; // KeyModifier bits
};

} // namespace platform
