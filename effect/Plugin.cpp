#include "effect/Plugin.h"

#include <chrono>
#include <cmath>

#include "effect/LegacyLayout.h"
#include "effect/ParameterText.h"
#include "platform/Registry.h"

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZELVO_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) && !defined(ZELVO_THREAD_SANITIZER)
#define ZELVO_THREAD_SANITIZER 1
#endif
#if ZELVO_THREAD_SANITIZER
#include <pthread.h>
#include <time.h>
#endif

namespace
{
constexpr auto kMutexTimeout = std::chrono::milliseconds(1000);
} // namespace

namespace
{
// The waits of one host call on this thread: the first wait starts the
// clock, and every later one nested in the same call (the reset inside a
// rate or TransShape change) ends at the same deadline.
thread_local int lockDepth = 0;
thread_local bool deadlineStarted = false;
thread_local std::chrono::steady_clock::time_point lockDeadline;
} // namespace

// The wait of the thread contract in Plugin.h: at most 1000 ms for a whole
// host call, however many waits it nests, then on without the mutex.
class Plugin::ProcessingLock
{
public:
    explicit ProcessingLock(std::recursive_timed_mutex& mutex) : mutex(mutex)
    {
        if (lockDepth++ == 0)
            deadlineStarted = false;
        locked = mutex.try_lock();
        if (locked)
            return;
        // Only a wait reads the clock: an uncontended block makes no call.
        if (!deadlineStarted)
        {
            lockDeadline = std::chrono::steady_clock::now() + kMutexTimeout;
            deadlineStarted = true;
        }
#if ZELVO_THREAD_SANITIZER
        // ThreadSanitizer (clang 14) does not see a lock taken by the timed
        // wait of the standard library (pthread_mutex_clocklock) and would
        // report every access the mutex guards; in that build the same wait
        // goes through pthread_mutex_timedlock, which it does see.
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(lockDeadline - std::chrono::steady_clock::now());
        timespec deadline;
        clock_gettime(CLOCK_REALTIME, &deadline);
        const long long total = (long long)deadline.tv_nsec + (left.count() > 0 ? left.count() : 0);
        deadline.tv_sec += (time_t)(total / 1000000000);
        deadline.tv_nsec = (long)(total % 1000000000);
        locked = pthread_mutex_timedlock(mutex.native_handle(), &deadline) == 0;
#else
        locked = mutex.try_lock_until(lockDeadline);
#endif
    }
    ~ProcessingLock()
    {
        if (locked)
            mutex.unlock();
        --lockDepth;
    }

private:
    std::recursive_timed_mutex& mutex;
    bool locked;
};

Plugin::Plugin(EffectHost* host) : CPresetSystemEffect(host)
{
    ProcessingLock lock(processingMutex);

    rate = 44100;
    rateDouble = 44100.0;
    rateClass = 0;
    updateRateCoefficients();

    // Every parameter holds its default from the start: a host may read the
    // values and texts from inside construction, before program 0 applies.
    for (const ParameterInfo& row : kParameterTable)
        applyParameter(row.index, row.defaultValue);

    setWindowGeometry();
    publishLatency();

    noiseShapingTables.fill();
    engine.settings.noiseShaping = noiseShapingTables.zeroTable();
    suspend();

    loadFactoryPresets();
    selectPreset(0);
    applyMeteringPreferences();
}

Plugin::~Plugin() {}

void Plugin::publishLatency()
{
    latency = engine.latency();
    if (host)
        host->latencyChanged(latency);
}

double Plugin::onePole(double milliseconds) const { return 1.0 - std::exp(-1000.0 / (milliseconds * rateDouble)); }

void Plugin::updateRateCoefficients()
{
    KernelSettings& s = engine.settings;
    s.kappa = 1.0 - std::exp(-188.49555921538757 / rateDouble); // one pole at 30 Hz
    s.mu = onePole(1000.0);
    s.meterRms = 1.0 - std::pow(0.01, 1000.0 / (rateDouble * 600.0));
    s.fade = onePole(10.0);
    buildAttackCoefficients();
    buildReleaseCoefficients();
}

void Plugin::buildAttackCoefficients()
{
    // 32 ms down to 1 ms in seven equal steps.
    engine.settings.followers.update([this](FollowerCoefficients& c) {
        double tau = 32.0;
        for (int k = 0; k < kFollowerCount; ++k)
        {
            c.attack[k] = onePole(tau);
            tau += 0.0 - 4.428571428571429;
        }
    });
}

