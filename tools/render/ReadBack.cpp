#include "tools/render/ReadBack.h"

#include <vector>

#include "tools/render/AudioFile.h"
#include "tools/render/LoudnessMeter.h"
#include "tools/render/ProgressBar.h"
#include "tools/render/ReconstructedPeak.h"
#include "tools/render/RenderSetup.h"

bool readBack(const std::string& path, std::mutex& openLock, bool loudness, int threads, const std::string& label,
              bool progress, ReadBack& result, std::string& error)
{
    AudioFileReader reader;
    {
        std::lock_guard<std::mutex> lock(openLock);
        if (!reader.open(path, error))
            return false;
    }
    std::vector<double> decoded;
    decoded.reserve((size_t)std::max<int64_t>(0, reader.frames()) * (size_t)reader.channels());
    ProgressBar bar(label, reader.frames(), progress);
    if (!readWholeFile(reader, decoded, error, &bar))
        return false;
    bar.finish();
    const int64_t frames = (int64_t)decoded.size() / reader.channels();
    if (loudness)
    {
        result.meter = std::make_unique<LoudnessMeter>(reader.channels(), reader.sampleRate());
        result.meter->add(decoded.data(), frames);
    }
    ReconstructedPeak ideal(reader.channels(), threads);
    ideal.add(decoded.data(), frames);
    result.reconstructedPeakDb = ideal.peakDb();
    return true;
}
