// Everything the processing kernels read that the effect derives from the
// parameters and the sample rate. The kernels never look at normalised
// parameter values or at the rate themselves.
#pragma once

#include "dsp/PublishedRecord.h"
#include "dsp/Shared.h"

constexpr int kFollowerCount = 8;
constexpr int kNoiseShaperTaps = 12;

// One-pole coefficients of the eight release followers: each block runs
// with one whole set, never half of an old one and half of a new one.
struct FollowerCoefficients
{
    double attack[kFollowerCount] = {};
    double release[kFollowerCount] = {};
};

struct KernelSettings
{
    // Gains and amounts derived from continuous parameters.
    Shared<double> driveTarget{1.0};       // 2^(8 (v - 0.5)) of Drive
    Shared<double> outputGain{1.0};        // 2^(2 (v - 1)) of Output
    Shared<double> transientAmount{0.125}; // T = (1.4142136 v)^2 / 4 of Transient
    Shared<double> link{1.0};              // L/R Link
    Shared<double> levellerThreshold{0.5};
    Shared<bool> levellerBypassed{false}; // Leveller's stored value is exactly 1.0
    Shared<double> powerTarget{1.0};      // 1.0 processing, 0.0 latency-compensated bypass

    // Published whole by the effect, taken by the kernel at each block start.
    PublishedRecord<FollowerCoefficients> followers;

    // Step indices of the switches the kernels read.
    Shared<int> oversample{0};
    Shared<int> detectorOrder{0};
    Shared<int> scale{1};
    Shared<int> bits{1};
    Shared<int> calibrate{0};
    Shared<int> meterOvs{0};
    Shared<int> autoOut{0};
    Shared<int> quantize{0};
    Shared<int> autoblack{0};
    Shared<int> attShow{7};
    Shared<int> postMeter{0};
    Shared<int> truePeakGuard{0}; // 1: the output's true peak is held under the ceiling

    // Rate-derived coefficients.
    Shared<double> kappa{0.0};    // gain smoothing, one pole at 30 Hz
    Shared<double> mu{0.0};       // leveller envelope, 1 s
    Shared<double> meterRms{0.0}; // mean square falls to 1 % in 600 ms
    Shared<double> fade{0.0};     // requantizer fade, 10 ms

    // The noise-shaping filter in use: 12 coefficients, c0 weighting the
    // error of one sample ago. Switched by a single pointer store.
    Shared<const double*> noiseShaping{nullptr};
};