void Plugin::buildReleaseCoefficients()
{
    // From the release time R down (or, below 2 ms, up) to 2 ms.
    engine.settings.followers.update([this](FollowerCoefficients& c) {
        const double step = (releaseMs - 2.0) / 7.0;
        double rho = releaseMs;
        for (int k = 0; k < kFollowerCount; ++k)
        {
            c.release[k] = onePole(rho);
            rho += 0.0 - step;
        }
    });
}

void Plugin::setWindowGeometry() { engine.setGeometry(rateClass, steps[kTransShape]); }

void Plugin::selectNoiseShapingTable()
{
    const int type = steps[kNoiseShape];
    if (type == 0)
    {
        engine.settings.noiseShaping = noiseShapingTables.zeroTable();
        return;
    }
    // At a rate without tables the filter in use stays in use.
    if (const double* table = noiseShapingTables.find(type, rate))
        engine.settings.noiseShaping = table;
}

void Plugin::applyParameter(int index, float value)
{
    if (index < 0 || index >= kNumParams)
        return;
    KernelSettings& s = engine.settings;
    const int n = kParameterTable[index].steps;
    // Continuous mappings see the value clamped to 0..1, so that no value a
    // host sends (1e30, -5, infinity) turns a gain or a time into infinity or NaN.
    const double v = clampToUnit(value);

    if (index == kTransShape)
    {
        const int oldStep = steps[kTransShape];
        ProcessingLock lock(processingMutex);
        values[index] = value;
        steps[index] = stepIndex(value, 3);
        if (steps[index] != oldStep)
        {
            setWindowGeometry();
            suspend();
        }
        return;
    }

    values[index] = value;
    if (n > 0)
        steps[index] = stepIndex(value, n);

    switch (index)
    {
    case kOutput:
        outputGain = curveValue(ParameterCurve::outputGain, v);
        s.outputGain = outputGain;
        break;
    case kDrive:
        driveGain = curveValue(ParameterCurve::driveGain, v);
        s.driveTarget = driveGain;
        break;
    case kTransient:
        transientAmount = curveValue(ParameterCurve::transientAmount, v);
        s.transientAmount = transientAmount;
        buildAttackCoefficients();
        break;
    case kRelease:
        releaseMs = curveValue(ParameterCurve::releaseMs, v);
        buildReleaseCoefficients();
        break;
    case kLink: s.link = v; break;
    case kOversample: s.oversample = steps[index]; break;
    case kDetectorOrder: s.detectorOrder = steps[index]; break;
    case kPower: s.powerTarget = steps[index] == 1 ? 1.0 : 0.0; break;
    case kScale: s.scale = steps[index]; break;
    case kBits: s.bits = steps[index]; break;
    case kNoiseShape:
        engine.resetNoiseShaperPosition();
        selectNoiseShapingTable();
        break;
    case kCalibrate: s.calibrate = steps[index]; break;
    case kLeveller:
        levellerLevel = curveValue(ParameterCurve::outputGain, v);
        s.levellerThreshold = levellerLevel;
        s.levellerBypassed = value == 1.0f;
        break;
    case kMeterOvs: s.meterOvs = steps[index]; break;
    case kAutoOut: s.autoOut = steps[index]; break;
    case kQuantize: s.quantize = steps[index]; break;
    case kAutoblack: s.autoblack = steps[index]; break;
    case kAttShow:
        s.attShow = steps[index];
        engine.resetHeldGainReduction();
        break;
    case kPostMeter: s.postMeter = steps[index]; break;
    case kTruePeakGuard: s.truePeakGuard = steps[index]; break;
    default: break; // Scale, MeterType and AttZoom are the editor's; 23 to 25 hold nothing
    }
}

void Plugin::setParameter(int index, float value)
{
    // A NaN is no value: taking it would make every step and gain
    // meaningless, and a program may never hold one.
    if (value != value)
        return;
    applyParameter(index, value);
    float mirrored = value;
    if (index == kLayoutMarker && isLegacyLayoutMark(value))
    {
        migrateLegacyParameters();
        // The programs now hold the converted values; keeping the old marker
        // beside them would convert them a second time (switching the
        // requantizer on) whenever the program is selected again.
        mirrored = kCurrentLayoutMark;
    }
    CPresetSystemEffect::setParameter(index, mirrored);
    if (host)
        host->parameterChanged(index, value);
}

