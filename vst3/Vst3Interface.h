// The project's own declarations of the VST3 binary interface, limited to
// what a stereo effect uses: COM-style interfaces (a vtable pointer first,
// methods in slot order, no virtual destructor, no overloads), their
// identifiers in each operating system's byte order, result codes, and the
// structures the host and the effect exchange. Sizes and offsets are checked
// against the measured layout, identical on Linux x86-64 and Win64.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define ZELVO_VST3_API __stdcall
#define ZELVO_VST3_COM 1
#else
#define ZELVO_VST3_API
#define ZELVO_VST3_COM 0
#endif

namespace vst3
{

typedef int32_t tresult;
typedef char TUID[16];
typedef char16_t TChar;
typedef TChar String128[128];
typedef const char* FIDString;
typedef uint32_t ParamID;
typedef double ParamValue;
typedef int32_t MediaType;
typedef int32_t BusDirection;
typedef int32_t IoMode;
typedef uint64_t SpeakerArrangement;
typedef uint8_t TBool;
constexpr ParamID kNoParamId = 0xFFFFFFFFu;

#if ZELVO_VST3_COM
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = (tresult)0x80004002u;
constexpr tresult kInvalidArgument = (tresult)0x80070057u;
constexpr tresult kNotImplemented = (tresult)0x80004001u;
#else
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = -1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
#endif
constexpr tresult kResultTrue = kResultOk;

// An interface or class identifier from its four words, laid out in memory
// as the host's operating system lays it out.
struct Uid
{
    char bytes[16];
};
constexpr Uid makeUid(uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4)
{
    Uid uid{};
    const uint32_t words[4] = {l1, l2, l3, l4};
    for (int w = 0; w < 4; ++w)
        for (int b = 0; b < 4; ++b)
            uid.bytes[w * 4 + b] = (char)(words[w] >> (24 - 8 * b));
#if ZELVO_VST3_COM
    // The Microsoft GUID layout: the first word little-endian, the second as
    // two little-endian halves.
    for (int b = 0; b < 4; ++b)
        uid.bytes[b] = (char)(l1 >> (8 * b));
    uid.bytes[4] = (char)(l2 >> 16);
    uid.bytes[5] = (char)(l2 >> 24);
    uid.bytes[6] = (char)l2;
    uid.bytes[7] = (char)(l2 >> 8);
#endif
    return uid;
}
bool sameUid(const char* a, const Uid& b);

namespace iid
{
constexpr Uid FUnknown = makeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
constexpr Uid IPluginBase = makeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
constexpr Uid IPluginFactory = makeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
constexpr Uid IPluginFactory2 = makeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
constexpr Uid IPluginFactory3 = makeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
constexpr Uid IComponent = makeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
constexpr Uid IAudioProcessor = makeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
constexpr Uid IProcessContextRequirements = makeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
constexpr Uid IEditController = makeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
constexpr Uid IComponentHandler = makeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
constexpr Uid IBStream = makeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
constexpr Uid IParameterChanges = makeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
constexpr Uid IParamValueQueue = makeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
constexpr Uid IPlugView = makeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
constexpr Uid IPlugFrame = makeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
constexpr Uid IRunLoop = makeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
constexpr Uid IEventHandler = makeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
constexpr Uid ITimerHandler = makeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
} // namespace iid

class FUnknown
{
public:
    virtual tresult ZELVO_VST3_API queryInterface(const TUID iid, void** object) = 0;
    virtual uint32_t ZELVO_VST3_API addRef() = 0;
    virtual uint32_t ZELVO_VST3_API release() = 0;
};

class IPluginBase : public FUnknown
{
public:
    virtual tresult ZELVO_VST3_API initialize(FUnknown* context) = 0;
    virtual tresult ZELVO_VST3_API terminate() = 0;
};

class IBStream : public FUnknown
{
public:
    virtual tresult ZELVO_VST3_API read(void* buffer, int32_t numBytes, int32_t* numBytesRead) = 0;
    virtual tresult ZELVO_VST3_API write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) = 0;
    virtual tresult ZELVO_VST3_API seek(int64_t pos, int32_t mode, int64_t* result) = 0;
    virtual tresult ZELVO_VST3_API tell(int64_t* pos) = 0;
};

// Factory.
struct PFactoryInfo
{
    char vendor[64];
    char url[256];
    char email[128];
    int32_t flags;
};
constexpr int32_t kFactoryUnicode = 1 << 4;
constexpr int32_t kManyInstances = 0x7FFFFFFF;

struct PClassInfo
{
    TUID cid;
    int32_t cardinality;
    char category[32];
    char name[64];
};

