// The sample loops compiled for AVX-512: a file of their own, so that
// the instruction sets' loops compile side by side.
#include "dsp/LimiterKernelLoop.h"

LimiterEngine::Loop LimiterEngine::avx512Loop(unsigned shape)
{
    return loopOfShape<SimdLevel::Avx512>(shape, std::make_index_sequence<kernel::kShapes>());
}