void Plugin::migrateLegacyParameters()
{
    float converted[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        converted[i] = values[i];
    convertLegacyLayout(converted);
    for (ParamId index : kLegacyConvertedParameters)
        setParameter(index, converted[index]);
}

void Plugin::applyMeteringPreferences()
{
    platform::RegistryKey key;
    if (!key.open("SOFTWARE\\Korvane\\QDXzelvo\\PREFS"))
        return;
    struct Preference
    {
        const char* name;
        ParamId index;
    };
    const Preference preferences[] = {
        {"Metering_Scale", kScale},     {"Metering_Type", kMeterType}, {"Metering_Zoom", kAttZoom},
        {"Metering_AttShow", kAttShow}, {"Metering_Recon", kMeterOvs}, {"Metering_Post", kPostMeter},
    };
    for (const Preference& p : preferences)
    {
        uint32_t k = 0;
        if (key.queryDword(p.name, &k))
            setParameter(p.index, stepValue((int32_t)k, kParameterTable[p.index].steps));
    }
}

float Plugin::getParameter(int index)
{
    if (index < 0 || index >= kNumParams)
        return 0.0f;
    if (index == kLayoutMarker)
        return kCurrentLayoutMark;
    if (index >= kDummy2)
        return 0.0f;
    return values[index];
}

void Plugin::getParameterName(int index, char* text) { parameterNameText(index, text); }

void Plugin::getParameterDisplay(int index, char* text)
{
    if (index >= 0 && index < kNumParams)
        parameterDisplayText(index, values[index], steps[index], text);
}

void Plugin::getParameterLabel(int index, char* text) { parameterLabelText(index, text); }

void Plugin::suspend()
{
    // Hosts switch the effect off from any thread, the audio thread among
    // them, also while another thread changes the rate: the reset waits for
    // a running block like every other change of the processing state.
    ProcessingLock lock(processingMutex);
    engine.reset();
}

void Plugin::setSampleRate(float newRate)
{
    ProcessingLock lock(processingMutex);
    suspend();

    // Out-of-range, NaN and infinite rates run with the 44100 Hz settings;
    // the range test comes before the conversion, which would be undefined.
    int truncated = 44100;
    if (newRate >= 5000.0f && newRate < 200001.0f)
    {
        truncated = (int)newRate;
        if (truncated > 200000)
            truncated = 44100;
    }

    if (truncated != rate)
    {
        rate = truncated;
        rateDouble = (double)truncated;
        rateClass = rate < 80000 ? 0 : (rate < 170000 ? 1 : 2);
        setWindowGeometry();
        engine.setTruePeakMeterRate(rate);
        publishLatency();
        engine.resetNoiseShaperPosition();
        selectNoiseShapingTable();
        updateRateCoefficients();
        noiseShapingTables.fill();
    }
    engine.clearBuffers();
}

void Plugin::processReplacing(float** inputs, float** outputs, int sampleFrames)
{
    ProcessingLock lock(processingMutex);
    const int frames = sampleFrames > 0 ? sampleFrames : 0;
    if (!outputs || !outputs[0])
        return;
    float* outL = outputs[0];
    float* outR = (!host || host->outputConnected(1)) && outputs[1] ? outputs[1] : outL;
    if (engine.settings.calibrate != 0)
    {
        engine.processCalibration(outL, outR != outL ? outR : nullptr, frames);
        return;
    }
    if (!inputs || !inputs[0])
        return;
    const float* inL = inputs[0];
    const float* inR = (!host || host->inputConnected(1)) && inputs[1] ? inputs[1] : inL;
    engine.process(inL, inR, outL, outR, frames);
}

void Plugin::processDoubleReplacing(double** inputs, double** outputs, int sampleFrames)
{
    ProcessingLock lock(processingMutex);
    const int frames = sampleFrames > 0 ? sampleFrames : 0;
    if (!outputs || !outputs[0])
        return;
    double* outL = outputs[0];
    double* outR = (!host || host->outputConnected(1)) && outputs[1] ? outputs[1] : outL;
    // Calibration noise replaces the input in either precision: a host that
    // processes in place would otherwise pass the input on unlimited.
    if (engine.settings.calibrate != 0)
    {
        engine.processCalibration(outL, outR != outL ? outR : nullptr, frames);
        return;
    }
    if (!inputs || !inputs[0])
        return;
    const double* inL = inputs[0];
    const double* inR = (!host || host->inputConnected(1)) && inputs[1] ? inputs[1] : inL;
    engine.process(inL, inR, outL, outR, frames);
}

void Plugin::getMeterSnapshot(float* values)
{
    if (values)
        engine.getMeterSnapshot(values);
}