struct PClassInfo2
{
    TUID cid;
    int32_t cardinality;
    char category[32];
    char name[64];
    uint32_t classFlags;
    char subCategories[128];
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

struct PClassInfoW
{
    TUID cid;
    int32_t cardinality;
    char category[32];
    char16_t name[64];
    uint32_t classFlags;
    char subCategories[128];
    char16_t vendor[64];
    char16_t version[64];
    char16_t sdkVersion[64];
};

class IPluginFactory : public FUnknown
{
public:
    virtual tresult ZELVO_VST3_API getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32_t ZELVO_VST3_API countClasses() = 0;
    virtual tresult ZELVO_VST3_API getClassInfo(int32_t index, PClassInfo* info) = 0;
    virtual tresult ZELVO_VST3_API createInstance(FIDString cid, FIDString iid, void** object) = 0;
};

class IPluginFactory2 : public IPluginFactory
{
public:
    virtual tresult ZELVO_VST3_API getClassInfo2(int32_t index, PClassInfo2* info) = 0;
};

class IPluginFactory3 : public IPluginFactory2
{
public:
    virtual tresult ZELVO_VST3_API getClassInfoUnicode(int32_t index, PClassInfoW* info) = 0;
    virtual tresult ZELVO_VST3_API setHostContext(FUnknown* context) = 0;
};

// Processing.
enum MediaTypes : int32_t
{
    kAudio = 0,
    kEvent = 1
};
enum BusDirections : int32_t
{
    kInput = 0,
    kOutput = 1
};
constexpr int32_t kMain = 0;
constexpr uint32_t kDefaultActive = 1u << 0;
constexpr int32_t kSample32 = 0;
constexpr int32_t kSample64 = 1;
constexpr SpeakerArrangement kStereo = 0x3;
constexpr int32_t kLatencyChanged = 1 << 3;
constexpr int32_t kParamValuesChanged = 1 << 2;

struct BusInfo
{
    MediaType mediaType;
    BusDirection direction;
    int32_t channelCount;
    String128 name;
    int32_t busType;
    uint32_t flags;
};

struct RoutingInfo
{
    MediaType mediaType;
    int32_t busIndex;
    int32_t channel;
};

struct ProcessSetup
{
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t maxSamplesPerBlock;
    double sampleRate;
};

struct AudioBusBuffers
{
    int32_t numChannels;
    uint64_t silenceFlags;
    union
    {
        float** channelBuffers32;
        double** channelBuffers64;
    };
};

class IParamValueQueue : public FUnknown
{
public:
    virtual ParamID ZELVO_VST3_API getParameterId() = 0;
    virtual int32_t ZELVO_VST3_API getPointCount() = 0;
    virtual tresult ZELVO_VST3_API getPoint(int32_t index, int32_t& sampleOffset, ParamValue& value) = 0;
    virtual tresult ZELVO_VST3_API addPoint(int32_t sampleOffset, ParamValue value, int32_t& index) = 0;
};

class IParameterChanges : public FUnknown
{
public:
    virtual int32_t ZELVO_VST3_API getParameterCount() = 0;
    virtual IParamValueQueue* ZELVO_VST3_API getParameterData(int32_t index) = 0;
    virtual IParamValueQueue* ZELVO_VST3_API addParameterData(const ParamID& id, int32_t& index) = 0;
};

struct ProcessData
{
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t numSamples;
    int32_t numInputs;
    int32_t numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    void* inputEvents;
    void* outputEvents;
    void* processContext;
};

class IComponent : public IPluginBase
{
public:
    virtual tresult ZELVO_VST3_API getControllerClassId(TUID classId) = 0;
    virtual tresult ZELVO_VST3_API setIoMode(IoMode mode) = 0;
    virtual int32_t ZELVO_VST3_API getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult ZELVO_VST3_API getBusInfo(MediaType type, BusDirection dir, int32_t index, BusInfo& bus) = 0;
    virtual tresult ZELVO_VST3_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult ZELVO_VST3_API activateBus(MediaType type, BusDirection dir, int32_t index, TBool state) = 0;
    virtual tresult ZELVO_VST3_API setActive(TBool state) = 0;
    virtual tresult ZELVO_VST3_API setState(IBStream* state) = 0;
    virtual tresult ZELVO_VST3_API getState(IBStream* state) = 0;
};

class IAudioProcessor : public FUnknown
{
public:
    virtual tresult ZELVO_VST3_API setBusArrangements(SpeakerArrangement* inputs, int32_t numIns,
                                                      SpeakerArrangement* outputs, int32_t numOuts) = 0;
    virtual tresult ZELVO_VST3_API getBusArrangement(BusDirection dir, int32_t index, SpeakerArrangement& arr) = 0;
    virtual tresult ZELVO_VST3_API canProcessSampleSize(int32_t symbolicSampleSize) = 0;
    virtual uint32_t ZELVO_VST3_API getLatencySamples() = 0;
    virtual tresult ZELVO_VST3_API setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult ZELVO_VST3_API setProcessing(TBool state) = 0;
    virtual tresult ZELVO_VST3_API process(ProcessData& data) = 0;
    virtual uint32_t ZELVO_VST3_API getTailSamples() = 0;
};

class IProcessContextRequirements : public FUnknown
{
public:
    virtual uint32_t ZELVO_VST3_API getProcessContextRequirements() = 0;
};

// Controller.
constexpr int32_t kCanAutomate = 1 << 0;
constexpr int32_t kIsList = 1 << 3;

struct ParameterInfo
{
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32_t stepCount;
    ParamValue defaultNormalizedValue;
    int32_t unitId;
    int32_t flags;
};

class IComponentHandler : public FUnknown
{
public:
    virtual tresult ZELVO_VST3_API beginEdit(ParamID id) = 0;
    virtual tresult ZELVO_VST3_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult ZELVO_VST3_API endEdit(ParamID id) = 0;
    virtual tresult ZELVO_VST3_API restartComponent(int32_t flags) = 0;
};

class IPlugView;

class IEditController : public IPluginBase
{
public:
    virtual tresult ZELVO_VST3_API setComponentState(IBStream* state) = 0;
    virtual tresult ZELVO_VST3_API setState(IBStream* state) = 0;
    virtual tresult ZELVO_VST3_API getState(IBStream* state) = 0;
    virtual int32_t ZELVO_VST3_API getParameterCount() = 0;
    virtual tresult ZELVO_VST3_API getParameterInfo(int32_t paramIndex, ParameterInfo& info) = 0;
    virtual tresult ZELVO_VST3_API getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
    virtual tresult ZELVO_VST3_API getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) = 0;
    virtual ParamValue ZELVO_VST3_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
    virtual ParamValue ZELVO_VST3_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue ZELVO_VST3_API getParamNormalized(ParamID id) = 0;
    virtual tresult ZELVO_VST3_API setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult ZELVO_VST3_API setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* ZELVO_VST3_API createView(FIDString name) = 0;
};

