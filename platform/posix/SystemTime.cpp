#include "platform/SystemTime.h"

#include <time.h>

namespace platform
{

uint32_t getTicks()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + now.tv_nsec / 1000000);
}

void sleepMilliseconds(int ms)
{
    if (ms <= 0)
        return;
    timespec pause{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0)
    {}
}

// X11 has no system setting for it; this is the Windows default.
int getDoubleClickTime() { return 500; }

} // namespace platform
