// What the tests of the VST3 and CLAP builds compare with: the VST 2.4
// build (build/QDXZelvo.so through its entry point) rendering the same
// signal in the same blocks, with the same parameter changes applied at the
// same frames, and the test signal itself.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "effect/ParameterTable.h"
#include "presets/FactoryPresets.h"
#include "tests/support/TestHost.h"

namespace formattest
{

// A parameter change at an absolute frame, as the effect's normalised value.
struct Change
{
    size_t frame;
    int index;
    float value;
};

inline void loudSignal(double rate, std::vector<float>& left, std::vector<float>& right, double seconds)
{
    const size_t n = (size_t)(rate * seconds);
    left.resize(n);
    right.resize(n);
    uint32_t random = 12345;
    const double pi = 3.14159265358979323846;
    for (size_t i = 0; i < n; ++i)
    {
        const double t = (double)i / rate;
        random = random * 1664525u + 1013904223u;
        const double noise = ((double)(random >> 8) / 16777216.0 - 0.5) * 0.3;
        const double pulse = std::fmod(t, 0.25) < 0.05 ? 1.0 : 0.3;
        const double bass = pulse * std::sin(2.0 * pi * 55.0 * t);
        left[i] = (float)(bass + 0.4 * std::sin(2.0 * pi * 440.0 * t) + noise);
        right[i] = (float)(bass + 0.4 * std::sin(2.0 * pi * 554.37 * t) - noise);
    }
}

// The VST 2.4 build's output: values set, then the rate, then switched off
// and on (the order in which a host restores a session and starts), then
// blocks of block frames, each cut at the changes that fall inside it.
inline void renderVst2(double rate, const std::vector<float>& values, const std::vector<float>& left,
                       const std::vector<float>& right, std::vector<float>& outL, std::vector<float>& outR,
                       size_t block, const std::vector<Change>& changes = {})
{
    TestHost host;
    ASSERT_NE(host.effect, nullptr);
    for (size_t i = 0; i < values.size(); ++i)
        host.setParameter((VstInt32)i, values[i]);
    host.setSampleRate((float)rate);
    host.dispatch(effMainsChanged, 0, 0);
    host.dispatch(effMainsChanged, 0, 1);
    outL.assign(left.size(), 0.0f);
    outR.assign(right.size(), 0.0f);
    std::vector<float> l(left), r(right);
    size_t next = 0;
    for (size_t start = 0; start < left.size(); start += block)
    {
        const size_t end = std::min(start + block, left.size());
        size_t done = start;
        auto run = [&](size_t to) {
            if (to <= done)
                return;
            float* in[2] = {&l[done], &r[done]};
            float* out[2] = {&outL[done], &outR[done]};
            host.effect->processReplacing(host.effect, in, out, (VstInt32)(to - done));
            done = to;
        };
        while (next < changes.size() && changes[next].frame < end)
        {
            run(std::max(changes[next].frame, done));
            host.setParameter(changes[next].index, changes[next].value);
            ++next;
        }
        run(end);
    }
}

// The first sample where two renders differ in any bit; the length when none does.
inline size_t firstDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0)
            return i;
    return a.size();
}

// A factory program's values by name, as floats; empty for an unknown name.
inline std::vector<float> programValues(const char* name)
{
    for (const FactoryPreset& p : kFactoryPresets)
        if (std::strcmp(p.name, name) == 0)
            return std::vector<float>(p.values, p.values + kNumParams);
    return {};
}

// The programs every format renders alike: three factory programs, the one
// with reconstruction metering among them, and one with TP Guard switched on.
inline std::vector<std::pair<const char*, std::vector<float>>> comparedPrograms()
{
    std::vector<float> guarded = programValues("TV Hot");
    guarded[kTruePeakGuard] = 1.0f;
    return {{"Current", programValues("Current")},
            {"CD Master 3 [recon]", programValues("CD Master 3 [recon]")},
            {"Total Disorder", programValues("Total Disorder")},
            {"TV Hot + TP Guard", guarded}};
}

// Changes inside blocks: continuous, stepped (TransShape resets the
// windows), the requantizer and the guard switched mid-signal.
inline std::vector<Change> midBlockChanges(double rate)
{
    const size_t s = (size_t)(rate / 44100.0);
    return {{1000 * s + 3, kDrive, 0.8125f},  {1000 * s + 3, kRelease, 0.3f},  {2501 * s, kTransShape, 0.9f},
            {4099 * s + 1, kOutput, 0.75f},   {5003 * s, kQuantize, 0.75f},    {5003 * s, kBits, 0.1f},
            {7777 * s, kTruePeakGuard, 0.9f}, {9001 * s + 5, kLeveller, 0.8f}, {11111 * s, kNoiseShape, 0.6f},
            {12345 * s, kLink, 0.5f},         {15000 * s + 2, kDrive, 0.65f}};
}

} // namespace formattest
