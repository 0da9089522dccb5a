// The toolkit's pop-up menus as native Windows menus.
#pragma once

#include "platform/PlatformWindow.h"

#include <windows.h>

namespace platform
{

// Runs the menu modally at the screen point; the chosen command, or 0.
int runPopupMenu(HWND owner, const std::vector<MenuItem>& items, int screenX, int screenY, bool rightButton);

} // namespace platform