// Editor.
struct ViewRect
{
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

class IPlugFrame;

class IPlugView : public FUnknown
{
public:
    virtual tresult ZELVO_VST3_API isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult ZELVO_VST3_API attached(void* parent, FIDString type) = 0;
    virtual tresult ZELVO_VST3_API removed() = 0;
    virtual tresult ZELVO_VST3_API onWheel(float distance) = 0;
    virtual tresult ZELVO_VST3_API onKeyDown(char16_t key, int16_t keyCode, int16_t modifiers) = 0;
    virtual tresult ZELVO_VST3_API onKeyUp(char16_t key, int16_t keyCode, int16_t modifiers) = 0;
    virtual tresult ZELVO_VST3_API getSize(ViewRect* size) = 0;
    virtual tresult ZELVO_VST3_API onSize(ViewRect* newSize) = 0;
    virtual tresult ZELVO_VST3_API onFocus(TBool state) = 0;
    virtual tresult ZELVO_VST3_API setFrame(IPlugFrame* frame) = 0;
    virtual tresult ZELVO_VST3_API canResize() = 0;
    virtual tresult ZELVO_VST3_API checkSizeConstraint(ViewRect* rect) = 0;
};

class IPlugFrame : public FUnknown
{
public:
    virtual tresult ZELVO_VST3_API resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

// The host's run loop on Linux, where a plug-in window has no main loop of
// its own: the editor's timer and the X connection's descriptor.
typedef int FileDescriptor;
typedef uint64_t TimerInterval;

class IEventHandler : public FUnknown
{
public:
    virtual void ZELVO_VST3_API onFDIsSet(FileDescriptor fd) = 0;
};

class ITimerHandler : public FUnknown
{
public:
    virtual void ZELVO_VST3_API onTimer() = 0;
};

class IRunLoop : public FUnknown
{
public:
    virtual tresult ZELVO_VST3_API registerEventHandler(IEventHandler* handler, FileDescriptor fd) = 0;
    virtual tresult ZELVO_VST3_API unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult ZELVO_VST3_API registerTimer(ITimerHandler* handler, TimerInterval milliseconds) = 0;
    virtual tresult ZELVO_VST3_API unregisterTimer(ITimerHandler* handler) = 0;
};

static_assert(sizeof(ViewRect) == 16, "ViewRect");
static_assert(sizeof(PFactoryInfo) == 452, "PFactoryInfo");
static_assert(sizeof(PClassInfo) == 116, "PClassInfo");
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, sdkVersion) == 376, "PClassInfo2");
static_assert(sizeof(PClassInfoW) == 696 && offsetof(PClassInfoW, sdkVersion) == 568, "PClassInfoW");
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16, "ProcessSetup");
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, channelBuffers32) == 16, "AudioBusBuffers");
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, processContext) == 72, "ProcessData");
static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268, "BusInfo");
static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, defaultNormalizedValue) == 776 &&
                  offsetof(ParameterInfo, flags) == 788,
              "ParameterInfo");

} // namespace vst3
