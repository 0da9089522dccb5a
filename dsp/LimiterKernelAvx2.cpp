// The sample loops compiled for AVX2: a file of their own, so that
// the instruction sets' loops compile side by side.
#include "dsp/LimiterKernelLoop.h"

LimiterEngine::Loop LimiterEngine::avx2Loop(unsigned shape)
{
    return loopOfShape<SimdLevel::Avx2>(shape, std::make_index_sequence<kernel::kShapes>());
}
