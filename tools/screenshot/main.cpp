// qdx-screenshot INPUT.wav OUTPUT.png [SECONDS [PROGRAM]]
//
// A picture of the editor at work: the plug-in is loaded through its entry
// point as a host loads it, its editor opens in an X11 window of this
// program, and the input is processed in blocks of 512 frames at the pace
// of real time (the meters' ballistics run on the clock) while the editor
// is idled, as a host does. After SECONDS (default 6) of audio, or at the
// end of the file, the window is saved. Like the demo's master, the picture
// uses the factory program "CD Master 1" unless PROGRAM names another.
#include "host/VstInterface.h"
#include "presets/FactoryPresets.h"
#include "tools/screenshot/PngWriter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <sndfile.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr int kBlockFrames = 512;

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

std::string pluginPath()
{
    if (const char* path = std::getenv("ZELVO_PLUGIN"))
        return path;
    // Beside this program, where the build puts both.
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "QDXZelvo.so";
    std::string path(self, static_cast<size_t>(length));
    return path.substr(0, path.find_last_of('/') + 1) + "QDXZelvo.so";
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "qdx-screenshot: %s\n", message.c_str());
    return 1;
}

// The channel's 8 bits from a pixel, whatever the visual's mask.
uint8_t channel(unsigned long pixel, unsigned long mask)
{
    if (!mask)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const unsigned long bits = mask >> shift;
    const unsigned long value = (pixel & mask) >> shift;
    return static_cast<uint8_t>(value * 255 / bits);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return fail("usage: qdx-screenshot INPUT.wav OUTPUT.png [SECONDS [PROGRAM]]");
    const double seconds = argc > 3 ? std::atof(argv[3]) : 6.0;
    const std::string programName = argc > 4 ? argv[4] : "CD Master 1";
    const FactoryPreset* program = nullptr;
    for (const FactoryPreset& preset : kFactoryPresets)
        if (programName == preset.name)
            program = &preset;
    if (!program)
        return fail("no factory program named " + programName);

    SF_INFO format = {};
    SNDFILE* input = sf_open(argv[1], SFM_READ, &format);
    if (!input)
        return fail(std::string("cannot read ") + argv[1] + ": " + sf_strerror(nullptr));

    Display* display = XOpenDisplay(nullptr);
    if (!display)
    {
        sf_close(input);
        return fail("no X display (set DISPLAY, or run under xvfb-run)");
    }

    void* library = dlopen(pluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry =
        library ? reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain")) : nullptr;
    AEffect* effect = entry ? entry(hostCallback) : nullptr;
    if (!effect)
    {
        sf_close(input);
        XCloseDisplay(display);
        return fail("cannot load the plug-in " + pluginPath());
    }
    auto dispatch = [&](VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    };
    dispatch(effOpen, 0, 0, nullptr, 0.0f);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(format.samplerate));
    dispatch(effSetBlockSize, 0, kBlockFrames, nullptr, 0.0f);
    // The program's values, as a host restores a saved setting.
    for (VstInt32 i = 0; i < effect->numParams && i < 26; ++i)
        effect->setParameter(effect, i, static_cast<float>(program->values[i]));
    dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);

    ERect* rect = nullptr;
    dispatch(effEditGetRect, 0, 0, &rect, 0.0f);
    const int width = rect ? rect->right - rect->left : 524;
    const int height = rect ? rect->bottom - rect->top : 462;
    const int screen = DefaultScreen(display);
    Window parent = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), 0, 0, BlackPixel(display, screen));
    XStoreName(display, parent, "QDX Zelvo");
    XSelectInput(display, parent, StructureNotifyMask);
    XMapWindow(display, parent);
    for (XEvent event;;)
    {
        XNextEvent(display, &event);
        if (event.type == MapNotify)
            break;
    }
    if (!dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent), 0.0f))
    {
        return fail("the editor did not open");
    }

    std::vector<float> interleaved(static_cast<size_t>(kBlockFrames) * format.channels);
    std::vector<float> left(kBlockFrames), right(kBlockFrames), outLeft(kBlockFrames), outRight(kBlockFrames);
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    const auto start = std::chrono::steady_clock::now();
    const long long maxFrames = static_cast<long long>(seconds * format.samplerate);
    long long done = 0;
    while (done < maxFrames)
    {
        const sf_count_t got = sf_readf_float(input, interleaved.data(), kBlockFrames);
        if (got <= 0)
            break;
        for (sf_count_t i = 0; i < kBlockFrames; ++i)
        {
            const bool have = i < got;
            left[i] = have ? interleaved[i * format.channels] : 0.0f;
            right[i] = have ? interleaved[i * format.channels + (format.channels > 1 ? 1 : 0)] : 0.0f;
        }
        effect->processReplacing(effect, inputs, outputs, kBlockFrames);
        done += got;
        dispatch(effEditIdle, 0, 0, nullptr, 0.0f);
        // Keep to the pace of real time.
        const auto due = start + std::chrono::microseconds(done * 1000000 / format.samplerate);
        std::this_thread::sleep_until(due);
    }
    // A few more passes so that the last values are drawn.
    for (int i = 0; i < 5; ++i)
    {
        dispatch(effEditIdle, 0, 0, nullptr, 0.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    XSync(display, False);

    XImage* image = XGetImage(display, parent, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    bool written = false;
    if (image)
    {
        std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
            {
                const unsigned long pixel = XGetPixel(image, x, y);
                uint8_t* out = &rgb[(static_cast<size_t>(y) * width + x) * 3];
                out[0] = channel(pixel, image->red_mask);
                out[1] = channel(pixel, image->green_mask);
                out[2] = channel(pixel, image->blue_mask);
            }
        XDestroyImage(image);
#ifdef ZELVO_HAVE_LIBPNG
        written = writeCompressedPng(argv[2], width, height, rgb);
#else
        written = writePng(argv[2], width, height, rgb);
#endif
    }

    dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
    dispatch(effClose, 0, 0, nullptr, 0.0f);
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
    sf_close(input);
    if (!written)
        return fail(std::string("cannot write ") + argv[2]);
    std::printf("%s: %d x %d, %.1f s of audio\n", argv[2], width, height,
                static_cast<double>(done) / format.samplerate);
    return 0;
}
