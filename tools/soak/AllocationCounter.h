// Counts every allocation made through operator new in the process, the
// loaded plug-in's included (the soak host exports its operator new, so the
// plug-in binds to it). The soak's processing loop must not allocate.
#pragma once

#include <cstdint>

namespace soak
{
uint64_t allocationCount();
} // namespace soak
