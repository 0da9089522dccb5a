#include "editor/MeteringPreferences.h"

#include "effect/ParameterTable.h"
#include "effect/EditorConnection.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"

#include <cstdint>

namespace meteringpreferences
{

bool store(EditorConnection& effect)
{
    uint32_t states[6];
    for (int i = 0; i < 6; ++i)
        states[i] =
            static_cast<uint32_t>(stepIndex(effect.getParameter(kPreferences[i].parameter), kPreferences[i].states));

    platform::RegistryKey key;
    if (!key.create(kKeyPath))
    {
        platform::showMessageBox(kErrorCaption, kKeyError);
        return false;
    }
    bool written = true;
    for (int i = 0; i < 6 && written; ++i)
        written = key.setDword(kPreferences[i].name, states[i]);
    // Some stores (Linux) write the whole key when it is closed.
    written = key.close() && written;
    if (!written)
        platform::showMessageBox(kErrorCaption, kValueError);
    return written;
}

} // namespace meteringpreferences
