// A written file read back (decoded, for an encoded one) and measured as a
// listener receives it: its true peak by ideal reconstruction, which also
// sees what a BS.1770 meter's short filter misses near half the rate, and
// on request its loudness and BS.1770 levels.
#pragma once

#include <memory>
#include <mutex>
#include <string>

class LoudnessMeter;

struct ReadBack
{
    std::unique_ptr<LoudnessMeter> meter; // with `loudness` asked for; else null
    double reconstructedPeakDb = 0.0;
};

// `openLock` guards libsndfile's opening of files (its message of a failed
// open lives in one global place); `threads` measure the reconstruction;
// with `progress` a line labelled `label` follows the decoding.
bool readBack(const std::string& path, std::mutex& openLock, bool loudness, int threads, const std::string& label,
              bool progress, ReadBack& result, std::string& error);
