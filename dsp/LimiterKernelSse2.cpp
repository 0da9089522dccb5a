// The sample loops compiled for SSE2, every x86-64 processor has it: a file of their own, so that
// the instruction sets' loops compile side by side.
#include "dsp/LimiterKernelLoop.h"

LimiterEngine::Loop LimiterEngine::sse2Loop(unsigned shape)
{
    return loopOfShape<SimdLevel::Sse2>(shape, std::make_index_sequence<kernel::kShapes>());
}
