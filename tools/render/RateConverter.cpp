#include "tools/render/RateConverter.h"

#include <cmath>

#if defined(ZELVO_RENDER_HAS_SOXR)
#include <soxr.h>

bool convertRate(const std::vector<double>& input, int channels, int fromRate, int toRate, std::vector<double>& output,
                 std::string& error)
{
    const size_t inFrames = input.size() / (size_t)channels;
    const size_t outFrames = (size_t)std::llround((double)inFrames * toRate / fromRate);
    output.assign(outFrames * (size_t)channels, 0.0);
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    size_t done = 0;
    soxr_error_t failure = soxr_oneshot(fromRate, toRate, (unsigned)channels, input.data(), inFrames, nullptr,
                                        output.data(), outFrames, &done, &io, &quality, nullptr);
    if (failure)
    {
        error =
            "cannot convert from " + std::to_string(fromRate) + " Hz to " + std::to_string(toRate) + " Hz: " + failure;
        return false;
    }
    output.resize(done * (size_t)channels);
    return true;
}
#else
bool convertRate(const std::vector<double>&, int, int, int, std::vector<double>&, std::string& error)
{
    error = "this qdx-render was built without libsoxr, so it cannot convert sample rates (--rate)";
    return false;
}
#endif
