#include "platform/SystemTime.h"

#include <windows.h>

namespace platform
{

uint32_t getTicks() { return GetTickCount(); }

void sleepMilliseconds(int ms)
{
    if (ms > 0)
        Sleep(static_cast<DWORD>(ms));
}

int getDoubleClickTime() { return static_cast<int>(GetDoubleClickTime()); }

} // namespace platform
