// Millisecond ticks, short sleeps and the user's double-click time.
#pragma once

#include <cstdint>

namespace platform
{

uint32_t getTicks(); // milliseconds since an arbitrary start
void sleepMilliseconds(int ms);
int getDoubleClickTime(); // milliseconds

} // namespace platform
