// Keys between the window seam and the VST 2.4 interface: every named key and
// modifier survives the trip both ways, so a key typed into the editor's
// window reaches the toolkit's views as the host's key code would, and a key
// the host hands the editor reaches an open edit box unchanged.
#include "host/VstKeyMapping.h"

#include <gtest/gtest.h>

using platform::Key;
using platform::KeyName;

TEST(KeyMapping, EveryNamedKeyHasItsOwnVstCodeAndComesBack)
{
    const int last = static_cast<int>(KeyName::equals);
    for (int n = 1; n <= last; ++n)
    {
        Key key;
        key.name = static_cast<KeyName>(n);
        const VstKeyCode code = toVstKeyCode(key);
        EXPECT_NE(code.virt, 0) << "key name " << n;
        EXPECT_EQ(fromVstKeyCode(code).name, key.name) << "key name " << n;
    }
    // The codes hosts send for the keys the editor reacts to.
    EXPECT_EQ(toVstKeyCode({0, KeyName::tab, 0}).virt, VKEY_TAB);
    EXPECT_EQ(toVstKeyCode({0, KeyName::returnKey, 0}).virt, VKEY_RETURN);
    EXPECT_EQ(toVstKeyCode({0, KeyName::enter, 0}).virt, VKEY_ENTER);
    EXPECT_EQ(toVstKeyCode({0, KeyName::up, 0}).virt, VKEY_UP);
    EXPECT_EQ(toVstKeyCode({0, KeyName::deleteKey, 0}).virt, VKEY_DELETE);
    EXPECT_EQ(toVstKeyCode({0, KeyName::f12, 0}).virt, VKEY_F12);
    EXPECT_EQ(fromVstKeyCode({0, VKEY_EQUALS, 0}).name, KeyName::equals);
}

TEST(KeyMapping, CharactersAndModifiersPassUnchanged)
{
    const Key typed{'a', KeyName::none, platform::kKeyModifierShift | platform::kKeyModifierControl};
    const VstKeyCode code = toVstKeyCode(typed);
    EXPECT_EQ(code.character, 'a');
    EXPECT_EQ(code.virt, 0);
    EXPECT_EQ(code.modifier, MODIFIER_SHIFT | MODIFIER_CONTROL);

    for (unsigned char modifier : {MODIFIER_SHIFT, MODIFIER_ALTERNATE, MODIFIER_COMMAND, MODIFIER_CONTROL})
    {
        const Key back = fromVstKeyCode({0, VKEY_LEFT, modifier});
        EXPECT_EQ(toVstKeyCode(back).modifier, modifier);
    }
    EXPECT_EQ(fromVstKeyCode({0, 0, MODIFIER_ALTERNATE}).modifiers, platform::kKeyModifierAlt);
}

// Hosts pass whatever the effEditKeyDown arguments held: codes beyond the
// table and unknown modifier bits are dropped, not carried on.
TEST(KeyMapping, CodesNoKeyHasArriveAsUnnamed)
{
    for (int virt : {58, 100, 255})
    {
        const Key key = fromVstKeyCode({'x', static_cast<unsigned char>(virt), 0xF0});
        EXPECT_EQ(key.name, KeyName::none) << virt;
        EXPECT_EQ(key.character, 'x');
        EXPECT_EQ(key.modifiers, 0);
    }
}
