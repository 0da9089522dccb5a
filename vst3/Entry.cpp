// The module's exported functions: GetPluginFactory, and on Linux
// ModuleEntry and ModuleExit, without which hosts refuse the module. The
// factory makes the one class, the effect as a single component.
#include <cstring>
#include <new>

#include "vst3/Vst3Effect.h"

using namespace vst3;

namespace
{

constexpr const char* kVendor = "korvane.com";
constexpr const char* kName = "QDX Zelvo";
constexpr const char* kCategory = "Audio Module Class";
constexpr const char* kSubCategories = "Fx|Dynamics|Mastering";
constexpr const char* kVersion = "1.0.1";
constexpr const char* kSdkVersion = "VST 3.7.14";

void copyText(char* destination, const char* source, size_t capacity)
{
    std::strncpy(destination, source, capacity - 1);
    destination[capacity - 1] = 0;
}

void copyText16(char16_t* destination, const char* source, size_t capacity)
{
    size_t i = 0;
    for (; source[i] && i < capacity - 1; ++i)
        destination[i] = (char16_t)(unsigned char)source[i];
    destination[i] = 0;
}

// The fields every description of the class starts with.
template <class Info>
void describeClass(Info& info)
{
    std::memset(&info, 0, sizeof info);
    std::memcpy(info.cid, Vst3Effect::kClassId.bytes, 16);
    info.cardinality = kManyInstances;
    copyText(info.category, kCategory, sizeof info.category);
}

class Factory : public IPluginFactory3
{
public:
    tresult ZELVO_VST3_API queryInterface(const TUID iid, void** object) override
    {
        if (!object)
            return kInvalidArgument;
        if (sameUid(iid, iid::FUnknown) || sameUid(iid, iid::IPluginFactory) || sameUid(iid, iid::IPluginFactory2) ||
            sameUid(iid, iid::IPluginFactory3))
        {
            *object = this;
            addRef();
            return kResultOk;
        }
        *object = nullptr;
        return kNoInterface;
    }
    // One factory for the module's life: counting keeps hosts' books right,
    // but nothing is freed.
    uint32_t ZELVO_VST3_API addRef() override { return 2; }
    uint32_t ZELVO_VST3_API release() override { return 1; }

    tresult ZELVO_VST3_API getFactoryInfo(PFactoryInfo* info) override
    {
        if (!info)
            return kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        copyText(info->vendor, kVendor, sizeof info->vendor);
        info->flags = kFactoryUnicode;
        return kResultOk;
    }
    int32_t ZELVO_VST3_API countClasses() override { return 1; }
    tresult ZELVO_VST3_API getClassInfo(int32_t index, PClassInfo* info) override
    {
        if (index != 0 || !info)
            return kInvalidArgument;
        describeClass(*info);
        copyText(info->name, kName, sizeof info->name);
        return kResultOk;
    }
    tresult ZELVO_VST3_API createInstance(FIDString cid, FIDString iid, void** object) override
    {
        if (!object)
            return kInvalidArgument;
        *object = nullptr;
        if (!sameUid(cid, Vst3Effect::kClassId) || !iid)
            return kNoInterface;
        Vst3Effect* effect = nullptr;
        try
        {
            effect = new Vst3Effect;
        }
        catch (const std::bad_alloc&)
        {
            return kResultFalse;
        }
        const tresult result = effect->queryInterface(iid, object);
        // The query holds the reference the host gets; a failed query frees it.
        effect->release();
        return result;
    }
    tresult ZELVO_VST3_API getClassInfo2(int32_t index, PClassInfo2* info) override
    {
        if (index != 0 || !info)
            return kInvalidArgument;
        describeClass(*info);
        copyText(info->name, kName, sizeof info->name);
        copyText(info->subCategories, kSubCategories, sizeof info->subCategories);
        copyText(info->vendor, kVendor, sizeof info->vendor);
        copyText(info->version, kVersion, sizeof info->version);
        copyText(info->sdkVersion, kSdkVersion, sizeof info->sdkVersion);
        return kResultOk;
    }
    tresult ZELVO_VST3_API getClassInfoUnicode(int32_t index, PClassInfoW* info) override
    {
        if (index != 0 || !info)
            return kInvalidArgument;
        describeClass(*info);
        copyText16(info->name, kName, 64);
        copyText(info->subCategories, kSubCategories, sizeof info->subCategories);
        copyText16(info->vendor, kVendor, 64);
        copyText16(info->version, kVersion, 64);
        copyText16(info->sdkVersion, kSdkVersion, 64);
        return kResultOk;
    }
    tresult ZELVO_VST3_API setHostContext(FUnknown*) override { return kResultOk; }
};

Factory factory;

} // namespace

#if defined(_WIN32)
#define ZELVO_VST3_EXPORT extern "C" __declspec(dllexport)
#else
#define ZELVO_VST3_EXPORT extern "C" __attribute__((visibility("default")))
#endif

ZELVO_VST3_EXPORT IPluginFactory* ZELVO_VST3_API GetPluginFactory()
{
    factory.addRef();
    return &factory;
}

#if defined(_WIN32)
ZELVO_VST3_EXPORT bool InitDll() { return true; }
ZELVO_VST3_EXPORT bool ExitDll() { return true; }
#else
ZELVO_VST3_EXPORT bool ModuleEntry(void*) { return true; }
ZELVO_VST3_EXPORT bool ModuleExit() { return true; }
#endif
